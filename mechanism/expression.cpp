#include "mechanism/expression.hpp"

#include <algorithm>
#include <array>
#include <cctype>
#include <cfenv>
#include <cmath>
#include <cstdlib>

namespace box {
namespace {

bool same_word(std::string_view a, std::string_view b) {
  return a.size() == b.size() &&
         std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return std::toupper(static_cast<unsigned char>(x)) ==
                  std::toupper(static_cast<unsigned char>(y));
         });
}

bool name_start(char c) { return std::isalpha(static_cast<unsigned char>(c)) || c == '_'; }
bool name_char(char c) { return std::isalnum(static_cast<unsigned char>(c)) || c == '_'; }
bool blank(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f' || c == '\v'; }

double apply(Op op, double a, double b) {
  switch (op) {
    case Op::add: return a + b;
    case Op::subtract: return a - b;
    case Op::multiply: return a * b;
    case Op::divide: return a / b;
    case Op::power: return std::pow(a, b);
    case Op::min: return std::min(a, b);
    case Op::max: return std::max(a, b);
    default: return 0.0;
  }
}

double apply(Op op, double a) {
  switch (op) {
    case Op::negate: return -a;
    case Op::exp: return std::exp(a);
    case Op::log: return std::log(a);
    case Op::log10: return std::log10(a);
    case Op::sqrt: return std::sqrt(a);
    case Op::abs: return std::abs(a);
    default: return 0.0;
  }
}

struct Function {
  std::string_view name;
  Op op;
  int arguments;
};
constexpr std::array<Function, 7> functions{{{"EXP", Op::exp, 1},
                                             {"LOG", Op::log, 1},
                                             {"LOG10", Op::log10, 1},
                                             {"SQRT", Op::sqrt, 1},
                                             {"ABS", Op::abs, 1},
                                             {"MIN", Op::min, 2},
                                             {"MAX", Op::max, 2}}};

class Compiler {
 public:
  Compiler(std::string_view text, const NameResolver& names) : text_(text), names_(names) {}

  Expression run() {
    skip_blanks();
    if (pos_ >= text_.size()) fail(pos_, "expected an expression");
    expression();
    skip_blanks();
    if (pos_ < text_.size()) {
      if (text_[pos_] == ')') fail(pos_, "unbalanced parenthesis: `)` without `(`");
      fail(pos_, "expected an operator (+ - * / ** @) or the end of the expression");
    }
    out_.stack_depth = depth();
    if (out_.stack_depth > max_expression_depth) fail(0, "expression nested too deeply");
    return std::move(out_);
  }

 private:
  [[noreturn]] static void fail(std::size_t at, const std::string& what) {
    throw ExpressionError(at, what);
  }

  void skip_blanks() {
    while (pos_ < text_.size() && blank(text_[pos_])) ++pos_;
  }
  bool take(std::string_view token) {
    skip_blanks();
    if (text_.substr(pos_, token.size()) == token) {
      pos_ += token.size();
      return true;
    }
    return false;
  }
  char peek() {
    skip_blanks();
    return pos_ < text_.size() ? text_[pos_] : '\0';
  }

  std::vector<Instruction>& code() { return out_.code; }

  // A fold of constants is done with the floating-point exceptions held:
  // 1/0 or EXP(1000) gives the infinity the step would give and raises
  // nothing here, whatever traps the caller has on (a rate that is not a
  // finite number is refused when it is first used, naming its reaction).
  template <class F>
  static double quietly(F&& f) {
    std::fenv_t env;
    std::feholdexcept(&env);
    const double v = f();
    std::fesetenv(&env);
    return v;
  }

  static constexpr int max_nesting = 256;
  int nesting_ = 0;

  // Applies a binary operation to the two operands that start at `left`
  // and `right`; two constants are folded into one.
  void binary(Op op, std::size_t left, std::size_t right) {
    if (right - left == 1 && code().size() - right == 1 && code()[left].op == Op::constant &&
        code()[right].op == Op::constant) {
      const double v = quietly([&] { return apply(op, code()[left].value, code()[right].value); });
      code().resize(left);
      code().push_back({Op::constant, 0, v});
      return;
    }
    code().push_back({op});
  }
  void unary(Op op, std::size_t operand) {
    if (code().size() - operand == 1 && code()[operand].op == Op::constant) {
      code()[operand].value = quietly([&] { return apply(op, code()[operand].value); });
      return;
    }
    code().push_back({op});
  }

  std::size_t expression() {
    const std::size_t start = code().size();
    term();
    for (;;) {
      const char c = peek();
      if (c != '+' && c != '-') return start;
      ++pos_;
      const std::size_t right = code().size();
      term();
      binary(c == '+' ? Op::add : Op::subtract, start, right);
    }
  }

  std::size_t term() {
    const std::size_t start = code().size();
    unary_expression();
    for (;;) {
      const char c = peek();
      if (c == '*' && text_.substr(pos_, 2) == "**") return start;  // a power, not a product
      if (c != '*' && c != '/') return start;
      ++pos_;
      const std::size_t right = code().size();
      unary_expression();
      binary(c == '*' ? Op::multiply : Op::divide, start, right);
    }
  }

  std::size_t unary_expression() {
    // Every nesting (parentheses, signs, exponents) passes through here: a
    // bound keeps a pathological file from exhausting the stack.
    if (++nesting_ > max_nesting) fail(pos_, "expression nested too deeply");
    struct Leave {
      int& n;
      ~Leave() { --n; }
    } leave{nesting_};
    const std::size_t start = code().size();
    const char c = peek();
    if (c == '-' || c == '+') {
      ++pos_;
      unary_expression();
      if (c == '-') unary(Op::negate, start);
      return start;
    }
    power();
    return start;
  }

  void power() {
    const std::size_t start = code().size();
    primary();
    if (take("**") || take("@")) {
      const std::size_t right = code().size();
      unary_expression();  // right-associative, and takes its own minus
      binary(Op::power, start, right);
    }
  }

  void primary() {
    skip_blanks();
    if (pos_ >= text_.size()) fail(pos_, "expected a number, a name or `(`, found the end of the expression");
    const char c = text_[pos_];
    if (c == '(') {
      const std::size_t open = pos_++;
      if (peek() == ')') fail(pos_, "expected an expression inside the parentheses");
      expression();
      if (!take(")")) {
        if (pos_ >= text_.size()) fail(open, "unbalanced parenthesis: `(` is never closed");
        fail(pos_, "expected `)` or an operator");
      }
      return;
    }
    if (std::isdigit(static_cast<unsigned char>(c)) || c == '.') {
      const auto number = read_number(text_.substr(pos_));
      if (!number) fail(pos_, "expected a number");
      if (!std::isfinite(number->first)) fail(pos_, "number beyond the range of a double (about 1.8e308)");
      code().push_back({Op::constant, 0, number->first});
      pos_ += number->second;
      return;
    }
    if (!name_start(c)) {
      if (c == ')') fail(pos_, "unbalanced parenthesis: `)` without `(`");
      fail(pos_, std::string("expected a number, a name or `(`, found `") + c + "`");
    }
    const std::size_t begin = pos_;
    while (pos_ < text_.size() && name_char(text_[pos_])) ++pos_;
    const std::string_view name = text_.substr(begin, pos_ - begin);

    // Photolysis frequencies: J<n> and J(n), blanks allowed between the
    // tokens as anywhere else (the MCM's full export writes `J <15>`).
    if (same_word(name, "J") && (peek() == '<' || peek() == '(')) {
      const char close = text_[pos_] == '<' ? '>' : ')';
      ++pos_;
      skip_blanks();
      const std::size_t digits = pos_;
      std::size_t p = digits;
      while (p < text_.size() && std::isdigit(static_cast<unsigned char>(text_[p]))) ++p;
      pos_ = p;
      if (p == digits || peek() != close) {
        fail(digits, std::string("expected a channel number and `") + close + "` after J");
      }
      if (p - digits > 6) fail(digits, "expected a channel number of at most 6 digits after J");
      const int channel = std::atoi(std::string(text_.substr(digits, p - digits)).c_str());
      ++pos_;
      code().push_back({Op::photolysis, names_.photolysis_channel(channel)});
      out_.depends |= depends_on_photolysis;
      return;
    }
    for (const Function& f : functions) {
      if (!same_word(name, f.name)) continue;
      if (peek() != '(') fail(pos_, "expected `(` after " + std::string(f.name));
      const std::size_t open = pos_++;
      const std::size_t first = code().size();
      expression();
      std::size_t second = first;
      if (f.arguments == 2) {
        if (!take(",")) fail(pos_, "expected `,` and a second argument of " + std::string(f.name));
        second = code().size();
        expression();
      }
      if (!take(")")) {
        if (pos_ >= text_.size()) fail(open, "unbalanced parenthesis: `(` is never closed");
        fail(pos_, "expected `)` after the argument of " + std::string(f.name));
      }
      if (f.arguments == 2) binary(f.op, first, second);
      else unary(f.op, first);
      return;
    }
    const auto resolved = names_.name(name);
    if (!resolved) fail(begin, "unknown name " + quoted(name));
    if (resolved->value) code().push_back({Op::constant, 0, *resolved->value});
    else code().push_back(resolved->push);
    out_.depends |= resolved->depends;
  }

  int depth() const {
    int d = 0;
    int most = 0;
    for (const Instruction& i : out_.code) {
      switch (i.op) {
        case Op::constant: case Op::air: case Op::ro2: case Op::photolysis: case Op::coefficient:
          most = std::max(most, ++d);
          break;
        case Op::negate: case Op::exp: case Op::log: case Op::log10: case Op::sqrt: case Op::abs:
          break;
        default:
          --d;
      }
    }
    return most;
  }

  std::string_view text_;
  const NameResolver& names_;
  std::size_t pos_ = 0;
  Expression out_;
};

}  // namespace

std::optional<std::pair<double, std::size_t>> read_number(std::string_view text) {
  std::size_t p = 0;
  const auto digits = [&] {
    const std::size_t s = p;
    while (p < text.size() && std::isdigit(static_cast<unsigned char>(text[p]))) ++p;
    return p - s;
  };
  std::size_t mantissa = digits();
  if (p < text.size() && text[p] == '.') {
    ++p;
    mantissa += digits();
  }
  if (mantissa == 0) return std::nullopt;
  std::string s(text.substr(0, p));
  if (p < text.size() && (text[p] == 'E' || text[p] == 'e' || text[p] == 'D' || text[p] == 'd')) {
    std::size_t q = p + 1;
    if (q < text.size() && (text[q] == '+' || text[q] == '-')) ++q;
    const std::size_t e = q;
    while (q < text.size() && std::isdigit(static_cast<unsigned char>(text[q]))) ++q;
    if (q > e) {  // an exponent; else the letter starts a name
      s += 'E';
      s += text.substr(p + 1, q - p - 1);
      p = q;
    }
  }
  // Traps held off: a literal beyond the double range reads as infinity and
  // the caller refuses it with the file's line and column, rather than the
  // conversion stopping the program with a floating-point exception.
  std::fenv_t saved;
  std::feholdexcept(&saved);
  const double value = std::strtod(s.c_str(), nullptr);
  std::feclearexcept(FE_ALL_EXCEPT);
  std::fesetenv(&saved);
  return std::pair{value, p};
}

std::string quoted(std::string_view text) {
  constexpr std::size_t longest = 40;
  if (text.size() <= longest) return "`" + std::string(text) + "`";
  return "`" + std::string(text.substr(0, longest)) + "...`";
}

std::optional<AirVariable> air_variable(std::string_view name) {
  static constexpr std::array<std::pair<std::string_view, AirVariable>, 7> table{{
      {"TEMP", AirVariable::temp}, {"M", AirVariable::m}, {"O2", AirVariable::o2},
      {"N2", AirVariable::n2}, {"H2O", AirVariable::h2o}, {"PRESS", AirVariable::press},
      {"RH", AirVariable::rh}}};
  for (const auto& [word, v] : table)
    if (same_word(name, word)) return v;
  return std::nullopt;
}

Expression compile_expression(std::string_view text, const NameResolver& names) {
  return Compiler(text, names).run();
}

double Expression::evaluate(const ExpressionInputs& in) const {
  std::array<double, max_expression_depth> stack;
  std::size_t top = 0;  // entries in use
  for (const Instruction& i : code) {
    switch (i.op) {
      case Op::constant: stack[top++] = i.value; break;
      case Op::air: stack[top++] = in.air[i.index]; break;
      case Op::ro2: stack[top++] = in.ro2; break;
      case Op::photolysis: stack[top++] = in.photolysis[i.index]; break;
      case Op::coefficient: stack[top++] = in.coefficients[i.index]; break;
      case Op::negate: case Op::exp: case Op::log: case Op::log10: case Op::sqrt: case Op::abs:
        stack[top - 1] = apply(i.op, stack[top - 1]);
        break;
      default:
        --top;
        stack[top - 1] = apply(i.op, stack[top - 1], stack[top]);
    }
  }
  return stack[0];
}

}  // namespace box
