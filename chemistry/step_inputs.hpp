#pragma once
// What the driver keeps for the chemistry step besides its concentration
// vector: the short-lived radicals held in variables of their own, and the
// step's photolysis frequencies.
#include <array>

#include "mechanism/photolysis_slots.hpp"

namespace box {

// The 29 radical and intermediate slots the driver keeps between steps, in
// the order of the call. The first 25 are read and written by the step; the
// last four are accepted and never touched.
struct RadicalSlots {
  double addt = 0, addx = 0, addc = 0, etep = 0, oltp = 0, olip = 0, cslp = 0,
         limp = 0, hc5p = 0, hc8p = 0, tolp = 0, xylp = 0, apip = 0, isop = 0,
         hc3p = 0, ethp = 0, o3p = 0, tco3 = 0, mo2 = 0, o1d = 0, olnn = 0,
         olnd = 0, rpho = 0, xo2 = 0, ketp = 0;
  double xno2 = 0, ol2p = 0, oln = 0, macp = 0;
};

// The 51 photolysis frequencies (s-1) in argument order: storage offset
// at(pj_x) holds ph_x. The step's arguments and the mechanism's photolysis
// slots are the same list.
inline constexpr int njv = nphot;
using PhotolysisRates = std::array<double, njv>;

}  // namespace box
