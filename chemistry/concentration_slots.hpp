#pragma once
// Slots of the driver's concentration vector `vc` (mole fractions). The 77
// species of the base mechanism come in alphabetical order, then the five
// bromine species. The numbers count from 1, as the chemistry tables do;
// storage offsets come from box::at(). The driver keeps this vector between
// steps; the chemistry step maps it to the mechanism's own species order.
#include <array>

namespace box {

inline constexpr int nspec_old = 82;  // length of vc
using ConcentrationVector = std::array<double, nspec_old>;

inline constexpr int laco3 = 1;
inline constexpr int laddc = 2;
inline constexpr int laddt = 3;
inline constexpr int laddx = 4;
inline constexpr int lald = 5;
inline constexpr int lapi = 6;
inline constexpr int lapip = 7;
inline constexpr int lch4 = 8;
inline constexpr int lco = 9;
inline constexpr int lco2 = 10;
inline constexpr int lcsl = 11;
inline constexpr int lcslp = 12;
inline constexpr int ldcb = 13;
inline constexpr int ldien = 14;
inline constexpr int lete = 15;
inline constexpr int letep = 16;
inline constexpr int leth = 17;
inline constexpr int lethp = 18;
inline constexpr int lgly = 19;
inline constexpr int lh2 = 20;
inline constexpr int lh2o = 21;
inline constexpr int lh2o2 = 22;
inline constexpr int lhc3 = 23;
inline constexpr int lhc3p = 24;
inline constexpr int lhc5 = 25;
inline constexpr int lhc5p = 26;
inline constexpr int lhc8 = 27;
inline constexpr int lhc8p = 28;
inline constexpr int lhcho = 29;
inline constexpr int lhket = 30;
inline constexpr int lhno3 = 31;
inline constexpr int lhno4 = 32;
inline constexpr int lho = 33;
inline constexpr int lho2 = 34;
inline constexpr int lhono = 35;
inline constexpr int liso = 36;
inline constexpr int lisop = 37;
inline constexpr int lket = 38;
inline constexpr int lketp = 39;
inline constexpr int llim = 40;
inline constexpr int llimp = 41;
inline constexpr int lmacr = 42;
inline constexpr int lmgly = 43;
inline constexpr int lmo2 = 44;
inline constexpr int ln2 = 45;
inline constexpr int ln2o5 = 46;
inline constexpr int lno = 47;
inline constexpr int lno2 = 48;
inline constexpr int lno3 = 49;
inline constexpr int lo1d = 50;
inline constexpr int lo2 = 51;
inline constexpr int lo3 = 52;
inline constexpr int lo3p = 53;
inline constexpr int loli = 54;
inline constexpr int lolip = 55;
inline constexpr int lolnd = 56;
inline constexpr int lolnn = 57;
inline constexpr int lolt = 58;
inline constexpr int loltp = 59;
inline constexpr int lonit = 60;
inline constexpr int lop1 = 61;
inline constexpr int lop2 = 62;
inline constexpr int lora1 = 63;
inline constexpr int lora2 = 64;
inline constexpr int lpaa = 65;
inline constexpr int lpan = 66;
inline constexpr int lpho = 67;
inline constexpr int lso2 = 68;
inline constexpr int lsulf = 69;
inline constexpr int ltco3 = 70;
inline constexpr int ltol = 71;
inline constexpr int ltolp = 72;
inline constexpr int ltpan = 73;
inline constexpr int ludd = 74;
inline constexpr int lxo2 = 75;
inline constexpr int lxyl = 76;
inline constexpr int lxylp = 77;
inline constexpr int lbr = 78;
inline constexpr int lbro = 79;
inline constexpr int lhobr = 80;
inline constexpr int lhbr = 81;
inline constexpr int lbr2 = 82;

static_assert(llim == 40 && lo3 == 52 && lbr == 78 && lbr2 == nspec_old);

}  // namespace box
