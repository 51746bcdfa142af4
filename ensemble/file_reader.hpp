#pragma once
// Inside the ensemble library: the checked reading of the TOML files that
// drive many runs (ensemble and isopleth files). Every failure is a
// ScenarioError naming the file, the line and the key.
#include <toml++/toml.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <initializer_list>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

#include "common/errors.hpp"

namespace box::ensemble {

// The whole text of `file`; `what` names it in the InputError when it
// cannot be read.
inline std::string read_text(const std::filesystem::path& file, const std::string& what) {
  std::ifstream in(file, std::ios::binary);
  if (!in) throw InputError(file.generic_string() + ": cannot open the " + what);
  std::ostringstream text;
  text << in.rdbuf();
  if (in.bad()) throw InputError(file.generic_string() + ": cannot read the " + what);
  return text.str();
}

// `text` parsed as TOML; a syntax error names the file and the line.
inline toml::table parse_toml(const std::string& text, const std::string& name) {
  try {
    return toml::parse(text, name);
  } catch (const toml::parse_error& e) {
    throw ScenarioError(name + ": line " + std::to_string(e.source().begin.line) + ": " +
                        std::string(e.description()));
  }
}

class Reader {
 public:
  // `lines`: messages give the line of the value (false for text that is
  // no file of the user's).
  explicit Reader(const std::filesystem::path& file, bool lines = true) : name_(file.generic_string()), lines_(lines) {}

  // "<file>: line N: <key>", where the value `node` was written.
  std::string where(const toml::node* node, const std::string& key) const {
    std::string out = name_;
    if (lines_ && node != nullptr && node->source().begin.line > 0)
      out += ": line " + std::to_string(node->source().begin.line);
    return out + ": " + key;
  }

  [[noreturn]] void fail(const toml::node* node, const std::string& key, const std::string& what) const {
    throw ScenarioError(where(node, key) + ": " + what);
  }

  void check_keys(const toml::table& t, const std::string& prefix,
                  std::initializer_list<std::string_view> allowed) const {
    for (auto&& [key, node] : t) {
      if (std::find(allowed.begin(), allowed.end(), key.str()) != allowed.end()) continue;
      std::string list;
      for (std::string_view a : allowed) list += (list.empty() ? "" : ", ") + std::string(a);
      const std::string full = prefix.empty() ? std::string(key.str()) : prefix + "." + std::string(key.str());
      fail(&node, full, "unknown key (expected one of " + list + ")");
    }
  }

  std::string text(const toml::node& n, const std::string& key) const {
    if (const auto* s = n.as_string()) {
      if (s->get().empty()) fail(&n, key, "expected a non-empty string");
      return s->get();
    }
    fail(&n, key, "expected a string");
  }

  double number(const toml::node& n, const std::string& key) const {
    if (const auto* i = n.as_integer()) return static_cast<double>(i->get());
    if (const auto* f = n.as_floating_point(); f != nullptr && std::isfinite(f->get())) return f->get();
    fail(&n, key, "expected a finite number");
  }

  std::int64_t whole(const toml::node& n, const std::string& key, std::int64_t least) const {
    const auto* i = n.as_integer();
    if (i == nullptr) fail(&n, key, "expected a whole number");
    if (i->get() < least) fail(&n, key, "expected a whole number of at least " + std::to_string(least));
    return i->get();
  }

  std::vector<std::string> strings(const toml::node& n, const std::string& key) const {
    const auto* a = n.as_array();
    if (a == nullptr) fail(&n, key, "expected an array of strings");
    std::vector<std::string> out;
    for (const toml::node& e : *a) out.push_back(text(e, key));
    return out;
  }

 private:
  std::string name_;
  bool lines_ = true;
};

}  // namespace box::ensemble
