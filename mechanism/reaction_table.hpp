#pragma once
// The mechanism as data: every species and every reaction, written once.
//
// A reaction lists its reactant factors in the order the rate product takes
// them (variable species by increasing index, a self-reaction's species
// twice, a fixed species last), its products with their yields (a yield of 1
// is not written; products that are not species of the mechanism are left
// out), and its rate law with the law's parameters. The right-hand side, the
// Jacobian, its sparsity pattern, the fill-in of the LU factorisation and the
// rate coefficients are all derived from this table; nothing about the
// mechanism is written anywhere else. Changing the mechanism means changing
// this table and the sizes it is checked against (parameters.hpp and the
// counts at the end of structure.hpp).
#include <array>
#include <initializer_list>
#include <string_view>

#include "common/one_based.hpp"
#include "mechanism/parameters.hpp"
#include "mechanism/photolysis_slots.hpp"

namespace box::mech {

struct Species {
  int index = 0;
};

// Species of the mechanism by their chemical names (HO, NO2, ACO3, M, ...).
#define BOX_DEFINE_SPECIES(index, lower, upper) inline constexpr Species upper{index};
BOX_SPECIES(BOX_DEFINE_SPECIES)
#undef BOX_DEFINE_SPECIES

#define BOX_SPECIES_NAME(index, lower, upper) #upper,
inline constexpr std::array<std::string_view, nspec> species_names = {
    BOX_SPECIES(BOX_SPECIES_NAME)};
#undef BOX_SPECIES_NAME

constexpr bool is_fixed(int species) { return species > nvar; }

// One product with its yield; `0.65*HO2` reads as in the chemistry.
struct Product {
  int species = 0;
  double yield = 0.0;
  constexpr Product() = default;
  constexpr Product(Species s) : species(s.index), yield(1.0) {}  // a yield of 1
  constexpr Product(int s, double y) : species(s), yield(y) {}
};
constexpr Product operator*(double yield, Species s) { return {s.index, yield}; }

// Rate laws. The parameters are those of the law's function (rate_laws.hpp)
// in its argument order; the four laws that are expressions of their own are
// named after their reactions.
enum class Law {
  photolysis,       // frequency of a photolysis slot
  constant,         // k
  arr2,             // A exp(-B/T)
  arr2_share,       // A exp(-B/T) times the share of M that reacts (N2, O2)
  troe,             // three-body fall-off
  troee,            // thermal decomposition paired with a fall-off formation
  thermal_t2,       // C T^2 exp(-D/T)
  hno3_oh,          // HNO3 + HO, the k46 law
  ozone_formation,  // O + O2 + M
  ho2_self,         // HO2 + HO2, with its pressure-dependent part
  ho2_self_h2o,     // HO2 + HO2 + H2O
  co_oh,            // CO + HO, pressure dependent
};

struct RateLaw {
  Law law = Law::constant;
  std::array<double, 6> p{};
  int slot = 0;  // photolysis only
};

constexpr RateLaw photolysis(int slot) { return {Law::photolysis, {}, slot}; }
constexpr RateLaw constant(double k) { return {Law::constant, {k}}; }
constexpr RateLaw arr2(double a, double b) { return {Law::arr2, {a, b}}; }
constexpr RateLaw arr2_share(double a, double b, double share) {
  return {Law::arr2_share, {a, b, share}};
}
constexpr RateLaw troe(double k0_300k, double n, double kinf_300k, double m) {
  return {Law::troe, {k0_300k, n, kinf_300k, m}};
}
constexpr RateLaw troee(double a, double b, double k0_300k, double n, double kinf_300k, double m) {
  return {Law::troee, {a, b, k0_300k, n, kinf_300k, m}};
}
constexpr RateLaw thermal_t2(double c, double d) { return {Law::thermal_t2, {c, d}}; }
constexpr RateLaw hno3_oh() { return {Law::hno3_oh}; }
constexpr RateLaw ozone_formation() { return {Law::ozone_formation}; }
constexpr RateLaw ho2_self() { return {Law::ho2_self}; }
constexpr RateLaw ho2_self_h2o() { return {Law::ho2_self_h2o}; }
constexpr RateLaw co_oh() { return {Law::co_oh}; }

inline constexpr int max_factors = 3;
inline constexpr int max_products = 14;

struct Reaction {
  int number = 0;
  std::array<int, max_factors> factors{};
  int n_factors = 0;
  std::array<Product, max_products> products{};
  int n_products = 0;
  RateLaw law;

  constexpr Reaction(int n, std::initializer_list<Species> reactants,
                     std::initializer_list<Product> prods, RateLaw rate)
      : number(n), law(rate) {
    if (reactants.size() < 1 || reactants.size() > max_factors) throw "1 to 3 reactant factors";
    if (prods.size() > max_products) throw "too many products";
    for (Species s : reactants) factors[n_factors++] = s.index;
    for (Product p : prods) products[n_products++] = p;
  }
};

// clang-format off
inline constexpr std::array<Reaction, nreact> reactions = {{
    // Photolysis: the coefficient is the frequency of the slot named.
    {  1, {NO2},         {O3P, NO}, photolysis(pj_no2)},
    {  2, {O3},          {O1D}, photolysis(pj_o31d)},
    {  3, {O3},          {O3P}, photolysis(pj_o33p)},
    {  4, {HONO},        {HO, NO}, photolysis(pj_hno2)},
    {  5, {HNO3},        {HO, NO2}, photolysis(pj_hno3)},
    {  6, {HNO4},        {0.65*HO2, 0.35*NO3, 0.35*HO, 0.65*NO2}, photolysis(pj_hno4)},
    {  7, {NO3},         {NO}, photolysis(pj_no3o2)},
    {  8, {NO3},         {O3P, NO2}, photolysis(pj_no3o)},
    {  9, {H2O2},        {2*HO}, photolysis(pj_h2o2)},
    { 10, {HCHO},        {CO}, photolysis(pj_ch2om)},
    { 11, {HCHO},        {CO, 2*HO2}, photolysis(pj_ch2or)},
    { 12, {ALD},         {CO, HO2, MO2}, photolysis(pj_ch3cho)},
    { 13, {OP1},         {HCHO, HO2, HO}, photolysis(pj_ch3o2h)},
    { 14, {OP2},         {ALD, HO2, HO}, photolysis(pj_ch3coch3)},
    { 15, {PAA},         {MO2, HO}, photolysis(pj_ch3coo2h)},
    { 16, {KET},         {ETHP, ACO3}, photolysis(pj_ch3coc2h5)},
    { 17, {GLY},         {1.87*CO, 0.13*HCHO}, photolysis(pj_hcocho)},
    { 18, {GLY},         {1.55*CO, 0.45*HCHO, 0.8*HO2}, photolysis(pj_hcochob)},
    { 19, {MGLY},        {CO, ACO3, HO2}, photolysis(pj_ch3cocho)},
    { 20, {DCB},         {TCO3, HO2}, photolysis(pj_hcochest)},
    { 21, {ONIT},        {0.8*KET, 0.2*ALD, HO2, NO2}, photolysis(pj_ch3ono2)},
    { 22, {MACR},        {CO, HCHO, ACO3, HO2}, photolysis(pj_macr)},
    { 23, {HKET},        {HCHO, ACO3, HO2}, photolysis(pj_ch3coc2h5)},
    { 24, {HOBR},        {BR, HO}, photolysis(pj_hobr)},
    { 25, {BR2},         {2*BR}, photolysis(pj_br2)},
    { 26, {BRO},         {BR, O3P}, photolysis(pj_bro)},

    // Inorganic chemistry: odd oxygen, HOx and NOx. Reaction 27 is O + O2 + M with O2 folded into
    // the coefficient. 29 and 30 quench O(1D) on the N2 and O2 shares of M; 29 books the O(3P) it
    // makes as the O3 it becomes at once. 31 makes HO from water vapour. 46 and 57 are the thermal
    // decompositions of HNO4 and N2O5, paired with their formation 45 and 56.
    { 27, {O3P, M},      {O3}, ozone_formation()},
    { 28, {O3P, O3},     {}, arr2(8.0E-12, 2060)},
    { 29, {O1D, M},      {O3}, arr2_share(1.8E-11, -110, 0.78084)},
    { 30, {O1D, M},      {O3P}, arr2_share(3.2E-11, -70, 0.20946)},
    { 31, {O1D, H2O},    {2*HO}, constant(2.2E-10)},
    { 32, {O3, HO},      {HO2}, arr2(1.6E-12, 940)},
    { 33, {HO2, O3},     {HO}, arr2(1.1E-14, 500)},
    { 34, {HO2, HO},     {}, arr2(4.8E-11, -250)},
    { 35, {H2O2, HO},    {HO2}, arr2(2.9E-12, 160)},
    { 36, {HO2, HO2},    {H2O2}, ho2_self()},
    { 37, {HO2, HO2, H2O}, {H2O2}, ho2_self_h2o()},
    { 38, {O3P, NO},     {NO2}, troe(9.0E-32, 1.5, 3.0E-11, 0)},
    { 39, {O3P, NO2},    {NO}, arr2(6.5E-12, -120)},
    { 40, {O3P, NO2},    {NO3}, troe(9.0E-32, 2, 2.2E-11, 0)},
    { 41, {HO, NO},      {HONO}, troe(7.0E-31, 2.6, 1.5E-11, 0.5)},
    { 42, {HO, NO2},     {HNO3}, troe(2.6E-30, 3.2, 2.4E-11, 1.3)},
    { 43, {NO3, HO},     {HO2, NO2}, constant(2.2E-11)},
    { 44, {HO2, NO},     {HO, NO2}, arr2(3.7E-12, -250)},
    { 45, {HO2, NO2},    {HNO4}, troe(1.8E-31, 3.2, 4.7E-12, 1.4)},
    { 46, {HNO4},        {HO2, NO2}, troee(4.76E+26, 10900, 1.8E-31, 3.2, 4.7E-12, 1.4)},
    { 47, {HO2, NO3},    {0.3*HNO3, 0.7*HO, 0.7*NO2}, constant(3.5E-12)},
    { 48, {HONO, HO},    {NO2}, arr2(1.8E-11, 390)},
    { 49, {HNO3, HO},    {NO3}, hno3_oh()},
    { 50, {HNO4, HO},    {NO2}, arr2(1.3E-12, -380)},
    { 51, {O3, NO},      {NO2}, arr2(2.0E-12, 1400)},
    { 52, {O3, NO2},     {NO3}, arr2(1.2E-13, 2450)},
    { 53, {NO, NO, M},   {2*NO2}, arr2_share(3.3E-39, -530, 0.20946)},
    { 54, {NO3, NO},     {2*NO2}, arr2(1.5E-11, -170)},
    { 55, {NO3, NO2},    {NO, NO2}, arr2(4.5E-14, 1260)},
    { 56, {NO3, NO2},    {N2O5}, troe(2.2E-30, 3.9, 1.5E-12, 0.7)},
    { 57, {N2O5},        {NO3, NO2}, troee(3.7E+26, 11000, 2.2E-30, 3.9, 1.5E-12, 0.7)},
    { 58, {NO3, NO3},    {2*NO2}, arr2(8.5E-13, 2450)},
    { 59, {HO, M},       {HO2}, arr2_share(5.5E-12, 2000, 5.31E-7)},

    // HO attack on SO2, CO and the organics.
    { 60, {SO2, HO},     {SULF, HO2}, troe(3.0E-31, 3.3, 1.5E-12, 0)},
    { 61, {CO, HO},      {CO2, HO2}, co_oh()},
    { 62, {ISO, O3P},    {0.01*CO, 0.15*XO2, 0.86*OLT, 0.05*HCHO, 0.13*DCB, 0.28*HO2, 0.02*HO},
                          constant(6.0E-11)},
    { 63, {MACR, O3P},   {ALD}, arr2(1.59E-11, -13)},
    { 64, {CH4, HO},     {MO2}, thermal_t2(7.44E-18, 1361)},
    { 65, {ETH, HO},     {ETHP}, thermal_t2(1.51E-17, 492)},
    { 66, {HC3, HO},     {0.036*ORA1, 0.036*CO, 0.036*GLY, 0.335*ALD, 0.01*HCHO, 0.381*HO2,
                          0.583*HC3P, 0.036*HO}, arr2(5.26E-12, 260)},
    { 67, {HC5, HO},     {0.25*KET, 0.75*HC5P, 0.25*HO2}, arr2(8.02E-12, 155)},
    { 68, {HC8, HO},     {0.024*HKET, 0.9511*HC8P, 0.025*ALD, 0.049*HO2}, arr2(1.64E-11, 125)},
    { 69, {ETE, HO},     {ETEP}, arr2(1.96E-12, -438)},
    { 70, {OLT, HO},     {OLTP}, arr2(5.72E-12, -500)},
    { 71, {OLI, HO},     {OLIP}, arr2(1.33E-11, -500)},
    { 72, {DIEN, HO},    {ISOP}, arr2(1.48E-11, -448)},
    { 73, {ISO, HO},     {ISOP}, arr2(2.54E-11, -410)},
    { 74, {API, HO},     {APIP}, arr2(1.21E-11, -444)},
    { 75, {LIM, HO},     {LIMP}, constant(1.71E-10)},
    { 76, {TOL, HO},     {0.9*ADDT, 0.1*XO2, 0.1*HO2}, arr2(1.81E-12, -355)},
    { 77, {XYL, HO},     {0.9*ADDX, 0.1*XO2, 0.1*HO2}, arr2(7.3E-12, -355)},
    { 78, {CSL, HO},     {0.1*PHO, 0.85*ADDC, 0.05*XO2, 0.05*HO2}, constant(6.0E-11)},
    { 79, {HCHO, HO},    {CO, HO2}, constant(1.0E-11)},
    { 80, {ALD, HO},     {ACO3}, arr2(5.55E-12, -331)},
    { 81, {KET, HO},     {KETP}, thermal_t2(5.68E-18, -92)},
    { 82, {HKET, HO},    {MGLY, HO2}, constant(3.0E-12)},
    { 83, {GLY, HO},     {2*CO, HO2}, constant(1.14E-11)},
    { 84, {MGLY, HO},    {CO, ACO3}, constant(1.72E-11)},
    { 85, {MACR, HO},    {0.41*HKET, 0.41*CO, 0.08*MGLY, 0.49*XO2, 0.08*HCHO, 0.51*TCO3, 0.49*HO2},
                          arr2(1.86E-11, -175)},
    { 86, {DCB, HO},     {0.35*UDD, 0.15*GLY, 0.15*MGLY, 0.5*XO2, 0.5*TCO3, 0.5*HO2},
                          arr2(2.8E-11, -175)},
    { 87, {UDD, HO},     {0.12*KET, 0.88*ALD, HO2}, constant(2.7E-10)},
    { 88, {OP1, HO},     {0.35*HCHO, 0.65*MO2, 0.35*HO}, arr2(2.93E-12, -190)},
    { 89, {OP2, HO},     {0.41*KET, 0.07*XO2, 0.08*ALD, 0.44*HC3P, 0.49*HO}, arr2(3.4E-12, -190)},
    { 90, {PAA, HO},     {0.35*XO2, 0.35*HCHO, 0.65*ACO3, 0.35*HO2}, arr2(2.93E-12, -190)},
    { 91, {PAN, HO},     {XO2, HCHO, NO3}, constant(4.0E-14)},
    { 92, {TPAN, HO},    {0.6*HKET, 0.4*PAN, XO2, 0.4*HCHO, 0.4*HO2, 0.6*NO3},
                          arr2(3.25E-13, -500)},
    { 93, {ONIT, HO},    {HC3P, NO2}, arr2(5.31E-12, 260)},

    // NO3 chemistry of aldehydes, aromatics and alkenes.
    { 94, {HCHO, NO3},   {HNO3, CO, HO2}, arr2(3.4E-13, 1900)},
    { 95, {ALD, NO3},    {HNO3, ACO3}, arr2(1.4E-12, 1900)},
    { 96, {GLY, NO3},    {HNO3, 2*CO, HO2}, arr2(2.9E-12, 1900)},
    { 97, {MGLY, NO3},   {HNO3, CO, ACO3}, arr2(1.4E-12, 1900)},
    { 98, {MACR, NO3},   {0.2*HNO3, 0.8*CO, 0.8*OLNN, 0.2*TCO3}, arr2(8.27E-15, 150)},
    { 99, {DCB, NO3},    {0.5*HNO3, 0.25*GLY, 0.25*MGLY, 0.03*KET, 0.5*XO2, 0.25*ALD, 0.5*TCO3,
                          0.5*HO2, 0.5*NO2}, arr2(2.87E-13, 1000)},
    {100, {CSL, NO3},    {PHO, HNO3}, constant(2.2E-11)},
    {101, {ETE, NO3},    {0.8*OLNN, 0.2*OLND}, thermal_t2(4.88E-18, 2282)},
    {102, {OLT, NO3},    {0.43*OLNN, 0.57*OLND}, arr2(1.79E-13, 450)},
    {103, {OLI, NO3},    {0.11*OLNN, 0.89*OLND}, arr2(8.64E-13, -450)},
    {104, {DIEN, NO3},   {0.9*MACR, 0.9*OLNN, 0.1*OLND}, constant(1.0E-13)},
    {105, {ISO, NO3},    {0.9*MACR, 0.9*OLNN, 0.1*OLND}, arr2(4.0E-12, 446)},
    {106, {API, NO3},    {0.1*OLNN, 0.9*OLND}, arr2(1.19E-12, -490)},
    {107, {LIM, NO3},    {0.13*OLNN, 0.87*OLND}, constant(1.22E-11)},
    {108, {TPAN, NO3},   {0.4*PAN, 0.6*ONIT, XO2, 0.4*HCHO, 0.6*NO3, 0.4*NO2}, arr2(2.2E-14, 500)},

    // Ozonolysis.
    {109, {ETE, O3},     {0.37*ORA1, 0.43*CO, HCHO, 0.26*HO2, 0.12*HO}, arr2(9.14E-15, 2580)},
    {110, {OLT, O3},     {0.14*ORA1, 0.1*ORA2, 0.03*ETH, 0.06*CH4, 0.006*H2O2, 0.37*CO, 0.03*KET,
                          0.44*ALD, 0.64*HCHO, 0.1*ETHP, 0.03*KETP, 0.25*HO2, 0.19*MO2, 0.4*HO},
                          arr2(4.33E-15, 1800)},
    {111, {OLI, O3},     {0.14*ORA2, 0.06*ETH, 0.07*CH4, 0.011*H2O2, 0.3*CO, 0.16*KET, 0.99*ALD,
                          0.02*HCHO, 0.18*ETHP, 0.12*KETP, 0.22*HO2, 0.23*MO2, 0.63*HO},
                          arr2(4.4E-15, 845)},
    {112, {DIEN, O3},    {0.15*ORA1, 0.001*H2O2, 0.36*CO, 0.39*MACR, 0.13*XO2, 0.35*OLT, 0.9*HCHO,
                          0.02*KETP, 0.15*ACO3, 0.3*HO2, 0.09*O3P, 0.03*MO2, 0.28*HO},
                          arr2(1.34E-14, 2283)},
    {113, {ISO, O3},     {0.15*ORA1, 0.001*H2O2, 0.36*CO, 0.39*MACR, 0.13*XO2, 0.35*OLT, 0.9*HCHO,
                          0.02*KETP, 0.15*ACO3, 0.3*HO2, 0.09*O3P, 0.03*MO2, 0.28*HO},
                          arr2(7.86E-15, 1913)},
    {114, {API, O3},     {0.02*H2O2, 0.14*CO, 0.53*KET, 0.65*ALD, 0.2*ETHP, 0.42*KETP, 0.1*HO2,
                          0.85*HO}, arr2(1.01E-15, 732)},
    {115, {LIM, O3},     {0.01*ORA1, 0.07*ORA2, 0.02*H2O2, 0.14*CO, 0.79*MACR, 0.46*OLT, 0.04*HCHO,
                          0.16*ETHP, 0.42*KETP, 0.1*HO2, 0.85*HO}, constant(2.0E-16)},
    {116, {MACR, O3},    {0.22*ORA1, 0.13*ORA2, 0.54*CO, 0.6*MGLY, 0.4*HCHO, 0.13*ACO3, 0.29*HO2,
                          0.13*OP2, 0.07*HO}, arr2(1.36E-15, 2112)},
    {117, {DCB, O3},     {0.11*ORA1, 0.21*ORA2, 0.11*PAA, 0.66*CO, 0.5*GLY, 0.62*MGLY, 0.16*ALD,
                          0.28*ACO3, 0.29*HO2, 0.21*HO}, constant(2.0E-18)},
    {118, {TPAN, O3},    {0.11*ORA1, 0.3*PAN, 0.13*CO, 0.7*HCHO, 0.7*ACO3, 0.08*HO2, 0.036*HO,
                          0.7*NO2}, arr2(2.46E-15, 1700)},

    // Phenoxy radical and the aromatic-HO adducts (122, 125, 128 react with the O2 share of M).
    {119, {PHO, NO2},    {0.1*CSL, ONIT}, constant(2.0E-11)},
    {120, {PHO, HO2},    {CSL}, constant(1.0E-11)},
    {121, {ADDT, NO2},   {HONO, CSL}, constant(3.6E-11)},
    {122, {ADDT, M},     {0.02*CSL, 0.98*TOLP, 0.02*HO2}, arr2_share(1.66E-17, -1044, 0.20946)},
    {123, {ADDT, O3},    {CSL, HO}, constant(5.0E-11)},
    {124, {ADDX, NO2},   {HONO, CSL}, constant(3.6E-11)},
    {125, {ADDX, M},     {0.02*CSL, 0.98*XYLP, 0.02*HO2}, arr2_share(1.66E-17, -1044, 0.20946)},
    {126, {ADDX, O3},    {CSL, HO}, constant(1.0E-11)},
    {127, {ADDC, NO2},   {HONO, CSL}, constant(3.6E-11)},
    {128, {ADDC, M},     {0.02*CSL, 0.98*CSLP, 0.02*HO2}, arr2_share(1.66E-17, -1044, 0.20946)},
    {129, {ADDC, O3},    {CSL, HO}, constant(5.0E-11)},

    // Peroxyacyl nitrates and their thermal decomposition.
    {130, {ACO3, NO2},   {PAN}, troe(9.7E-29, 5.6, 9.3E-12, 1.5)},
    {131, {PAN},         {ACO3, NO2}, troee(1.16E+28, 13954, 9.7E-29, 5.6, 9.3E-12, 1.5)},
    {132, {TCO3, NO2},   {TPAN}, troe(9.7E-29, 5.6, 9.3E-12, 1.5)},
    {133, {TPAN},        {TCO3, NO2}, troee(1.16E+28, 13954, 9.7E-29, 5.6, 9.3E-12, 1.5)},

    // Peroxy radicals + NO.
    {134, {MO2, NO},     {HCHO, HO2, NO2}, arr2(4.2E-12, -180)},
    {135, {ETHP, NO},    {ALD, HO2, NO2}, constant(8.7E-12)},
    {136, {HC3P, NO},    {0.063*GLY, 0.623*KET, 0.059*ONIT, 0.048*XO2, 0.233*ALD, 0.047*HCHO,
                          0.048*ETHP, 0.742*HO2, 0.15*MO2, 0.941*NO2}, constant(4.0E-12)},
    {137, {HC5P, NO},    {0.722*KET, 0.124*ONIT, 0.334*XO2, 0.211*ALD, 0.021*HCHO, 0.245*ETHP,
                          0.599*HO2, 0.031*MO2, 0.876*NO2}, constant(4.0E-12)},
    {138, {HC8P, NO},    {0.642*KET, 0.261*ONIT, 0.416*XO2, 0.15*ALD, 0.133*ETHP, 0.606*HO2,
                          0.739*NO2}, constant(4.0E-12)},
    {139, {ETEP, NO},    {0.2*ALD, 1.6*HCHO, HO2, NO2}, constant(9.0E-12)},
    {140, {OLTP, NO},    {0.06*KET, 0.94*ALD, HCHO, HO2, NO2}, constant(4.0E-12)},
    {141, {OLIP, NO},    {0.29*KET, 1.71*ALD, HO2, NO2}, constant(4.0E-12)},
    {142, {ISOP, NO},    {0.153*ONIT, 0.446*MACR, 0.354*OLT, 0.606*HCHO, 0.847*HO2, 0.847*NO2},
                          constant(4.0E-12)},
    {143, {APIP, NO},    {0.8*KET, 0.2*ONIT, 0.8*ALD, 0.8*HO2, 0.8*NO2}, constant(4.0E-12)},
    {144, {LIMP, NO},    {0.35*ONIT, 0.4*MACR, 0.25*OLI, 0.25*HCHO, 0.65*HO2, 0.65*NO2},
                          constant(4.0E-12)},
    {145, {TOLP, NO},    {1.2*GLY, 0.65*MGLY, 0.05*ONIT, 0.5*DCB, 0.95*HO2, 0.95*NO2},
                          constant(4.0E-12)},
    {146, {XYLP, NO},    {0.35*GLY, 0.6*MGLY, 0.05*ONIT, 0.95*DCB, 0.95*HO2, 0.95*NO2},
                          constant(4.0E-12)},
    {147, {CSLP, NO},    {GLY, MGLY, HO2, NO2}, constant(4.0E-12)},
    {148, {ACO3, NO},    {MO2, NO2}, constant(2.0E-11)},
    {149, {TCO3, NO},    {HCHO, ACO3, NO2}, constant(2.0E-11)},
    {150, {KETP, NO},    {0.54*MGLY, 0.16*XO2, 0.46*ALD, 0.23*ACO3, 0.77*HO2, NO2},
                          constant(4.0E-12)},
    {151, {OLNN, NO},    {ONIT, HO2, NO2}, constant(4.0E-12)},
    {152, {OLND, NO},    {0.464*KET, 1.24*ALD, 0.287*HCHO, 2*NO2}, constant(4.0E-12)},

    // Peroxy radicals + HO2.
    {153, {HO2, MO2},    {OP1}, arr2(3.8E-13, -800)},
    {154, {ETHP, HO2},   {OP2}, arr2(7.5E-13, -700)},
    {155, {HO2, HC3P},   {OP2}, arr2(1.66E-13, -1300)},
    {156, {HC5P, HO2},   {OP2}, arr2(1.66E-13, -1300)},
    {157, {HC8P, HO2},   {OP2}, arr2(1.66E-13, -1300)},
    {158, {ETEP, HO2},   {OP2}, arr2(1.9E-13, -1300)},
    {159, {OLTP, HO2},   {OP2}, arr2(1.66E-13, -1300)},
    {160, {OLIP, HO2},   {OP2}, arr2(1.66E-13, -1300)},
    {161, {ISOP, HO2},   {OP2}, arr2(1.28E-13, -1300)},
    {162, {APIP, HO2},   {OP2}, constant(1.5E-11)},
    {163, {LIMP, HO2},   {OP2}, constant(1.5E-11)},
    {164, {TOLP, HO2},   {OP2}, arr2(3.75E-13, -980)},
    {165, {XYLP, HO2},   {OP2}, arr2(3.75E-13, -980)},
    {166, {CSLP, HO2},   {OP2}, arr2(3.75E-13, -980)},
    {167, {ACO3, HO2},   {PAA}, arr2(1.15E-12, -550)},
    {168, {ACO3, HO2},   {ORA2, O3}, arr2(3.86E-16, -2640)},
    {169, {TCO3, HO2},   {OP2}, arr2(1.15E-12, -550)},
    {170, {TCO3, HO2},   {ORA2, O3}, arr2(3.86E-16, -2640)},
    {171, {KETP, HO2},   {OP2}, arr2(1.15E-13, -1300)},
    {172, {OLNN, HO2},   {ONIT}, arr2(1.66E-13, -1300)},
    {173, {OLND, HO2},   {ONIT}, arr2(1.66E-13, -1300)},

    // Peroxy radicals + MO2.
    {174, {MO2, MO2},    {1.33*HCHO, 0.66*HO2}, arr2(9.1E-14, -416)},
    {175, {ETHP, MO2},   {0.75*ALD, 0.75*HCHO, HO2}, arr2(1.18E-13, -158)},
    {176, {MO2, HC3P},   {0.119*GLY, 0.005*MGLY, 0.018*KET, 0.085*XO2, 0.58*ALD, 0.81*HCHO,
                          0.992*HO2, 0.007*MO2}, arr2(9.46E-14, -431)},
    {177, {HC5P, MO2},   {0.24*KET, 0.245*XO2, 0.523*ALD, 0.829*HCHO, 0.014*ETHP, 0.946*HO2,
                          0.049*MO2}, arr2(1.0E-13, -467)},
    {178, {HC8P, MO2},   {0.419*KET, 0.322*XO2, 0.411*ALD, 0.753*HCHO, 0.013*ETHP, 0.993*HO2},
                          arr2(4.34E-14, -633)},
    {179, {ETEP, MO2},   {0.35*ALD, 1.55*HCHO, HO2}, arr2(1.71E-13, -708)},
    {180, {OLTP, MO2},   {0.081*KET, 0.669*ALD, 1.25*HCHO, HO2}, arr2(1.46E-13, -708)},
    {181, {OLIP, MO2},   {0.313*KET, 0.932*ALD, 0.755*HCHO, HO2}, arr2(9.18E-14, -708)},
    {182, {ISOP, MO2},   {0.55*MACR, 0.37*OLT, 0.08*OLI, 1.09*HCHO, HO2}, arr2(1.36E-13, -708)},
    {183, {APIP, MO2},   {KET, ALD, HCHO, 2*HO2}, arr2(3.56E-14, -708)},
    {184, {LIMP, MO2},   {0.6*MACR, 0.4*OLI, 1.4*HCHO, 2*HO2}, arr2(3.56E-14, -708)},
    {185, {TOLP, MO2},   {0.65*GLY, 0.35*MGLY, HCHO, DCB, HO2}, arr2(3.56E-14, -708)},
    {186, {XYLP, MO2},   {0.37*GLY, 0.63*MGLY, HCHO, DCB, HO2}, arr2(3.56E-14, -708)},
    {187, {CSLP, MO2},   {GLY, MGLY, HCHO, 2*HO2}, arr2(3.56E-14, -708)},
    {188, {ACO3, MO2},   {HCHO, HO2, MO2}, arr2(3.21E-11, 440)},
    {189, {ACO3, MO2},   {ORA2, HCHO}, arr2(2.68E-16, -2510)},
    {190, {TCO3, MO2},   {2*HCHO, ACO3, HO2}, arr2(3.21E-11, 440)},
    {191, {TCO3, MO2},   {ORA2, HCHO}, arr2(2.68E-16, -2510)},
    {192, {KETP, MO2},   {0.3*HKET, 0.4*MGLY, 0.08*XO2, 0.3*ALD, 0.75*HCHO, 0.12*ACO3, 0.88*HO2},
                          arr2(6.91E-13, -508)},
    {193, {OLNN, MO2},   {ONIT, 0.75*HCHO, HO2}, arr2(1.6E-13, -708)},
    {194, {OLND, MO2},   {0.149*KET, 0.5*ONIT, 0.64*ALD, 0.96*HCHO, 0.5*HO2, 0.5*NO2},
                          arr2(9.68E-14, -708)},

    // Peroxy radicals + ACO3.
    {195, {ETHP, ACO3},  {0.5*ORA2, ALD, 0.5*HO2, 0.5*MO2}, arr2(1.03E-12, -211)},
    {196, {ACO3, HC3P},  {0.499*ORA2, 0.1*GLY, 0.004*MGLY, 0.127*KET, 0.071*XO2, 0.724*ALD,
                          0.091*HCHO, 0.006*ETHP, 0.488*HO2, 0.508*MO2}, arr2(6.9E-13, -460)},
    {197, {HC5P, ACO3},  {0.495*ORA2, 0.33*KET, 0.237*XO2, 0.677*ALD, 0.076*HCHO, 0.018*ETHP,
                          0.438*HO2, 0.554*MO2}, arr2(5.59E-13, -522)},
    {198, {HC8P, ACO3},  {0.495*ORA2, 0.581*KET, 0.318*XO2, 0.497*ALD, 0.015*ETHP, 0.489*HO2,
                          0.507*MO2}, arr2(2.47E-13, -683)},
    {199, {ETEP, ACO3},  {0.5*ORA2, 0.6*ALD, 0.8*HCHO, 0.5*HO2, 0.5*MO2}, arr2(9.48E-13, -765)},
    {200, {OLTP, ACO3},  {0.499*ORA2, 0.141*KET, 0.859*ALD, 0.501*HCHO, 0.501*HO2, 0.501*MO2},
                          arr2(8.11E-13, -765)},
    {201, {OLIP, ACO3},  {0.49*ORA2, 0.569*KET, 0.941*ALD, 0.51*HO2, 0.51*MO2},
                          arr2(5.09E-13, -765)},
    {202, {ISOP, ACO3},  {0.494*ORA2, 0.771*MACR, 0.229*OLT, 0.34*HCHO, 0.506*HO2, 0.506*MO2},
                          arr2(7.6E-13, -765)},
    {203, {APIP, ACO3},  {KET, ALD, HO2, MO2}, arr2(7.4E-13, -765)},
    {204, {LIMP, ACO3},  {0.6*MACR, 0.4*OLI, 0.4*HCHO, HO2, MO2}, arr2(7.4E-13, -765)},
    {205, {TOLP, ACO3},  {0.65*GLY, 0.35*MGLY, DCB, HO2, MO2}, arr2(7.4E-13, -765)},
    {206, {XYLP, ACO3},  {0.37*GLY, 0.63*MGLY, DCB, HO2, MO2}, arr2(7.4E-13, -765)},
    {207, {CSLP, ACO3},  {GLY, MGLY, HO2, MO2}, arr2(7.4E-13, -765)},
    {208, {ACO3, ACO3},  {2*MO2}, arr2(2.8E-12, -530)},
    {209, {TCO3, ACO3},  {HCHO, ACO3, MO2}, arr2(2.8E-12, -530)},
    {210, {KETP, ACO3},  {0.5*ORA2, 0.54*MGLY, 0.11*KET, 0.08*XO2, 0.35*ALD, 0.12*ACO3, 0.38*HO2,
                          0.5*MO2}, arr2(7.51E-13, -565)},
    {211, {OLNN, ACO3},  {0.5*ORA2, ONIT, 0.5*HO2, 0.5*MO2}, arr2(8.85E-13, -765)},
    {212, {OLND, ACO3},  {0.484*ORA2, 0.167*KET, 0.484*ONIT, 0.65*ALD, 0.207*HCHO, 0.516*MO2,
                          0.516*NO2}, arr2(5.37E-13, -765)},

    // Nitrate-peroxy radical self- and cross-reactions.
    {213, {OLNN, OLNN},  {2*ONIT, HO2}, arr2(7.0E-14, -1000)},
    {214, {OLNN, OLND},  {0.149*KET, 1.5*ONIT, 0.64*ALD, 0.202*HCHO, 0.5*HO2, 0.5*NO2},
                          arr2(4.25E-14, -1000)},
    {215, {OLND, OLND},  {0.285*KET, ONIT, 1.21*ALD, 0.504*HCHO, NO2}, arr2(2.96E-14, -1000)},

    // Peroxy radicals + NO3.
    {216, {MO2, NO3},    {HCHO, HO2, NO2}, constant(1.2E-12)},
    {217, {ETHP, NO3},   {ALD, HO2, NO2}, constant(1.2E-12)},
    {218, {HC3P, NO3},   {0.063*GLY, 0.67*KET, 0.051*XO2, 0.243*ALD, 0.048*HCHO, 0.053*ETHP,
                          0.792*HO2, 0.155*MO2, NO2}, constant(1.2E-12)},
    {219, {HC5P, NO3},   {0.828*KET, 0.391*XO2, 0.239*ALD, 0.021*HCHO, 0.262*ETHP, 0.699*HO2,
                          0.04*MO2, NO2}, constant(1.2E-12)},
    {220, {HC8P, NO3},   {0.88*KET, 0.587*XO2, 0.187*ALD, 0.155*ETHP, 0.845*HO2, NO2},
                          constant(1.2E-12)},
    {221, {ETEP, NO3},   {0.2*ALD, 1.6*HCHO, HO2, NO2}, constant(1.2E-12)},
    {222, {OLTP, NO3},   {0.06*KET, 0.94*ALD, HCHO, HO2, NO2}, constant(1.2E-12)},
    {223, {OLIP, NO3},   {0.29*KET, 1.71*ALD, HO2, NO2}, constant(1.2E-12)},
    {224, {ISOP, NO3},   {0.6*MACR, 0.4*OLT, 0.686*HCHO, HO2, NO2}, constant(1.2E-12)},
    {225, {APIP, NO3},   {KET, ALD, HO2, NO2}, constant(1.2E-12)},
    {226, {LIMP, NO3},   {0.6*MACR, 0.4*OLI, 0.4*HCHO, HO2, NO2}, constant(1.2E-12)},
    {227, {TOLP, NO3},   {1.3*GLY, 0.7*MGLY, 0.5*DCB, HO2, NO2}, constant(1.2E-12)},
    {228, {XYLP, NO3},   {0.74*GLY, 1.26*MGLY, DCB, HO2, NO2}, constant(1.2E-12)},
    {229, {CSLP, NO3},   {GLY, MGLY, HO2, NO2}, constant(1.2E-12)},
    {230, {ACO3, NO3},   {MO2, NO2}, constant(4.0E-12)},
    {231, {TCO3, NO3},   {HCHO, ACO3, NO2}, constant(4.0E-12)},
    {232, {KETP, NO3},   {0.54*MGLY, 0.16*XO2, 0.46*ALD, 0.23*ACO3, 0.77*HO2, NO2},
                          constant(1.2E-12)},
    {233, {OLNN, NO3},   {ONIT, HO2, NO2}, constant(1.2E-12)},
    {234, {OLND, NO3},   {0.469*KET, 1.24*ALD, 0.28*HCHO, 2*NO2}, constant(1.2E-12)},

    // XO2, the operator that counts extra NO-to-NO2 conversions.
    {235, {XO2, HO2},    {OP2}, arr2(1.66E-13, -1300)},
    {236, {XO2, MO2},    {HCHO, HO2}, arr2(5.99E-15, -1510)},
    {237, {XO2, ACO3},   {MO2}, arr2(3.4E-14, -1560)},
    {238, {XO2, XO2},    {}, arr2(7.13E-17, -2950)},
    {239, {XO2, NO},     {NO2}, constant(4.0E-12)},
    {240, {XO2, NO3},    {NO2}, constant(1.2E-12)},

    // Bromine.
    {241, {BR, O3},      {BRO}, arr2(1.7E-11, 800)},
    {242, {BRO, O3},     {BR}, arr2(1.0E-12, 3200)},
    {243, {BRO, HO2},    {HOBR}, arr2(3.4E-12, -540)},
    {244, {BR, HO2},     {HBR}, arr2(1.5E-11, 600)},
    {245, {HBR, HO},     {BR}, constant(1.1E-11)},
    {246, {BRO, NO},     {BR, NO2}, arr2(8.8E-12, -260)},
    {247, {BRO, BRO},    {2*BR}, arr2(2.4E-12, -40)},
    {248, {BRO, BRO},    {BR2}, arr2(2.8E-14, -860)},
    {249, {BR, HCHO},    {HBR, CO, HO2}, arr2(1.7E-11, 800)},
}};
// clang-format on

// The table is numbered in order, and each reaction's factors follow the
// order of its rate product: variable species by increasing index, then at
// most one fixed species. Products are variable species, each listed once,
// by increasing index.
constexpr bool table_is_well_formed() {
  for (int n = 1; n <= nreact; ++n) {
    const Reaction& r = reactions[at(n)];
    if (r.number != n) return false;
    for (int k = 0; k < r.n_factors; ++k) {
      const int s = r.factors[static_cast<std::size_t>(k)];
      if (s < 1 || s > nspec) return false;
      if (k > 0) {
        const int prev = r.factors[static_cast<std::size_t>(k - 1)];
        if (is_fixed(prev) || (!is_fixed(s) && s < prev)) return false;
      }
    }
    if (is_fixed(r.factors[0])) return false;  // every reaction has a variable reactant
    for (int k = 0; k < r.n_products; ++k) {
      const Product& p = r.products[static_cast<std::size_t>(k)];
      if (p.species < 1 || p.species > nvar || !(p.yield > 0.0)) return false;
      if (k > 0 && p.species <= r.products[static_cast<std::size_t>(k - 1)].species) return false;
    }
  }
  return true;
}
static_assert(table_is_well_formed());

}  // namespace box::mech
