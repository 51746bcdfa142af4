#include "mechanism/derivation.hpp"

#include <algorithm>
#include <functional>
#include <map>
#include <queue>
#include <set>
#include <stdexcept>

namespace box {

std::vector<int> minimum_degree_order(std::vector<std::vector<int>> adjacency) {
  const int n = static_cast<int>(adjacency.size());
  for (auto& a : adjacency) std::sort(a.begin(), a.end());
  std::set<std::pair<int, int>> queue;  // (degree, vertex)
  for (int v = 0; v < n; ++v) queue.insert({static_cast<int>(adjacency[v].size()), v});
  std::vector<int> order;
  order.reserve(static_cast<std::size_t>(n));
  std::vector<int> merged;
  while (!queue.empty()) {
    const int v = queue.begin()->second;
    queue.erase(queue.begin());
    order.push_back(v);
    const std::vector<int> neighbours = std::move(adjacency[v]);
    adjacency[v].clear();
    // Eliminating v joins its neighbours pairwise: the fill the
    // factorisation would create there.
    for (const int u : neighbours) {
      std::vector<int>& a = adjacency[u];
      queue.erase({static_cast<int>(a.size()), u});
      merged.clear();
      std::set_union(a.begin(), a.end(), neighbours.begin(), neighbours.end(),
                     std::back_inserter(merged));
      merged.erase(std::remove_if(merged.begin(), merged.end(),
                                  [&](int w) { return w == u || w == v; }),
                   merged.end());
      a.swap(merged);
      queue.insert({static_cast<int>(a.size()), u});
    }
  }
  return order;
}

MechanismDerivation derive(const Mechanism& mechanism) {
  MechanismDerivation d;
  const int n = mechanism.species_count();
  const int nr = mechanism.reaction_count();
  d.n = n;
  d.reactions = nr;
  const auto sz = [](int i) { return static_cast<std::size_t>(i); };

  // Reactants, and the net coefficient of each species in each reaction.
  std::vector<std::vector<std::pair<int, double>>> net(sz(nr));  // (species, net), by species
  d.reactant_start.push_back(0);
  for (int j = 0; j < nr; ++j) {
    const RuntimeReaction& r = mechanism.reactions[sz(j)];
    for (int s : r.reactants) d.reactant_species.push_back(s);
    d.reactant_start.push_back(static_cast<int>(d.reactant_species.size()));
    std::map<int, double> c;
    for (const ProductTerm& p : r.products) c[p.species] = p.coefficient;
    std::map<int, int> lost;
    for (int s : r.reactants) ++lost[s];
    for (const auto& [s, count] : lost) c[s] = c[s] - static_cast<double>(count);
    for (const auto& [s, v] : c)
      if (v != 0.0) net[sz(j)].push_back({s, v});
  }

  // f by species.
  std::vector<std::vector<std::pair<int, double>>> by_species(sz(n));
  for (int j = 0; j < nr; ++j)
    for (const auto& [s, v] : net[sz(j)]) by_species[sz(s)].push_back({j, v});
  d.f_start.push_back(0);
  for (int s = 0; s < n; ++s) {
    for (const auto& [j, v] : by_species[sz(s)]) {
      d.f_reaction.push_back(j);
      d.f_coefficient.push_back(v);
    }
    d.f_start.push_back(static_cast<int>(d.f_reaction.size()));
  }

  // Partials, and the Jacobian's terms by (row species, column species).
  std::map<std::pair<int, int>, std::vector<std::pair<int, double>>> jterms;
  d.partial_factor_start.push_back(0);
  for (int j = 0; j < nr; ++j) {
    const std::vector<int>& a = mechanism.reactions[sz(j)].reactants;
    std::vector<int> distinct(a.begin(), a.end());
    std::sort(distinct.begin(), distinct.end());
    distinct.erase(std::unique(distinct.begin(), distinct.end()), distinct.end());
    for (int s : distinct) {
      const int p = static_cast<int>(d.partial_reaction.size());
      d.partial_reaction.push_back(j);
      d.partial_multiplicity.push_back(static_cast<double>(std::count(a.begin(), a.end(), s)));
      bool removed = false;
      for (int f : a) {
        if (f == s && !removed) {
          removed = true;
          continue;
        }
        d.partial_factor.push_back(f);
      }
      d.partial_factor_start.push_back(static_cast<int>(d.partial_factor.size()));
      for (const auto& [i, v] : net[sz(j)]) jterms[{i, s}].push_back({p, v});
    }
  }

  // The symmetrised pattern, and the order.
  std::vector<std::vector<int>> adjacency(sz(n));
  for (const auto& [at, terms] : jterms) {
    const auto [i, s] = at;
    if (i == s) continue;
    adjacency[sz(i)].push_back(s);
    adjacency[sz(s)].push_back(i);
  }
  for (auto& a : adjacency) {
    std::sort(a.begin(), a.end());
    a.erase(std::unique(a.begin(), a.end()), a.end());
  }
  d.order = minimum_degree_order(adjacency);
  d.position.assign(sz(n), 0);
  for (int k = 0; k < n; ++k) d.position[sz(d.order[sz(k)])] = k;

  // The rows of J in elimination indices, the diagonal always present.
  std::vector<std::vector<int>> rows(sz(n));
  for (int k = 0; k < n; ++k) rows[sz(k)].push_back(k);
  for (const auto& [at, terms] : jterms) {
    const int i = d.position[sz(at.first)];
    const int s = d.position[sz(at.second)];
    if (i != s) rows[sz(i)].push_back(s);
  }
  d.jacobian_entries = 0;
  for (auto& r : rows) {
    std::sort(r.begin(), r.end());
    d.jacobian_entries += static_cast<int>(r.size());
  }

  // Symbolic factorisation row by row: row k gains the upper pattern of
  // every row j < k it has an entry in, the entries filled in included.
  std::vector<std::vector<int>> upper(sz(n));  // columns > k of row k
  std::vector<char> mark(sz(n), 0);
  d.row_start.push_back(0);
  for (int k = 0; k < n; ++k) {
    std::priority_queue<int, std::vector<int>, std::greater<int>> pending;
    std::vector<int> row;
    for (int c : rows[sz(k)]) {
      mark[sz(c)] = 1;
      row.push_back(c);
      if (c < k) pending.push(c);
    }
    while (!pending.empty()) {
      const int j = pending.top();
      pending.pop();
      for (int c : upper[sz(j)]) {
        if (mark[sz(c)]) continue;
        mark[sz(c)] = 1;
        row.push_back(c);
        if (c < k) pending.push(c);
      }
    }
    std::sort(row.begin(), row.end());
    for (int c : row) {
      mark[sz(c)] = 0;
      if (c > k) upper[sz(k)].push_back(c);
      if (c == k) d.diagonal.push_back(static_cast<int>(d.column.size()));
      d.column.push_back(c);
      d.column_species.push_back(d.order[sz(c)]);
    }
    d.row_start.push_back(static_cast<int>(d.column.size()));
  }
  d.species_diagonal.assign(sz(n), 0);
  for (int k = 0; k < n; ++k) d.species_diagonal[sz(d.order[sz(k)])] = d.diagonal[sz(k)];

  // Position of (row k, column c): a scatter of row k while it is worked on.
  std::vector<int> where(sz(n), -1);
  const auto scatter = [&](int k, int value_or_minus) {
    for (int p = d.row_start[sz(k)]; p < d.row_start[sz(k + 1)]; ++p)
      where[sz(d.column[sz(p)])] = value_or_minus < 0 ? -1 : p;
  };

  // J's terms at their positions.
  d.jacobian_start.assign(sz(d.lu_entries() + 1), 0);
  std::vector<std::vector<std::pair<int, double>>> at_position(sz(d.lu_entries()));
  int scattered = -1;  // jterms come grouped by row species
  for (const auto& [at, terms] : jterms) {
    const int k = d.position[sz(at.first)];
    if (k != scattered) {
      if (scattered >= 0) scatter(scattered, -1);
      scatter(k, 0);
      scattered = k;
    }
    at_position[sz(where[sz(d.position[sz(at.second)])])] = terms;
  }
  if (scattered >= 0) scatter(scattered, -1);
  for (int p = 0; p < d.lu_entries(); ++p) {
    for (const auto& [partial, v] : at_position[sz(p)]) {
      d.jacobian_partial.push_back(partial);
      d.jacobian_coefficient.push_back(v);
    }
    d.jacobian_start[sz(p + 1)] = static_cast<int>(d.jacobian_partial.size());
  }

  // The elimination lists.
  d.update_start.push_back(0);
  for (int k = 0; k < n; ++k) {
    scatter(k, 0);
    for (int m = d.row_start[sz(k)]; m < d.diagonal[sz(k)]; ++m) {
      const int j = d.column[sz(m)];
      d.lower.push_back(m);
      d.lower_pivot.push_back(d.diagonal[sz(j)]);
      for (int u = d.diagonal[sz(j)] + 1; u < d.row_start[sz(j + 1)]; ++u) {
        const int target = where[sz(d.column[sz(u)])];
        if (target < 0) throw std::logic_error("symbolic factorisation misses a fill-in entry");
        d.update_target.push_back(target);
        d.update_source.push_back(u);
      }
      d.update_start.push_back(static_cast<int>(d.update_target.size()));
    }
    d.row_lower_end.push_back(static_cast<int>(d.lower.size()));
    scatter(k, -1);
  }
  return d;
}

}  // namespace box
