#include "driver/sample_writers.hpp"

namespace box {

std::vector<std::unique_ptr<RunObserver>> sample_writers(const Scenario&) { return {}; }

void check_sample_formats(const Scenario&) {}

}  // namespace box
