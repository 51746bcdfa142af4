// libboxmodel_mpi.so: the only part of the program linked with MPI. Only
// the main thread of each process calls it (MPI_THREAD_FUNNELED): the
// workers hand their results to it.
#include <mpi.h>

#include "ensemble/mpi_library.hpp"

namespace {

constexpr int result_tag = 1;

void start(int* rank, int* size, int* local_size) {
  int provided = 0;
  MPI_Init_thread(nullptr, nullptr, MPI_THREAD_FUNNELED, &provided);
  MPI_Comm_rank(MPI_COMM_WORLD, rank);
  MPI_Comm_size(MPI_COMM_WORLD, size);
  MPI_Comm local;
  MPI_Comm_split_type(MPI_COMM_WORLD, MPI_COMM_TYPE_SHARED, *rank, MPI_INFO_NULL, &local);
  MPI_Comm_size(local, local_size);
  MPI_Comm_free(&local);
}

void finish() { MPI_Finalize(); }

void send(const char* bytes, int count) {
  // Synchronous: rank 0 takes results in member order, and a rank that
  // ran ahead would otherwise pile its results up in rank 0's memory.
  MPI_Ssend(bytes, count, MPI_BYTE, 0, result_tag, MPI_COMM_WORLD);
}

int probe(int from) {
  MPI_Status status;
  MPI_Probe(from, result_tag, MPI_COMM_WORLD, &status);
  int count = 0;
  MPI_Get_count(&status, MPI_BYTE, &count);
  return count;
}

void receive(int from, char* bytes, int count) {
  MPI_Recv(bytes, count, MPI_BYTE, from, result_tag, MPI_COMM_WORLD, MPI_STATUS_IGNORE);
}

int share(int value) {
  MPI_Bcast(&value, 1, MPI_INT, 0, MPI_COMM_WORLD);
  return value;
}

void abort_job(int status) { MPI_Abort(MPI_COMM_WORLD, status); }

}  // namespace

extern "C" {
const box::ensemble::MpiLibrary boxmodel_mpi_library = {
    sizeof(box::ensemble::MpiLibrary), &start, &finish, &send, &probe, &receive, &share, &abort_job,
};
}
