#include "scenario/scenario.hpp"

#include <algorithm>
#include <cmath>

namespace box {

bool OutputSettings::wants(OutputFormat f) const {
  return std::find(formats.begin(), formats.end(), f) != formats.end();
}

int Scenario::total_steps() const {
  return static_cast<int>(std::llround(time.hours * 3600.0 / time.step_seconds));
}

int Scenario::records_needed() const {
  const int per_hour = steps_per_hour();
  return (total_steps() + per_hour - 1) / per_hour;
}

const std::vector<std::string>& method_names() {
  static const std::vector<std::string> names = {"ros2", "ros3", "ros4", "rodas3", "rodas4"};
  return names;
}

int Scenario::method_number() const {
  const auto& names = method_names();
  const auto it = std::find(names.begin(), names.end(), chemistry.method);
  return it == names.end() ? 0 : static_cast<int>(it - names.begin()) + 1;
}

Scenario default_scenario() { return Scenario{}; }

}  // namespace box
