#include "app/isopleths_program.hpp"

#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <string>
#include <vector>

#include "common/errors.hpp"
#include "ensemble/isopleths.hpp"
#include "mechanism/lane_kernels.hpp"
#include "output/netcdf_writer.hpp"
#include "output/terminal_progress.hpp"
#include "run/fp_environment.hpp"

#ifndef BOXMODEL_SOURCE_DIR
#define BOXMODEL_SOURCE_DIR ""
#endif

namespace box::ensemble {
namespace {

namespace fs = std::filesystem;

void report(const std::string& message) { std::fprintf(stderr, "boxmodel: %s\n", message.c_str()); }

constexpr const char* plot_tool = "plot_isopleths.py";

// The plotting tool: beside the program (as installed), else in the source
// tree the program was built from.
fs::path find_plot_tool() {
  std::error_code error;
  const fs::path own = fs::read_symlink("/proc/self/exe", error).parent_path() / plot_tool;
  if (!error && fs::exists(own, error)) return own;
  const fs::path source = fs::path(BOXMODEL_SOURCE_DIR) / "tools" / plot_tool;
  if (!std::string(BOXMODEL_SOURCE_DIR).empty() && fs::exists(source, error)) return source;
  return {};
}

// The exit status of the tool run by python3 (127: no python3 to run it).
int run_tool(const fs::path& tool, const std::vector<std::string>& arguments) {
  std::vector<std::string> words = {"python3", tool.string()};
  words.insert(words.end(), arguments.begin(), arguments.end());
  std::vector<char*> argv;
  for (std::string& w : words) argv.push_back(w.data());
  argv.push_back(nullptr);
  std::fflush(stdout);
  std::fflush(stderr);
  const pid_t child = fork();
  if (child < 0) return 127;
  if (child == 0) {
    execvp("python3", argv.data());
    _exit(127);
  }
  int status = 0;
  while (waitpid(child, &status, 0) < 0)
    if (errno != EINTR) return 127;
  return WIFEXITED(status) ? WEXITSTATUS(status) : 128;
}

// Draws isopleths.png; a note saying how to draw it when it cannot.
void draw(const fs::path& dir, const Isopleths& iso) {
  const fs::path csv = dir / isopleths_csv_name;
  // A figure of an earlier diagram must not pass for this one's.
  std::error_code error;
  fs::remove(dir / isopleths_png_name, error);
  const fs::path tool = find_plot_tool();
  const std::string how = "draw it with: python3 " + (tool.empty() ? fs::path("tools") / plot_tool : tool).string() +
                          " " + csv.string() + " (needs matplotlib; Debian: apt-get install python3-matplotlib)";
  if (tool.empty()) {
    report("note: " + (dir / isopleths_png_name).string() + " not drawn: " + plot_tool + " not found; " + how);
    return;
  }
  const std::string title = iso.ensemble.base.filename().string() + ": O3 " + iso.ozone.text() + " (ppb)";
  const int status = run_tool(tool, {csv.string(), "-o", (dir / isopleths_png_name).string(), "--title", title});
  if (status == 0) return;
  const std::string why = status == 127  ? "no python3 to run " + std::string(plot_tool)
                          : status == 77 ? "python3 has no matplotlib"
                                         : plot_tool + std::string(" failed (exit status ") + std::to_string(status) + ")";
  report("note: " + (dir / isopleths_png_name).string() + " not drawn: " + why + "; " + how);
}

}  // namespace

int run_isopleths_program(const fs::path& file, const Options& options, bool plot) {
  // As in an ensemble: no traps, each member tests the exception flags.
  set_floating_point_modes();
  std::signal(SIGXFSZ, SIG_IGN);
  if (const std::string refused = lanes_refusal(options.lanes); !refused.empty()) {
    report(refused);
    return exit_input_error;
  }
  Isopleths iso;
  try {
    iso = read_isopleths(file);
  } catch (const InputError& e) {
    report(e.what());
    return exit_input_error;
  }
  const Definition& d = iso.ensemble;
  const fs::path& dir = d.output_dir;
  std::error_code error;
  fs::create_directories(dir, error);
  if (error) {
    report(dir.generic_string() + ": cannot create the output folder: " + error.message());
    return exit_output_error;
  }

  const unsigned threads = worker_threads(options, 1);
  const std::size_t points = iso.points();
  TerminalProgress progress(points, "grid points", options.progress);
  const IsoplethResult result = run_isopleths(iso, threads, lane_kernels(static_cast<int>(options.lanes)),
                                              [&progress](std::size_t done) { progress.update(done); });
  progress.clear();
  const double seconds = progress.seconds();
  const std::vector<double>& o3 = result.o3_ppb;
  const std::size_t failed = result.failed;

  try {
    write_isopleths_csv(dir, iso, o3);
    if (netcdf_available()) write_isopleths_netcdf(dir, iso, o3);
    else report("note: " + (dir / isopleths_netcdf_name).string() + " not written: " + netcdf_unavailable_reason());
  } catch (const OutputError& e) {
    report(e.what());
    return exit_output_error;
  }
  if (plot) draw(dir, iso);

  char line[320];
  std::snprintf(line, sizeof line,
                "isopleths: %zu x %zu grid points (NOx x VOC), %zu succeeded, %zu failed; %.1f s; %u thread%s, %zu "
                "lane%s; O3 %s",
                iso.nox.factors.size(), iso.voc.factors.size(), points - failed, failed, seconds, threads,
                threads == 1 ? "" : "s", result.lanes, result.lanes == 1 ? "" : "s", iso.ozone.text().c_str());
  report(line);
  for (const std::string& message : result.messages)
    if (!message.empty()) {
      report("the first failed point: " + message);
      break;
    }
  return failed == 0 ? 0 : exit_members_failed;
}

}  // namespace box::ensemble
