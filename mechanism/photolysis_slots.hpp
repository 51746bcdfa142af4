#pragma once
// Slots of the photolysis-frequency vector (s-1) handed to the rate
// coefficients: j[at(pj_x)] is the frequency of photolysis process x. Only
// slots 1 to 25 drive reactions of this mechanism; 26 to 51 are accepted
// and read by no reaction.
namespace box {

inline constexpr int nphot = 51;

inline constexpr int pj_o31d = 1;       // O3 -> O(1D)
inline constexpr int pj_o33p = 2;       // O3 -> O(3P)
inline constexpr int pj_no2 = 3;
inline constexpr int pj_no3o2 = 4;      // NO3 -> NO + O2
inline constexpr int pj_no3o = 5;       // NO3 -> NO2 + O
inline constexpr int pj_hno2 = 6;
inline constexpr int pj_hno3 = 7;
inline constexpr int pj_hno4 = 8;
inline constexpr int pj_h2o2 = 9;
inline constexpr int pj_ch2or = 10;     // HCHO, radical channel
inline constexpr int pj_ch2om = 11;     // HCHO, molecular channel
inline constexpr int pj_ch3cho = 12;
inline constexpr int pj_ch3coch3 = 13;  // drives OP2
inline constexpr int pj_ch3coc2h5 = 14; // drives KET and HKET
inline constexpr int pj_hcocho = 15;
inline constexpr int pj_ch3cocho = 16;
inline constexpr int pj_hcochest = 17;
inline constexpr int pj_ch3o2h = 18;
inline constexpr int pj_ch3coo2h = 19;
inline constexpr int pj_ch3ono2 = 20;
inline constexpr int pj_hcochob = 21;
inline constexpr int pj_macr = 22;
inline constexpr int pj_hobr = 23;
inline constexpr int pj_br2 = 24;
inline constexpr int pj_bro = 25;
inline constexpr int pj_n2o5 = 26;
inline constexpr int pj_o2 = 27;
inline constexpr int pj_pan = 28;
inline constexpr int pj_acet = 29;
inline constexpr int pj_mglo = 30;
inline constexpr int pj_hno4_2 = 31;
inline constexpr int pj_n2o = 32;
inline constexpr int pj_pooh = 33;
inline constexpr int pj_mpan = 34;
inline constexpr int pj_mvk = 35;
inline constexpr int pj_etooh = 36;
inline constexpr int pj_prooh = 37;
inline constexpr int pj_onitr = 38;
inline constexpr int pj_acetol = 39;
inline constexpr int pj_glyald = 40;
inline constexpr int pj_hyac = 41;
inline constexpr int pj_mek = 42;
inline constexpr int pj_open = 43;
inline constexpr int pj_gly = 44;
inline constexpr int pj_acetp = 45;
inline constexpr int pj_xooh = 46;
inline constexpr int pj_isooh = 47;
inline constexpr int pj_alkooh = 48;
inline constexpr int pj_mekooh = 49;
inline constexpr int pj_tolooh = 50;
inline constexpr int pj_terpooh = 51;

static_assert(pj_terpooh == nphot);

}  // namespace box
