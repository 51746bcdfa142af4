#include "scenario/scenario.hpp"

#include <algorithm>
#include <cmath>

#include "environment/calendar.hpp"

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

bool Scenario::reads_site_records() const {
  return site.records_given || !(environment.names("temperature_K") && environment.names("pressure_Pa"));
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

double Scenario::last_input_hour() const {
  return time.start_hour + (spin_up.enabled ? std::max(time.hours, 24.0) : time.hours);
}

SunSite SiteSettings::sun() const {
  return sun_site(latitude.value_or(0.0), longitude_east.value_or(0.0), utc_offset_hours.value_or(0.0),
                  Date{date->year, date->month, date->day});
}

bool EnvironmentSettings::names(std::string_view name) const {
  const auto constant = [&]() -> bool {
    if (name == "temperature_K") return temperature_K.has_value();
    if (name == "pressure_Pa") return pressure_Pa.has_value();
    if (name == "relative_humidity") return relative_humidity.has_value();
    if (name == "h2o_ppb") return h2o_ppb.has_value();
    if (name == "h2o_molecules_cm3") return h2o_molecules_cm3.has_value();
    if (name == "mixing_height_m") return mixing_height_m.has_value();
    return false;
  };
  return constant() || (series != nullptr && series->find(name) != nullptr);
}

bool EnvironmentSettings::given() const {
  return temperature_K || pressure_Pa || relative_humidity || h2o_ppb || h2o_molecules_cm3 || mixing_height_m ||
         file;
}

Scenario default_scenario() { return Scenario{}; }

}  // namespace box
