#pragma once
// The diagnostics a campaign analysis reports, as lists of reactions found
// in the reaction structure (never typed by hand), for the built-in
// mechanism and for a mechanism read from a file:
//
// OH reactivity   k_OH = sum_i k_i [X_i] over the reactions HO + X_i (X_i
//                 any species other than HO, the fixed air M included; a
//                 reaction of HO alone, whose partner is folded into its
//                 coefficient, adds k_i). A partly regenerating reaction
//                 (HC3 + HO -> ... + 0.036 HO) counts in full: reactivity
//                 is the first-order rate at which HO is attacked.
// peroxy radicals built-in: the species other than NO3 that oxidise both NO
//                 and NO3 to NO2 (RO2 + NO -> RO + NO2 and RO2 + NO3 -> RO +
//                 NO2 + O2: the peroxy group hands an O atom to either).
//                 O3, O3P and BrO oxidise NO but not NO3 and stay out; HO2
//                 qualifies and is the first entry. A file: HO2 and the
//                 file's RO2 list. The RO2 sum is the list without HO2.
// P(O3)           sum over the peroxy radicals R (HO2 first) of the
//                 reactions R + NO that make NO2, each weighted by the NO
//                 it turns into NO2: min(NO2 made, NO consumed), so a
//                 channel that makes an organic nitrate counts its NO2 share
//                 and a nitrooxy radical that also releases NO2 counts once.
// L(O3)           O1D + H2O, counted as the rate of the reactions that
//                 consume O1D and make HO (O1D is in steady state and its
//                 quenching to O3P returns to O3, so the O3 lost through
//                 photolysis to O1D is what water turns into HO), O3 + HO,
//                 O3 + HO2, O3 + alkenes (O3 + X for every X that both O3
//                 and HO attack, other than the HOx, NOx and Ox species:
//                 the species with a C=C double bond), and NO2 + HO. Each
//                 counts its rate once.
//
// Indices here are 0-based: a reaction's position in the mechanism, a
// species' position in the concentration vector (for the built-in
// mechanism all nspec species, H2O and M included).
#include <span>
#include <string>
#include <vector>

namespace box {

struct Mechanism;

namespace diag {

// One reaction of a list: its position, its reactant factors (the rate is
// k times the product of their concentrations, a factor repeated for a
// self-reaction), its weight, and for OH reactivity the partner X (-1
// when the partner is folded into k).
struct DiagnosticReaction {
  int reaction = 0;
  std::vector<int> factors;
  double weight = 1.0;
  int partner = -1;
  std::string equation;
  std::string why;  // the L(O3) term it belongs to ("O1D + H2O", "O3 + alkene", ...)
};

struct DiagnosticLists {
  std::vector<std::string> species;            // names, for labels
  std::vector<DiagnosticReaction> oh_reactivity;
  std::vector<int> peroxy;                     // HO2 first, then the RO2 sum
  std::vector<int> ro2;                        // the RO2 sum
  std::vector<DiagnosticReaction> production;  // P(O3)
  std::vector<DiagnosticReaction> loss;        // L(O3)
};

// The lists of the built-in mechanism and of a mechanism read from a file.
// A file's species are matched by name without regard to case: HO or OH,
// HO2, NO, NO2, NO3, O3, O1D, O3P or O. A species the file lacks leaves
// its terms empty.
DiagnosticLists builtin_diagnostics();
DiagnosticLists file_diagnostics(const Mechanism& mechanism);

// The diagnostics at one time.
struct Diagnostics {
  double oh_reactivity = 0;  // s-1
  double ro2 = 0;            // ppb
  double p_o3 = 0;           // ppb h-1
  double l_o3 = 0;           // ppb h-1
};

// From the concentrations (molecules cm-3, every species of the lists'
// indexing), the rate coefficients (one per reaction, in the units that
// give molecules cm-3 s-1) and the air number density (molecules cm-3).
Diagnostics diagnostics_at(const DiagnosticLists& lists, std::span<const double> concentration,
                           std::span<const double> coefficient, double air);

// P(O3) and L(O3) over an interval from the integrals of the reaction
// rates (ppb over the interval, reactions first) and its length in hours.
struct OzoneRates {
  double p_o3 = 0;  // ppb h-1
  double l_o3 = 0;  // ppb h-1
};
OzoneRates ozone_rates(const DiagnosticLists& lists, std::span<const double> integral_ppb,
                       double hours);

// The lists as Markdown tables (docs/diagnostics.md holds the built-in ones).
std::string markdown(const DiagnosticLists& lists);

}  // namespace diag
}  // namespace box
