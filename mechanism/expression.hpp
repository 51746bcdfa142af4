#pragma once
// Rate expressions of a mechanism read at run time, compiled once into a
// short instruction list for a stack machine, so that a step does no string
// work: each instruction pushes a number or applies one operation to the
// top of the stack.
//
// Bits: the list performs exactly the operations written, in the order
// written (a - b - c is (a - b) - c, a ** b ** c is a ** (b ** c)). A
// sub-expression made of numbers alone is evaluated when compiled: the same
// operations on the same operands in the same process give the same bits,
// so folding changes nothing. Nothing is reassociated.
#include <cstdint>
#include <functional>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace box {

// What an expression's value depends on, as bits: the air (temperature,
// densities, water, pressure, humidity), the photolysis frequencies, and
// the peroxy-radical sum RO2, which changes with every concentration, and
// the rate parameters a run supplies (a version-1 file's photolysis,
// user-defined, emission, loss and surface rates), which may follow time.
enum Dependence : std::uint8_t {
  depends_on_nothing = 0,
  depends_on_air = 1,
  depends_on_photolysis = 2,
  depends_on_ro2 = 4,
  depends_on_parameter = 8,
};

// The air variables an expression may name.
enum class AirVariable : std::uint8_t { temp, m, o2, n2, h2o, press, rh };

enum class Op : std::uint8_t {
  constant,     // push value
  air,          // push the air variable `index` (AirVariable)
  ro2,          // push the RO2 sum
  photolysis,   // push the frequency in photolysis slot `index`
  coefficient,  // push named coefficient `index`
  add, subtract, multiply, divide, power,
  negate, exp, log, log10, sqrt, abs, min, max,
};

struct Instruction {
  Op op;
  std::int32_t index = 0;
  double value = 0.0;
};

// The values an expression is evaluated with.
struct ExpressionInputs {
  const double* air = nullptr;          // 7 values in AirVariable order
  double ro2 = 0.0;                     // molecules cm-3
  const double* photolysis = nullptr;   // by photolysis slot, s-1
  const double* coefficients = nullptr; // named coefficients' values
};

struct Expression {
  std::vector<Instruction> code;
  std::uint8_t depends = depends_on_nothing;
  int stack_depth = 0;  // largest stack the code needs

  // The value when it depends on nothing (a single constant), else nullopt.
  std::optional<double> constant() const {
    if (depends == depends_on_nothing && code.size() == 1 && code[0].op == Op::constant) return code[0].value;
    return std::nullopt;
  }
  double evaluate(const ExpressionInputs& in) const;
};

// The deepest stack an expression may need (an expression nested deeper is
// refused when compiled).
inline constexpr int max_expression_depth = 64;

// A name of an expression, resolved by the caller: what to push for it and
// what it depends on.
struct ResolvedName {
  Instruction push;
  std::uint8_t depends = depends_on_nothing;
  std::optional<double> value;  // the value, when known now (a constant name)
};

// Resolves a name (as written) to what it pushes, or nullopt when unknown.
// `photolysis_channel` is called for J<n> and J(n) with n, and returns the
// slot the frequency is kept in.
struct NameResolver {
  std::function<std::optional<ResolvedName>(std::string_view)> name;
  std::function<int(int)> photolysis_channel;
};

// A fault in an expression: what was expected, at `offset` bytes into the
// text compiled.
class ExpressionError : public std::runtime_error {
 public:
  ExpressionError(std::size_t offset, const std::string& what)
      : std::runtime_error(what), offset_(offset) {}
  std::size_t offset() const noexcept { return offset_; }

 private:
  std::size_t offset_;
};

// Compiles `text` (the whole of it must be one expression; spaces, tabs and
// line ends are blanks). Throws ExpressionError.
//   expr   := term (('+' | '-') term)*
//   term   := unary (('*' | '/') unary)*
//   unary  := ('-' | '+') unary | power
//   power  := primary [('**' | '@') unary]      right-associative; a minus
//                                                after the operator belongs
//                                                to the exponent
//   primary:= number | name | J<n> | J(n) | function '(' args ')' | '(' expr ')'
// Functions: EXP LOG LOG10 SQRT ABS (one argument), MIN MAX (two); the
// function and variable names are matched without regard to case.
Expression compile_expression(std::string_view text, const NameResolver& names);

// A piece of the text for a message, in backquotes: a name as long as a
// garbage file can make one is cut to its first 40 characters and `...`.
std::string quoted(std::string_view text);

// The air variable called `name` (TEMP, M, O2, N2, H2O, PRESS, RH, any case).
std::optional<AirVariable> air_variable(std::string_view name);

// A number as the mechanism files write them: digits, an optional point and
// fraction, an optional exponent introduced by E or D. Returns the value and
// the characters used, or nullopt when `text` does not start with a number.
std::optional<std::pair<double, std::size_t>> read_number(std::string_view text);

}  // namespace box
