#include "io/v1_mechanism.hpp"

#include <yaml-cpp/yaml.h>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <deque>
#include <fstream>
#include <iterator>
#include <map>
#include <nlohmann/json.hpp>
#include <set>
#include <stdexcept>
#include <system_error>

#include "common/closest_names.hpp"
#include "common/errors.hpp"
#include "io/mechanism_file.hpp"

namespace box {
namespace {

using json = nlohmann::json;
namespace fs = std::filesystem;

constexpr double per_mol_m3 = v1_molecules_cm3_per_mol_m3;
constexpr double boltzmann = 1.380649e-23;       // J K-1, exact
constexpr double gas_constant = 8.31446261815324;  // J K-1 mol-1, N_A k_B
constexpr double pi = 3.141592653589793;

// ---------------------------------------------------------------- documents

// Deeper nesting than a configuration has (four levels) is a garbage or
// self-referring file: refused before the recursion runs out of stack.
constexpr int max_depth = 64;

// A file read into a JSON value, with the line each value starts on by its
// JSON pointer (for the messages).
struct Document {
  std::string name;  // the path as given or resolved, for messages
  fs::path path;
  json root;
  std::map<std::string, int> lines;

  int line(const std::string& pointer) const {
    // A key that is absent is reported at the object that lacks it.
    for (std::string p = pointer;; p = p.substr(0, p.rfind('/'))) {
      const auto it = lines.find(p);
      if (it != lines.end()) return it->second;
      if (p.empty()) return 1;
    }
  }
};

std::string pointer_token(const std::string& key) {
  std::string out;
  for (char c : key) {
    if (c == '~') out += "~0";
    else if (c == '/') out += "~1";
    else out += c;
  }
  return out;
}

// The lines of a JSON text already checked by the parser: every value's
// first line by its pointer. A key given twice in an object is refused here
// (the parser would keep one of them silently).
class JsonLines {
 public:
  JsonLines(std::string_view text, Document& doc) : t_(text), doc_(doc) {}
  void run() { value(""); }

 private:
  void blanks() {
    while (p_ < t_.size() && (t_[p_] == ' ' || t_[p_] == '\t' || t_[p_] == '\n' || t_[p_] == '\r')) {
      if (t_[p_] == '\n') ++line_;
      ++p_;
    }
  }
  std::string string() {
    const std::size_t begin = p_++;
    while (t_[p_] != '"') p_ += t_[p_] == '\\' ? 2 : 1;
    ++p_;
    return json::parse(t_.substr(begin, p_ - begin)).get<std::string>();
  }
  void value(const std::string& pointer, int depth = 0) {
    blanks();
    if (depth > max_depth)
      throw InputError(doc_.name + ":" + std::to_string(line_) + ": nested more than " + std::to_string(max_depth) +
                       " deep (expected a mechanism configuration)");
    doc_.lines.emplace(pointer, line_);
    const char c = t_[p_];
    if (c == '{' || c == '[') {
      ++p_;
      blanks();
      const char close = c == '{' ? '}' : ']';
      std::set<std::string> keys;
      for (int index = 0; t_[p_] != close; ++index) {
        blanks();
        if (c == '{') {
          const int at = line_;
          const std::string key = string();
          if (!keys.insert(key).second)
            throw InputError(doc_.name + ":" + std::to_string(at) + ": " + pointer + ": the key \"" + key +
                             "\" is given twice in this object (expected each key once)");
          blanks();
          ++p_;  // :
          value(pointer + "/" + pointer_token(key), depth + 1);
        } else {
          value(pointer + "/" + std::to_string(index), depth + 1);
        }
        blanks();
        if (t_[p_] == ',') ++p_;
        blanks();
      }
      ++p_;
    } else if (c == '"') {
      (void)string();
    } else {
      while (p_ < t_.size() && std::string_view(",]} \t\r\n").find(t_[p_]) == std::string_view::npos) ++p_;
    }
  }

  std::string_view t_;
  Document& doc_;
  std::size_t p_ = 0;
  int line_ = 1;
};

// A YAML scalar as the core schema types it: quoted ones are strings; plain
// ones are null, booleans, integers, floats or strings.
json yaml_scalar(const YAML::Node& n) {
  const std::string& s = n.Scalar();
  if (n.Tag() != "?") return s;  // quoted, or tagged
  if (s.empty() || s == "~" || s == "null" || s == "Null" || s == "NULL") return nullptr;
  if (s == "true" || s == "True" || s == "TRUE") return true;
  if (s == "false" || s == "False" || s == "FALSE") return false;
  if (s == ".inf" || s == ".Inf" || s == ".INF" || s == "+.inf") return HUGE_VAL;
  if (s == "-.inf" || s == "-.Inf" || s == "-.INF") return -HUGE_VAL;
  if (s == ".nan" || s == ".NaN" || s == ".NAN") return std::nan("");
  const char* b = s.data();
  const char* e = b + s.size();
  const char* digits = b + (s[0] == '+' || s[0] == '-');
  long long i = 0;
  if (auto [end, ec] = std::from_chars(s[0] == '+' ? b + 1 : b, e, i); ec == std::errc() && end == e && digits < e)
    return i;
  // A float: digits with a point or an exponent (from_chars takes no '+').
  const bool numeric = digits < e && std::all_of(digits, e, [](char c) {
    return std::isdigit(static_cast<unsigned char>(c)) || c == '.' || c == 'e' || c == 'E' || c == '+' || c == '-';
  }) && (std::isdigit(static_cast<unsigned char>(*digits)) || *digits == '.');
  double d = 0.0;
  if (numeric) {
    if (auto [end, ec] = std::from_chars(s[0] == '+' ? b + 1 : b, e, d); end == e && ec != std::errc::invalid_argument)
      return ec == std::errc::result_out_of_range ? (s[0] == '-' ? -HUGE_VAL : HUGE_VAL) : d;
  }
  return s;
}

json yaml_to_json(const YAML::Node& n, const std::string& pointer, Document& doc, int depth = 0) {
  if (depth > max_depth)
    throw InputError(doc.name + ":" + std::to_string(n.Mark().line + 1) + ": nested more than " +
                     std::to_string(max_depth) + " deep (expected a mechanism configuration)");
  doc.lines.emplace(pointer, std::max(1, n.Mark().line + 1));  // an empty file: no mark
  switch (n.Type()) {
    case YAML::NodeType::Sequence: {
      json a = json::array();
      int index = 0;
      for (const YAML::Node& item : n) a.push_back(yaml_to_json(item, pointer + "/" + std::to_string(index++), doc, depth + 1));
      return a;
    }
    case YAML::NodeType::Map: {
      json o = json::object();
      for (const auto& kv : n) {
        if (!kv.first.IsScalar())
          throw InputError(doc.name + ":" + std::to_string(kv.first.Mark().line + 1) + ": " + pointer +
                           ": expected a key in words, found a list or a mapping as a key");
        const std::string key = kv.first.Scalar();
        if (o.contains(key))
          throw InputError(doc.name + ":" + std::to_string(kv.first.Mark().line + 1) + ": " + pointer +
                           ": the key \"" + key + "\" is given twice in this mapping (expected each key once)");
        o[key] = yaml_to_json(kv.second, pointer + "/" + pointer_token(key), doc, depth + 1);
      }
      return o;
    }
    case YAML::NodeType::Scalar: return yaml_scalar(n);
    default: return nullptr;
  }
}

bool yaml_path(const fs::path& path) {
  const std::string e = path.extension().string();
  return e == ".yaml" || e == ".yml" || e == ".YAML" || e == ".YML";
}

void load(Document& doc) {
  std::error_code ec;
  if (fs::is_directory(doc.path, ec)) throw InputError(doc.name + ":1: is a directory (expected a mechanism file)");
  std::ifstream in(doc.path, std::ios::binary);
  if (!in) throw InputError(doc.name + ":1: cannot open the mechanism file");
  std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  if (in.bad()) throw InputError(doc.name + ":1: cannot read the mechanism file");
  if (text.substr(0, 3) == "\xEF\xBB\xBF") text.erase(0, 3);  // byte-order mark
  if (yaml_path(doc.path)) {
    YAML::Node root;
    try {
      root = YAML::Load(text);
    } catch (const YAML::Exception& e) {
      throw InputError(doc.name + ":" + std::to_string(e.mark.line + 1) + ":" + std::to_string(e.mark.column + 1) +
                       ": not valid YAML: " + e.msg);
    }
    doc.root = yaml_to_json(root, "", doc);
    return;
  }
  try {
    doc.root = json::parse(text);
  } catch (const json::parse_error& e) {
    const std::size_t at = std::min<std::size_t>(e.byte == 0 ? 0 : e.byte - 1, text.size());
    const std::size_t line = static_cast<std::size_t>(std::count(text.begin(), text.begin() + static_cast<long>(at), '\n')) + 1;
    const std::size_t start = text.rfind('\n', at == 0 ? 0 : at - 1);
    const std::size_t column = at - (start == std::string::npos || at == 0 ? 0 : start + 1) + 1;
    std::string what = e.what();
    const std::size_t colon = what.find(": ", what.find("column"));
    if (colon != std::string::npos) what = what.substr(colon + 2);
    throw InputError(doc.name + ":" + std::to_string(line) + ":" + std::to_string(column) + ": not valid JSON: " + what);
  }
  JsonLines(text, doc).run();
}

// ---------------------------------------------------------------- values

// A number of a rate's text, in the shortest form that reads back to the
// same double; one beyond the range (a parameter converted to molecules
// cm-3) throws std::range_error, reported at its reaction.
std::string number_text(double v) {
  if (!std::isfinite(v)) throw std::range_error("beyond the range of a double");
  char buf[32];
  const auto r = std::to_chars(buf, buf + sizeof buf, v);
  const std::string s(buf, r.ptr);
  return v < 0 ? "(" + s + ")" : s;
}

// A value of a document, with where it is.
struct Node {
  const Document* doc = nullptr;
  std::string pointer;
  const json* value = nullptr;

  std::string where() const {
    return doc->name + ":" + std::to_string(doc->line(pointer)) + (pointer.empty() ? "" : ": " + pointer);
  }
  [[noreturn]] void fail(const std::string& what) const { throw InputError(where() + ": " + what); }

  Node at(const std::string& key) const { return {doc, pointer + "/" + pointer_token(key), &(*value)[key]}; }
  Node at(std::size_t index) const { return {doc, pointer + "/" + std::to_string(index), &(*value)[index]}; }
  bool has(const std::string& key) const { return value->is_object() && value->contains(key); }
};

std::string kind(const json& v) {
  switch (v.type()) {
    case json::value_t::null: return "nothing (null)";
    case json::value_t::object: return "an object";
    case json::value_t::array: return "a list";
    case json::value_t::string: return "the text \"" + v.get<std::string>() + "\"";
    case json::value_t::boolean: return v.get<bool>() ? "true" : "false";
    default: return "the number " + v.dump();
  }
}

void expect_object(const Node& n, const std::string& what) {
  if (!n.value->is_object()) n.fail("expected " + what + " (an object with keys), found " + kind(*n.value));
}

// The keys of an object checked against those the format defines for it;
// `__` keys are custom properties, kept as they are.
std::vector<V1CustomProperty> check_keys(const Node& n, const std::vector<std::string>& known,
                                         const std::string& what) {
  std::vector<V1CustomProperty> custom;
  for (const auto& [key, value] : n.value->items()) {
    if (key.rfind("__", 0) == 0) {
      custom.push_back({key, value.dump()});
      continue;
    }
    if (std::find(known.begin(), known.end(), key) != known.end()) continue;
    std::string list;
    for (const std::string& k : known) list += (list.empty() ? "" : ", ") + ("\"" + k + "\"");
    const std::vector<std::string_view> names(known.begin(), known.end());
    const std::string hint = key.size() > 64 ? std::string() : did_you_mean(closest_names(key, names));
    n.at(key).fail("unknown key \"" + key + "\" in " + what + " (expected " + list +
                   ", or a custom property starting with __" + (hint.empty() ? ")" : "; " + hint + ")"));
  }
  return custom;
}

Node required(const Node& n, const std::string& key, const std::string& what) {
  if (!n.has(key)) n.fail("missing required key \"" + key + "\" (" + what + ")");
  return n.at(key);
}

std::string text_of(const Node& n, const std::string& what) {
  if (!n.value->is_string()) n.fail("expected " + what + " in quotes, found " + kind(*n.value));
  return n.value->get<std::string>();
}

double number_of(const Node& n) {
  if (!n.value->is_number()) n.fail("expected a number, found " + kind(*n.value));
  const double v = n.value->get<double>();
  if (!std::isfinite(v)) n.fail("expected a finite number, found " + n.value->dump());
  return v;
}

double number_or(const Node& n, const std::string& key, double fallback) {
  return n.has(key) ? number_of(n.at(key)) : fallback;
}

std::optional<double> optional_number(const Node& n, const std::string& key) {
  if (!n.has(key)) return std::nullopt;
  return number_of(n.at(key));
}

// ---------------------------------------------------------------- the reader

// Reaction types beyond a gas-phase box model, and why.
const std::map<std::string, std::string>& out_of_scope() {
  static const std::map<std::string, std::string> types{
      {"LAMBDA_RATE_CONSTANT", "a rate given as program code"},
      {"CONDENSED_PHASE_ARRHENIUS", "a condensed-phase reaction"},
      {"CONDENSED_PHASE_PHOTOLYSIS", "a condensed-phase reaction"},
      {"AQUEOUS_EQUILIBRIUM", "an aqueous-phase equilibrium"},
      {"HL_PHASE_TRANSFER", "a gas-aqueous phase transfer"},
      {"HENRYS_LAW_EQUILIBRIUM", "a gas-aqueous phase equilibrium"},
      {"SIMPOL_PHASE_TRANSFER", "a gas-aerosol phase transfer"},
      {"WET_DEPOSITION", "wet deposition"},
  };
  return types;
}

const std::vector<std::string> gas_types{
    "ARRHENIUS", "BRANCHED_NO_RO2", "EMISSION", "FIRST_ORDER_LOSS", "PHOTOLYSIS", "SURFACE",
    "TAYLOR_SERIES", "TERNARY_CHEMICAL_ACTIVATION", "TROE", "TUNNELING", "USER_DEFINED"};

// One reactant or product as written.
struct Term {
  int species;  // in V1Mechanism::species
  double coefficient;
  Node node;
};

class Reader {
 public:
  explicit Reader(const fs::path& path) {
    Document& main = documents_.emplace_back();
    main.path = path;
    main.name = path.generic_string();
    load(main);
  }

  V1Mechanism run() {
    const Document& main = documents_.front();
    const Node root{&main, "", &main.root};
    expect_object(root, "a mechanism configuration");
    for (const char* section : {"aerosol representations", "aerosol processes", "emissions"}) {
      if (!root.has(section)) continue;
      const Node s = root.at(section);
      std::string what = std::string("the section \"") + section + "\"";
      const json* first = s.value->is_array() && !s.value->empty() ? &(*s.value)[0] : nullptr;
      if (first && first->is_object() && first->contains("type") && (*first)["type"].is_string())
        what += " (its first entry of type " + (*first)["type"].get<std::string>() + ")";
      s.fail(what + std::string(" is outside a gas-phase box model: ") +
             (std::string(section) == "emissions" ? "emission inventories for a gridded model"
                                                   : "aerosol representations and processes") +
             " are not read (expected species, phases and gas-phase reactions)");
    }
    check_keys(root, {"version", "name", "species", "phases", "reactions"}, "a mechanism configuration");
    out_.version = text_of(required(root, "version", "the format's version, \"1.0.0\" or \"1.1.0\""), "a version");
    const std::string& v = out_.version;
    const std::size_t dot = v.find('.');
    if (v.substr(0, dot) != "1" || dot == std::string::npos || dot + 1 >= v.size() ||
        !std::isdigit(static_cast<unsigned char>(v[dot + 1])))
      root.at("version").fail("version \"" + v + "\" is not read (expected a version 1, \"1.0.0\" or \"1.1.0\")");
    minor_ = std::atoi(v.c_str() + dot + 1);
    if (root.has("name")) out_.name = text_of(root.at("name"), "the mechanism's name");

    for (const Node& n : section(root, "species")) species(n);
    index_species();
    for (const Node& n : section(root, "phases")) phase(n);
    const std::vector<Node> reactions = section(root, "reactions");
    if (reactions.empty()) required(root, "reactions", "").fail("no reactions (expected at least one)");
    for (const Node& n : reactions) reaction(n);
    finish();
    return std::move(out_);
  }

 private:
  // A section inline (a list) or as `files: [...]`, each file a list.
  std::vector<Node> section(const Node& root, const std::string& key) {
    const Node s = required(root, key, "the " + key + " of the mechanism, a list or {\"files\": [...]}");
    std::vector<Node> entries;
    const auto take = [&](const Node& list) {
      for (std::size_t i = 0; i < list.value->size(); ++i) entries.push_back(list.at(i));
    };
    if (s.value->is_array()) {
      take(s);
      return entries;
    }
    if (!s.value->is_object() || !s.has("files"))
      s.fail("expected the " + key + " as a list, or {\"files\": [...]} naming the files that hold them; found " +
             kind(*s.value));
    check_keys(s, {"files"}, "a list of files");
    if (minor_ < 1)
      s.fail("a list of files needs version 1.1.0 or later (the file says \"" + out_.version + "\")");
    const Node files = s.at("files");
    if (!files.value->is_array()) files.fail("expected a list of file names, found " + kind(*files.value));
    for (std::size_t i = 0; i < files.value->size(); ++i) {
      const Node f = files.at(i);
      const fs::path relative = text_of(f, "a file name");
      Document& doc = documents_.emplace_back();
      doc.path = relative.is_absolute() ? relative : s.doc->path.parent_path() / relative;
      doc.name = doc.path.generic_string();
      std::error_code ec;
      if (!fs::exists(doc.path, ec)) f.fail("no file " + doc.name + " (expected a file of " + key + ", relative to " + s.doc->name + ")");
      load(doc);
      const Node list{&doc, "", &doc.root};
      if (!list.value->is_array()) list.fail("expected a list of " + key + ", found " + kind(*list.value));
      take(list);
    }
    return entries;
  }

  void species(const Node& n) {
    expect_object(n, "a species");
    V1Species s;
    s.custom = check_keys(n, {"name", "molecular weight [kg mol-1]", "constant concentration [mol m-3]",
                              "constant mixing ratio [mol mol-1]", "is third body"}, "a species");
    s.name = text_of(required(n, "name", "the species' name"), "a name");
    if (const auto first = species_.find(s.name); first != species_.end())
      n.at("name").fail("the species \"" + s.name + "\" is defined twice (first at " +
                        species_where_[static_cast<std::size_t>(first->second)] + ")");
    s.molecular_weight = optional_number(n, "molecular weight [kg mol-1]");
    s.constant_concentration = optional_number(n, "constant concentration [mol m-3]");
    s.constant_mixing_ratio = optional_number(n, "constant mixing ratio [mol mol-1]");
    if (n.has("is third body")) {
      const Node b = n.at("is third body");
      if (!b.value->is_boolean()) b.fail("expected true or false, found " + kind(*b.value));
      s.third_body = b.value->get<bool>();
    }
    if (int(s.third_body) + int(bool(s.constant_concentration)) + int(bool(s.constant_mixing_ratio)) > 1)
      n.fail("the species \"" + s.name + "\" is given more than one of \"constant concentration [mol m-3]\", "
             "\"constant mixing ratio [mol mol-1]\" and \"is third body\" (expected one at most)");
    species_.emplace(s.name, static_cast<int>(out_.species.size()));
    species_where_.push_back(n.where());
    out_.species.push_back(std::move(s));
  }

  int find_species(const Node& n, const std::string& name, const std::string& what) const {
    const auto it = species_.find(name);
    if (it != species_.end()) return it->second;
    std::vector<std::string_view> names;
    for (const V1Species& s : out_.species) names.emplace_back(s.name);
    const std::string hint = name.size() > 64 ? std::string() : did_you_mean(closest_names(name, names));
    n.fail("unknown species \"" + name + "\" (expected " + what + (hint.empty() ? ")" : "; " + hint + ")"));
  }

  void phase(const Node& n) {
    expect_object(n, "a phase");
    V1Phase p;
    p.custom = check_keys(n, {"name", "species"}, "a phase");
    p.name = text_of(required(n, "name", "the phase's name"), "a name");
    for (const V1Phase& q : out_.phases)
      if (q.name == p.name) n.at("name").fail("the phase \"" + p.name + "\" is defined twice (first at " + phases_where_[&q - out_.phases.data()] + ")");
    const Node list = required(n, "species", "the phase's species");
    if (!list.value->is_array() || list.value->empty())
      list.fail("expected a list of one or more species, found " + kind(*list.value));
    for (std::size_t i = 0; i < list.value->size(); ++i) {
      const Node e = list.at(i);
      V1PhaseSpecies s;
      if (e.value->is_string()) {
        s.name = e.value->get<std::string>();
      } else {
        expect_object(e, "a species of the phase, its name or {\"name\": ...}");
        s.custom = check_keys(e, {"name", "diffusion coefficient [m2 s-1]"}, "a species of a phase");
        s.name = text_of(required(e, "name", "the species' name"), "a name");
        s.diffusion_coefficient = optional_number(e, "diffusion coefficient [m2 s-1]");
      }
      (void)find_species(e, s.name, "a species of the top-level list \"species\"");
      for (const V1PhaseSpecies& q : p.species)
        if (q.name == s.name) e.fail("the species \"" + s.name + "\" is listed twice in the phase \"" + p.name + "\"");
      p.species.push_back(std::move(s));
    }
    phases_where_.push_back(n.where());
    out_.phases.push_back(std::move(p));
  }

  // ---- reactions

  std::vector<Term> terms(const Node& r, const std::string& key, const V1Phase& phase, bool reactants) {
    const Node list = r.at(key);
    if (!list.value->is_array()) list.fail("expected a list of {\"species name\": ..., \"coefficient\": ...}, found " + kind(*list.value));
    std::vector<Term> out;
    for (std::size_t i = 0; i < list.value->size(); ++i) {
      const Node e = list.at(i);
      expect_object(e, "a reactant or product {\"species name\": ..., \"coefficient\": ...}");
      (void)check_keys(e, {"species name", "coefficient"}, "a reactant or product");
      out.push_back(term(e, text_of(required(e, "species name", "the species"), "a species name"),
                         number_or(e, "coefficient", 1.0), phase, reactants));
    }
    return out;
  }

  Term term(const Node& e, const std::string& name, double coefficient, const V1Phase& phase, bool reactant) {
    const int s = find_species(e, name, "a species of the top-level list \"species\"");
    if (std::none_of(phase.species.begin(), phase.species.end(), [&](const V1PhaseSpecies& p) { return p.name == name; }))
      e.fail("the species \"" + name + "\" is not in the phase \"" + phase.name + "\" (expected a species of the reaction's gas phase)");
    if (reactant && !(coefficient > 0.0))
      e.at("coefficient").fail("expected a reactant's coefficient above 0, found " + number_text(coefficient));
    return {s, coefficient, e};
  }

  const V1Phase& gas_phase(const Node& r) {
    const Node p = required(r, "gas phase", "the name of the phase the reaction takes place in");
    const std::string name = text_of(p, "a phase name");
    for (const V1Phase& q : out_.phases)
      if (q.name == name) return q;
    p.fail("unknown phase \"" + name + "\" (expected a phase of the list \"phases\")");
  }

  // The rate law's factors of the species held constant, and the order n
  // of the reaction (the sum of its reactants' coefficients).
  struct Reactants {
    std::vector<int> variable;  // Mechanism species, with repetition
    std::string factors;        // "*..." for the held species
    double order = 0.0;
  };

  Reactants reactants(const std::vector<Term>& terms) const {
    Reactants out;
    for (const Term& t : terms) {
      out.order += t.coefficient;
      const V1Species& s = out_.species[static_cast<std::size_t>(t.species)];
      const std::string power = t.coefficient == 1.0 ? "" : "**" + number_text(t.coefficient);
      if (s.third_body) {
        out.factors += "*M" + power;
      } else if (s.constant_mixing_ratio) {
        out.factors += "*(" + number_text(*s.constant_mixing_ratio) + "*M)" + power;
      } else if (s.constant_concentration) {
        out.factors += "*" + number_text(*s.constant_concentration * per_mol_m3) + power;
      } else {
        if (t.coefficient != std::floor(t.coefficient) || t.coefficient > 1000.0)
          t.node.at("coefficient").fail(
              "a reactant coefficient of " + number_text(t.coefficient) + " for \"" + s.name +
              "\", which changes (expected a whole number from 1 to 1000; a fractional power [X]^c is read only "
              "for a species held constant: constant concentration, constant mixing ratio or third body)");
        for (int k = 0; k < static_cast<int>(t.coefficient); ++k) out.variable.push_back(mechanism_index_[static_cast<std::size_t>(t.species)]);
      }
    }
    return out;
  }

  // A parameter in (mol m-3)^(1-n) s-1 in molecules cm-3 units: divided by
  // N_A 1e-6 (exact in a double) n - 1 times, each division rounded once.
  static double per_order(double a, double n) {
    if (n == std::floor(n) && std::abs(n) <= 64.0) {
      for (int k = static_cast<int>(n) - 1; k > 0; --k) a = a / per_mol_m3;
      for (int k = static_cast<int>(n) - 1; k < 0; ++k) a = a * per_mol_m3;
      return a;
    }
    return a / std::pow(per_mol_m3, n - 1.0);
  }

  // A e^(C/T) (T/D)^B (1 + E P), with the identity factors left out (they
  // change no bit).
  static std::string arrhenius(double a, double b, double c, double d, double e) {
    std::string s = number_text(a);
    if (c != 0.0) s += "*EXP(" + number_text(c) + "/TEMP)";
    if (b != 0.0) s += "*(TEMP/" + number_text(d) + ")**" + number_text(b);
    if (e != 0.0) s += "*(1+" + number_text(e) + "*(PRESS*100))";  // P in Pa
    return s;
  }

  // C of an Arrhenius-like rate: C itself, or -Ea/k_B; never both.
  static double c_or_ea(const Node& r) {
    if (r.has("Ea") && r.has("C"))
      r.fail("both \"Ea\" and \"C\" are given (expected one of them: C = -Ea/k_B)");
    if (r.has("Ea")) return -number_of(r.at("Ea")) / boltzmann;
    return number_or(r, "C", 0.0);
  }

  // The fall-off shape F_C^(1/(1 + (1/N) log10(x)^2)).
  static std::string falloff(const std::string& ratio, double fc, double n) {
    const std::string width = n == 1.0 ? "" : number_text(1.0 / n) + "*";  // times 1 changes no bit
    return number_text(fc) + "**(1/(1+" + width + "LOG10(" + ratio + ")**2))";
  }

  int parameter(const std::string& name) {
    const auto it = parameters_.find(name);
    if (it != parameters_.end()) return it->second;
    NamedCoefficient c;
    c.name = name;
    c.text = "0";
    c.value.code.push_back({Op::constant, 0, 0.0});
    c.value.stack_depth = 1;
    c.value.depends = depends_on_parameter;
    c.supplied = true;
    const int index = static_cast<int>(out_.mechanism.coefficients.size());
    out_.mechanism.coefficients.push_back(std::move(c));
    parameters_.emplace(name, index);
    return index;
  }

  // A parameter in a rate's text: its coefficient's index between two
  // control characters, which no name of the file can hold.
  std::string ref(const std::string& name) { return "\x01" + std::to_string(parameter(name)) + "\x02"; }

  // The rate compiled with the parameters as names the expression cannot
  // fold; `shown` gets the text with each parameter written {NAME}.
  Expression compile(const Node& r, const std::string& text, std::string& shown) {
    std::string code;
    shown.clear();
    for (std::size_t p = 0; p < text.size(); ++p) {
      if (text[p] != '\x01') {
        code += text[p];
        shown += text[p];
        continue;
      }
      const std::size_t close = text.find('\x02', p);
      const std::string index = text.substr(p + 1, close - p - 1);
      code += "P__" + index;
      shown += "{" + out_.mechanism.coefficients[static_cast<std::size_t>(std::stoi(index))].name + "}";
      p = close;
    }
    NameResolver names;
    names.photolysis_channel = [](int) { return 0; };
    names.name = [](std::string_view name) -> std::optional<ResolvedName> {
      if (const auto v = air_variable(name))
        return ResolvedName{{Op::air, static_cast<int>(*v)}, depends_on_air, std::nullopt};
      if (name.rfind("P__", 0) == 0)
        return ResolvedName{{Op::coefficient, std::atoi(std::string(name.substr(3)).c_str())}, depends_on_parameter,
                            std::nullopt};
      return std::nullopt;
    };
    try {
      return compile_expression(code, names);
    } catch (const ExpressionError& e) {
      r.fail(std::string("the rate cannot be evaluated: ") + e.what());  // numbers the file cannot reach
    }
  }

  void add(const Node& r, V1Reaction& entry, const Reactants& in, const std::vector<Term>& products,
           const std::string& constant) {
    RuntimeReaction out;
    out.reactants = in.variable;
    for (const Term& t : products) {
      const V1Species& s = out_.species[static_cast<std::size_t>(t.species)];
      if (s.held()) continue;  // held constant: what the reaction makes changes nothing
      const int k = mechanism_index_[static_cast<std::size_t>(t.species)];
      auto it = std::find_if(out.products.begin(), out.products.end(), [&](const ProductTerm& p) { return p.species == k; });
      if (it == out.products.end()) out.products.push_back({k, t.coefficient});
      else it->coefficient = it->coefficient + t.coefficient;
    }
    out.rate = compile(r, in.factors.empty() ? constant : "(" + constant + ")" + in.factors, out.rate_text);
    out.line = r.doc->line(r.pointer);
    entry.mechanism_reactions.push_back(out_.mechanism.reaction_count());
    out_.mechanism.reactions.push_back(std::move(out));
  }

  void reaction(const Node& r) {
    try {
      read_reaction(r);
    } catch (const std::range_error&) {
      r.fail("a rate parameter, in molecules cm-3, is beyond the range of a double (about 1.8e308)");
    }
  }

  void read_reaction(const Node& r) {
    expect_object(r, "a reaction");
    const std::string type = text_of(required(r, "type", "the reaction's type"), "a reaction type");
    V1Reaction entry;
    entry.type = type;
    entry.where = r.where();
    if (r.has("name")) entry.name = text_of(r.at("name"), "the reaction's name");
    const std::string called = entry.name.empty() ? "a reaction" : "the reaction \"" + entry.name + "\"";
    if (const auto it = out_of_scope().find(type); it != out_of_scope().end())
      r.fail(called + " of type " + type + " (" + it->second + ") is outside a gas-phase box model (expected one of the gas-phase types)");
    if (std::find(gas_types.begin(), gas_types.end(), type) == gas_types.end()) {
      std::string list;
      for (const std::string& t : gas_types) list += (list.empty() ? "" : ", ") + t;
      const std::vector<std::string_view> names(gas_types.begin(), gas_types.end());
      const std::string hint = type.size() > 64 ? std::string() : did_you_mean(closest_names(type, names));
      r.at("type").fail("unknown reaction type \"" + type + "\" (expected " + list + (hint.empty() ? ")" : "; " + hint + ")"));
    }
    const std::vector<std::string> common{"type", "name", "gas phase"};
    const auto keys = [&](std::vector<std::string> more) {
      more.insert(more.end(), common.begin(), common.end());
      entry.custom = check_keys(r, more, "a reaction of type " + type);
    };
    const auto needs_name = [&] {
      if (entry.name.empty())
        required(r, "name", "a " + type + " rate is supplied at run time by the reaction's name");
    };
    const V1Phase& phase = gas_phase(r);
    const auto list = [&](const std::string& key) {
      required(r, key, "the reaction's " + key);
      return terms(r, key, phase, key == "reactants");
    };

    if (type == "ARRHENIUS" || type == "TAYLOR_SERIES" || type == "TUNNELING") {
      if (type == "ARRHENIUS") keys({"reactants", "products", "A", "B", "C", "D", "E", "Ea"});
      else if (type == "TUNNELING") keys({"reactants", "products", "A", "B", "C"});
      else keys({"reactants", "products", "A", "B", "C", "D", "E", "Ea", "taylor coefficients"});
      const std::vector<Term> rs = list("reactants");
      const std::vector<Term> ps = list("products");
      const Reactants in = reactants(rs);
      const double a = per_order(number_or(r, "A", 1.0), in.order);
      std::string k;
      if (type == "TUNNELING") {
        k = number_text(a);
        if (const double b = number_or(r, "B", 0.0); b != 0.0) k += "*EXP(" + number_text(-b) + "/TEMP)";
        if (const double c = number_or(r, "C", 0.0); c != 0.0) k += "*EXP(" + number_text(c) + "/TEMP**3)";
      } else {
        k = arrhenius(a, number_or(r, "B", 0.0), c_or_ea(r), number_or(r, "D", 300.0), number_or(r, "E", 0.0));
      }
      if (type == "TAYLOR_SERIES" && r.has("taylor coefficients")) {
        const Node cs = r.at("taylor coefficients");
        if (!cs.value->is_array()) cs.fail("expected a list of numbers, found " + kind(*cs.value));
        for (std::size_t i = 0; i < cs.value->size(); ++i) {
          const double c = per_order(number_of(cs.at(i)), in.order);
          k += "+" + number_text(c) + (i == 0 ? "" : i == 1 ? "*TEMP" : "*TEMP**" + std::to_string(i));
        }
      }
      add(r, entry, in, ps, k);
    } else if (type == "TROE" || type == "TERNARY_CHEMICAL_ACTIVATION") {
      keys({"reactants", "products", "k0_A", "k0_B", "k0_C", "kinf_A", "kinf_B", "kinf_C", "Fc", "N"});
      const std::vector<Term> rs = list("reactants");
      const std::vector<Term> ps = list("products");
      const Reactants in = reactants(rs);
      const bool troe = type == "TROE";
      // Troe: k0 [M] and k_inf are of the reaction's order n, so k0 is of
      // order n + 1. Chemical activation: k0 is of order n and k0 [M] / k_inf
      // is a pure number, so k_inf is of order n - 1.
      const double k0_order = troe ? in.order + 1.0 : in.order;
      const double kinf_order = troe ? in.order : in.order - 1.0;
      const std::string k0 = "(" + arrhenius(per_order(number_or(r, "k0_A", 1.0), k0_order), number_or(r, "k0_B", 0.0),
                                             number_or(r, "k0_C", 0.0), 300.0, 0.0) + ")";
      const std::string kinf = "(" + arrhenius(per_order(number_or(r, "kinf_A", 1.0), kinf_order),
                                               number_or(r, "kinf_B", 0.0), number_or(r, "kinf_C", 0.0), 300.0, 0.0) + ")";
      const double n = number_or(r, "N", 1.0);
      if (n == 0.0) r.at("N").fail("expected N other than 0 (the fall-off curve's width: 1/N multiplies)");
      const std::string ratio = k0 + "*M/" + kinf;
      const std::string k = (troe ? k0 + "*M" : k0) + "/(1+" + ratio + ")*" + falloff(ratio, number_or(r, "Fc", 0.6), n);
      add(r, entry, in, ps, k);
    } else if (type == "BRANCHED_NO_RO2") {
      keys({"reactants", "alkoxy products", "nitrate products", "X", "Y", "a0", "n"});
      const std::vector<Term> rs = list("reactants");
      const std::vector<Term> alkoxy = list("alkoxy products");
      const std::vector<Term> nitrate = list("nitrate products");
      const Reactants in = reactants(rs);
      const double a0 = number_or(r, "a0", 1.0);
      if (a0 == 0.0) r.at("a0").fail("expected a0 other than 0 (Z holds (1 - a0) / a0)");
      const double heavy = number_or(r, "n", 0.0);
      // A(T, [M], n): a Troe fall-off with k0 = 2e-22 e^n and k_inf =
      // 0.43 (T/298)^-8 in molecules cm-3, F_C = 0.41, N = 1; Z is A at 293 K
      // and [M] = 40.6832 mol m-3 times (1 - a0) / a0.
      const auto a_of = [&](const std::string& t, const std::string& m) {
        const std::string k0m = "(2e-22*EXP(" + number_text(heavy) + ")*" + m + ")";
        const std::string ratio = k0m + "/(0.43*(" + t + "/298)**(-8))";
        return "(" + k0m + "/(1+" + ratio + ")*" + falloff(ratio, 0.41, 1.0) + ")";
      };
      const std::string a = a_of("TEMP", "M");
      const std::string z = "(" + a_of("293", number_text(40.6832 * per_mol_m3)) + "*" + number_text((1.0 - a0) / a0) + ")";
      std::string k = number_text(per_order(number_or(r, "X", 1.0), in.order));
      if (const double y = number_or(r, "Y", 0.0); y != 0.0) k += "*EXP(" + number_text(-y) + "/TEMP)";
      add(r, entry, in, nitrate, k + "*(" + a + "/(" + a + "+" + z + "))");
      add(r, entry, in, alkoxy, k + "*(" + z + "/(" + z + "+" + a + "))");
    } else if (type == "PHOTOLYSIS" || type == "USER_DEFINED" || type == "FIRST_ORDER_LOSS" || type == "EMISSION") {
      const bool emission = type == "EMISSION", loss = type == "FIRST_ORDER_LOSS";
      if (emission) keys({"products", "scaling factor"});
      else if (loss) keys({"reactants", "scaling factor"});
      else keys({"reactants", "products", "scaling factor"});
      needs_name();
      const std::vector<Term> rs = emission ? std::vector<Term>{} : list("reactants");
      const std::vector<Term> ps = loss ? std::vector<Term>{} : list("products");
      if ((type == "PHOTOLYSIS" || loss) && (rs.size() != 1 || rs[0].coefficient != 1.0))
        r.at("reactants").fail("expected exactly one reactant with coefficient 1 (a " + type + " rate is first order)");
      const Reactants in = reactants(rs);
      const std::string prefix = type == "PHOTOLYSIS" ? "PHOTO." : type == "USER_DEFINED" ? "USER." : emission ? "EMIS." : "LOSS.";
      const std::string name = prefix + entry.name;
      if (parameters_.count(name)) r.at("name").fail("a second " + type + " reaction named \"" + entry.name + "\" (expected each such name once: its rate is supplied by it)");
      // The supplied value is in the file's units, (mol m-3)^(1-n) s-1.
      const double factor = per_order(number_or(r, "scaling factor", 1.0), in.order);
      add(r, entry, in, ps, (factor == 1.0 ? "" : number_text(factor) + "*") + ref(name));
    } else {  // SURFACE
      keys({"gas-phase species", "gas-phase products", "reaction probability"});
      needs_name();
      const Node sp = required(r, "gas-phase species", "the species taken up by the surface");
      const Term t = term(sp, text_of(sp, "a species name"), 1.0, phase, true);
      required(r, "gas-phase products", "the products of the surface reaction");
      const std::vector<Term> ps = terms(r, "gas-phase products", phase, false);
      const V1Species& s = out_.species[static_cast<std::size_t>(t.species)];
      const double gamma = number_or(r, "reaction probability", 1.0);
      if (!s.molecular_weight || !(*s.molecular_weight > 0.0))
        sp.fail("the species \"" + s.name + "\" needs \"molecular weight [kg mol-1]\" above 0 (its mean speed sets a surface reaction's rate)");
      const auto& list = phase.species;
      const auto ps_it = std::find_if(list.begin(), list.end(), [&](const V1PhaseSpecies& p) { return p.name == s.name; });
      if (!ps_it->diffusion_coefficient || !(*ps_it->diffusion_coefficient > 0.0))
        sp.fail("the species \"" + s.name + "\" needs \"diffusion coefficient [m2 s-1]\" above 0 in the phase \"" +
                phase.name + "\" (its diffusion to the particles sets a surface reaction's rate)");
      const std::string radius = "SURF." + entry.name + ".effective radius [m]";
      const std::string number = "SURF." + entry.name + ".particle number concentration [# m-3]";
      if (parameters_.count(radius)) r.at("name").fail("a second SURFACE reaction named \"" + entry.name + "\" (expected each such name once)");
      const std::string r_ = ref(radius), n_ = ref(number);
      // k = 4 N pi r^2 / (r / D_g + 4 / (v gamma)), v = sqrt(8 R T / (pi MW)).
      const std::string speed = "SQRT(" + number_text(8.0 * gas_constant) + "*TEMP/(" + number_text(pi) + "*" +
                                number_text(*s.molecular_weight) + "))";
      const std::string k = "4*" + n_ + "*" + number_text(pi) + "*" + r_ + "**2/(" + r_ + "/" +
                            number_text(*ps_it->diffusion_coefficient) + "+4/(" + speed + "*" + number_text(gamma) + "))";
      add(r, entry, in_of(t), ps, k);
    }
    out_.reactions.push_back(std::move(entry));
  }

  Reactants in_of(const Term& t) const { return reactants({t}); }

  void finish() {
    Mechanism& m = out_.mechanism;
    m.source = documents_.front().name;
    m.declared_species = true;
    std::string held, unused;
    int held_count = 0, unused_count = 0;
    std::vector<char> used(m.species.size(), 0);
    for (const RuntimeReaction& r : m.reactions) {
      for (int s : r.reactants) used[static_cast<std::size_t>(s)] = 1;
      for (const ProductTerm& t : r.products) used[static_cast<std::size_t>(t.species)] = 1;
    }
    for (const V1Species& s : out_.species) {
      if (s.held()) {
        held += " " + s.name + (s.third_body ? " (third body: M)" : s.constant_mixing_ratio ? " (constant mixing ratio)" : " (constant concentration)");
        ++held_count;
      } else if (!used[static_cast<std::size_t>(mechanism_index_[static_cast<std::size_t>(&s - out_.species.data())])]) {
        unused += " " + s.name;
        ++unused_count;
      }
    }
    if (held_count > 0)
      m.notes.push_back(m.source + ": " + std::to_string(held_count) + " species held constant, in the rates:" + held);
    if (unused_count > 0)
      m.notes.push_back("warning: " + m.source + ": " + std::to_string(unused_count) + " species used by no reaction:" + unused);
    std::string supplied;
    int count = 0;
    for (const NamedCoefficient& c : m.coefficients)
      if (c.supplied) supplied += (count++ ? ", " : " ") + c.name;
    if (count > 0)
      m.notes.push_back(m.source + ": " + std::to_string(count) + " rate parameters supplied at run time (0 until given):" + supplied);
  }

  std::deque<Document> documents_;
  V1Mechanism out_;
  int minor_ = 0;
  std::map<std::string, int> species_;  // name -> index in out_.species
  std::vector<std::string> species_where_;
  std::vector<std::string> phases_where_;
  std::map<std::string, int> parameters_;  // supplied parameter -> coefficient
  std::vector<int> mechanism_index_;       // out_.species -> Mechanism species (-1: held)

  // The species that change are the Mechanism's, in the file's order.
  void index_species() {
    for (const V1Species& s : out_.species) {
      mechanism_index_.push_back(s.held() ? -1 : out_.mechanism.species_count());
      if (!s.held()) out_.mechanism.species.push_back(s.name);
    }
  }
};

}  // namespace

V1Mechanism read_v1_mechanism(const fs::path& path) { return Reader(path).run(); }

bool is_v1_mechanism_path(const fs::path& path) {
  const std::string e = path.extension().string();
  return e == ".json" || e == ".JSON" || yaml_path(path);
}

Mechanism read_any_mechanism_file(const fs::path& path) {
  if (is_v1_mechanism_path(path)) return read_v1_mechanism(path).mechanism;
  return read_mechanism_file(path);
}

}  // namespace box
