#include "mechanism/mechanism_report.hpp"

#include <algorithm>
#include <cstdio>
#include <vector>

#include "mechanism/diagnostics.hpp"
#include "mechanism/runtime_rates.hpp"

namespace box {
namespace {
std::string number(double v) {
  char buf[40];
  std::snprintf(buf, sizeof buf, "%.6e", v);
  return buf;
}
}  // namespace

std::string mechanism_check_report(const Mechanism& m, const MechanismAir& air,
                                   std::span<const double> photolysis) {
  std::string out;
  const auto line = [&](const std::string& s) { out += s + "\n"; };
  line("mechanism: " + m.source);
  line("species: " + std::to_string(m.species.size()) + (m.declared_species ? "" : " (named by the reactions)"));
  line("reactions: " + std::to_string(m.reactions.size()));
  std::vector<int> channels = m.photolysis_channels;
  std::sort(channels.begin(), channels.end());
  std::string j;
  for (int c : channels) j += " J<" + std::to_string(c) + ">";
  line("photolysis channels used: " + std::to_string(channels.size()) + (j.empty() ? "" : ":" + j));
  line("named coefficients: " + std::to_string(m.coefficients.size()));
  std::string ro2;
  for (int s : m.ro2) ro2 += " " + m.species[static_cast<std::size_t>(s)];
  line("RO2 members: " + std::to_string(m.ro2.size()) + (ro2.empty() ? "" : ":" + ro2));
  for (const std::string& note : m.notes) line(note);

  // Species produced but never lost: they only accumulate.
  const std::size_t n = m.species.size();
  std::vector<char> lost(n, 0), made(n, 0);
  for (const RuntimeReaction& r : m.reactions) {
    for (int s : r.reactants) lost[static_cast<std::size_t>(s)] = 1;
    for (const ProductTerm& p : r.products) made[static_cast<std::size_t>(p.species)] = 1;
  }
  std::string sinks;
  int count = 0;
  for (std::size_t s = 0; s < n; ++s)
    if (made[s] && !lost[s]) sinks += (count++ ? " " : "") + m.species[s];
  if (count > 0) line("warning: " + std::to_string(count) + " species produced but never lost: " + sinks);
  for (int k = 0; k < m.reaction_count(); ++k) {
    const RuntimeReaction& r = m.reactions[static_cast<std::size_t>(k)];
    for (const ProductTerm& p : r.products) {
      if (std::find(r.reactants.begin(), r.reactants.end(), p.species) == r.reactants.end()) continue;
      line("warning: reaction " + std::to_string(k + 1) + " (line " + std::to_string(r.line) + ", " +
           m.equation(k) + ") has its reactant " + m.species[static_cast<std::size_t>(p.species)] +
           " among its products");
    }
  }

  // The reactions the campaign diagnostics count (docs/diagnostics.md),
  // found in the reaction structure: a chemist sees what is summed.
  const diag::DiagnosticLists d = diag::file_diagnostics(m);
  const auto reactions = [](const std::vector<diag::DiagnosticReaction>& list, const std::string& why) {
    std::string s;
    int count = 0;
    for (const diag::DiagnosticReaction& r : list) {
      if (!why.empty() && r.why != why) continue;
      s += " R" + std::to_string(r.reaction + 1);
      if (r.weight != 1.0) {
        char w[32];
        std::snprintf(w, sizeof w, "(%g)", r.weight);
        s += w;
      }
      ++count;
    }
    return std::to_string(count) + (count == 1 ? " reaction" : " reactions") + (s.empty() ? "" : ":" + s);
  };
  line("diagnostics (docs/diagnostics.md), the reactions counted:");
  line("  OH reactivity: " + reactions(d.oh_reactivity, ""));
  std::string sum;
  for (int s : d.ro2) sum += " " + m.species[static_cast<std::size_t>(s)];
  line("  RO2 sum: " + std::to_string(d.ro2.size()) + " species" + (sum.empty() ? "" : ":" + sum));
  for (const char* why : {"HO2 + NO", "RO2 + NO"}) line(std::string("  P(O3) ") + why + ": " + reactions(d.production, why));
  for (const char* why : {"O1D + H2O", "O3 + HO", "O3 + HO2", "O3 + alkene", "NO2 + HO"})
    line(std::string("  L(O3) ") + why + ": " + reactions(d.loss, why));

  RuntimeRates rates(m);
  rates.set_conditions(air, photolysis);
  std::vector<double> zero(n, 0.0);
  rates.update_ro2(zero.data());  // rates at RO2 = 0
  line("rate coefficients at TEMP = " + number(air.temp) + " K, M = " + number(air.m) +
       " cm-3, H2O = " + number(air.h2o) + " cm-3, RO2 = 0:");
  for (int k = 0; k < m.reaction_count(); ++k) {
    const RuntimeReaction& r = m.reactions[static_cast<std::size_t>(k)];
    line("R" + std::to_string(k + 1) + " " + number(rates.k()[static_cast<std::size_t>(k)]) + "  " +
         m.equation(k) + "  : " + r.rate_text + "  (line " + std::to_string(r.line) + ")");
  }
  return out;
}

}  // namespace box
