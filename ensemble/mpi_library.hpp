#pragma once
// The MPI calls of the ensemble's transport, as a table filled by the
// module libboxmodel_mpi.so (mpi_module.cpp), which alone links MPI. It is
// loaded only by a process started by an MPI launcher, so that every other
// process (a single run, --version, a one-process ensemble) does not map
// the MPI library and its dependencies at start-up.
#include <cstddef>

namespace box::ensemble {

struct MpiLibrary {
  std::size_t size;  // sizeof(MpiLibrary) where the module was built: a stale module is refused
  // MPI_Init_thread (MPI_THREAD_FUNNELED); this process's rank, the
  // processes of the job and those on this machine.
  void (*start)(int* rank, int* size, int* local_size);
  void (*finish)();
  // Synchronous, to rank 0.
  void (*send)(const char* bytes, int count);
  // The length in bytes of the next message from `from`, then the message.
  int (*probe)(int from);
  void (*receive)(int from, char* bytes, int count);
  // Rank 0's value, on every rank.
  int (*share)(int value);
  void (*abort)(int status);
};

inline constexpr const char* mpi_module_name = "libboxmodel_mpi.so";

}  // namespace box::ensemble

extern "C" {
// The module's table (defined in mpi_module.cpp).
extern const box::ensemble::MpiLibrary boxmodel_mpi_library;
}
