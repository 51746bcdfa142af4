#pragma once
#include <cstddef>
#include <filesystem>
#include <optional>
#include <string>

namespace box::ensemble {

// Exit status of an ensemble whose outputs are complete but at least one of
// whose members failed (see status and message in ensemble.nc).
inline constexpr int exit_members_failed = 4;

struct Options {
  unsigned threads = 0;  // worker threads per process; 0: every core
  unsigned lanes = 0;    // boxes per vector register; 0: the best this processor has
  bool progress = true;  // the progress bar, when standard error is a terminal
  // --kernels: [chemistry] kernels of the base and every member.
  std::optional<std::string> kernels;
};

// "" when this processor runs `lanes` boxes per vector register (0 and 1
// always), else the message refusing --lanes.
std::string lanes_refusal(unsigned lanes);

// Worker threads per process: options.threads, or the machine's cores
// shared among the `processes` started on it.
unsigned worker_threads(const Options& options, int processes);

// `boxmodel ensemble FILE --print-member K`: member K's scenario as a
// scenario file for `boxmodel run` (writing into <output dir>/member-K),
// on standard output. Returns the exit status.
int print_member_program(const std::filesystem::path& file, std::size_t member, const Options& options = {});

// `boxmodel ensemble FILE`: every member run, the outputs written, a
// summary on standard error. Returns the exit status: 0 every member
// succeeded; exit_members_failed some failed (the outputs are complete);
// 1 the ensemble file, its table or its base scenario are not valid;
// 2 an output could not be written.
int run_ensemble_program(const std::filesystem::path& file, const Options& options);

}  // namespace box::ensemble
