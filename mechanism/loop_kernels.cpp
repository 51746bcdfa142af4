#include "mechanism/loop_kernels.hpp"

#include <algorithm>
#include <stdexcept>
#include <string>

#include <cmath>
#include <cstring>
#include <limits>
#include <utility>

namespace box {
namespace {
constexpr std::size_t sz(int i) { return static_cast<std::size_t>(i); }
}  // namespace

namespace {

using Run = MechanismDerivation::Run;

// Calls body(q) for q = 0 .. L-1 in that order, written out: the short
// rows' loops become straight-line code.
template <int L, class Body>
inline void unrolled(Body&& body) {
  [&]<std::size_t... q>(std::index_sequence<q...>) { (body(static_cast<int>(q)), ...); }(std::make_index_sequence<L>{});
}

// One run of products, its length a constant (L >= 0) or the run's.
template <int L, bool scaled>
void product_run(const MechanismDerivation::Products& p, const Run& run, const double* k, const double* y,
                 double* out) {
  const int length = L >= 0 ? L : run.length;
  const int* factor = p.factor.data() + run.term;
  for (int i = run.first; i < run.first + run.count; ++i, factor += length) {
    double v = k[p.coefficient[sz(i)]];
    if constexpr (L >= 0) unrolled<L>([&](int q) { v = v * y[factor[q]]; });
    else for (int q = 0; q < length; ++q) v = v * y[factor[q]];
    if constexpr (scaled) v = p.multiplier[sz(i)] * v;
    out[p.output[sz(i)]] = v;
  }
}

void products(const MechanismDerivation::Products& p, const double* k, const double* y, double* out) {
  for (const Run& run : p.runs) {
    if (p.multiplier[sz(run.first)] != 1.0) {
      product_run<-1, true>(p, run, k, y, out);
      continue;
    }
    switch (run.length) {
      case 0: product_run<0, false>(p, run, k, y, out); break;
      case 1: product_run<1, false>(p, run, k, y, out); break;
      case 2: product_run<2, false>(p, run, k, y, out); break;
      case 3: product_run<3, false>(p, run, k, y, out); break;
      default: product_run<-1, false>(p, run, k, y, out); break;
    }
  }
}

// One run of sums of L terms each.
template <int L>
void sum_run(const MechanismDerivation::Sums& s, const Run& run, const double* in, double* out) {
  const int* operand = s.operand.data() + run.term;
  const double* c = s.coefficient.data() + run.term;
  for (int i = run.first; i < run.first + run.count; ++i, operand += L, c += L) {
    double v = 0.0;
    unrolled<L>([&](int q) { v = v + c[q] * in[operand[q]]; });
    out[s.output[sz(i)]] = v;
  }
}

// The long rows four at a time: their sums side by side while all four
// have terms (the rows come by length, so the first is the shortest), then
// each to its end.
void long_sums(const MechanismDerivation::Sums& s, const double* in, double* out) {
  const int* operand = s.operand.data();
  const double* c = s.coefficient.data();
  const int rows = static_cast<int>(s.output.size());
  const int* term = s.long_term.data();  // of row long_from + r at term[r]
  int i = s.long_from;
  for (; i + 4 <= rows; i += 4, term += 4) {
    const int a = term[0], b = term[1], e = term[2], g = term[3];
    const int common = b - a;
    double v0 = 0.0, v1 = 0.0, v2 = 0.0, v3 = 0.0;
    for (int q = 0; q < common; ++q) {
      v0 = v0 + c[a + q] * in[operand[a + q]];
      v1 = v1 + c[b + q] * in[operand[b + q]];
      v2 = v2 + c[e + q] * in[operand[e + q]];
      v3 = v3 + c[g + q] * in[operand[g + q]];
    }
    for (int q = b + common; q < e; ++q) v1 = v1 + c[q] * in[operand[q]];
    for (int q = e + common; q < g; ++q) v2 = v2 + c[q] * in[operand[q]];
    for (int q = g + common; q < term[4]; ++q) v3 = v3 + c[q] * in[operand[q]];
    out[s.output[sz(i)]] = v0;
    out[s.output[sz(i + 1)]] = v1;
    out[s.output[sz(i + 2)]] = v2;
    out[s.output[sz(i + 3)]] = v3;
  }
  for (; i < rows; ++i, ++term) {
    double v = 0.0;
    for (int q = term[0]; q < term[1]; ++q) v = v + c[q] * in[operand[q]];
    out[s.output[sz(i)]] = v;
  }
}

void sums(const MechanismDerivation::Sums& s, const double* in, double* out) {
  static_assert(MechanismDerivation::Sums::unrolled == 8, "a case for each length up to it");
  for (const Run& run : s.runs) {
    if (run.length > MechanismDerivation::Sums::unrolled) break;  // the long rows, below
    switch (run.length) {
      case 0: sum_run<0>(s, run, in, out); break;
      case 1: sum_run<1>(s, run, in, out); break;
      case 2: sum_run<2>(s, run, in, out); break;
      case 3: sum_run<3>(s, run, in, out); break;
      case 4: sum_run<4>(s, run, in, out); break;
      case 5: sum_run<5>(s, run, in, out); break;
      case 6: sum_run<6>(s, run, in, out); break;
      case 7: sum_run<7>(s, run, in, out); break;
      case 8: sum_run<8>(s, run, in, out); break;
    }
  }
  long_sums(s, in, out);
}

// Pivot j's column: each multiplier divided by the pivot, then its row
// updated with row j's upper part u (which the column's updates do not
// touch: they are all in rows below). length: the upper part's entries, a
// constant (L >= 0) or `length`.
template <int L>
void eliminate_column(const int* lower, const int* lower_end, const int* target, const double* upper,
                      int length_at_run_time, double reciprocal, double* a) {
  const int length = L >= 0 ? L : length_at_run_time;
  if constexpr (L >= 0) {
    double u[L > 0 ? L : 1];
    unrolled<L>([&](int q) { u[q] = upper[q]; });
    for (; lower != lower_end; ++lower, target += L) {
      const double l = a[*lower] * reciprocal;
      a[*lower] = l;
      unrolled<L>([&](int q) { a[target[q]] = a[target[q]] - l * u[q]; });
    }
  } else {
    for (; lower != lower_end; ++lower, target += length) {
      const double l = a[*lower] * reciprocal;
      a[*lower] = l;
      for (int q = 0; q < length; ++q) a[target[q]] = a[target[q]] - l * upper[q];
    }
  }
}

}  // namespace

void loop_rates(const MechanismDerivation& d, const double* k, const double* y, double* r) {
  products(d.rate_products, k, y, r);
}

void loop_fun(const MechanismDerivation& d, const double* k, const double* y, double* r, double* f) {
  loop_rates(d, k, y, r);
  sums(d.f_sums, r, f);
}

void loop_jac(const MechanismDerivation& d, const double* k, const double* y, double* partial,
              double* jac) {
  products(d.partial_products, k, y, partial);
  sums(d.jacobian_sums, partial, jac);
}

int loop_decomp(const MechanismDerivation& d, double* a) {
  const int* lower = d.pivot_lower.data();
  const int* target = d.pivot_target.data();
  for (int j = 0; j < d.n; ++j) {
    // The pivot, whole now that the columns before it are done; a zero
    // here would be divided by in the rows below.
    const double pivot = a[d.diagonal[sz(j)]];
    if (!(std::fabs(pivot) >= std::numeric_limits<double>::min())) return j + 1;
    // At most 1/DBL_MIN: finite.
    const double reciprocal = 1.0 / pivot;
    a[d.diagonal[sz(j)]] = reciprocal;
    const int* first = lower + d.pivot_lower_start[sz(j)];
    const int* last = lower + d.pivot_lower_start[sz(j + 1)];
    const int* t = target + d.pivot_target_start[sz(j)];
    const double* upper = a + d.diagonal[sz(j)] + 1;
    const int length = d.row_start[sz(j + 1)] - d.diagonal[sz(j)] - 1;
    switch (length) {
      case 0: eliminate_column<0>(first, last, t, upper, length, reciprocal, a); break;  // the multipliers alone
      case 1: eliminate_column<1>(first, last, t, upper, length, reciprocal, a); break;
      case 2: eliminate_column<2>(first, last, t, upper, length, reciprocal, a); break;
      case 3: eliminate_column<3>(first, last, t, upper, length, reciprocal, a); break;
      case 4: eliminate_column<4>(first, last, t, upper, length, reciprocal, a); break;
      case 5: eliminate_column<5>(first, last, t, upper, length, reciprocal, a); break;
      case 6: eliminate_column<6>(first, last, t, upper, length, reciprocal, a); break;
      case 7: eliminate_column<7>(first, last, t, upper, length, reciprocal, a); break;
      case 8: eliminate_column<8>(first, last, t, upper, length, reciprocal, a); break;
      case 9: eliminate_column<9>(first, last, t, upper, length, reciprocal, a); break;
      case 10: eliminate_column<10>(first, last, t, upper, length, reciprocal, a); break;
      case 11: eliminate_column<11>(first, last, t, upper, length, reciprocal, a); break;
      case 12: eliminate_column<12>(first, last, t, upper, length, reciprocal, a); break;
      case 13: eliminate_column<13>(first, last, t, upper, length, reciprocal, a); break;
      case 14: eliminate_column<14>(first, last, t, upper, length, reciprocal, a); break;
      case 15: eliminate_column<15>(first, last, t, upper, length, reciprocal, a); break;
      case 16: eliminate_column<16>(first, last, t, upper, length, reciprocal, a); break;
      case 17: eliminate_column<17>(first, last, t, upper, length, reciprocal, a); break;
      case 18: eliminate_column<18>(first, last, t, upper, length, reciprocal, a); break;
      case 19: eliminate_column<19>(first, last, t, upper, length, reciprocal, a); break;
      case 20: eliminate_column<20>(first, last, t, upper, length, reciprocal, a); break;
      case 21: eliminate_column<21>(first, last, t, upper, length, reciprocal, a); break;
      case 22: eliminate_column<22>(first, last, t, upper, length, reciprocal, a); break;
      default: eliminate_column<-1>(first, last, t, upper, length, reciprocal, a); break;
    }
  }
  return 0;
}

namespace {

// a = 0 - jac entry by entry, two entries per vector operation (the
// compiler, at -O2, forms this loop one entry at a time).
void negated(const double* jac, double* a, std::size_t entries) {
  using two_doubles = double __attribute__((vector_size(16)));
  const two_doubles zero{0.0, 0.0};
  std::size_t e = 0;
  for (; e + 2 <= entries; e += 2) {
    two_doubles v;
    std::memcpy(&v, jac + e, sizeof v);
    v = zero - v;
    std::memcpy(a + e, &v, sizeof v);
  }
  if (e < entries) a[e] = 0.0 - jac[e];
}

}  // namespace

int loop_decomp_shifted(const MechanismDerivation& d, const double* jac, double shift, double* a) {
  negated(jac, a, sz(d.lu_entries()));
  for (int k = 0; k < d.n; ++k) {
    double& v = a[d.diagonal[sz(k)]];
    v = v + shift;
  }
  return loop_decomp(d, a);
}

namespace {

// v minus the L products lu[m] x[col[m]], m = first, first + step, ... in
// that order.
template <int L, int step>
double row_sum(double v, const double* lu, const int* col, int first, const double* x) {
  unrolled<L>([&](int q) { v = v - lu[first + step * q] * x[col[first + step * q]]; });
  return v;
}

// Inlined into the substitutions' loops: a call per row costs as much as
// a short row's sum.
template <int step>
[[gnu::always_inline]] inline double row_sum(double v, const double* lu, const int* col, int first, int length,
                                             const double* x) {
  static_assert(loop_solve_long_row == 8, "a case for each length up to it");
  switch (length) {
    case 0: return v;
    case 1: return row_sum<1, step>(v, lu, col, first, x);
    case 2: return row_sum<2, step>(v, lu, col, first, x);
    case 3: return row_sum<3, step>(v, lu, col, first, x);
    case 4: return row_sum<4, step>(v, lu, col, first, x);
    case 5: return row_sum<5, step>(v, lu, col, first, x);
    case 6: return row_sum<6, step>(v, lu, col, first, x);
    case 7: return row_sum<7, step>(v, lu, col, first, x);
    case 8: return row_sum<8, step>(v, lu, col, first, x);
    default: {  // longer than loop_solve_long_row
      // A long row: four partial sums, term q into sum q mod 4, so that
      // four chains of additions run side by side instead of one as long
      // as the row (the substitutions are bound by their dependent
      // operations). The lane form sums the same way.
      double s[4] = {0.0, 0.0, 0.0, 0.0};
      int q = 0;
      for (; q + 4 <= length; q += 4)
        unrolled<4>([&](int i) { s[i] = s[i] + lu[first + step * (q + i)] * x[col[first + step * (q + i)]]; });
      const int rest = length - q;  // the last terms, fewer than four
      unrolled<3>([&](int i) {
        if (i < rest) s[i] = s[i] + lu[first + step * (q + i)] * x[col[first + step * (q + i)]];
      });
      return v - ((s[0] + s[1]) + (s[2] + s[3]));
    }
  }
}

}  // namespace

void loop_solve(const MechanismDerivation& d, const double* lu, double* x) {
  const int* col = d.column_species.data();
  for (const MechanismDerivation::SolveRow& r : d.forward_rows)
    x[r.species] = row_sum<1>(x[r.species], lu, col, r.first, r.length, x);
  // Each row's sum from its last column down: the value computed last (the
  // row just below) enters last, so the rest of the sum is formed while
  // that value is still being divided out.
  for (const MechanismDerivation::SolveRow& r : d.backward_rows)
    x[r.species] = row_sum<-1>(x[r.species], lu, col, r.first + r.length, r.length, x) * lu[r.first];
}

// ---- the lane form: every loop of the one-box kernels with an innermost
// loop over the lanes, same operations, same order.
namespace {
constexpr int L = loop_lanes;
constexpr std::size_t lane(int entry, int l) { return sz(entry) * L + sz(l); }
}  // namespace

void loop_fun_lanes(const MechanismDerivation& d, const double* k, const double* y, double* r, double* f) {
  const int* rstart = d.reactant_start.data();
  const int* species = d.reactant_species.data();
  for (int j = 0; j < d.reactions; ++j) {
    double v[L];
    for (int l = 0; l < L; ++l) v[l] = k[lane(j, l)];
    for (int q = rstart[j]; q < rstart[j + 1]; ++q)
      for (int l = 0; l < L; ++l) v[l] = v[l] * y[lane(species[q], l)];
    for (int l = 0; l < L; ++l) r[lane(j, l)] = v[l];
  }
  const int* start = d.f_start.data();
  const int* reaction = d.f_reaction.data();
  const double* c = d.f_coefficient.data();
  for (int s = 0; s < d.n; ++s) {
    double v[L] = {0.0, 0.0, 0.0, 0.0};
    for (int q = start[s]; q < start[s + 1]; ++q)
      for (int l = 0; l < L; ++l) v[l] = v[l] + c[q] * r[lane(reaction[q], l)];
    for (int l = 0; l < L; ++l) f[lane(s, l)] = v[l];
  }
}

void loop_jac_lanes(const MechanismDerivation& d, const double* k, const double* y, double* partial,
                    double* jac) {
  const int np = static_cast<int>(d.partial_reaction.size());
  const int* fstart = d.partial_factor_start.data();
  const int* factor = d.partial_factor.data();
  for (int p = 0; p < np; ++p) {
    double v[L];
    for (int l = 0; l < L; ++l) v[l] = k[lane(d.partial_reaction[sz(p)], l)];
    for (int q = fstart[p]; q < fstart[p + 1]; ++q)
      for (int l = 0; l < L; ++l) v[l] = v[l] * y[lane(factor[q], l)];
    const double m = d.partial_multiplicity[sz(p)];
    for (int l = 0; l < L; ++l) partial[lane(p, l)] = m == 1.0 ? v[l] : m * v[l];
  }
  const int* start = d.jacobian_start.data();
  const int* which = d.jacobian_partial.data();
  const double* c = d.jacobian_coefficient.data();
  for (int e = 0; e < d.lu_entries(); ++e) {
    double v[L] = {0.0, 0.0, 0.0, 0.0};
    for (int q = start[e]; q < start[e + 1]; ++q)
      for (int l = 0; l < L; ++l) v[l] = v[l] + c[q] * partial[lane(which[q], l)];
    for (int l = 0; l < L; ++l) jac[lane(e, l)] = v[l];
  }
}

LaneStatus loop_decomp_lanes(const MechanismDerivation& d, double* a) {
  const int* lower = d.lower.data();
  const int* pivot = d.lower_pivot.data();
  const int* ustart = d.update_start.data();
  const int* target = d.update_target.data();
  const int* source = d.update_source.data();
  LaneStatus status{};
  int i = 0;
  for (int k = 0; k < d.n; ++k) {
    for (; i < d.row_lower_end[sz(k)]; ++i) {
      double m[L];
      for (int l = 0; l < L; ++l) {
        m[l] = a[lane(lower[i], l)] * a[lane(pivot[i], l)];  // the pivot's reciprocal
        a[lane(lower[i], l)] = m[l];
      }
      for (int u = ustart[i]; u < ustart[i + 1]; ++u)
        for (int l = 0; l < L; ++l)
          a[lane(target[u], l)] = a[lane(target[u], l)] - m[l] * a[lane(source[u], l)];
    }
    for (int l = 0; l < L; ++l) {
      double& p = a[lane(d.diagonal[sz(k)], l)];
      if (status[sz(l)] == 0 && !(std::fabs(p) >= std::numeric_limits<double>::min())) status[sz(l)] = k + 1;
      p = 1.0 / p;
    }
  }
  return status;
}

LaneStatus loop_decomp_shifted_lanes(const MechanismDerivation& d, const double* jac,
                                     const std::array<double, loop_lanes>& shift, double* a) {
  negated(jac, a, sz(d.lu_entries()) * L);
  for (int k = 0; k < d.n; ++k)
    for (int l = 0; l < L; ++l) {
      double& v = a[lane(d.diagonal[sz(k)], l)];
      v = v + shift[sz(l)];
    }
  return loop_decomp_lanes(d, a);
}

void loop_solve_lanes(const MechanismDerivation& d, const double* lu, double* x) {
  const int* start = d.row_start.data();
  const int* diag = d.diagonal.data();
  const int* col = d.column_species.data();
  const int* order = d.order.data();
  // v minus the row's terms from `first`, `length` of them, `step` apart,
  // summed as the one-box loop_solve sums them: one by one up to
  // loop_solve_long_row terms, in four partial sums beyond.
  const auto row = [&](double* v, int first, int length, int step) {
    if (length <= loop_solve_long_row) {
      for (int q = 0, m = first; q < length; ++q, m += step)
        for (int l = 0; l < L; ++l) v[l] = v[l] - lu[lane(m, l)] * x[lane(col[m], l)];
      return;
    }
    double s[4][L] = {};
    for (int q = 0, m = first; q < length; ++q, m += step)
      for (int l = 0; l < L; ++l) s[q % 4][l] = s[q % 4][l] + lu[lane(m, l)] * x[lane(col[m], l)];
    for (int l = 0; l < L; ++l) v[l] = v[l] - ((s[0][l] + s[1][l]) + (s[2][l] + s[3][l]));
  };
  for (int k = 0; k < d.n; ++k) {
    double v[L];
    for (int l = 0; l < L; ++l) v[l] = x[lane(order[k], l)];
    row(v, start[k], diag[k] - start[k], 1);
    for (int l = 0; l < L; ++l) x[lane(order[k], l)] = v[l];
  }
  for (int k = d.n - 1; k >= 0; --k) {
    double v[L];
    for (int l = 0; l < L; ++l) v[l] = x[lane(order[k], l)];
    row(v, start[k + 1] - 1, start[k + 1] - 1 - diag[k], -1);
    for (int l = 0; l < L; ++l) x[lane(order[k], l)] = v[l] * lu[lane(diag[k], l)];
  }
}

RuntimeRates::RuntimeRates(const Mechanism& mechanism)
    : mechanism_(&mechanism),
      air_(air_variable_count, std::numeric_limits<double>::quiet_NaN()),
      photolysis_(mechanism.photolysis_channels.size(), std::numeric_limits<double>::quiet_NaN()),
      values_(mechanism.coefficients.size(), 0.0),
      k_(mechanism.reactions.size(), 0.0) {
  ExpressionInputs none{air_.data(), 0.0, photolysis_.data(), values_.data()};
  for (std::size_t c = 0; c < mechanism.coefficients.size(); ++c) {
    const Expression& e = mechanism.coefficients[c].value;
    if (mechanism.coefficients[c].supplied) continue;  // an input: 0 until set_parameters
    if (e.depends == depends_on_nothing) values_[c] = e.evaluate(none);
    else if (e.depends & depends_on_ro2) ro2_names_.push_back(static_cast<int>(c));
    else varying_names_.push_back(static_cast<int>(c));
  }
  for (std::size_t j = 0; j < mechanism.reactions.size(); ++j) {
    const Expression& e = mechanism.reactions[j].rate;
    if (e.depends == depends_on_nothing) k_[j] = e.evaluate(none);
    else if (e.depends & depends_on_ro2) ro2_reactions_.push_back(static_cast<int>(j));
    else varying_reactions_.push_back(static_cast<int>(j));
  }
}

void RuntimeRates::evaluate(const std::vector<int>& names, const std::vector<int>& reactions,
                            unsigned mask) {
  const ExpressionInputs in{air_.data(), ro2_, photolysis_.data(), values_.data()};
  for (int c : names) {
    const Expression& e = mechanism_->coefficients[sz(c)].value;
    if ((e.depends & mask) == 0) continue;
    values_[sz(c)] = e.evaluate(in);
    ++evaluations_;
  }
  for (int j : reactions) {
    const Expression& e = mechanism_->reactions[sz(j)].rate;
    if ((e.depends & mask) == 0) continue;
    k_[sz(j)] = factor_.empty() ? e.evaluate(in) : e.evaluate(in) * factor_[sz(j)];
    ++evaluations_;
  }
}

void RuntimeRates::set_conditions(const MechanismAir& air, std::span<const double> photolysis) {
  // Compared bit for bit: an unchanged air state is the same numbers. On
  // the stack: this runs once per evaluation time.
  const std::array<double, air_variable_count> a = air_values(air);
  const bool air_changed = first_ || std::memcmp(a.data(), air_.data(), a.size() * sizeof(double)) != 0;
  bool j_changed = first_;
  for (std::size_t s = 0; s < photolysis_.size(); ++s) {
    const double v = s < photolysis.size() ? photolysis[s] : 0.0;
    if (std::memcmp(&v, &photolysis_[s], sizeof v) != 0) j_changed = true;
    photolysis_[s] = v;
  }
  std::copy(a.begin(), a.end(), air_.begin());
  const bool first = first_;
  first_ = false;
  // The first time, what uses the supplied parameters too (set or 0).
  const unsigned mask = (air_changed ? unsigned{depends_on_air} : 0u) | (j_changed ? unsigned{depends_on_photolysis} : 0u) |
                        (first ? unsigned{depends_on_parameter} : 0u);
  if (mask != 0) evaluate(varying_names_, varying_reactions_, mask);
}

void RuntimeRates::set_parameters(std::span<const std::pair<int, double>> values) {
  bool changed = false;
  for (const auto& [c, v] : values) {
    if (c < 0 || sz(c) >= values_.size() || !mechanism_->coefficients[sz(c)].supplied)
      throw std::invalid_argument("rate parameter " + std::to_string(c) + " is no supplied coefficient");
    if (std::memcmp(&v, &values_[sz(c)], sizeof v) != 0) changed = true;
    values_[sz(c)] = v;
  }
  // Before the first conditions the air is not known: set_conditions
  // evaluates everything then.
  if (!changed || first_) return;
  evaluate(varying_names_, varying_reactions_, depends_on_parameter);
  evaluate(ro2_names_, ro2_reactions_, depends_on_parameter);
}

void RuntimeRates::update_ro2(const double* y) {
  double sum = 0.0;
  for (int s : mechanism_->ro2) sum = sum + y[s];
  ro2_ = sum;
  evaluate(ro2_names_, ro2_reactions_, depends_on_ro2);
}

void RuntimeRates::set_rate_factors(std::span<const std::pair<int, double>> factors) {
  if (factors.empty()) return;
  const ExpressionInputs none{air_.data(), 0.0, photolysis_.data(), values_.data()};
  factor_.assign(k_.size(), 1.0);
  for (const auto& [reaction, factor] : factors) {
    if (reaction < 1 || sz(reaction) > k_.size())
      throw std::invalid_argument("rate factor of reaction " + std::to_string(reaction) + " of " +
                                  std::to_string(k_.size()));
    factor_[sz(reaction - 1)] = factor;
  }
  // The constant coefficients were evaluated once, without factors.
  for (std::size_t j = 0; j < k_.size(); ++j)
    if (mechanism_->reactions[j].rate.depends == depends_on_nothing)
      k_[j] = mechanism_->reactions[j].rate.evaluate(none) * factor_[j];
}

int RuntimeRates::first_bad_reaction() const {
  for (std::size_t j = 0; j < k_.size(); ++j)
    // Quiet comparisons: a NaN is found without raising the invalid flag.
    if (!(std::isgreaterequal(k_[j], 0.0) && std::islessequal(k_[j], std::numeric_limits<double>::max())))
      return static_cast<int>(j);
  return -1;
}

}  // namespace box
