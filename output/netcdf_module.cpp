// libboxmodel_netcdf.so: the only part of the program linked with the
// netCDF library. It hands the outputs the library's functions as a table
// (see netcdf_library.hpp) and holds no code of its own.
#include "output/netcdf_library.hpp"

extern "C" {
const box::NetcdfLibrary boxmodel_netcdf_library = {
    sizeof(box::NetcdfLibrary),
    &nc_create,
    &nc_close,
    &nc_enddef,
    &nc_strerror,
    &nc_def_dim,
    &nc_def_var,
    &nc_put_att_text,
    &nc_put_att_double,
    &nc_put_att_int,
    &nc_put_var1_double,
    &nc_put_var_double,
    &nc_put_var_string,
    &nc_put_vara_double,
    &nc_put_vara_int,
    &nc_put_vara_text,
    &nc_sync,
};
}
