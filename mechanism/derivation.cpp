#include "mechanism/derivation.hpp"

#include <algorithm>
#include <functional>
#include <map>
#include <queue>
#include <set>
#include <stdexcept>
#include <tuple>

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

namespace {

// The pattern of what remains to be eliminated, unsymmetric: the active
// columns of each row and the active rows of each column, the diagonal left
// out. Eliminating p without pivoting divides the entries of its column by
// the pivot and updates every (i, j) with i in p's column and j in p's row,
// filling in those not yet present.
class ActivePattern {
 public:
  explicit ActivePattern(const std::vector<std::vector<int>>& rows)
      : row_(rows.size()), column_(rows.size()) {
    for (std::size_t i = 0; i < rows.size(); ++i)
      for (const int j : rows[i])
        if (static_cast<std::size_t>(j) != i) {
          row_[i].push_back(j);
          column_[static_cast<std::size_t>(j)].push_back(static_cast<int>(i));
        }
    for (auto& r : row_) tidy(r);
    for (auto& c : column_) tidy(c);
  }

  // Divisions and updates of eliminating v now.
  long long markowitz(int v) const {
    return static_cast<long long>(column(v).size()) * static_cast<long long>(row(v).size() + 1);
  }
  const std::vector<int>& row(int v) const { return row_[static_cast<std::size_t>(v)]; }
  const std::vector<int>& column(int v) const { return column_[static_cast<std::size_t>(v)]; }

  // Eliminates p; `touched` receives the vertices whose row or column changed.
  void eliminate(int p, std::vector<int>& touched) {
    const std::vector<int> r = std::move(row_[static_cast<std::size_t>(p)]);
    const std::vector<int> c = std::move(column_[static_cast<std::size_t>(p)]);
    row_[static_cast<std::size_t>(p)].clear();
    column_[static_cast<std::size_t>(p)].clear();
    touched.clear();
    for (const int i : c) {
      join(row_[static_cast<std::size_t>(i)], r, i, p);
      touched.push_back(i);
    }
    for (const int j : r) {
      join(column_[static_cast<std::size_t>(j)], c, j, p);
      touched.push_back(j);
    }
  }

 private:
  static void tidy(std::vector<int>& v) {
    std::sort(v.begin(), v.end());
    v.erase(std::unique(v.begin(), v.end()), v.end());
  }
  // a := a + b without `self` (the diagonal) and `gone` (the pivot).
  void join(std::vector<int>& a, const std::vector<int>& b, int self, int gone) {
    merged_.clear();
    std::set_union(a.begin(), a.end(), b.begin(), b.end(), std::back_inserter(merged_));
    merged_.erase(std::remove_if(merged_.begin(), merged_.end(), [&](int w) { return w == self || w == gone; }),
                  merged_.end());
    a.swap(merged_);
  }

  std::vector<std::vector<int>> row_, column_;
  std::vector<int> merged_;
};

}  // namespace

std::vector<int> markowitz_order(const std::vector<std::vector<int>>& rows) {
  const int n = static_cast<int>(rows.size());
  ActivePattern active(rows);
  // (divisions and updates, row and column entries, vertex): the cheapest
  // first, then the sparsest, then the lowest index.
  using Key = std::tuple<long long, std::size_t, int>;
  const auto key = [&](int v) {
    return Key{active.markowitz(v), active.row(v).size() + active.column(v).size(), v};
  };
  std::set<Key> queue;
  std::vector<Key> current(static_cast<std::size_t>(n));
  for (int v = 0; v < n; ++v) queue.insert(current[static_cast<std::size_t>(v)] = key(v));
  std::vector<char> done(static_cast<std::size_t>(n), 0);
  std::vector<int> order, touched;
  order.reserve(static_cast<std::size_t>(n));
  while (!queue.empty()) {
    const int p = std::get<2>(*queue.begin());
    queue.erase(queue.begin());
    done[static_cast<std::size_t>(p)] = 1;
    order.push_back(p);
    active.eliminate(p, touched);
    for (const int v : touched) {
      if (done[static_cast<std::size_t>(v)]) continue;
      Key& k = current[static_cast<std::size_t>(v)];
      queue.erase(k);
      k = key(v);
      queue.insert(k);
    }
  }
  return order;
}

long long elimination_operations(const std::vector<std::vector<int>>& rows, const std::vector<int>& order) {
  ActivePattern active(rows);
  long long operations = 0;
  std::vector<int> touched;
  for (const int p : order) {
    operations += active.markowitz(p);
    active.eliminate(p, touched);
  }
  return operations;
}

namespace {

using Run = MechanismDerivation::Run;

constexpr std::size_t sz(int i) { return static_cast<std::size_t>(i); }

// Rows [0, rows) of a compressed-row list, grouped by their length (and
// `group`, ascending), each group in row order: the runs over that order.
template <class Group>
std::vector<int> grouped_rows(int rows, const std::vector<int>& start, Group group) {
  std::vector<int> order(static_cast<std::size_t>(rows));
  for (int i = 0; i < rows; ++i) order[static_cast<std::size_t>(i)] = i;
  const auto key = [&](int i) {
    return std::pair{start[static_cast<std::size_t>(i + 1)] - start[static_cast<std::size_t>(i)], group(i)};
  };
  std::stable_sort(order.begin(), order.end(), [&](int a, int b) { return key(a) < key(b); });
  return order;
}

// Starts a new run at row `row` unless it continues the last one.
void extend_runs(std::vector<Run>& runs, int row, int length, int term, bool same_group) {
  if (runs.empty() || runs.back().length != length || !same_group) runs.push_back({length, row, 0, term});
  ++runs.back().count;
}

MechanismDerivation::Products products(int rows, const std::vector<int>& start, const std::vector<int>& factor,
                                       const std::vector<int>& coefficient, const std::vector<double>& multiplier) {
  MechanismDerivation::Products p;
  const auto scaled = [&](int i) { return multiplier[static_cast<std::size_t>(i)] != 1.0; };
  for (int i : grouped_rows(rows, start, scaled)) {
    const auto row = static_cast<int>(p.output.size());
    const int length = start[static_cast<std::size_t>(i + 1)] - start[static_cast<std::size_t>(i)];
    extend_runs(p.runs, row, length, static_cast<int>(p.factor.size()),
                row == 0 || (p.multiplier.back() != 1.0) == scaled(i));
    p.output.push_back(i);
    p.coefficient.push_back(coefficient[static_cast<std::size_t>(i)]);
    p.multiplier.push_back(multiplier[static_cast<std::size_t>(i)]);
    for (int q = start[static_cast<std::size_t>(i)]; q < start[static_cast<std::size_t>(i + 1)]; ++q)
      p.factor.push_back(factor[static_cast<std::size_t>(q)]);
  }
  return p;
}

MechanismDerivation::Sums sums(int rows, const std::vector<int>& start, const std::vector<int>& operand,
                               const std::vector<double>& coefficient) {
  MechanismDerivation::Sums s;
  for (int i : grouped_rows(rows, start, [](int) { return 0; })) {
    const int length = start[static_cast<std::size_t>(i + 1)] - start[static_cast<std::size_t>(i)];
    extend_runs(s.runs, static_cast<int>(s.output.size()), length, static_cast<int>(s.operand.size()), true);
    if (length > MechanismDerivation::Sums::unrolled) {
      if (s.long_term.empty()) s.long_from = static_cast<int>(s.output.size());
      s.long_term.push_back(static_cast<int>(s.operand.size()));
    }
    s.output.push_back(i);
    for (int q = start[static_cast<std::size_t>(i)]; q < start[static_cast<std::size_t>(i + 1)]; ++q) {
      s.operand.push_back(operand[static_cast<std::size_t>(q)]);
      s.coefficient.push_back(coefficient[static_cast<std::size_t>(q)]);
    }
  }
  if (s.long_term.empty()) s.long_from = static_cast<int>(s.output.size());
  s.long_term.push_back(static_cast<int>(s.operand.size()));
  return s;
}

// The loop kernels' arrangement of the lists derived above.
void arrange_for_loops(MechanismDerivation& d) {
  std::vector<int> reaction_of(sz(d.reactions));
  for (int j = 0; j < d.reactions; ++j) reaction_of[sz(j)] = j;
  d.rate_products = products(d.reactions, d.reactant_start, d.reactant_species, reaction_of,
                             std::vector<double>(sz(d.reactions), 1.0));
  d.partial_products = products(static_cast<int>(d.partial_reaction.size()), d.partial_factor_start, d.partial_factor,
                                d.partial_reaction, d.partial_multiplicity);
  d.f_sums = sums(d.n, d.f_start, d.f_reaction, d.f_coefficient);
  d.jacobian_sums = sums(d.lu_entries(), d.jacobian_start, d.jacobian_partial, d.jacobian_coefficient);

  // The multipliers by column, rows ascending within each.
  std::vector<std::vector<int>> by_pivot(sz(d.n));
  for (std::size_t i = 0; i < d.lower.size(); ++i) by_pivot[sz(d.column[sz(d.lower[i])])].push_back(static_cast<int>(i));
  d.pivot_lower_start.assign(1, 0);
  d.pivot_target_start.assign(1, 0);
  for (int j = 0; j < d.n; ++j) {
    for (int i : by_pivot[sz(j)]) {
      d.pivot_lower.push_back(d.lower[sz(i)]);
      for (int u = d.update_start[sz(i)]; u < d.update_start[sz(i + 1)]; ++u) d.pivot_target.push_back(d.update_target[sz(u)]);
    }
    d.pivot_lower_start.push_back(static_cast<int>(d.pivot_lower.size()));
    d.pivot_target_start.push_back(static_cast<int>(d.pivot_target.size()));
  }

  for (int k = 0; k < d.n; ++k)
    if (d.diagonal[sz(k)] > d.row_start[sz(k)])
      d.forward_rows.push_back({d.order[sz(k)], d.row_start[sz(k)], d.diagonal[sz(k)] - d.row_start[sz(k)]});
  for (int k = d.n - 1; k >= 0; --k)
    d.backward_rows.push_back({d.order[sz(k)], d.diagonal[sz(k)], d.row_start[sz(k + 1)] - d.diagonal[sz(k)] - 1});
}

// (species, value) or (partial, value) pairs.
using Terms = std::vector<std::pair<int, double>>;
// The terms of J by (row species, column species): (partial, net coefficient).
using JacobianTerms = std::map<std::pair<int, int>, Terms>;

// Each reaction's reactants, and the net coefficient of each species in
// each reaction (by species; the zeros left out).
std::vector<Terms> reactants_and_net_coefficients(const Mechanism& mechanism, MechanismDerivation& d) {
  const int nr = d.reactions;
  std::vector<Terms> net(sz(nr));
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
  return net;
}

// f by species: the reactions and net coefficients of each species' sum.
void rhs_terms(const std::vector<Terms>& net, MechanismDerivation& d) {
  std::vector<Terms> by_species(sz(d.n));
  for (int j = 0; j < d.reactions; ++j)
    for (const auto& [s, v] : net[sz(j)]) by_species[sz(s)].push_back({j, v});
  d.f_start.push_back(0);
  for (int s = 0; s < d.n; ++s) {
    for (const auto& [j, v] : by_species[sz(s)]) {
      d.f_reaction.push_back(j);
      d.f_coefficient.push_back(v);
    }
    d.f_start.push_back(static_cast<int>(d.f_reaction.size()));
  }
}

// The partial derivatives of the rates (one per reaction and distinct
// reactant: the other reactants' product times the multiplicity), and the
// Jacobian's terms by (row species, column species).
JacobianTerms partials_and_jacobian_terms(const Mechanism& mechanism, const std::vector<Terms>& net,
                                          MechanismDerivation& d) {
  JacobianTerms jterms;
  d.partial_factor_start.push_back(0);
  for (int j = 0; j < d.reactions; ++j) {
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
  return jterms;
}

// The elimination order and each species' place in it. Two candidate
// orders, the one with fewer operations in the factorisation kept (the
// first on a tie): minimum degree on the symmetrised pattern, and
// Markowitz's choice among the diagonal pivots on the pattern as it is.
// Chemistry's Jacobians are far from symmetric (a product that reacts with
// nothing has a row but no column), which the symmetrised degree cannot see.
void elimination_order(const JacobianTerms& jterms, MechanismDerivation& d) {
  const int n = d.n;
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
  std::vector<std::vector<int>> pattern(sz(n));
  for (const auto& [at, terms] : jterms) pattern[sz(at.first)].push_back(at.second);
  d.order = minimum_degree_order(adjacency);
  {
    std::vector<int> markowitz = markowitz_order(pattern);
    if (elimination_operations(pattern, markowitz) < elimination_operations(pattern, d.order))
      d.order = std::move(markowitz);
  }
  d.position.assign(sz(n), 0);
  for (int k = 0; k < n; ++k) d.position[sz(d.order[sz(k)])] = k;
}

// The sparsity pattern of J: its rows in elimination indices, columns
// ascending, the diagonal always present.
std::vector<std::vector<int>> jacobian_pattern(const JacobianTerms& jterms, MechanismDerivation& d) {
  std::vector<std::vector<int>> rows(sz(d.n));
  for (int k = 0; k < d.n; ++k) rows[sz(k)].push_back(k);
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
  return rows;
}

// The factors' layout with its fill-in, by symbolic factorisation row by
// row: row k gains the upper pattern of every row j < k it has an entry
// in, the entries filled in included.
void factor_pattern(const std::vector<std::vector<int>>& rows, MechanismDerivation& d) {
  const int n = d.n;
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
}

// Position of (row k, column c) in the factors' layout, by column: a
// scatter of row k while it is worked on, -1 elsewhere.
class RowScatter {
 public:
  explicit RowScatter(const MechanismDerivation& d) : d_(d), where_(sz(d.n), -1) {}
  void set(int k) { mark(k, false); }
  void clear(int k) { mark(k, true); }
  int operator[](int column) const { return where_[sz(column)]; }

 private:
  void mark(int k, bool clearing) {
    for (int p = d_.row_start[sz(k)]; p < d_.row_start[sz(k + 1)]; ++p)
      where_[sz(d_.column[sz(p)])] = clearing ? -1 : p;
  }
  const MechanismDerivation& d_;
  std::vector<int> where_;
};

// J's terms at their positions in the factors' layout.
void place_jacobian_terms(const JacobianTerms& jterms, MechanismDerivation& d) {
  RowScatter where(d);
  d.jacobian_start.assign(sz(d.lu_entries() + 1), 0);
  std::vector<Terms> at_position(sz(d.lu_entries()));
  int scattered = -1;  // jterms come grouped by row species
  for (const auto& [at, terms] : jterms) {
    const int k = d.position[sz(at.first)];
    if (k != scattered) {
      if (scattered >= 0) where.clear(scattered);
      where.set(k);
      scattered = k;
    }
    at_position[sz(where[d.position[sz(at.second)]])] = terms;
  }
  if (scattered >= 0) where.clear(scattered);
  for (int p = 0; p < d.lu_entries(); ++p) {
    for (const auto& [partial, v] : at_position[sz(p)]) {
      d.jacobian_partial.push_back(partial);
      d.jacobian_coefficient.push_back(v);
    }
    d.jacobian_start[sz(p + 1)] = static_cast<int>(d.jacobian_partial.size());
  }
}

// The elimination lists: each multiplier with its pivot, and the entries
// its row update reads and writes.
void elimination_lists(MechanismDerivation& d) {
  RowScatter where(d);
  d.update_start.push_back(0);
  for (int k = 0; k < d.n; ++k) {
    where.set(k);
    for (int m = d.row_start[sz(k)]; m < d.diagonal[sz(k)]; ++m) {
      const int j = d.column[sz(m)];
      d.lower.push_back(m);
      d.lower_pivot.push_back(d.diagonal[sz(j)]);
      for (int u = d.diagonal[sz(j)] + 1; u < d.row_start[sz(j + 1)]; ++u) {
        const int target = where[d.column[sz(u)]];
        if (target < 0) throw std::logic_error("symbolic factorisation misses a fill-in entry");
        d.update_target.push_back(target);
        d.update_source.push_back(u);
      }
      d.update_start.push_back(static_cast<int>(d.update_target.size()));
    }
    d.row_lower_end.push_back(static_cast<int>(d.lower.size()));
    where.clear(k);
  }
}

}  // namespace

MechanismDerivation derive(const Mechanism& mechanism) {
  MechanismDerivation d;
  d.n = mechanism.species_count();
  d.reactions = mechanism.reaction_count();
  const std::vector<Terms> net = reactants_and_net_coefficients(mechanism, d);
  rhs_terms(net, d);
  const JacobianTerms jterms = partials_and_jacobian_terms(mechanism, net, d);
  elimination_order(jterms, d);
  factor_pattern(jacobian_pattern(jterms, d), d);
  place_jacobian_terms(jterms, d);
  elimination_lists(d);
  arrange_for_loops(d);
  return d;
}

}  // namespace box
