#include "app/ensemble_program.hpp"

#include <csignal>
#include <cstdio>
#include <memory>
#include <optional>
#include <thread>

#include "common/errors.hpp"
#include "mechanism/lane_kernels.hpp"
#include "run/fp_environment.hpp"
#include "run/run.hpp"
#include "ensemble/outputs.hpp"
#include "ensemble/pool.hpp"
#include "output/terminal_progress.hpp"
#include "ensemble/transport.hpp"

namespace box::ensemble {
namespace {

void report(const std::string& message) { std::fprintf(stderr, "boxmodel: %s\n", message.c_str()); }

std::vector<KeyOverride> command_line_keys(const Options& options) {
  std::vector<KeyOverride> v;
  if (options.kernels) v.push_back({"chemistry.kernels", *options.kernels, "command line --kernels"});
  return v;
}

// The kernels the members ran on, for ensemble.nc: the base's mechanism's
// (kernels_record()). Members in lanes run a file's loops (the built-in
// mechanism's lanes are generated code too), which is said where it
// differs. Whether lanes were used is left out, as the outputs are the
// same bytes whatever the lanes and threads; the summary line says it.
std::string ensemble_kernels(const Definition& d) {
  std::string k = kernels_record(d.mechanism.get(), true);
  if (d.mechanism != nullptr && d.mechanism->native != nullptr) k += "; members in lanes: loops";
  return k;
}

// What the run of one member holds at its largest: the run with its
// chemistry state, and the member's samples.
std::size_t bytes_per_member(const Layout& l) {
  return sizeof(Run) + sizeof(MemberResult) + l.times * (2 + l.species.size()) * sizeof(double);
}

struct Setup {
  Definition definition;
  Layout layout;
  std::vector<std::unique_ptr<OutputFile>> files;
};

// Reads the ensemble and (on rank 0) creates the outputs. Returns the exit
// status of a failure, 0 when all is ready.
int set_up(const std::filesystem::path& file, const Options& options, bool writer, Setup& s) {
  try {
    s.definition = read_definition(file, command_line_keys(options));
    s.layout = make_layout(s.definition);
    s.layout.attributes.emplace_back("kernels", ensemble_kernels(s.definition));
  } catch (const InputError& e) {
    if (writer) report(e.what());
    return exit_input_error;
  }
  if (!writer) return 0;
  std::error_code error;
  const std::filesystem::path& dir = s.definition.output_dir;
  std::filesystem::create_directories(dir, error);
  if (error) {
    report(dir.generic_string() + ": cannot create the output folder: " + error.message());
    return exit_output_error;
  }
  try {
    if (s.definition.write_netcdf) s.files.push_back(open_netcdf(dir, s.layout));
    if (s.definition.write_csv) s.files.push_back(open_csv(dir, s.layout));
  } catch (const OutputError& e) {
    report(e.what());
    return exit_output_error;
  }
  return 0;
}

}  // namespace

std::string lanes_refusal(unsigned lanes) {
  int available_lanes = 1;
  if (lanes <= 1 || lane_kernels(static_cast<int>(lanes), &available_lanes) != nullptr) return "";
  return "--lanes " + std::to_string(lanes) + ": this processor runs " +
         (available_lanes == 1 ? std::string("1 lane (no AVX2)") : std::to_string(available_lanes) + " lanes or 1") +
         "; use --lanes 1 or leave the choice to the program";
}

unsigned worker_threads(const Options& options, int processes) {
  if (options.threads != 0) return options.threads;
  const unsigned cores = std::max(1u, std::thread::hardware_concurrency());
  return std::max(1u, cores / static_cast<unsigned>(std::max(1, processes)));
}

int run_ensemble_program(const std::filesystem::path& file, const Options& options) {
  std::unique_ptr<Transport> transport = start_transport();
  const int rank = transport->rank();
  const int ranks = transport->size();
  const bool writer = rank == 0;
  // No traps: a trap is for the whole process and cannot stop one member;
  // each member tests the exception flags instead (see member.hpp).
  set_floating_point_modes();
  std::signal(SIGXFSZ, SIG_IGN);

  // Lanes the processor cannot run are refused before anything is done.
  if (const std::string refused = lanes_refusal(options.lanes); !refused.empty()) {
    if (writer) report(refused);
    return transport->share(exit_input_error);
  }

  Setup s;
  const int status = transport->share(set_up(file, options, writer, s));
  if (status != 0) return status;
  const Definition& d = s.definition;
  const Layout& layout = s.layout;

  const unsigned threads = worker_threads(options, transport->local_size());
  const std::size_t members = layout.members;
  const std::size_t own = members > static_cast<std::size_t>(rank)
                              ? (members - static_cast<std::size_t>(rank) + ranks - 1) / ranks
                              : 0;
  const std::vector<int>& species = layout.species;
  // Each worker runs its members in groups of as many as the lanes hold,
  // their chemistry steps integrated together.
  MemberPool pool(d, species, own, threads, lane_kernels(static_cast<int>(options.lanes)),
                  [rank, ranks](std::size_t p) { return static_cast<std::size_t>(rank) + p * ranks; });
  const std::size_t lanes = pool.lanes();

  if (!writer) {
    for (std::size_t p = 0; p < own; ++p) transport->send(pool.next());
    return transport->share(0);
  }

  TerminalProgress progress(members, "members", options.progress);
  std::size_t failed = 0;
  try {
    for (std::size_t i = 0; i < members; ++i) {
      const int from = static_cast<int>(i % static_cast<std::size_t>(ranks));
      const MemberResult r = from == 0 ? pool.next() : transport->receive(from);
      if (!r.ok()) ++failed;
      const std::vector<VariedValue> varied = varied_values(d, layout, i);
      for (auto& f : s.files) f->member(r, varied);
      progress.update(i + 1);
    }
    for (auto& f : s.files) f->finish();
  } catch (const OutputError& e) {
    progress.clear();
    report(e.what());
    if (transport->distributed()) transport->abort(exit_output_error);
    return exit_output_error;
  }
  progress.clear();

  const double seconds = progress.seconds();
  char line[320];
  std::snprintf(line, sizeof line,
                "ensemble: %zu member%s, %zu succeeded, %zu failed; %.1f s, %.1f members/s; %d process%s x %u "
                "thread%s, %zu lane%s; %.0f kB per member",
                members, members == 1 ? "" : "s", members - failed, failed, seconds, seconds > 0 ? static_cast<double>(members) / seconds : 0.0,
                ranks, ranks == 1 ? "" : "es", threads, threads == 1 ? "" : "s", lanes, lanes == 1 ? "" : "s",
                static_cast<double>(bytes_per_member(layout)) / 1024.0);
  report(line);
  return transport->share(failed == 0 ? 0 : exit_members_failed);
}

int print_member_program(const std::filesystem::path& file, std::size_t member, const Options& options) {
  try {
    const Definition d = read_definition(file, command_line_keys(options));
    if (member >= d.members())
      throw InputError(file.generic_string() + ": member " + std::to_string(member) + " asked for; the ensemble has " +
                       std::to_string(d.members()) + " (0 to " + std::to_string(d.members() - 1) + ")");
    Scenario s = member_scenario_for_run(d, member);
    s.output.dir = d.output_dir / ("member-" + std::to_string(member));
    std::fputs(scenario_to_toml(s).c_str(), stdout);
  } catch (const InputError& e) {
    report(e.what());
    return exit_input_error;
  }
  return std::fflush(stdout) == 0 ? 0 : exit_output_error;
}

}  // namespace box::ensemble
