#include "chemistry/builtin_mechanism_file.hpp"

#include <charconv>
#include <cstddef>
#include <map>
#include <string_view>
#include <utility>
#include <vector>

#include "chemistry/builtin_photolysis.hpp"
#include "common/one_based.hpp"
#include "mechanism/reaction_table.hpp"

namespace box {
namespace {

// The shortest text that reads back as the same double, with the D
// exponent of the MCM's files: 1.8e-11 -> 1.8D-11.
std::string num(double v) {
  char buf[40];
  const auto end = std::to_chars(buf, buf + sizeof buf, v).ptr;
  std::string s(buf, end);
  for (char& c : s)
    if (c == 'e') c = 'D';
  return s;
}

// A number as an operand: negative ones in parentheses, so that `x**(-2.3)`
// and `a*(-1)` read as meant.
std::string operand(double v) { return v < 0 ? "(" + num(v) + ")" : num(v); }

// exp(0 - B/T) as the laws form it: -B/T and 0 - B/T are the same double.
std::string exp_term(double b) {
  return b < 0 ? "EXP(" + num(-b) + "/TEMP)" : "EXP(-" + num(b) + "/TEMP)";
}

// What the exporter writes for one reaction.
struct Written {
  Written(std::string r = {}, bool s = false, std::string c = {})
      : rate(std::move(r)), sum(s), comment(std::move(c)) {}
  std::string rate;
  bool sum;             // the rate is a sum: parentheses before `*M`
  std::string comment;  // a comment before the reaction, or empty
};

class Writer {
 public:
  std::string run() {
    header();
    species();
    for (const mech::Reaction& r : mech::reactions) reaction(r);
    std::string out = head_;
    out += coefficients_;
    out += "\n* Reactions, numbered as R<n> in file order ;\n";
    out += reactions_;
    return out;
  }

 private:
  void header() {
    head_ +=
        "* The box model's built-in mechanism, written by `boxmodel mechanism export`.\n"
        "  78 species and 249 reactions. Reactions are in the built-in order, so R<n> of a\n"
        "  scenario's rate factors names the same reaction here and in the built-in mechanism.\n"
        "  Units: molecules cm-3 and s, coefficients in cm3 molecule-1 s-1 for two reactants.\n"
        "\n"
        "  The built-in mechanism holds M (air) and H2O fixed. They are not species here:\n"
        "  a reaction with M or H2O as a reactant has its concentration as the last factor\n"
        "  of the rate expression (`...*M`, `...*H2O`), as the MCM writes third bodies.\n"
        "  Reactions with the N2 or O2 of the air carry the built-in shares of M\n"
        "  (0.78084 and 0.20946) as numbers, not N2 and O2 (which this format sets to\n"
        "  0.7809 M and 0.2095 M), so that every coefficient equals the compiled one.\n"
        "\n"
        "  Photolysis: J<n> is the frequency of MCM channel n. Where the built-in mechanism\n"
        "  lumps two MCM channels in one process the rate is their sum. The built-in\n"
        "  processes with no MCM channel (HNO4, DCB, HOBR, BR2, BRO) are J<108>, J<117>,\n"
        "  J<123>, J<124> and J<125>: 100 plus the built-in photolysis slot, numbers above\n"
        "  the MCM's range (J1 to J61) that no MCM file uses. So is a process whose MCM\n"
        "  channel an earlier one already has with another specified frequency (PAA's,\n"
        "  which the MCM shares with OP1 and OP2 as J41), so that photolysis method\n"
        "  \"specified\" gives every process the built-in mechanism's own frequency.\n"
        "\n"
        "  No rate depends on the peroxy-radical sum: the file has no RO2 statement ;\n\n";
  }

  void species() {
    std::string line = "VARIABLE";
    for (int s = 1; s <= nvar; ++s) {
      const std::string_view name = mech::species_names[at(s)];
      if (line.size() + 1 + name.size() > 78) {
        head_ += line + "\n";
        line = "   ";
      }
      line += " ";
      line += name;
    }
    head_ += line + " ;\n\n* Rate coefficients shared by several reactions ;\n";
  }

  // The fall-off coefficient of the parameters p[0..3] (k0 at 300 K, its
  // exponent, kinf at 300 K, its exponent), named after the first reaction
  // that uses it.
  std::string falloff(int reaction, double k0, double n, double kinf, double m) {
    const std::vector<double> key{k0, n, kinf, m};
    const auto it = falloff_.find(key);
    if (it != falloff_.end()) return it->second;
    const std::string name = "K" + std::to_string(reaction);
    falloff_.emplace(key, name);
    // k0 and kinf at TEMP, their ratio, and the fall-off with the
    // broadening factor 0.6: k0/(1 + k0/kinf) * 0.6^(1/(1 + log10(k0/kinf)^2)).
    coefficients_ += "* " + name + ": three-body fall-off, k0 = " + num(k0) + " (T/300)^-" + num(n) +
                     " M, kinf = " + num(kinf) + " (T/300)^-" + num(m) + " ;\n";
    coefficients_ += name + "_0 = " + num(k0) + "*(300/TEMP)**" + operand(n) + "*M ;\n";
    coefficients_ += name + "_INF = " + num(kinf) + "*(300/TEMP)**" + operand(m) + " ;\n";
    const std::string ratio = name + "_0/" + name + "_INF";
    coefficients_ += name + " = " + name + "_0/(1+" + ratio + ")*0.6**(1/(1+LOG10(" + ratio + ")*LOG10(" +
                     ratio + "))) ;\n";
    return name;
  }

  Written rate(const mech::Reaction& r) {
    const auto& p = r.law.p;
    switch (r.law.law) {
      case mech::Law::photolysis: return photolysis(r);
      case mech::Law::constant: return {num(p[0])};
      case mech::Law::arr2:
        return {p[1] == 0.0 ? num(p[0]) : num(p[0]) + "*" + exp_term(p[1])};
      case mech::Law::arr2_share:
        return {num(p[0]) + "*" + exp_term(p[1]) + "*" + num(p[2])};
      case mech::Law::troe: return {falloff(r.number, p[0], p[1], p[2], p[3])};
      case mech::Law::troee:
        // The decomposition: the formation's fall-off coefficient over the
        // equilibrium constant exp(B/T)/A.
        return {num(p[0]) + "*" + exp_term(p[1]) + "*" + falloff(r.number, p[2], p[3], p[4], p[5]),
                false, "* R" + std::to_string(r.number) + ": thermal decomposition, the fall-off "
                       "coefficient of its formation over the equilibrium constant ;\n"};
      case mech::Law::thermal_t2:
        return {num(p[0]) + "*(TEMP*TEMP)*" + exp_term(p[1])};
      case mech::Law::hno3_oh:
        coefficients_ +=
            "* HNO3 + HO through the HNO3-HO complex: k0 + k3/(1 + k3/k2). The pressure\n"
            "  dependence of the complex channel is left out, as in the built-in law: k3 has no M ;\n"
            "K49_0 = 7.2D-15*EXP(785/TEMP) ;\nK49_2 = 4.1D-16*EXP(1440/TEMP) ;\n"
            "K49_3 = 1.9D-33*EXP(725/TEMP) ;\n";
        return {"K49_0+K49_3/(1+K49_3/K49_2)", true};
      case mech::Law::ozone_formation:
        return {"6D-34*M*(TEMP/300)**(-2.3)", false,
                "* R27, O + O2 + M -> O3, is written O3P + M: the coefficient 6.0e-34*M*(T/300)^-2.3\n"
                "  holds M and M is also a reactant, so the rate is k0*[M]^2*[O3P] where the physics\n"
                "  is k0*[O2]*[M]*[O3P]. O(3P) comes out about 4.8 times too low (ozone hardly\n"
                "  changes: nearly every O(3P) becomes ozone either way). Kept as the built-in\n"
                "  mechanism specifies it, since stored results rely on it. For the physics multiply\n"
                "  the rate by 0.2095 (the O2 fraction of air): write O2 for the last M ;\n"};
      case mech::Law::ho2_self:
        return {"1.7D-33*M*EXP(1000/TEMP)+2.3D-13*EXP(600/TEMP)", true,
                "* R36: HO2 + HO2, a bimolecular channel and a third-body-assisted one ;\n"};
      case mech::Law::ho2_self_h2o:
        return {"2.38D-54*M*EXP(3200/TEMP)+3.22D-34*EXP(2800/TEMP)", true,
                "* R37: the water-vapour enhancement of HO2 + HO2 ;\n"};
      case mech::Law::co_oh:
        return {"1.5D-13*(1+2.439D-20*M)", false,
                "* R61: CO + HO speeds up with pressure through the HOCO intermediate ;\n"};
    }
    return {};
  }

  Written photolysis(const mech::Reaction& r) {
    for (const BuiltinChannel& c : builtin_channel_map()) {
      if (c.slot != r.law.slot) continue;
      const std::string slot = "built-in photolysis slot " + std::to_string(c.slot);
      if (c.mcm[0] == 0) {
        const int n = builtin_channel_offset + c.slot;
        return {"J<" + std::to_string(n) + ">", false,
                "* J<" + std::to_string(n) + ">: " + std::string(c.reactions) + " (" + slot +
                    "). No MCM channel: 100 + the slot, above the MCM's range ;\n"};
      }
      if (const int n = builtin_file_channel(c.slot); n != c.mcm[0]) {
        return {"J<" + std::to_string(n) + ">", false,
                "* J<" + std::to_string(n) + ">: " + std::string(c.reactions) + " (" + slot +
                    "). Its MCM channel J" + std::to_string(c.mcm[0]) +
                    " is written for another slot with another specified frequency: 100 + the slot ;\n"};
      }
      std::string j = "J<" + std::to_string(c.mcm[0]) + ">";
      std::string what = "MCM channel J" + std::to_string(c.mcm[0]);
      if (c.mcm[1] != 0) {
        j += "+J<" + std::to_string(c.mcm[1]) + ">";
        what = "the sum of MCM channels J" + std::to_string(c.mcm[0]) + " and J" + std::to_string(c.mcm[1]);
      }
      return {j, c.mcm[1] != 0,
              "* R" + std::to_string(r.number) + ": " + what + " (" + slot + ": " + std::string(c.reactions) +
                  ") ;\n"};
    }
    return {"0"};  // every slot of a reaction is mapped (checked by the tests)
  }

  void reaction(const mech::Reaction& r) {
    Written w = rate(r);
    std::string reactants;
    for (int k = 0; k < r.n_factors; ++k) {
      const int s = r.factors[static_cast<std::size_t>(k)];
      if (mech::is_fixed(s)) {
        // The fixed species' concentration multiplies the coefficient.
        if (w.sum) w.rate = "(" + w.rate + ")";
        w.rate += s == ind_m ? "*M" : "*H2O";
        w.sum = false;
        continue;
      }
      if (!reactants.empty()) reactants += " + ";
      reactants += mech::species_names[at(s)];
    }
    std::string products;
    for (int k = 0; k < r.n_products; ++k) {
      const mech::Product& q = r.products[static_cast<std::size_t>(k)];
      if (k > 0) products += " + ";
      if (q.yield != 1.0) products += num(q.yield) + " ";
      products += mech::species_names[at(q.species)];
    }
    reactions_ += w.comment;
    reactions_ += "% " + w.rate + " : " + reactants + " = " + products + " ;\n";
  }

  std::string head_, coefficients_, reactions_;
  std::map<std::vector<double>, std::string> falloff_;
};

}  // namespace

std::string builtin_mechanism_file() { return Writer().run(); }

}  // namespace box
