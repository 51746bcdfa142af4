// species.nc read back with the netCDF library: the CF time coordinate, the
// species in mol mol-1 exactly as sampled, the air and the sun, and the
// attributes that make the file self-describing.
#include "output/netcdf_writer.hpp"

#include <gtest/gtest.h>

#include <filesystem>
#include <set>
#include <string>
#include <vector>

#include "common/errors.hpp"
#include "mechanism/species_lookup.hpp"
#include "output/species_selection.hpp"
#include "tests/output/samples.hpp"
#include "tests/support/scratch_dir.hpp"

#ifdef BOXMODEL_HAVE_NETCDF
#include <netcdf.h>
#endif

namespace box {
namespace {

namespace fs = std::filesystem;
using testing::sample_run;
using testing::samples;
using testing::ScratchDir;

#ifdef BOXMODEL_HAVE_NETCDF

// An open file, closed at the end of the test.
class Dataset {
 public:
  explicit Dataset(const fs::path& path) {
    const int status = nc_open(path.c_str(), NC_NOWRITE, &ncid_);
    if (status != NC_NOERR) throw std::runtime_error(path.string() + ": " + nc_strerror(status));
  }
  ~Dataset() { nc_close(ncid_); }
  Dataset(const Dataset&) = delete;
  Dataset& operator=(const Dataset&) = delete;

  int var(const std::string& name) const {
    int id = -1;
    EXPECT_EQ(nc_inq_varid(ncid_, name.c_str(), &id), NC_NOERR) << name;
    return id;
  }
  std::vector<double> values(const std::string& name) const {
    const int id = var(name);
    int dim = -1;
    std::size_t length = 0;
    EXPECT_EQ(nc_inq_vardimid(ncid_, id, &dim), NC_NOERR);
    EXPECT_EQ(nc_inq_dimlen(ncid_, dim, &length), NC_NOERR);
    std::vector<double> v(length);
    EXPECT_EQ(nc_get_var_double(ncid_, id, v.data()), NC_NOERR);
    return v;
  }
  // Text attribute of a variable ("" for the global ones); "<none>" if absent.
  std::string text(const std::string& variable, const std::string& attribute) const {
    const int id = variable.empty() ? NC_GLOBAL : var(variable);
    std::size_t length = 0;
    if (nc_inq_attlen(ncid_, id, attribute.c_str(), &length) != NC_NOERR) return "<none>";
    std::string value(length, '\0');
    EXPECT_EQ(nc_get_att_text(ncid_, id, attribute.c_str(), value.data()), NC_NOERR);
    return value;
  }
  int ncid() const { return ncid_; }

 private:
  int ncid_ = -1;
};

const std::vector<int> some_species = {ind_o3,  ind_no,   ind_no2, ind_ho,
                                       ind_ho2, ind_hcho, ind_br2, ind_h2o};

void write_samples(const fs::path& dir, const std::vector<int>& species) {
  NetcdfSpeciesWriter writer(dir, species);
  writer.begin(sample_run());
  for (const OutputSample& s : samples()) writer.sample(s);
  writer.finish();
}

TEST(NetcdfSpeciesWriter, ValuesReadBackExactly) {
  ScratchDir scratch;
  write_samples(scratch.dir(), some_species);
  const Dataset ds(scratch.dir() / "species.nc");

  int unlimited = -1;
  ASSERT_EQ(nc_inq_unlimdim(ds.ncid(), &unlimited), NC_NOERR);
  std::size_t records = 0;
  ASSERT_EQ(nc_inq_dimlen(ds.ncid(), unlimited, &records), NC_NOERR);
  ASSERT_EQ(records, samples().size());

  const auto time = ds.values("time");
  const auto temperature = ds.values("temperature");
  const auto pressure = ds.values("pressure");
  const auto coszen = ds.values("cos_solar_zenith_angle");
  for (std::size_t n = 0; n < records; ++n) {
    const OutputSample s = samples()[n];
    EXPECT_EQ(time[n], s.elapsed_s);
    EXPECT_EQ(temperature[n], s.temperature);
    EXPECT_EQ(pressure[n], s.pressure);
    EXPECT_EQ(coszen[n], s.coszen);
  }
  for (int ind : some_species) {
    const std::string name(species_name(ind));
    const auto v = ds.values(name);
    ASSERT_EQ(v.size(), records);
    for (std::size_t n = 0; n < records; ++n)
      EXPECT_EQ(v[n], samples()[n].mole_fraction[at(ind)]) << name << " record " << n;
  }
  // Only the selected species are there.
  int nvars = 0;
  ASSERT_EQ(nc_inq_nvars(ds.ncid(), &nvars), NC_NOERR);
  EXPECT_EQ(nvars, static_cast<int>(some_species.size()) + 4);
}

TEST(NetcdfSpeciesWriter, CfAttributesDescribeTheFile) {
  ScratchDir scratch;
  write_samples(scratch.dir(), some_species);
  const Dataset ds(scratch.dir() / "species.nc");

  // Day 243 of 2023 is 31 August; the run starts at 05:00 local time.
  EXPECT_EQ(ds.text("time", "units"), "seconds since 2023-08-31 05:00:00");
  EXPECT_EQ(ds.text("time", "calendar"), "standard");
  EXPECT_EQ(ds.text("time", "standard_name"), "time");
  EXPECT_EQ(ds.text("time", "long_name"), "local time");

  EXPECT_EQ(ds.text("O3", "units"), "mol mol-1");
  EXPECT_EQ(ds.text("O3", "long_name"), "mole fraction of O3 in air");
  EXPECT_EQ(ds.text("O3", "standard_name"), "mole_fraction_of_ozone_in_air");
  EXPECT_EQ(ds.text("HO", "standard_name"), "mole_fraction_of_hydroxyl_radical_in_air");
  EXPECT_EQ(ds.text("H2O", "standard_name"), "mole_fraction_of_water_vapor_in_air");
  EXPECT_EQ(ds.text("BR2", "standard_name"), "<none>");
  EXPECT_EQ(ds.text("BR2", "units"), "mol mol-1");

  EXPECT_EQ(ds.text("temperature", "standard_name"), "air_temperature");
  EXPECT_EQ(ds.text("temperature", "units"), "K");
  EXPECT_EQ(ds.text("pressure", "standard_name"), "air_pressure");
  EXPECT_EQ(ds.text("pressure", "units"), "Pa");
  EXPECT_EQ(ds.text("cos_solar_zenith_angle", "units"), "1");

  EXPECT_EQ(ds.text("", "Conventions"), "CF-1.8");
  EXPECT_NE(ds.text("", "source").find("0.1"), std::string::npos);
  EXPECT_NE(ds.text("", "title"), "<none>");
  EXPECT_NE(ds.text("", "history"), "<none>");
  EXPECT_EQ(ds.text("", "scenario.time.start_hour"), "5.0");
  EXPECT_EQ(ds.text("", "scenario.output.formats"), "[\"csv\", \"netcdf\"]");
}

TEST(NetcdfSpeciesWriter, OnlyAFinishedFileHasTheFinalName) {
  ScratchDir scratch;
  const fs::path final_path = scratch.dir() / "species.nc";
  const fs::path partial = scratch.dir() / "species.nc.partial";
  {
    NetcdfSpeciesWriter writer(scratch.dir(), table_species());
    writer.begin(sample_run());
    writer.sample(samples()[0]);
    EXPECT_TRUE(fs::exists(partial));
    EXPECT_FALSE(fs::exists(final_path));
    writer.finish();
    EXPECT_TRUE(fs::exists(final_path));
    EXPECT_FALSE(fs::exists(partial));
  }
  EXPECT_EQ(Dataset(final_path).values("O3").size(), 1u);

  // A run that fails: the earlier complete file stays as it was.
  {
    NetcdfSpeciesWriter writer(scratch.dir(), table_species());
    writer.begin(sample_run());
    writer.sample(samples()[0]);
    writer.sample(samples()[1]);
    // Every record is in the file once sampled: a run ended by a signal,
    // which closes nothing, leaves them readable.
    EXPECT_EQ(Dataset(partial).values("O3"), (std::vector<double>{samples()[0].mole_fraction[at(ind_o3)],
                                                                   samples()[1].mole_fraction[at(ind_o3)]}));
  }
  EXPECT_EQ(Dataset(final_path).values("O3").size(), 1u);
  EXPECT_TRUE(fs::exists(partial));
}

TEST(NetcdfSpeciesWriter, UnwritableDirectoryIsAnOutputErrorNamingTheFile) {
  ScratchDir scratch;
  const std::string message = testing::begin_error<NetcdfSpeciesWriter>(scratch.dir() / "missing");
  EXPECT_NE(message.find("missing/species.nc"), std::string::npos) << message;
}

TEST(NetcdfSpeciesWriter, IsAvailable) { EXPECT_TRUE(netcdf_available()); }

#else

TEST(NetcdfSpeciesWriter, WithoutNetcdfAskingForItIsAnError) {
  EXPECT_FALSE(netcdf_available());
  try {
    NetcdfSpeciesWriter writer("out", table_species());
    FAIL() << "a writer was made without the netCDF library";
  } catch (const OutputError& e) {
    EXPECT_NE(std::string(e.what()).find("built without NetCDF"), std::string::npos) << e.what();
  }
}

#endif

TEST(CfMoleFractionName, ListedOnlyForSpeciesTheTableNames) {
  EXPECT_EQ(cf_mole_fraction_name("NO"), "mole_fraction_of_nitrogen_monoxide_in_air");
  EXPECT_EQ(cf_mole_fraction_name("HOBR"), "mole_fraction_of_hypobromous_acid_in_air");
  EXPECT_EQ(cf_mole_fraction_name("HC3"), "");
  EXPECT_EQ(cf_mole_fraction_name("M"), "");
  // Any mechanism's species, by name in any case: the MCM's too.
  EXPECT_EQ(cf_mole_fraction_name("o3"), "mole_fraction_of_ozone_in_air");
  EXPECT_EQ(cf_mole_fraction_name("OH"), cf_mole_fraction_name("HO"));
  EXPECT_EQ(cf_mole_fraction_name("C5H8"), "mole_fraction_of_isoprene_in_air");
  EXPECT_EQ(cf_mole_fraction_name("HO2NO2"), "mole_fraction_of_peroxynitric_acid_in_air");
  EXPECT_EQ(cf_mole_fraction_name("NH3"), "mole_fraction_of_ammonia_in_air");
  // Each name is a mole fraction in air, and no two of the built-in
  // mechanism's species share one.
  std::set<std::string_view> seen;
  for (int ind = 1; ind <= nspec; ++ind) {
    const std::string_view name = cf_mole_fraction_name(species_name(ind));
    if (name.empty()) continue;
    EXPECT_TRUE(name.starts_with("mole_fraction_of_") && name.ends_with("_in_air")) << name;
    EXPECT_TRUE(seen.insert(name).second) << name << " given twice";
  }
  EXPECT_EQ(seen.size(), 33u);
}

}  // namespace
}  // namespace box
