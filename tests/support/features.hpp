#pragma once
// Optional features in the tests. A test whose runs write NetCDF files is
// skipped where the program was built without the netCDF library (the
// configuration with the required packages alone); the rest of the suite
// still runs there.
#include <gtest/gtest.h>

#ifdef BOXMODEL_HAVE_NETCDF
#define BOXMODEL_NEEDS_NETCDF() static_cast<void>(0)
#else
#define BOXMODEL_NEEDS_NETCDF() GTEST_SKIP() << "this boxmodel was built without NetCDF"
#endif
