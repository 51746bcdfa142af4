#pragma once
// What the run prints, line by line: the species table and the progress
// lines. The layout of each field comes from common/format.
#include <initializer_list>
#include <string>
#include <string_view>
#include <utility>

#include "chemistry/concentration_slots.hpp"

namespace box {

// Header line of the species table "TS_species.txt": 17 labels of 9 columns.
std::string species_table_header();

// One row of the species table: local time, the record's time stamp and 15
// species (ppb, ppt for BR, HO and BRO), 9 columns with 3 decimals each.
std::string species_table_row(double timloc, double timin, const ConcentrationVector& vc);

// A progress line: "label value " for each pair, the value 7 columns wide
// with 3 decimals.
using ProgressPair = std::pair<std::string_view, double>;
std::string progress_line(std::initializer_list<ProgressPair> pairs);

// The formatted start-up line: `label` and three 28-column exponent fields.
std::string startup_line(std::string_view label, double a, double b, double c);

}  // namespace box
