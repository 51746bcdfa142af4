#include "mechanism/native_kernels.hpp"

#include "mechanism/loop_kernels.hpp"

// The code written here takes its arguments as the System V AMD64 calling
// convention passes them (rdi, rsi, rdx, rcx, 64-bit pointers) and
// clobbers xmm0 to xmm11, which that convention leaves to the callee. So
// it is written only for x86-64 under that convention: not under
// Windows' (other argument registers, xmm6 to xmm15 preserved), nor the
// x32 ABI (32-bit pointers). Elsewhere the loops serve.
#if defined(BOXMODEL_HAVE_XBYAK) && defined(__x86_64__) && !defined(__ILP32__) && !defined(_WIN32) && \
    !defined(__CYGWIN__)
#define BOXMODEL_NATIVE_KERNELS 1
#include <xbyak/xbyak.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <unordered_map>
#include <utility>
#include <vector>
#endif

namespace box {

#ifdef BOXMODEL_NATIVE_KERNELS

namespace {

constexpr std::size_t sz(int i) { return static_cast<std::size_t>(i); }

// Bytes an instruction written here takes at most: SSE2 with a prefix, REX,
// two opcode bytes, ModRM and a 32-bit displacement is 9; loading a 64-bit
// address into a register is 10.
constexpr std::size_t max_instruction_bytes = 10;

// The coefficients other than 1 and -1, each stored once; the code reads
// them at their slot through a register holding the table's address. The
// most used come first, so that most reads take a one-byte displacement
// (see Routine::at).
class CoefficientTable {
 public:
  // Every coefficient the code will read, counted before any is placed.
  void count(double c) {
    if (c != 1.0 && c != -1.0) ++uses_[bits(c)];
  }
  // Places them, most used first (ties by value's bits: the same
  // derivation gives the same table).
  void place() {
    std::vector<std::pair<std::uint64_t, long>> by_use(uses_.begin(), uses_.end());
    std::sort(by_use.begin(), by_use.end(),
              [](const auto& a, const auto& b) { return a.second != b.second ? a.second > b.second : a.first < b.first; });
    for (const auto& [b, n] : by_use) {
      slots_[b] = static_cast<int>(values_.size());
      double c;
      std::memcpy(&c, &b, sizeof c);
      values_.push_back(c);
    }
  }
  int slot(double c) const { return slots_.at(bits(c)); }
  const double* data() const { return values_.data(); }

 private:
  static std::uint64_t bits(double c) {
    std::uint64_t b;
    std::memcpy(&b, &c, sizeof b);
    return b;
  }
  std::unordered_map<std::uint64_t, long> uses_;
  std::unordered_map<std::uint64_t, int> slots_;
  std::vector<double> values_;
};

// A mechanism with a routine longer than NativeKernelOptions::
// max_routine_bytes (by default 512 kB) gets no machine code (the loops
// serve for all its kernels, and writing stops there): the code would no
// longer stay in the processor's second-level cache beside the data
// (typically 1 to 2 MB per core), and code fetched from further away costs
// more than the loops' index loads. Measured on the full-MCM-size benchmark
// mechanism: its 2.5 MB Jacobian ran 2.7 times slower than the loop, its
// 1.5 MB solve 3 times; the isoprene subset's routines (500 kB in all) are
// as fast as the loops (the solve) or a third faster (f and J).

bool system_make_executable(const void* code, std::size_t bytes) {
  return Xbyak::CodeArray::protect(code, bytes, Xbyak::CodeArray::PROTECT_RE);
}

// One routine of straight-line code. The System V calling convention puts
// the first pointer arguments in rdi, rsi, rdx and rcx; rax holds the
// coefficient table. Each value is formed in one of xmm0 to xmm3, taken in
// turn, so that neighbouring rows do not even name the same register (the
// processor renames them anyway); a term's product in one of xmm4 to xmm7,
// used at once; xmm8 to xmm11 hold the solve's partial sums.
//
// The code's size is its speed here: a routine is run once per call, from
// the second-level cache, and its instructions are fetched at a rate of
// bytes, not of instructions. So the registers used most are those that
// need no REX prefix (xmm0 to xmm7, rax, rcx, rdx, rsi, rdi), and every
// pointer is moved 128 bytes on at entry, so that the first 32 entries of
// each array (and the 32 most used coefficients) are reached with a
// one-byte displacement instead of four.
class Routine : public Xbyak::CodeGenerator {
 public:
  static constexpr int bias = 128;

  Routine(std::size_t instructions, const CoefficientTable& table, const NativeKernelOptions& options)
      : Xbyak::CodeGenerator(max_instruction_bytes * (instructions + 8) + 64, Xbyak::DontSetProtectRWE),
        options_(options) {
    using namespace Xbyak::util;
    mov(rax, reinterpret_cast<std::uintptr_t>(table.data()) + bias);
    for (const Xbyak::Reg64& r : {rdi, rsi, rdx, rcx}) sub(r, -bias);  // an 8-bit immediate, where add's is not
  }

  // Past the options' max_routine_bytes: the routine will not be kept,
  // and writing it stops.
  bool too_long() const { return getSize() > options_.max_routine_bytes; }

  // Finishes the routine and makes it executable (and no longer writable),
  // or gives nullptr where the system refuses. The buffer is then still
  // writable, as its release expects.
  template <class F>
  F finish() {
    ret();
    const auto make_executable =
        options_.make_executable != nullptr ? options_.make_executable : system_make_executable;
    if (!make_executable(getCode(), maxSize_)) return nullptr;
    return getCode<F>();
  }

  static Xbyak::Address at(const Xbyak::Reg64& base, int index) {
    return Xbyak::util::qword[base + (static_cast<std::ptrdiff_t>(8) * index - bias)];
  }

  // out[o] = k[kk] * y[f_0] * y[f_1] ... (times the table's slot, slot >=
  // 0), factors in order: rdi k, rsi y.
  void product(const Xbyak::Reg64& out, int o, int kk, const int* factor, int factors, int slot) {
    const Xbyak::Xmm v = value();
    movsd(v, at(rdi, kk));
    for (int q = 0; q < factors; ++q) mulsd(v, at(rsi, factor[q]));
    if (slot >= 0) mulsd(v, at(rax, slot));  // v * m: the product m * v
    movsd(at(out, o), v);
  }

  // out[o] = 0 + c_0 * in[op_0] + c_1 * in[op_1] ..., in order.
  void sum(const Xbyak::Reg64& in, const Xbyak::Reg64& out, int o, const int* op, const double* c, int terms,
           const CoefficientTable& table) {
    const Xbyak::Xmm v = value();
    xorpd(v, v);
    for (int q = 0; q < terms; ++q) {
      if (c[q] == 1.0) {  // v + 1 * x is v + x, the same IEEE operation
        addsd(v, at(in, op[q]));
      } else if (c[q] == -1.0) {  // and v + (-1) * x is v - x
        subsd(v, at(in, op[q]));
      } else {
        const Xbyak::Xmm t = term();
        movsd(t, at(rax, table.slot(c[q])));
        mulsd(t, at(in, op[q]));
        addsd(v, t);
      }
    }
    movsd(at(out, o), v);
  }

  // x[s] = (x[s] - the row's terms) [* lu[d], d >= 0], the terms lu[m] *
  // x[col[m]] for m = first, first + step, ... (`length` of them): one
  // after the other up to `long_row` terms, beyond that in four partial
  // sums, term q into sum q mod 4, subtracted as (s0 + s1) + (s2 + s3):
  // loop_solve's operations in its order. rdi the factors, rsi x.
  void solve_row(int s, int first, int length, int step, const int* col, int d, int long_row) {
    const Xbyak::Xmm v = value();
    movsd(v, at(rsi, s));
    const auto product_at = [&](int q) {
      const Xbyak::Xmm t = term();
      movsd(t, at(rdi, first + step * q));
      mulsd(t, at(rsi, col[first + step * q]));
      return t;
    };
    if (length <= long_row) {
      for (int q = 0; q < length; ++q) subsd(v, product_at(q));
    } else {
      const Xbyak::Xmm part[4] = {Xbyak::Xmm(8), Xbyak::Xmm(9), Xbyak::Xmm(10), Xbyak::Xmm(11)};
      for (const Xbyak::Xmm& p : part) xorpd(p, p);
      for (int q = 0; q < length; ++q) addsd(part[q % 4], product_at(q));
      addsd(part[0], part[1]);
      addsd(part[2], part[3]);
      addsd(part[0], part[2]);
      subsd(v, part[0]);
    }
    if (d >= 0) mulsd(v, at(rdi, d));
    movsd(at(rsi, s), v);
  }

  Xbyak::Xmm term() {
    term_ = (term_ + 1) % 4;
    return Xbyak::Xmm(4 + term_);
  }
  Xbyak::Xmm value() {
    value_ = (value_ + 1) % 4;
    return Xbyak::Xmm(value_);
  }

 private:
  NativeKernelOptions options_;
  int term_ = 0, value_ = 0;
};

std::size_t sum_instructions(const std::vector<int>& start) {
  // Per row a clear and a store, per term at most three.
  return 2 * (start.size() - 1) + 3 * sz(start.back());
}


}  // namespace

struct NativeKernels::Code {
  CoefficientTable table;
  std::vector<std::unique_ptr<Routine>> routines;

  // The routine if it is short enough to be worth it, else nothing.
  template <class F>
  F keep(std::unique_ptr<Routine> g) {
    if (g->too_long()) return nullptr;
    F f = g->finish<F>();
    if (f == nullptr) return nullptr;
    routines.push_back(std::move(g));
    return f;
  }
};

bool NativeKernels::supported() noexcept { return true; }

std::unique_ptr<const NativeKernels> NativeKernels::write(const MechanismDerivation& d,
                                                          const NativeKernelOptions& options) try {
  using namespace Xbyak::util;
  std::unique_ptr<NativeKernels> kernels(new NativeKernels);
  auto code = std::make_unique<Code>();
  CoefficientTable& table = code->table;
  for (const std::vector<double>* list : {&d.f_coefficient, &d.jacobian_coefficient, &d.partial_multiplicity})
    for (double c : *list) table.count(c);
  table.place();

  {  // f: the rates into r (rdx), then f (rcx) from them.
    auto g = std::make_unique<Routine>(
        3 * sz(d.reactions) + d.reactant_species.size() + sum_instructions(d.f_start), table, options);
    for (int j = 0; j < d.reactions && !g->too_long(); ++j)
      g->product(rdx, j, j, d.reactant_species.data() + d.reactant_start[sz(j)],
                 d.reactant_start[sz(j + 1)] - d.reactant_start[sz(j)], -1);
    for (int s = 0; s < d.n && !g->too_long(); ++s)
      g->sum(rdx, rcx, s, d.f_reaction.data() + d.f_start[sz(s)], d.f_coefficient.data() + d.f_start[sz(s)],
             d.f_start[sz(s + 1)] - d.f_start[sz(s)], table);
    kernels->fun_ = code->keep<Kernel>(std::move(g));
    if (kernels->fun_ == nullptr) return nullptr;
  }
  {  // J: the partial derivatives into rdx, then J (rcx) from them.
    const int partials = static_cast<int>(d.partial_reaction.size());
    auto g = std::make_unique<Routine>(
        4 * sz(partials) + d.partial_factor.size() + sum_instructions(d.jacobian_start), table, options);
    for (int p = 0; p < partials && !g->too_long(); ++p) {
      const double m = d.partial_multiplicity[sz(p)];
      g->product(rdx, p, d.partial_reaction[sz(p)], d.partial_factor.data() + d.partial_factor_start[sz(p)],
                 d.partial_factor_start[sz(p + 1)] - d.partial_factor_start[sz(p)], m == 1.0 ? -1 : table.slot(m));
    }
    for (int e = 0; e < d.lu_entries() && !g->too_long(); ++e)
      g->sum(rdx, rcx, e, d.jacobian_partial.data() + d.jacobian_start[sz(e)],
             d.jacobian_coefficient.data() + d.jacobian_start[sz(e)],
             d.jacobian_start[sz(e + 1)] - d.jacobian_start[sz(e)], table);
    kernels->jac_ = code->keep<Kernel>(std::move(g));
    if (kernels->jac_ == nullptr) return nullptr;
  }
  {  // The substitutions: rdi the factors, rsi x.
    std::size_t instructions = 0;
    for (const auto* rows : {&d.forward_rows, &d.backward_rows})
      for (const MechanismDerivation::SolveRow& r : *rows) instructions += 12 + 3 * sz(r.length);
    auto g = std::make_unique<Routine>(instructions, table, options);
    const int* col = d.column_species.data();
    for (const MechanismDerivation::SolveRow& r : d.forward_rows)
      if (!g->too_long()) g->solve_row(r.species, r.first, r.length, 1, col, -1, loop_solve_long_row);
    // Each row from its last column down, then times the pivot's
    // reciprocal on the diagonal.
    for (const MechanismDerivation::SolveRow& r : d.backward_rows)
      if (!g->too_long()) g->solve_row(r.species, r.first + r.length, r.length, -1, col, r.first, loop_solve_long_row);
    kernels->solve_ = code->keep<SolveKernel>(std::move(g));
    if (kernels->solve_ == nullptr) return nullptr;
  }
  kernels->code_ = std::move(code);
  return kernels;
} catch (const Xbyak::Error&) {
  // No executable memory here (or none left): the loops serve.
  return nullptr;
}

std::size_t NativeKernels::code_bytes() const noexcept {
  std::size_t bytes = 0;
  for (const auto& g : code_->routines) bytes += g->getSize();
  return bytes;
}

#else

struct NativeKernels::Code {};

bool NativeKernels::supported() noexcept { return false; }

std::unique_ptr<const NativeKernels> NativeKernels::write(const MechanismDerivation&, const NativeKernelOptions&) {
  return nullptr;
}

std::size_t NativeKernels::code_bytes() const noexcept { return 0; }


#endif

NativeKernels::~NativeKernels() = default;

}  // namespace box
