// The program as a whole process: `boxmodel --version` and the model's own
// day (no arguments, in a scratch copy of examples/day) started with
// posix_spawn and waited for, against the same day run in this process.
// The difference is what starting a process costs: loading and relocating
// the program and the shared libraries it needs, which is why the NetCDF
// and MPI libraries are loaded only by the processes that use them. The
// counter `shared_libraries` is the number the dynamic loader maps at
// start (what ldd lists). On a shared machine the wall time of a process
// varies with its neighbours: `process_cpu_ms` is the processor time the
// started processes used (user and system, per iteration), the steadier
// figure.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <stdexcept>
#include <string>
#include <vector>

#include "app/program.hpp"
#include "tests/support/example_copy.hpp"

extern char** environ;

namespace {

// Runs `args` in `dir` with standard output into `out` (a descriptor) and
// standard error to /dev/null, `extra_env` added to the environment.
// Returns the exit status.
int spawn(const std::vector<std::string>& args, const std::filesystem::path& dir, int out,
          const std::vector<std::string>& extra_env = {}) {
  std::vector<char*> argv;
  for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  std::vector<char*> env;
  for (char** e = environ; *e != nullptr; ++e) env.push_back(*e);
  for (const std::string& e : extra_env) env.push_back(const_cast<char*>(e.c_str()));
  env.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addchdir_np(&actions, dir.c_str());
  posix_spawn_file_actions_adddup2(&actions, out, STDOUT_FILENO);
  posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
  pid_t pid = 0;
  const int error = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), env.data());
  posix_spawn_file_actions_destroy(&actions);
  if (error != 0) throw std::runtime_error(args[0] + ": cannot be started");
  int status = 0;
  waitpid(pid, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// Processor time of the waited-for children so far, ms.
double children_cpu_ms() {
  rusage usage{};
  getrusage(RUSAGE_CHILDREN, &usage);
  const auto ms = [](const timeval& t) { return static_cast<double>(t.tv_sec) * 1e3 + static_cast<double>(t.tv_usec) * 1e-3; };
  return ms(usage.ru_utime) + ms(usage.ru_stime);
}

void count_process_cpu(benchmark::State& state, double before) {
  state.counters["process_cpu_ms"] =
      benchmark::Counter((children_cpu_ms() - before) / static_cast<double>(state.iterations()));
}

class DevNull {
 public:
  DevNull() : fd_(open("/dev/null", O_WRONLY)) {}
  ~DevNull() { close(fd_); }
  int fd() const { return fd_; }

 private:
  int fd_;
};

// The shared libraries the loader maps when the program starts, counted
// the way ldd lists them (the loader's trace mode runs nothing).
double shared_libraries() {
  char name[] = "/tmp/boxmodel-libs-XXXXXX";
  const int fd = mkstemp(name);
  if (fd < 0) return -1;
  spawn({BOXMODEL_EXE}, "/", fd, {"LD_TRACE_LOADED_OBJECTS=1"});
  std::string text(1 << 16, '\0');
  const ssize_t n = pread(fd, text.data(), text.size(), 0);
  close(fd);
  unlink(name);
  double count = 0;
  for (ssize_t i = 0; i < n; ++i) count += text[static_cast<std::size_t>(i)] == '\n';
  return count;
}

void BM_ProcessVersion(benchmark::State& state) {
  const DevNull null;
  const double before = children_cpu_ms();
  for (auto _ : state)
    if (spawn({BOXMODEL_EXE, "--version"}, "/", null.fd()) != 0) state.SkipWithError("--version failed");
  count_process_cpu(state, before);
  state.counters["shared_libraries"] = shared_libraries();
}
BENCHMARK(BM_ProcessVersion)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_ProcessModelDay(benchmark::State& state) {
  const box::testing::ExampleCopy example;
  const DevNull null;
  const double before = children_cpu_ms();
  for (auto _ : state)
    if (spawn({BOXMODEL_EXE}, example.dir(), null.fd()) != 0) state.SkipWithError("the day failed");
  count_process_cpu(state, before);
}
BENCHMARK(BM_ProcessModelDay)->Unit(benchmark::kMillisecond)->UseRealTime();

// The same day in this process, its progress lines to /dev/null as above
// (its CPU time is the figure to set against process_cpu_ms).
void BM_InProcessModelDay(benchmark::State& state) {
  const box::testing::ExampleCopy example;
  const DevNull null;
  std::fflush(stdout);
  const int saved = dup(STDOUT_FILENO);
  dup2(null.fd(), STDOUT_FILENO);
  int status = 0;
  for (auto _ : state) {
    status = box::run_program(example.dir());
    std::fflush(stdout);
  }
  dup2(saved, STDOUT_FILENO);
  close(saved);
  if (status != 0) state.SkipWithError("the day failed");
}
BENCHMARK(BM_InProcessModelDay)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
