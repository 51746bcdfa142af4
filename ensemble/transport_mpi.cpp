// The ensemble's processes over MPI. Only the main thread of each process
// calls MPI (MPI_THREAD_FUNNELED): the workers hand their results to it.
#include <mpi.h>

#include <cstdlib>

#include "ensemble/transport.hpp"

namespace box::ensemble {
namespace {

constexpr int result_tag = 1;

class MpiTransport final : public Transport {
 public:
  MpiTransport() {
    int provided = 0;
    MPI_Init_thread(nullptr, nullptr, MPI_THREAD_FUNNELED, &provided);
    MPI_Comm_rank(MPI_COMM_WORLD, &rank_);
    MPI_Comm_size(MPI_COMM_WORLD, &size_);
    MPI_Comm local;
    MPI_Comm_split_type(MPI_COMM_WORLD, MPI_COMM_TYPE_SHARED, rank_, MPI_INFO_NULL, &local);
    MPI_Comm_size(local, &local_size_);
    MPI_Comm_free(&local);
  }
  ~MpiTransport() override { MPI_Finalize(); }

  int rank() const override { return rank_; }
  int size() const override { return size_; }
  int local_size() const override { return local_size_; }
  bool distributed() const override { return true; }

  void send(const MemberResult& r) override {
    std::vector<char> bytes = pack(r);
    // Synchronous: rank 0 takes results in member order, and a rank that
    // ran ahead would otherwise pile its results up in rank 0's memory.
    MPI_Ssend(bytes.data(), static_cast<int>(bytes.size()), MPI_BYTE, 0, result_tag, MPI_COMM_WORLD);
  }

  MemberResult receive(int from) override {
    MPI_Status status;
    MPI_Probe(from, result_tag, MPI_COMM_WORLD, &status);
    int count = 0;
    MPI_Get_count(&status, MPI_BYTE, &count);
    std::vector<char> bytes(static_cast<std::size_t>(count));
    MPI_Recv(bytes.data(), count, MPI_BYTE, from, result_tag, MPI_COMM_WORLD, MPI_STATUS_IGNORE);
    return unpack(bytes);
  }

  int share(int value) override {
    MPI_Bcast(&value, 1, MPI_INT, 0, MPI_COMM_WORLD);
    return value;
  }

  [[noreturn]] void abort(int status) override {
    MPI_Abort(MPI_COMM_WORLD, status);
    std::exit(status);
  }

 private:
  int rank_ = 0, size_ = 1, local_size_ = 1;
};

// Set by the launchers of Open MPI (and of other MPI libraries through PMI).
bool started_by_launcher() {
  for (const char* name : {"OMPI_COMM_WORLD_SIZE", "PMIX_RANK", "PMI_RANK", "PMI_SIZE"})
    if (std::getenv(name) != nullptr) return true;
  return false;
}

}  // namespace

std::unique_ptr<Transport> start_transport() {
  if (!started_by_launcher()) return std::make_unique<Transport>();
  return std::make_unique<MpiTransport>();
}

}  // namespace box::ensemble
