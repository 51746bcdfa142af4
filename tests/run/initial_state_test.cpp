// The initial surface state and the table and progress lines that show it.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>
#include <utility>

#include "common/one_based.hpp"
#include "run/initial_state.hpp"
#include "output/report.hpp"

namespace box {
namespace {

TEST(InitialState, SurfaceWaterVapour) {
  const SurfaceHumidity h = surface_humidity();
  EXPECT_EQ(h.vapour_pressure, 2363.497809333234);
  EXPECT_EQ(h.mixing_ratio, 0.023325909788632953);
  EXPECT_EQ(initial_concentrations()[at(lh2o)], 0.023325909788632953);
  // Mass mixing ratio of water vapour that the chemistry receives each step.
  EXPECT_EQ(initial_concentrations()[at(lh2o)] * 18.0 * 0.034722222222222224,
            0.014578693617895596);
}

TEST(InitialState, ThirtyFiveNonZeroSlotsAndNoRadicals) {
  const ConcentrationVector vc = initial_concentrations();
  EXPECT_EQ(std::count_if(vc.begin(), vc.end(), [](double x) { return x != 0.0; }), 35);
  for (int radical : {lho, lho2, lbr, lhbr, lmo2, laco3, lo1d, lo3p, lxo2})
    EXPECT_EQ(vc[at(radical)], 0.0) << "slot " << radical;
}

// The published initial mixing ratios (mol/mol), each in its slot.
TEST(InitialState, EveryListedMixingRatio) {
  const std::pair<int, double> listed[] = {
      {lch4, 1.7e-6},   {lco, 7e-8},      {lco2, 3.5e-4},  {lh2, 5e-7},     {lh2o2, 5e-10},
      {lhcho, 1e-10},   {lhno3, 1e-11},   {lapi, 1e-11},   {llim, 1e-11},   {liso, 3e-11},
      {lmacr, 1e-11},   {ln2, 0.781},     {lno, 5e-12},    {lno2, 1e-11},   {lno3, 1e-12},
      {lo2, 0.209},     {lo3, 1e-8},      {leth, 4e-10},   {lete, 1e-10},   {lald, 1e-10},
      {lket, 1e-10},    {lxyl, 5e-11},    {lpan, 5e-12},   {lora1, 3e-11},  {lora2, 3e-12},
      {lhc3, 5e-11},    {lhc5, 3.69e-11}, {lhc8, 2e-11},   {loli, 1e-12},   {lbro, 2e-13},
      {lbr2, 1e-11},    {lhobr, 1e-11}};
  const ConcentrationVector vc = initial_concentrations();
  for (const auto& [slot, x] : listed) EXPECT_EQ(vc[at(slot)], x) << "slot " << slot;
}

TEST(InitialState, TolueneAndTerminalOlefinsOneUlpAbove) {
  const ConcentrationVector vc = initial_concentrations();
  EXPECT_EQ(vc[at(ltol)], std::nextafter(1.23e-10, 1.0));
  EXPECT_EQ(vc[at(lolt)], std::nextafter(6.16e-11, 1.0));
}

TEST(SpeciesTable, HeaderIs153Columns) {
  const std::string header = species_table_header();
  EXPECT_EQ(header.size(), 153u);
  EXPECT_EQ(header,
            "  timloc=    timin      O3=      NO=     NO2=    HCHO=     Lim=      NO3     HNO3"
            "      HBr    Brppt      Br2     HOBr    OHppt   BrOppt      PAN      HO2");
}

TEST(SpeciesTable, FirstRowShowsTheInitialState) {
  EXPECT_EQ(species_table_row(5.0, 11.0, initial_concentrations()),
            "    5.000   11.000   10.000    0.005    0.010    0.100    0.010    0.001    0.010"
            "    0.000    0.000    0.010    0.010    0.000    0.200    0.005    0.000");
}

// Each column shows its own species: O3, NO, NO2, HCHO, LIM, NO3, HNO3,
// HBR in ppb, BR in ppt, BR2, HOBR in ppb, HO and BRO in ppt, PAN and HO2 in
// ppb. Column k is given the value k (ppb or ppt) and nothing else.
TEST(SpeciesTable, EachColumnShowsItsSpecies) {
  const std::pair<int, double> columns[] = {
      {lo3, 1e-9},   {lno, 1e-9},    {lno2, 1e-9},  {lhcho, 1e-9}, {llim, 1e-9},
      {lno3, 1e-9},  {lhno3, 1e-9},  {lhbr, 1e-9},  {lbr, 1e-12},  {lbr2, 1e-9},
      {lhobr, 1e-9}, {lho, 1e-12},   {lbro, 1e-12}, {lpan, 1e-9},  {lho2, 1e-9}};
  ConcentrationVector vc{};
  std::string expected = "    5.000   11.000";
  for (int k = 1; k <= 15; ++k) {
    vc[at(columns[k - 1].first)] = k * columns[k - 1].second;
    expected += (k < 10 ? "    " : "   ") + std::to_string(k) + ".000";
  }
  EXPECT_EQ(species_table_row(5.0, 11.0, vc), expected);
}

TEST(SpeciesTable, PptColumnsAndOverflow) {
  ConcentrationVector vc{};
  vc[at(lbr)] = 1.5e-12;    // 1.5 ppt
  vc[at(lho)] = 2.5e-13;    // 0.25 ppt
  vc[at(lo3)] = 1.2e-4;     // 120000 ppb: too wide
  const std::string row = species_table_row(9.000000000000002, 15.0, vc);
  EXPECT_EQ(row.substr(0, 27), "    9.000   15.000*********");
  EXPECT_EQ(row.substr(90, 9), "    1.500");   // Brppt, column 11
  EXPECT_EQ(row.substr(117, 9), "    0.250");  // OHppt, column 14
}

TEST(ProgressLine, PairsOfLabelAndSevenColumnValue) {
  EXPECT_EQ(progress_line({{"working on timloc after=", 5.0}, {"timin", 11.0}, {"NO=", 0.005}}),
            "working on timloc after=   5.000 timin  11.000 NO=   0.005 ");
  // A radiation of 1000 W m-2 or more does not fit 7 columns.
  EXPECT_EQ(progress_line({{"averad=", 1000.0}, {"coszen", -0.0421}}),
            "averad= ******* coszen  -0.042 ");
}

TEST(StartupLine, LabelAndThreeExponentFields) {
  const std::string line = startup_line("ph_acetp=", 0.0, 0.0, 1.0);
  EXPECT_EQ(line, "ph_acetp=               0.0000000E+00               0.0000000E+00"
                  "               0.1000000E+01");
  EXPECT_EQ(line.size(), 9u + 3 * 28);
}

}  // namespace
}  // namespace box
