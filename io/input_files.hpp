#pragma once
// The run's two input files: the parameter file "inputn" (date, site
// position, and a block of canopy parameters that this model reads and
// checks but does not use) and the hourly site time series.
#include <array>
#include <cstdint>
#include <filesystem>
#include <istream>
#include <memory>
#include <optional>
#include <string>

#include "io/free_format_reader.hpp"

namespace box {

inline constexpr const char* parameter_file_name = "inputn";
inline constexpr const char* site_file_name = "ValuesAtSite_extractedFromWRFchemAug31.txt_test";
inline constexpr int site_header_lines = 6;
// rsoil, rleaf and tleaf hold one value per canopy waveband, at most 3.
inline constexpr int max_wavebands = 3;

// Parameters of the canopy radiation and exchange model (reads 3 to 13 of
// "inputn"). They must be present and well-formed; the chemistry does not
// use them.
struct CanopyParameters {
  std::int32_t isort = 0;
  double hcpy = 0, htr = 0;
  std::int32_t levhtr = 0, levcpy = 0;
  double del = 0;
  double tlai = 0, sizelf = 0;
  bool stable = false;
  double vgday = 0, vgn = 0;
  double zrday = 0, zrn = 0, alphaday = 0, alphan = 0;
  std::int32_t itot = 0, jmax = 0, jmin = 0;
  double dfmin = 0, clump = 0;
  std::int32_t kmax = 0;
  std::int32_t inrad = 0, iwpm2 = 0;
  double ratiod = 0, ration = 0;
  double emis = 0, emisol = 0, factir = 0;
  std::array<double, max_wavebands> rsoil{}, rleaf{}, tleaf{};
};

// Contents of "inputn".
struct SiteParameters {
  std::int32_t jday = 0;   // day of the year
  std::int32_t iyear = 0;  // year
  double xlat = 0;         // latitude, degrees north
  double xlong = 0;        // longitude, degrees, positive to the west
  double stdlng = 0;       // standard meridian of the time zone, same convention
  CanopyParameters canopy;
};

// Reads the 13 reads of the parameter file from `in`; `name` names it in
// messages. With `check_ranges`, a latitude outside -90..90 or a day of
// the year outside 1..366 is an error at its line. Throws InputError.
SiteParameters read_parameters(std::istream& in, const std::string& name,
                               bool check_ranges = false);
// Opens and reads the parameter file at `path`, named `name` in messages.
SiteParameters read_parameter_file(const std::filesystem::path& path, const std::string& name,
                                   bool check_ranges);
// Opens and reads "inputn" in `dir`. A missing file is an InputError (it is
// never created).
SiteParameters read_parameter_file(const std::filesystem::path& dir);

// One hourly record of the site file, fields in file order.
struct SiteRecord {
  double timin = 0;            // time stamp of the record
  double averad = 0;           // radiation (replaced by observed_radiation)
  double tt = 0;               // air temperature, K
  double pp = 0;               // air pressure, Pa
  double q2 = 0;               // water vapour mixing ratio, kg/kg (H2O held to the records)
  double ozone_read = 0;       // observed O3, ppb (echoed; initial state, constraints)
  double no_read = 0;          // observed NO, ppb (echoed; initial state, constraints)
  double no2_read = 0;         // observed NO2, ppb (echoed; initial state, constraints)
  double co_read = 0;          // observed CO, ppb (initial state, constraints)
  double hcho_read = 0;        // observed HCHO, ppb (initial state, constraints)
  double nox_obs_read = 0;     // observed NOx (not used)
  double averad_obs_read = 0;  // observed radiation (not used)
  // The day's observed radiation, the one the model uses, W m-2: field 13,
  // averad_obs_aug26 in the file's description and in messages.
  double observed_radiation = 0;
};

// Where a record stood in its file.
struct RecordLayout {
  int first_line = 0;            // line of its first value
  int last_line = 0;             // line of its last value
  int values_on_first_line = 0;  // of the 13
  bool values_left = false;      // more values after it on its last line
};

// The warning for a record read in free layout that spans lines or leaves
// values unread on its line (how a missing or extra value shows, hours
// before the reading runs out); none for a record on a line of its own.
std::optional<std::string> layout_warning(const std::string& file, const RecordLayout& where, int number);

// Checks that a record's values are physically possible (temperature
// 150-350 K, pressure 100-120000 Pa, no negative radiation): the chemistry
// would run on nonsense otherwise, and a shifted column shows this way too.
// `number` counts records from 1; throws InputError naming `file`, the
// record's line and the field.
void check_record_values(const SiteRecord& record, const RecordLayout& where, int number,
                         const std::string& file);

// The site time series: 6 header lines, then one record per hour, read in
// file order.
class SiteFile {
 public:
  // Reads from `in` (header not yet skipped); `name` names it in messages.
  SiteFile(std::unique_ptr<std::istream> in, std::string name);
  // Opens the site file in `dir`; a missing file is an InputError.
  static SiteFile open(const std::filesystem::path& dir);
  // Opens the site file at `path`, named `name` in messages.
  static SiteFile open(const std::filesystem::path& path, std::string name);

  // Skips the header lines.
  void skip_header();
  // Reads the next record. Throws InputError.
  SiteRecord next();
  int records_read() const { return records_; }
  // Where the last record stood.
  RecordLayout last_layout() const;
  const std::string& name() const { return reader_.name(); }

 private:
  std::unique_ptr<std::istream> in_;
  FreeFormatReader reader_;
  int records_ = 0;
};

}  // namespace box
