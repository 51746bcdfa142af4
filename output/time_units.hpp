#pragma once
// The calendar side of the outputs: the local date and time a run starts at,
// written as the reference of a CF time coordinate.
#include <string>

namespace box {

// "seconds since YYYY-MM-DD hh:mm:ss" for the local time `start_hour` hours
// after midnight of day `day_of_year` (1 = 1 January) of `year`, in the
// proleptic Gregorian calendar (CF "standard" for these years). Hours of 24
// or more roll into the following days and years. A start that is not a
// whole second gets the microseconds it has (05:07:24.4416); the reference
// is rounded to the microsecond. Throws std::invalid_argument for a day
// outside the year or a negative start.
std::string seconds_since_units(int year, int day_of_year, double start_hour);

}  // namespace box
