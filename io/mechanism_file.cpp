#include "io/mechanism_file.hpp"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <map>
#include <optional>
#include <sstream>
#include <system_error>
#include <vector>

#include "common/closest_names.hpp"
#include "common/errors.hpp"

namespace box {
namespace {

bool blank(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f' || c == '\v'; }
bool name_start(char c) { return std::isalpha(static_cast<unsigned char>(c)) || c == '_'; }
bool name_char(char c) { return std::isalnum(static_cast<unsigned char>(c)) || c == '_'; }

std::string upper(std::string_view s) {
  std::string u(s);
  for (char& c : u) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return u;
}

// "did you mean ...?" for a name of ordinary length (the edit distances of
// a name as long as a garbage file can make one would take hours).
std::string suggest(std::string_view name, const std::vector<std::string_view>& names) {
  return name.size() > 64 ? std::string() : did_you_mean(closest_names(name, names));
}

// A statement: [begin, end) of the text, without its `;`.
struct Statement {
  std::size_t begin;
  std::size_t end;
};

class Reader {
 public:
  Reader(std::string_view text, std::string name) : text_(text), name_(std::move(name)) {
    // Line starts, counted as an editor and grep count them: in a file with
    // line feeds a line ends with LF (or CRLF), and a lone CR is a character
    // of its line (the MCM's exports have stray ones inside comments); only
    // a file without any LF ends its lines with CR, the old Mac way.
    line_end_ = text_.find('\n') != std::string_view::npos ? '\n' : '\r';
    line_start_.push_back(0);
    for (std::size_t i = 0; i < text_.size(); ++i)
      if (text_[i] == line_end_) line_start_.push_back(i + 1);
  }

  Mechanism run() {
    check_text();
    split();
    if (statements_.empty()) fail(0, "empty file (nothing but blanks and comments): expected species, rate coefficients and reactions");
    collect();
    mechanism_.source = name_;
    if (mechanism_.reactions.empty())
      fail(text_.size(), "no reactions in the file: expected `% rate : reactants = products ;`");
    return std::move(mechanism_);
  }

 private:
  // ---- positions and errors
  int line_of(std::size_t offset) const {
    const auto it = std::upper_bound(line_start_.begin(), line_start_.end(), offset);
    return static_cast<int>(it - line_start_.begin());
  }
  std::string where(std::size_t offset) const {
    const int line = line_of(offset);
    const std::size_t column = offset - line_start_[static_cast<std::size_t>(line - 1)] + 1;
    return name_ + ":" + std::to_string(line) + ":" + std::to_string(column);
  }
  [[noreturn]] void fail(std::size_t offset, const std::string& what) const {
    throw InputError(where(offset) + ": " + what);
  }

  // ---- the text as a whole
  void check_text() const {
    // Control characters other than blanks, or bytes that are not UTF-8:
    // not a mechanism file (a binary or a compressed file given by mistake).
    for (std::size_t i = 0; i < text_.size();) {
      const auto c = static_cast<unsigned char>(text_[i]);
      if (c < 0x80) {
        if ((c < 0x20 && !blank(static_cast<char>(c))) || c == 0x7f) {
          char hex[8];
          std::snprintf(hex, sizeof hex, "0x%02x", c);
          fail(i, std::string("not a text file: byte ") + hex + " (expected a mechanism in text)");
        }
        ++i;
        continue;
      }
      const int more = (c & 0xe0) == 0xc0 ? 1 : (c & 0xf0) == 0xe0 ? 2 : (c & 0xf8) == 0xf0 ? 3 : -1;
      bool ok = more > 0 && i + static_cast<std::size_t>(more) < text_.size() + 1;
      for (int k = 1; ok && k <= more; ++k)
        ok = i + static_cast<std::size_t>(k) < text_.size() &&
             (static_cast<unsigned char>(text_[i + static_cast<std::size_t>(k)]) & 0xc0) == 0x80;
      if (!ok) fail(i, "not a text file: a byte that is not UTF-8 (expected a mechanism in text)");
      i += static_cast<std::size_t>(more) + 1;
    }
  }

  std::size_t skip_blanks(std::size_t p) const {
    while (p < text_.size() && blank(text_[p])) ++p;
    return p;
  }
  // Whether the line ends at p (at its LF, CRLF, or CR in a file of CRs).
  bool line_break(std::size_t p) const {
    return text_[p] == line_end_ || (text_[p] == '\r' && p + 1 < text_.size() && text_[p + 1] == '\n');
  }
  std::size_t skip_spaces(std::size_t p) const {  // within the line
    while (p < text_.size() && blank(text_[p]) && !line_break(p)) ++p;
    return p;
  }
  std::size_t name_end(std::size_t p) const {
    while (p < text_.size() && name_char(text_[p])) ++p;
    return p;
  }

  // Whether a statement can begin at p: a comment, a reaction, an empty
  // statement, VARIABLE or `NAME =`.
  bool starts_statement(std::size_t p) const {
    if (p >= text_.size()) return false;
    const char c = text_[p];
    if (c == '*' || c == '%' || c == ';') return true;
    if (!name_start(c)) return false;
    const std::size_t e = name_end(p);
    if (upper(text_.substr(p, e - p)) == "VARIABLE") return true;
    const std::size_t q = skip_spaces(e);
    return q < text_.size() && text_[q] == '=';
  }

  // Splits the text into statements, comments left out.
  void split() {
    std::size_t p = skip_blanks(0);
    while (p < text_.size()) {
      if (text_[p] == '*') {
        p = comment_end(p);
      } else {
        const std::size_t semi = text_.find(';', p);
        const std::size_t end = semi == std::string_view::npos ? text_.size() : semi;
        check_unended(p, end);
        if (semi == std::string_view::npos)
          fail(last_non_blank(p, end), "missing `;` at the end of the statement");
        statements_.push_back({p, end});
        p = end + 1;
      }
      p = skip_blanks(p);
    }
  }

  std::size_t last_non_blank(std::size_t begin, std::size_t end) const {
    while (end > begin && blank(text_[end - 1])) --end;
    return end;
  }

  // A comment runs to the next `;`. The MCM's citation block has a `;`
  // inside a sentence ("... 31, 81, 1997; Saunders et al., ..."), with the
  // rest of the sentence on the same line: a `;` followed on its line by
  // text that cannot begin a statement belongs to the comment.
  std::size_t comment_end(std::size_t p) const {
    std::size_t q = p;
    for (;;) {
      const std::size_t semi = text_.find(';', q);
      if (semi == std::string_view::npos) fail(p, "missing `;` at the end of the comment starting here");
      const std::size_t after = skip_spaces(semi + 1);
      if (after >= text_.size() || line_break(after) || starts_statement(after))
        return semi + 1;
      q = semi + 1;
    }
  }

  // A statement's later line that begins like a statement of its own shows
  // a `;` left out before it.
  void check_unended(std::size_t begin, std::size_t end) const {
    const bool reaction = text_[begin] == '%';
    for (std::size_t p = begin; p < end; ++p) {
      if (text_[p] != '\n' && text_[p] != '\r') continue;
      const std::size_t q = skip_blanks(p);
      if (q >= end) break;
      const char c = text_[q];
      bool next = c == '%';
      if (!next && name_start(c)) {
        const std::size_t e = name_end(q);
        const std::size_t r = skip_spaces(e);
        next = upper(text_.substr(q, e - q)) == "VARIABLE" || (r < end && text_[r] == '=' && !reaction);
        // In a reaction `=` separates the sides; a later line `NAME = ...`
        // after a complete reaction still shows the missing `;`.
        if (!next && reaction && r < end && text_[r] == '=') {
          next = text_.substr(begin, q - begin).find('=') != std::string_view::npos;
        }
      }
      if (next) fail(last_non_blank(begin, q), "missing `;` at the end of the statement (the next statement begins on the following line)");
      p = q;
    }
  }

  // ---- the statements
  enum class Kind { variable, coefficient, ro2, reaction };
  Kind classify(const Statement& s, std::size_t& name_begin, std::size_t& name_stop,
                std::size_t& body) const {
    const char c = text_[s.begin];
    if (c == '%') {
      body = s.begin + 1;
      return Kind::reaction;
    }
    if (name_start(c)) {
      name_begin = s.begin;
      name_stop = name_end(s.begin);
      const std::string word = upper(text_.substr(name_begin, name_stop - name_begin));
      if (word == "VARIABLE" && (name_stop == s.end || blank(text_[name_stop]))) {
        body = name_stop;
        return Kind::variable;
      }
      const std::size_t q = skip_blanks(name_stop);
      if (q < s.end && text_[q] == '=') {
        body = q + 1;
        return word == "RO2" ? Kind::ro2 : Kind::coefficient;
      }
    }
    fail(s.begin, "expected a comment `* ... ;`, `VARIABLE` and the species, `NAME = expression ;`, "
                  "`RO2 = A + B ;` or a reaction `% rate : reactants = products ;`");
  }

  void collect() {
    // First the names the file defines, so that a name used before its
    // definition is told apart from an unknown one.
    struct Pending {
      Kind kind;
      Statement s;
      std::size_t name_begin = 0, name_stop = 0, body = 0;
    };
    std::vector<Pending> all;
    for (const Statement& s : statements_) {
      if (s.begin == s.end || skip_blanks(s.begin) >= s.end) continue;  // `;` alone
      Pending p{Kind::reaction, s};
      p.kind = classify(s, p.name_begin, p.name_stop, p.body);
      if (p.kind == Kind::coefficient) {
        const std::string key = upper(text_.substr(p.name_begin, p.name_stop - p.name_begin));
        if (reserved(key))
          fail(p.name_begin, quoted(text_.substr(p.name_begin, p.name_stop - p.name_begin)) +
                                 " is a variable or function of the expressions (expected a name of your own)");
        const auto [it, fresh] = file_names_.emplace(key, p.name_begin);
        if (!fresh)
          fail(p.name_begin, "the name " + quoted(text_.substr(p.name_begin, p.name_stop - p.name_begin)) +
                                 " is defined twice (first at " + where(it->second) + ")");
      }
      all.push_back(p);
    }
    // Species: the VARIABLE sections.
    for (const Pending& p : all)
      if (p.kind == Kind::variable) declare_species(p.body, p.s.end);
    mechanism_.declared_species = !species_.empty() || std::any_of(all.begin(), all.end(), [](const Pending& p) {
      return p.kind == Kind::variable;
    });
    // The named coefficients in file order, then the reactions (a
    // reaction may use a name defined further down).
    std::optional<Pending> ro2;
    for (const Pending& p : all) {
      if (p.kind == Kind::coefficient) define(p.name_begin, p.name_stop, p.body, p.s.end);
      if (p.kind != Kind::ro2) continue;
      if (ro2) fail(p.name_begin, "RO2 is defined twice (first at " + where(ro2->name_begin) + ")");
      ro2 = p;
    }
    for (const Pending& p : all)
      if (p.kind == Kind::reaction) reaction(p.body, p.s.end);
    if (ro2) ro2_sum(ro2->body, ro2->s.end);
    if (!mechanism_.declared_species) {
      mechanism_.notes.push_back(name_ + ": no VARIABLE section: the species are the " +
                                 std::to_string(mechanism_.species.size()) + " the reactions name");
    } else {
      std::vector<char> used(mechanism_.species.size(), 0);
      for (const RuntimeReaction& r : mechanism_.reactions) {
        for (int s : r.reactants) used[static_cast<std::size_t>(s)] = 1;
        for (const ProductTerm& t : r.products) used[static_cast<std::size_t>(t.species)] = 1;
      }
      std::string unused;
      int count = 0;
      for (std::size_t s = 0; s < used.size(); ++s) {
        if (used[s]) continue;
        unused += (count++ ? " " : "") + mechanism_.species[s];
      }
      if (count > 0)
        mechanism_.notes.push_back("warning: " + name_ + ": " + std::to_string(count) +
                                   " declared species used by no reaction: " + unused);
    }
    if (!generic_used_.empty()) {
      std::string list;
      for (const std::string& n : generic_used_) list += " " + n;
      mechanism_.notes.push_back(name_ + ": not defined in the file, taken from the MCM v3.3.1 generic rate coefficients:" + list);
    }
  }

  static bool reserved(const std::string& key) {
    static const char* words[] = {"TEMP", "M", "O2", "N2", "H2O", "PRESS", "RH", "J", "EXP", "LOG",
                                  "LOG10", "SQRT", "ABS", "MIN", "MAX", "VARIABLE"};
    return std::any_of(std::begin(words), std::end(words), [&](const char* w) { return key == w; });
  }

  void declare_species(std::size_t p, std::size_t end) {
    for (p = skip_blanks(p); p < end; p = skip_blanks(p)) {
      std::size_t e = p;
      while (e < end && !blank(text_[e])) ++e;
      const std::string_view name = text_.substr(p, e - p);
      if (!std::all_of(name.begin(), name.end(), name_char))
        fail(p, "expected a species name (letters, digits and _), found " + quoted(name));
      const std::string key = upper(name);
      const auto [it, fresh] = species_.emplace(key, static_cast<int>(mechanism_.species.size()));
      if (!fresh) fail(p, "the species " + quoted(name) + " is declared twice (first at " +
                              where(species_at_[static_cast<std::size_t>(it->second)]) + ")");
      mechanism_.species.emplace_back(name);
      species_at_.push_back(p);
      p = e;
    }
  }

  // The species called `name` at `offset`; a new one where the file
  // declares none.
  int species(std::string_view name, std::size_t offset) {
    const std::string key = upper(name);
    const auto it = species_.find(key);
    if (it != species_.end()) return it->second;
    if (mechanism_.declared_species) {
      std::vector<std::string_view> names(mechanism_.species.begin(), mechanism_.species.end());
      const std::string hint = suggest(name, names);
      fail(offset, "undeclared species " + quoted(name) + " (expected a species of the VARIABLE section" +
                       (hint.empty() ? ")" : "; " + hint + ")"));
    }
    const int index = static_cast<int>(mechanism_.species.size());
    species_.emplace(key, index);
    mechanism_.species.emplace_back(name);
    species_at_.push_back(offset);
    return index;
  }

  // ---- expressions
  NameResolver resolver() {
    NameResolver r;
    r.photolysis_channel = [this](int channel) {
      auto& slots = mechanism_.photolysis_channels;
      const auto it = std::find(slots.begin(), slots.end(), channel);
      if (it != slots.end()) return static_cast<int>(it - slots.begin());
      slots.push_back(channel);
      return static_cast<int>(slots.size() - 1);
    };
    r.name = [this](std::string_view name) -> std::optional<ResolvedName> {
      if (const auto v = air_variable(name))
        return ResolvedName{{Op::air, static_cast<int>(*v)}, depends_on_air, std::nullopt};
      const std::string key = upper(name);
      if (key == "RO2") return ResolvedName{{Op::ro2}, depends_on_ro2, std::nullopt};
      auto it = defined_.find(key);
      if (it == defined_.end()) {
        const auto later = file_names_.find(key);
        if (later != file_names_.end())
          throw ExpressionError(npos_marker, "`" + std::string(name) + "` is used before its definition at " +
                                                 where(later->second));
        if (generic(key)) it = defined_.find(key);
        if (it == defined_.end()) return std::nullopt;
      }
      const NamedCoefficient& c = mechanism_.coefficients[static_cast<std::size_t>(it->second)];
      return ResolvedName{{Op::coefficient, it->second}, c.value.depends, c.value.constant()};
    };
    return r;
  }

  static constexpr std::size_t npos_marker = static_cast<std::size_t>(-1);

  Expression compile(std::size_t begin, std::size_t end) {
    try {
      return compile_expression(text_.substr(begin, end - begin), resolver());
    } catch (const ExpressionError& e) {
      std::string what = e.what();
      std::size_t at = begin + e.offset();
      if (e.offset() == npos_marker) {  // a name used too early: point at it
        const std::size_t q0 = what.find('`') + 1;
        const std::string name = what.substr(q0, what.find('`', q0) - q0);
        at = begin;
        for (std::size_t p = begin; p < end; p = name_end(p) + 1) {
          while (p < end && !name_start(text_[p])) ++p;
          if (upper(text_.substr(p, name_end(p) - p)) == upper(name)) {
            at = p;
            break;
          }
        }
      }
      if (what.rfind("unknown name", 0) == 0) {
        std::vector<std::string_view> known;
        for (const auto& [k, v] : defined_) known.push_back(mechanism_.coefficients[static_cast<std::size_t>(v)].name);
        const std::size_t stop = std::min(end, name_end(at));
        const std::string hint = suggest(text_.substr(at, stop - at), known);
        what += " (expected a rate coefficient defined earlier in the file, TEMP, M, O2, N2, H2O, RO2, "
                "PRESS, RH or J<n>" + (hint.empty() ? std::string(")") : "; " + hint + ")");
      }
      fail(at, what);
    }
  }

  // Takes `key` from the MCM's generic rate coefficients, with what it uses.
  bool generic(const std::string& key) {
    if (generic_.empty()) {
      const std::string_view g = mcm_generic_coefficients();
      for (std::size_t p = 0; p < g.size();) {
        const std::size_t semi = g.find(';', p);
        if (semi == std::string_view::npos) break;
        std::string_view s = g.substr(p, semi - p);
        const std::size_t eq = s.find('=');
        std::size_t a = 0;
        while (a < eq && blank(s[a])) ++a;
        std::size_t b = eq;
        while (b > a && blank(s[b - 1])) --b;
        generic_.emplace(upper(s.substr(a, b - a)), std::pair{std::string(s.substr(a, b - a)), std::string(s.substr(eq + 1))});
        p = semi + 1;
      }
    }
    const auto it = generic_.find(key);
    if (it == generic_.end()) return false;
    // Its own names come from the same set, never from the file.
    NameResolver r;
    r.photolysis_channel = [](int) { return 0; };
    r.name = [this](std::string_view name) -> std::optional<ResolvedName> {
      if (const auto v = air_variable(name))
        return ResolvedName{{Op::air, static_cast<int>(*v)}, depends_on_air, std::nullopt};
      const std::string k = upper(name);
      auto d = defined_.find(k);
      if (d == defined_.end() && generic(k)) d = defined_.find(k);
      if (d == defined_.end()) return std::nullopt;
      const NamedCoefficient& c = mechanism_.coefficients[static_cast<std::size_t>(d->second)];
      return ResolvedName{{Op::coefficient, d->second}, c.value.depends, c.value.constant()};
    };
    NamedCoefficient c;
    c.name = it->second.first;
    c.text = it->second.second;
    c.value = compile_expression(c.text, r);
    c.line = 0;
    defined_.emplace(key, static_cast<int>(mechanism_.coefficients.size()));
    mechanism_.coefficients.push_back(std::move(c));
    generic_used_.push_back(it->second.first);
    return true;
  }

  std::string tidy(std::size_t begin, std::size_t end) const {
    std::string out;
    bool gap = false;
    for (std::size_t p = begin; p < end; ++p) {
      if (blank(text_[p])) {
        gap = !out.empty();
        continue;
      }
      if (gap) out += ' ';
      gap = false;
      out += text_[p];
    }
    return out;
  }

  void define(std::size_t name_begin, std::size_t name_stop, std::size_t body, std::size_t end) {
    if (skip_blanks(body) >= end) fail(body, "expected an expression after `=`");
    NamedCoefficient c;
    c.value = compile(body, end);
    c.name = std::string(text_.substr(name_begin, name_stop - name_begin));
    c.text = tidy(body, end);
    c.line = line_of(name_begin);
    defined_.emplace(upper(c.name), static_cast<int>(mechanism_.coefficients.size()));
    mechanism_.coefficients.push_back(std::move(c));
  }

  void ro2_sum(std::size_t p, std::size_t end) {
    std::vector<std::string> missing;
    std::size_t first_missing = 0;
    p = skip_blanks(p);
    if (p >= end) return;  // `RO2 = ;`: an empty sum
    for (;;) {
      p = skip_blanks(p);
      const std::size_t e = name_end(p);
      if (e == p || p >= end) fail(p, "expected a species name in the RO2 sum");
      const std::string_view name = text_.substr(p, e - p);
      const auto it = species_.find(upper(name));
      if (it == species_.end()) {
        if (missing.empty()) first_missing = p;
        missing.emplace_back(name);
      } else {
        mechanism_.ro2.push_back(it->second);
      }
      p = skip_blanks(e);
      if (p >= end) break;
      if (text_[p] != '+') fail(p, "expected `+` or `;` in the RO2 sum");
      ++p;
    }
    if (!missing.empty()) {
      std::string list;
      for (const std::string& m : missing) list += (list.empty() ? "" : " ") + m;
      fail(first_missing, "the RO2 sum names " + std::to_string(missing.size()) +
                              " species that are not species of the mechanism: " + list);
    }
  }

  // One side of a reaction: terms `[coefficient] NAME` joined by `+`.
  std::vector<std::pair<double, int>> side(std::size_t p, std::size_t end, bool reactants) {
    std::vector<std::pair<double, int>> terms;
    p = skip_blanks(p);
    if (p >= end) return terms;
    for (;;) {
      p = skip_blanks(p);
      if (p >= end) fail(p, "expected a species after `+`");
      double coefficient = 1.0;
      const std::size_t term_begin = p;
      if (std::isdigit(static_cast<unsigned char>(text_[p])) || text_[p] == '.') {
        const auto number = read_number(text_.substr(p, end - p));
        if (!number) fail(p, "expected a coefficient or a species name");
        if (!std::isfinite(number->first)) fail(p, "coefficient beyond the range of a double (about 1.8e308)");
        coefficient = number->first;
        p = skip_blanks(p + number->second);
      }
      const std::size_t e = name_end(p);
      if (e == p) fail(p, "expected a species name" + std::string(p < end && text_[p] == '+' ? " before `+`" : ""));
      if (reactants && (coefficient < 1.0 || coefficient > 1000.0 || coefficient != std::floor(coefficient)))
        fail(term_begin, "a reactant's coefficient must be a whole number from 1 to 1000");
      terms.push_back({coefficient, species(text_.substr(p, e - p), p)});
      p = skip_blanks(e);
      if (p >= end) return terms;
      if (text_[p] != '+') fail(p, std::string("expected `+`, or `;` to end the reaction, found `") + text_[p] + "`");
      ++p;
    }
  }

  void reaction(std::size_t body, std::size_t end) {
    const std::size_t colon = text_.find(':', body);
    if (colon == std::string_view::npos || colon >= end)
      fail(skip_blanks(body), "expected `% rate : reactants = products ;` (no `:` after the rate)");
    if (skip_blanks(body) >= colon) fail(body, "expected a rate expression after `%`");
    const std::size_t equals = text_.find('=', colon);
    if (equals == std::string_view::npos || equals >= end)
      fail(colon + 1, "expected `=` between the reactants and the products");
    RuntimeReaction r;
    r.rate = compile(body, colon);
    r.rate_text = tidy(body, colon);
    r.line = line_of(body - 1);
    const auto reactants = side(colon + 1, equals, true);
    if (reactants.empty()) fail(skip_blanks(colon + 1), "a reaction without reactants (expected a species before `=`)");
    for (const auto& [c, s] : reactants)
      for (int k = 0; k < static_cast<int>(c); ++k) r.reactants.push_back(s);
    for (const auto& [c, s] : side(equals + 1, end, false)) {
      // A copy to capture: clang before 16 captures no structured binding.
      const auto species = s;
      auto it = std::find_if(r.products.begin(), r.products.end(),
                             [&](const ProductTerm& t) { return t.species == species; });
      if (it == r.products.end()) r.products.push_back({s, c});
      else it->coefficient = it->coefficient + c;
    }
    mechanism_.reactions.push_back(std::move(r));
  }

  std::string_view text_;
  std::string name_;
  char line_end_ = '\n';
  std::vector<std::size_t> line_start_;
  std::vector<Statement> statements_;
  Mechanism mechanism_;
  std::map<std::string, int> species_;       // upper-case name -> index
  std::vector<std::size_t> species_at_;      // where each species first appears
  std::map<std::string, std::size_t> file_names_;  // coefficients the file defines, where
  std::map<std::string, int> defined_;       // coefficients defined so far -> index
  std::map<std::string, std::pair<std::string, std::string>> generic_;
  std::vector<std::string> generic_used_;
};

}  // namespace

Mechanism read_mechanism_text(std::string_view text, const std::string& name) {
  if (text.substr(0, 3) == "\xEF\xBB\xBF") text.remove_prefix(3);  // byte-order mark
  return Reader(text, name).run();
}

Mechanism read_mechanism_file(const std::filesystem::path& path) {
  const std::string name = path.generic_string();
  std::error_code ec;
  if (std::filesystem::is_directory(path, ec))
    throw InputError(name + ":1:1: is a directory (expected a mechanism file)");
  std::ifstream in(path, std::ios::binary);
  if (!in) throw InputError(name + ":1:1: cannot open the mechanism file");
  const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  if (in.bad()) throw InputError(name + ":1:1: cannot read the mechanism file");
  return read_mechanism_text(text, name);
}

}  // namespace box
