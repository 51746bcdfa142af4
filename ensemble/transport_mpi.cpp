// The ensemble's processes over MPI, through the module that links it
// (mpi_library.hpp), loaded only when the process was started by an MPI
// launcher.
#include <cstdio>
#include <cstdlib>

#include "common/errors.hpp"
#include "common/loadable_module.hpp"
#include "ensemble/mpi_library.hpp"
#include "ensemble/transport.hpp"

namespace box::ensemble {
namespace {

class MpiTransport final : public Transport {
 public:
  explicit MpiTransport(const MpiLibrary& mpi) : mpi_(mpi) { mpi_.start(&rank_, &size_, &local_size_); }
  ~MpiTransport() override { mpi_.finish(); }

  int rank() const override { return rank_; }
  int size() const override { return size_; }
  int local_size() const override { return local_size_; }
  bool distributed() const override { return true; }

  void send(const MemberResult& r) override {
    const std::vector<char> bytes = pack(r);
    mpi_.send(bytes.data(), static_cast<int>(bytes.size()));
  }

  MemberResult receive(int from) override {
    const int count = mpi_.probe(from);
    std::vector<char> bytes(static_cast<std::size_t>(count));
    mpi_.receive(from, bytes.data(), count);
    return unpack(bytes);
  }

  int share(int value) override { return mpi_.share(value); }

  [[noreturn]] void abort(int status) override {
    mpi_.abort(status);
    std::exit(status);
  }

 private:
  const MpiLibrary& mpi_;
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
  // MPI's own components are libraries it loads in turn and that expect
  // its symbols: the module's libraries are loaded for all to see.
  const LoadedModule m = load_module(mpi_module_name, "boxmodel_mpi_library", true);
  const auto* mpi = static_cast<const MpiLibrary*>(m.table);
  if (mpi == nullptr || mpi->size != sizeof(MpiLibrary)) {
    // Every process would otherwise run the whole ensemble and write the
    // same files at once.
    std::fprintf(stderr, "boxmodel: started by an MPI launcher, but MPI is unavailable: %s\n",
                 mpi == nullptr ? m.error.c_str() : "libboxmodel_mpi.so is from another build of boxmodel");
    std::exit(exit_input_error);
  }
  return std::make_unique<MpiTransport>(*mpi);
}

}  // namespace box::ensemble
