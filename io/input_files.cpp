#include "io/input_files.hpp"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <utility>

#include "common/errors.hpp"
#include "common/text.hpp"

namespace box {
namespace {

std::string format_value(double v) {
  char text[32];
  std::snprintf(text, sizeof text, "%g", v);
  return text;
}

std::unique_ptr<std::ifstream> open_input(const std::filesystem::path& path,
                                          const std::string& name) {
  // A directory opens like a file and then fails at the first read; say
  // what is wrong instead of reporting an empty file.
  std::error_code ignored;
  if (std::filesystem::is_directory(path, ignored))
    throw InputError(name + ": cannot open the input file: " + std::strerror(EISDIR));
  auto in = std::make_unique<std::ifstream>(path);
  if (!*in) {
    const int error = errno;
    throw InputError(name + ": cannot open the input file: " +
                     (error != 0 ? std::strerror(error) : "unknown error"));
  }
  skip_bom(*in);
  return in;
}

}  // namespace

SiteParameters read_parameters(std::istream& in, const std::string& name, bool check_ranges) {
  FreeFormatReader r(in, name);
  SiteParameters p;
  CanopyParameters& c = p.canopy;
  r.read("read 1", {{"jday", &p.jday}, {"iyear", &p.iyear}});
  if (check_ranges && (p.jday < 1 || p.jday > 366))
    r.fail_at_value("jday is " + std::to_string(p.jday) + ", expected a day of the year from 1 to 366");
  r.read("read 2", {{"xlat", &p.xlat}, {"xlong", &p.xlong}, {"stdlng", &p.stdlng}});
  if (check_ranges && !(p.xlat >= -90.0 && p.xlat <= 90.0))
    r.fail_at_value("xlat is " + format_value(p.xlat) + ", expected a latitude from -90 to 90 degrees");
  r.read("read 3", {{"isort", &c.isort}});
  r.read("read 4", {{"hcpy", &c.hcpy}, {"htr", &c.htr}, {"levhtr", &c.levhtr},
                    {"levcpy", &c.levcpy}, {"del", &c.del}});
  r.read("read 5", {{"tlai", &c.tlai}, {"sizelf", &c.sizelf}});
  r.read("read 6", {{"stable", &c.stable}});
  r.read("read 7", {{"vgday", &c.vgday}, {"vgn", &c.vgn}});
  r.read("read 8", {{"zrday", &c.zrday}, {"zrn", &c.zrn}, {"alphaday", &c.alphaday},
                    {"alphan", &c.alphan}});
  r.read("read 9", {{"itot", &c.itot}, {"jmax", &c.jmax}, {"jmin", &c.jmin},
                    {"dfmin", &c.dfmin}, {"clump", &c.clump}, {"kmax", &c.kmax}});
  // kmax values each of rsoil, rleaf and tleaf follow in read 13; the
  // arrays have room for max_wavebands.
  if (c.kmax < 0 || c.kmax > max_wavebands)
    r.fail_at_value("kmax is " + std::to_string(c.kmax) + ", expected 0 to " +
                    std::to_string(max_wavebands) + " (rsoil, rleaf and tleaf hold " +
                    std::to_string(max_wavebands) + " values each)");
  r.read("read 10", {{"inrad", &c.inrad}, {"iwpm2", &c.iwpm2}});
  r.read("read 11", {{"ratiod", &c.ratiod}, {"ration", &c.ration}});
  r.read("read 12", {{"emis", &c.emis}, {"emisol", &c.emisol}, {"factir", &c.factir}});
  const auto k = static_cast<std::size_t>(c.kmax);
  r.begin("read 13 (rsoil, rleaf, tleaf)", 3 * c.kmax);
  const std::pair<const char*, std::array<double, max_wavebands>*> arrays[] = {
      {"rsoil", &c.rsoil}, {"rleaf", &c.rleaf}, {"tleaf", &c.tleaf}};
  for (const auto& [array_name, values] : arrays)
    for (std::size_t i = 0; i < k; ++i) (*values)[i] = r.real(array_name);
  return p;
}

SiteParameters read_parameter_file(const std::filesystem::path& dir) {
  const std::string name = parameter_file_name;
  auto in = open_input(dir / name, name);
  return read_parameters(*in, name);
}

SiteParameters read_parameter_file(const std::filesystem::path& path, const std::string& name,
                                   bool check_ranges) {
  auto in = open_input(path, name);
  return read_parameters(*in, name, check_ranges);
}

SiteFile::SiteFile(std::unique_ptr<std::istream> in, std::string name)
    : in_(std::move(in)), reader_(*in_, std::move(name)) {}

SiteFile SiteFile::open(const std::filesystem::path& dir) {
  const std::string name = site_file_name;
  return SiteFile(open_input(dir / name, name), name);
}

std::optional<std::string> layout_warning(const std::string& file, const RecordLayout& where, int number) {
  if (where.last_line == where.first_line && !where.values_left) return std::nullopt;
  return "warning: " + file + ": line " + std::to_string(where.first_line) + ": record " +
         std::to_string(number) +
         (where.values_left ? " leaves values unread on its line"
                            : " spans lines " + std::to_string(where.first_line) + " to " +
                                  std::to_string(where.last_line)) +
         " (a value missing or extra?)";
}

void check_record_values(const SiteRecord& r, const RecordLayout& where, int number,
                         const std::string& file) {
  const auto fail = [&](const std::string& what) {
    throw InputError(file + ": line " + std::to_string(where.first_line) + ": record " +
                     std::to_string(number) + ": " + what);
  };
  // Observed gases and humidity are imposed on the chemistry where species
  // are held to the records: a negative value is a missing-value flag or a
  // shifted column, never a mixing ratio.
  const std::pair<const char*, double> observed[] = {
      {"q2", r.q2},           {"ozone_read", r.ozone_read}, {"no_read", r.no_read},
      {"no2_read", r.no2_read}, {"co_read", r.co_read},       {"hcho_read", r.hcho_read},
      {"nox_obs_read", r.nox_obs_read}};
  for (const auto& [name, value] : observed)
    if (!(value >= 0.0))
      fail(std::string(name) + " is " + format_value(value) + ", expected a mixing ratio of 0 or more");
  if (!(r.tt >= 150.0 && r.tt <= 350.0))
    fail("tt is " + format_value(r.tt) + ", expected an air temperature from 150 to 350 K");
  if (!(r.pp >= 100.0 && r.pp <= 120000.0))
    fail("pp is " + format_value(r.pp) + ", expected an air pressure from 100 to 120000 Pa");
  const std::pair<const char*, double> radiation[] = {
      {"averad", r.averad}, {"averad_obs_read", r.averad_obs_read}, {"averad_obs_aug26", r.observed_radiation}};
  for (const auto& [name, value] : radiation)
    if (!(value >= 0.0))
      fail(std::string(name) + " is " + format_value(value) + ", expected a radiation of 0 W m-2 or more");
}

SiteFile SiteFile::open(const std::filesystem::path& path, std::string name) {
  auto in = open_input(path, name);
  return SiteFile(std::move(in), std::move(name));
}

RecordLayout SiteFile::last_layout() const {
  return {reader_.first_line(), reader_.line(), reader_.values_on_first_line(),
          reader_.values_left_on_line()};
}

void SiteFile::skip_header() { reader_.skip_lines(site_header_lines); }

SiteRecord SiteFile::next() {
  SiteRecord s;
  // The thirteen field names are left out of the record's description in
  // messages; a value error names its own field.
  reader_.read("record " + std::to_string(records_ + 1),
               {{"timin", &s.timin}, {"averad", &s.averad}, {"tt", &s.tt}, {"pp", &s.pp},
                {"q2", &s.q2}, {"ozone_read", &s.ozone_read}, {"no_read", &s.no_read},
                {"no2_read", &s.no2_read}, {"co_read", &s.co_read}, {"hcho_read", &s.hcho_read},
                {"nox_obs_read", &s.nox_obs_read}, {"averad_obs_read", &s.averad_obs_read},
                {"averad_obs_aug26", &s.observed_radiation}},
               false);
  ++records_;
  return s;
}

}  // namespace box
