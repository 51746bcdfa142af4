# Every library the build uses, found in one place. The required ones stop
# the configuration with the Debian package to install; the optional ones
# switch their feature off with a message saying so (tools/packages.txt
# lists them all).

find_package(Threads REQUIRED)
find_package(tomlplusplus REQUIRED)   # libtomlplusplus-dev: scenario files
find_package(CLI11 REQUIRED)          # libcli11-dev: the command line
find_package(nlohmann_json REQUIRED)  # nlohmann-json3-dev: version-1 mechanism files in JSON
find_package(yaml-cpp REQUIRED)       # libyaml-cpp-dev: version-1 mechanism files in YAML

# netCDF (libnetcdf-dev): the NetCDF outputs. `netcdf_c` stands for the
# library however it was found: only the module libboxmodel_netcdf.so links
# it (and the tests, to read the files back); `netcdf_headers` gives the
# outputs its header alone.
option(BOXMODEL_NETCDF "Build the NetCDF output where the netCDF C library is found" ON)
if(BOXMODEL_NETCDF)
  find_package(PkgConfig QUIET)
  if(PkgConfig_FOUND)
    pkg_check_modules(NETCDF QUIET IMPORTED_TARGET GLOBAL netcdf)
  endif()
  if(TARGET PkgConfig::NETCDF)
    add_library(netcdf_c INTERFACE)
    target_link_libraries(netcdf_c INTERFACE PkgConfig::NETCDF)
    add_library(netcdf_headers INTERFACE)
    target_include_directories(netcdf_headers INTERFACE ${NETCDF_INCLUDE_DIRS})
  else()
    find_path(NETCDF_INCLUDE_DIR netcdf.h)
    find_library(NETCDF_LIBRARY netcdf)
    if(NETCDF_INCLUDE_DIR AND NETCDF_LIBRARY)
      add_library(netcdf_c INTERFACE)
      target_include_directories(netcdf_c INTERFACE ${NETCDF_INCLUDE_DIR})
      target_link_libraries(netcdf_c INTERFACE ${NETCDF_LIBRARY})
      add_library(netcdf_headers INTERFACE)
      target_include_directories(netcdf_headers INTERFACE ${NETCDF_INCLUDE_DIR})
    endif()
  endif()
endif()
if(TARGET netcdf_c)
  message(STATUS "netCDF found: the NetCDF outputs are built (module libboxmodel_netcdf.so)")
elseif(BOXMODEL_NETCDF)
  message(STATUS "netCDF C library not found (libnetcdf-dev): the NetCDF species output is not built, "
                 "and asking for it at run time is an error")
else()
  message(STATUS "BOXMODEL_NETCDF is OFF: the NetCDF species output is not built, and asking for it "
                 "at run time is an error")
endif()

# MPI (libopenmpi-dev openmpi-bin): ensembles across processes.
option(BOXMODEL_MPI "Run ensembles over MPI where an MPI library is found" ON)
if(BOXMODEL_MPI)
  find_package(MPI QUIET COMPONENTS CXX)
endif()
if(MPI_CXX_FOUND)
  message(STATUS "MPI found (${MPI_CXX_LIBRARIES}): ensembles run over MPI under mpirun "
                 "(module libboxmodel_mpi.so)")
  set(BOXMODEL_HAVE_MPI ON)
else()
  message(STATUS "MPI not found or BOXMODEL_MPI is OFF: ensembles run in one process "
                 "(Debian: libopenmpi-dev openmpi-bin)")
endif()

# Xbyak (libxbyak-dev, a header-only x86-64 assembler): machine code for the
# kernels of mechanisms read at run time, written when a file is loaded.
# The code assumes the System V AMD64 calling convention (64-bit pointers):
# without Xbyak, on another processor or under another convention (Windows,
# the x32 ABI), the loop kernels serve (same bits).
option(BOXMODEL_NATIVE_KERNELS "Write machine code for mechanism files where Xbyak is found (x86-64)" ON)
set(boxmodel_native_kernels OFF)
if(BOXMODEL_NATIVE_KERNELS AND (WIN32 OR CYGWIN OR NOT CMAKE_SIZEOF_VOID_P EQUAL 8))
  message(STATUS "The machine code assumes the System V AMD64 calling convention with 64-bit pointers, "
                 "which this target does not use: mechanism files run on the loop kernels")
elseif(BOXMODEL_NATIVE_KERNELS AND CMAKE_SYSTEM_PROCESSOR MATCHES "x86_64|AMD64|amd64")
  find_path(XBYAK_INCLUDE_DIR xbyak/xbyak.h)
  if(XBYAK_INCLUDE_DIR)
    set(boxmodel_native_kernels ON)
    message(STATUS "Xbyak found: mechanism files get machine-code kernels when loaded")
  else()
    message(STATUS "Xbyak not found (libxbyak-dev): mechanism files run on the loop kernels")
  endif()
else()
  message(STATUS "BOXMODEL_NATIVE_KERNELS is OFF or the processor is not x86-64: mechanism files run on "
                 "the loop kernels")
endif()

# pybind11 and the Python headers (pybind11-dev python3-dev): the Python
# module. Debian's interpreter is preferred: it has numpy, pandas, xarray.
option(BOXMODEL_PYTHON_MODULE "Build the Python module boxmodel where pybind11 is found" ON)
set(boxmodel_python_module OFF)
if(BOXMODEL_PYTHON_MODULE AND (BOXMODEL_SANITIZE OR BOXMODEL_FUZZ))
  # An interpreter without the sanitizers' runtime could not load it.
  message(STATUS "Sanitizer or fuzzing build: the Python module is not built")
elseif(BOXMODEL_PYTHON_MODULE)
  if(NOT DEFINED Python3_EXECUTABLE AND EXISTS /usr/bin/python3)
    set(Python3_EXECUTABLE /usr/bin/python3)
  endif()
  find_package(Python3 COMPONENTS Interpreter Development.Module QUIET)
  if(Python3_FOUND)
    find_package(pybind11 CONFIG QUIET)
  endif()
  if(Python3_FOUND AND pybind11_FOUND)
    message(STATUS "pybind11 ${pybind11_VERSION} and Python ${Python3_VERSION} found: the Python module is built")
    set(boxmodel_python_module ON)
    set(BOXMODEL_PYTHON_DIR ${PROJECT_BINARY_DIR}/python CACHE PATH
        "Where the Python package boxmodel is laid out in the build tree")
  elseif(NOT Python3_FOUND)
    message(STATUS "Python 3 headers not found (python3-dev): the Python module is not built")
  else()
    message(STATUS "pybind11 not found (pybind11-dev): the Python module is not built")
  endif()
endif()

# GoogleTest (libgtest-dev): the C++ tests.
if(BOXMODEL_TESTS)
  find_package(GTest QUIET)
  if(NOT GTest_FOUND)
    message(STATUS "GoogleTest not found (libgtest-dev): the C++ tests are not built")
  endif()
endif()

# Google Benchmark (libbenchmark-dev): bench/. SUNDIALS CVODE with KLU
# (libsundials-dev libsuitesparse-dev): the comparison benchmark bench_cvode.
if(BOXMODEL_BENCH)
  find_package(benchmark QUIET)
  if(NOT benchmark_FOUND)
    message(STATUS "Google Benchmark not found (libbenchmark-dev): benchmarks are not built")
  endif()
  find_package(SUNDIALS 6 QUIET COMPONENTS cvode sunlinsolklu sunmatrixsparse nvecserial)
  if(SUNDIALS_FOUND AND TARGET SUNDIALS::cvode AND TARGET SUNDIALS::sunlinsolklu)
    message(STATUS "SUNDIALS ${SUNDIALS_VERSION} with KLU found: building bench_cvode")
  else()
    message(STATUS "SUNDIALS CVODE with KLU not found: bench_cvode is not built")
  endif()
endif()
