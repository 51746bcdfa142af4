#include "mechanism/diagnostics.hpp"

#include <algorithm>
#include <cstdio>
#include <map>
#include <cctype>

#include "mechanism/reaction_text.hpp"
#include "mechanism/runtime_mechanism.hpp"
#include "mechanism/structure.hpp"

namespace box::diag {
namespace {

// The reaction structure both kinds of mechanism share: reactant factors
// and net coefficients, 0-based.
struct ReactionView {
  std::vector<int> factors;  // sorted
  std::map<int, double> net;
  std::string equation;
  double net_of(int s) const {
    const auto it = net.find(s);
    return it == net.end() ? 0.0 : it->second;
  }
};

struct View {
  std::vector<std::string> species;
  std::vector<ReactionView> reactions;
  int ho = -1, ho2 = -1, no = -1, no2 = -1, no3 = -1, o3 = -1, o1d = -1, o3p = -1;
};

// True when reaction r is exactly a + b (a lone a when b < 0).
bool reactants_are(const ReactionView& r, int a, int b) {
  if (a < 0) return false;
  std::vector<int> want{a};
  if (b >= 0) want.push_back(b);
  std::sort(want.begin(), want.end());
  return r.factors == want;
}

DiagnosticReaction entry(const View& v, int n, double weight, int partner, const char* why) {
  return {n, v.reactions[static_cast<std::size_t>(n)].factors, weight, partner,
          v.reactions[static_cast<std::size_t>(n)].equation, why};
}

// Everything but the peroxy radicals, which each kind of mechanism finds
// its own way.
DiagnosticLists lists_of(const View& v, std::vector<int> peroxy) {
  DiagnosticLists out;
  out.species = v.species;
  out.peroxy = std::move(peroxy);
  for (int s : out.peroxy)
    if (s != v.ho2) out.ro2.push_back(s);
  const int nr = static_cast<int>(v.reactions.size());
  // Species that HO attacks in a bimolecular reaction.
  std::vector<bool> ho_partner(v.species.size(), false);
  for (int n = 0; n < nr; ++n) {
    const ReactionView& r = v.reactions[static_cast<std::size_t>(n)];
    if (v.ho < 0 || std::count(r.factors.begin(), r.factors.end(), v.ho) != 1 ||
        r.factors.size() > 2)
      continue;
    const int partner = r.factors.size() == 2 ? (r.factors[0] == v.ho ? r.factors[1] : r.factors[0]) : -1;
    out.oh_reactivity.push_back(entry(v, n, 1.0, partner, "HO + X"));
    if (partner >= 0) ho_partner[static_cast<std::size_t>(partner)] = true;
  }
  const auto inorganic = [&](int s) {
    for (int x : {v.ho, v.ho2, v.no, v.no2, v.no3, v.o3, v.o1d, v.o3p})
      if (s == x) return true;
    return false;
  };
  for (int n = 0; n < nr; ++n) {
    const ReactionView& r = v.reactions[static_cast<std::size_t>(n)];
    for (int p : out.peroxy) {
      if (!reactants_are(r, p, v.no)) continue;
      const double made = r.net_of(v.no2), converted = -r.net_of(v.no);
      if (made > 0 && converted > 0) {
        out.production.push_back(
            entry(v, n, std::min(made, converted), -1, p == v.ho2 ? "HO2 + NO" : "RO2 + NO"));
      }
    }
    if (v.o1d >= 0 && v.ho >= 0 &&
        std::find(r.factors.begin(), r.factors.end(), v.o1d) != r.factors.end() &&
        r.net_of(v.o1d) < 0 && r.net_of(v.ho) > 0)
      out.loss.push_back(entry(v, n, 1.0, -1, "O1D + H2O"));
    else if (reactants_are(r, v.o3, v.ho))
      out.loss.push_back(entry(v, n, 1.0, -1, "O3 + HO"));
    else if (reactants_are(r, v.o3, v.ho2))
      out.loss.push_back(entry(v, n, 1.0, -1, "O3 + HO2"));
    else if (reactants_are(r, v.no2, v.ho))
      out.loss.push_back(entry(v, n, 1.0, -1, "NO2 + HO"));
    else if (v.o3 >= 0 && r.factors.size() == 2 &&
             std::count(r.factors.begin(), r.factors.end(), v.o3) == 1) {
      const int x = r.factors[0] == v.o3 ? r.factors[1] : r.factors[0];
      if (!inorganic(x) && ho_partner[static_cast<std::size_t>(x)])
        out.loss.push_back(entry(v, n, 1.0, -1, "O3 + alkene"));
    }
  }
  return out;
}

int named(const View& v, std::initializer_list<const char*> names) {
  for (const char* want : names)
    for (std::size_t s = 0; s < v.species.size(); ++s) {
      const std::string& x = v.species[s];
      const std::string w(want);
      if (x.size() == w.size() &&
          std::equal(x.begin(), x.end(), w.begin(), [](char a, char b) {
            return std::toupper(static_cast<unsigned char>(a)) == b;
          }))
        return static_cast<int>(s);
    }
  return -1;
}

void find_named(View& v) {
  v.ho = named(v, {"HO", "OH"});
  v.ho2 = named(v, {"HO2"});
  v.no = named(v, {"NO"});
  v.no2 = named(v, {"NO2"});
  v.no3 = named(v, {"NO3"});
  v.o3 = named(v, {"O3"});
  v.o1d = named(v, {"O1D"});
  v.o3p = named(v, {"O3P", "O"});
}

}  // namespace

DiagnosticLists builtin_diagnostics() {
  View v;
  for (std::string_view name : mech::species_names) v.species.emplace_back(name);
  for (const mech::Reaction& r : mech::reactions) {
    ReactionView rv;
    for (int k = 0; k < r.n_factors; ++k)
      rv.factors.push_back(r.factors[static_cast<std::size_t>(k)] - 1);
    std::sort(rv.factors.begin(), rv.factors.end());
    const mech::NetCoefficients& c = mech::net[at(r.number)];
    for (int t = 0; t < c.count; ++t)
      rv.net[c.term[static_cast<std::size_t>(t)].species - 1] = c.term[static_cast<std::size_t>(t)].coef;
    rv.equation = mech::reaction_equation(r);
    v.reactions.push_back(std::move(rv));
  }
  find_named(v);
  // Peroxy radicals: the species other than NO3 that turn both NO and NO3
  // into NO2; HO2 first.
  const auto oxidises = [&](int s, int target) {
    for (const ReactionView& r : v.reactions)
      if (reactants_are(r, s, target) && r.net_of(v.no2) > 0) return true;
    return false;
  };
  std::vector<int> peroxy;
  for (int s = 0; s < nvar; ++s)
    if (s != v.no3 && s != v.no && oxidises(s, v.no) && oxidises(s, v.no3)) peroxy.push_back(s);
  std::stable_partition(peroxy.begin(), peroxy.end(), [&](int s) { return s == v.ho2; });
  return lists_of(v, peroxy);
}

DiagnosticLists file_diagnostics(const Mechanism& m) {
  View v;
  v.species = m.species;
  for (int n = 0; n < m.reaction_count(); ++n) {
    const RuntimeReaction& r = m.reactions[static_cast<std::size_t>(n)];
    ReactionView rv;
    rv.factors = r.reactants;
    std::sort(rv.factors.begin(), rv.factors.end());
    for (const ProductTerm& p : r.products) rv.net[p.species] += p.coefficient;
    for (int s : r.reactants) rv.net[s] -= 1.0;
    std::erase_if(rv.net, [](const auto& kv) { return kv.second == 0.0; });
    rv.equation = m.equation(n);
    v.reactions.push_back(std::move(rv));
  }
  find_named(v);
  std::vector<int> peroxy;
  if (v.ho2 >= 0) peroxy.push_back(v.ho2);
  for (int s : m.ro2)
    if (s != v.ho2) peroxy.push_back(s);
  return lists_of(v, peroxy);
}

namespace {
double rate(const DiagnosticReaction& r, std::span<const double> c, std::span<const double> k) {
  double x = k[static_cast<std::size_t>(r.reaction)];
  for (int f : r.factors) x *= c[static_cast<std::size_t>(f)];
  return x;
}
}  // namespace

Diagnostics diagnostics_at(const DiagnosticLists& lists, std::span<const double> c,
                           std::span<const double> k, double air) {
  Diagnostics d;
  for (const DiagnosticReaction& r : lists.oh_reactivity)
    d.oh_reactivity += k[static_cast<std::size_t>(r.reaction)] *
                       (r.partner >= 0 ? c[static_cast<std::size_t>(r.partner)] : 1.0);
  for (int s : lists.ro2) d.ro2 += c[static_cast<std::size_t>(s)];
  d.ro2 *= 1e9 / air;
  const double ppb_h = 1e9 * 3600.0 / air;
  for (const DiagnosticReaction& r : lists.production) d.p_o3 += r.weight * rate(r, c, k);
  for (const DiagnosticReaction& r : lists.loss) d.l_o3 += r.weight * rate(r, c, k);
  d.p_o3 *= ppb_h;
  d.l_o3 *= ppb_h;
  return d;
}

OzoneRates ozone_rates(const DiagnosticLists& lists, std::span<const double> integral,
                       double hours) {
  OzoneRates o;
  for (const DiagnosticReaction& r : lists.production)
    o.p_o3 += r.weight * integral[static_cast<std::size_t>(r.reaction)];
  for (const DiagnosticReaction& r : lists.loss)
    o.l_o3 += r.weight * integral[static_cast<std::size_t>(r.reaction)];
  o.p_o3 /= hours;
  o.l_o3 /= hours;
  return o;
}

std::string markdown(const DiagnosticLists& lists) {
  const auto name = [&](int s) { return s < 0 ? std::string("(in k)") : lists.species[static_cast<std::size_t>(s)]; };
  const auto weight = [](double w) {
    char b[32];
    std::snprintf(b, sizeof b, "%g", w);
    return std::string(b);
  };
  std::string out = "OH reactivity, k_OH = sum of k [X] (" +
                    std::to_string(lists.oh_reactivity.size()) + " reactions):\n\n"
                    "| reaction | X | equation |\n|---|---|---|\n";
  for (const DiagnosticReaction& r : lists.oh_reactivity)
    out += "| R" + std::to_string(r.reaction + 1) + " | " + name(r.partner) + " | " + r.equation + " |\n";
  out += "\nPeroxy radicals (" + std::to_string(lists.peroxy.size()) + "; the RO2 sum is all but HO2):";
  for (int s : lists.peroxy) out += " " + name(s);
  out += "\n\nP(O3) (" + std::to_string(lists.production.size()) +
         " reactions):\n\n| reaction | term | weight | equation |\n|---|---|---|---|\n";
  for (const DiagnosticReaction& r : lists.production)
    out += "| R" + std::to_string(r.reaction + 1) + " | " + r.why + " | " + weight(r.weight) + " | " + r.equation + " |\n";
  out += "\nL(O3) (" + std::to_string(lists.loss.size()) +
         " reactions):\n\n| reaction | term | weight | equation |\n|---|---|---|---|\n";
  for (const DiagnosticReaction& r : lists.loss)
    out += "| R" + std::to_string(r.reaction + 1) + " | " + r.why + " | " + weight(r.weight) + " | " + r.equation + " |\n";
  return out;
}

}  // namespace box::diag
