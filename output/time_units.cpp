#include "output/time_units.hpp"

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <stdexcept>

namespace box {
namespace {

bool leap(int year) { return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0; }
int days_in_year(int year) { return leap(year) ? 366 : 365; }

}  // namespace

std::string seconds_since_units(int year, int day_of_year, double start_hour) {
  if (day_of_year < 1 || day_of_year > days_in_year(year))
    throw std::invalid_argument("day " + std::to_string(day_of_year) + " is not a day of " +
                                std::to_string(year));
  if (!(start_hour >= 0) || !std::isfinite(start_hour))
    throw std::invalid_argument("start hour " + std::to_string(start_hour) +
                                " is not a time of day");

  constexpr std::int64_t us_per_day = 86'400'000'000;
  const auto start_us = static_cast<std::int64_t>(std::llround(start_hour * 3600e6));
  std::int64_t day = day_of_year + start_us / us_per_day;  // 1-based in `year`
  std::int64_t rest = start_us % us_per_day;
  while (day > days_in_year(year)) day -= days_in_year(year++);

  static constexpr int month_days[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  int month = 1;
  for (; month < 12; ++month) {
    const int length = month_days[month - 1] + (month == 2 && leap(year) ? 1 : 0);
    if (day <= length) break;
    day -= length;
  }
  const auto hour = static_cast<int>(rest / 3'600'000'000);
  rest %= 3'600'000'000;
  const auto minute = static_cast<int>(rest / 60'000'000);
  rest %= 60'000'000;
  const auto second = static_cast<int>(rest / 1'000'000);
  const auto micro = static_cast<int>(rest % 1'000'000);

  char text[64];
  std::snprintf(text, sizeof text, "seconds since %04d-%02d-%02d %02d:%02d:%02d", year, month,
                static_cast<int>(day), hour, minute, second);
  std::string units = text;
  if (micro != 0) {
    std::snprintf(text, sizeof text, ".%06d", micro);
    std::string fraction = text;
    while (fraction.back() == '0') fraction.pop_back();
    units += fraction;
  }
  return units;
}

}  // namespace box
