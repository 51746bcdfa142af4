// Writes the test samples (tests/output/samples.hpp) through the NetCDF
// writer into the directory given as the only argument, for the Python test
// that opens the file with xarray.
#include <cstdio>
#include <exception>

#include "output/netcdf_writer.hpp"
#include "output/species_selection.hpp"
#include "tests/output/samples.hpp"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: write_sample_netcdf DIRECTORY\n");
    return 2;
  }
  try {
    box::NetcdfSpeciesWriter writer(argv[1], box::table_species());
    writer.begin(box::testing::sample_run());
    for (const box::OutputSample& s : box::testing::samples()) writer.sample(s);
    writer.finish();
  } catch (const std::exception& e) {
    std::fprintf(stderr, "%s\n", e.what());
    return 1;
  }
  return 0;
}
