#include "ensemble/isopleths.hpp"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <limits>
#include <optional>

#include "chemistry/species_map.hpp"
#include "common/errors.hpp"
#include "common/one_based.hpp"
#include "ensemble/file_reader.hpp"
#include "ensemble/pool.hpp"
#include "mechanism/mechanism.hpp"
#include "output/partial_file.hpp"
#include "run/initial_state.hpp"

namespace box::ensemble {
namespace fs = std::filesystem;
namespace {

constexpr double nan = std::numeric_limits<double>::quiet_NaN();
constexpr double ppb = 1e9;

// The defaults of each axis, as the mechanism's names. NOx is the same in
// every mechanism; the VOC are the built-in mechanism's primary emitted
// ones (alkanes, alkenes, aromatics, cresol, isoprene, terpenes), and
// isoprene by the MCM's name for a mechanism file.
const std::vector<std::string> default_nox = {"NO", "NO2"};
const std::vector<std::string> default_builtin_voc = {"ETH", "HC3", "HC5", "HC8", "ETE", "OLT", "OLI",
                                                      "DIEN", "TOL", "XYL", "CSL", "ISO", "API", "LIM"};

// What the base gives of species `index` for `of`: the key that sets it
// (as the base writes its name, so that the override replaces the base's
// value) and the value, or nothing when it gives none (or zero, which no
// factor changes).
struct BaseAmount {
  std::string key;
  double value = 0.0;
};

class BaseScenario {
 public:
  BaseScenario(const Scenario& s, const MechanismCatalogue& catalogue) : s_(s), catalogue_(catalogue) {}

  std::optional<BaseAmount> amount(ScaledAmount of, int index) const {
    if (of == ScaledAmount::emissions) {
      for (const SpeciesSetting& e : s_.field.exchange.emissions)
        if (catalogue_.find(e.species) == index && e.value > 0.0) return BaseAmount{"emissions." + e.species, e.value};
      return std::nullopt;
    }
    for (const InitialValue& v : s_.initial) {
      const std::string name = v.name.empty() ? catalogue_.name(v.species) : v.name;
      if (catalogue_.find(name) == index) {
        if (v.ppb > 0.0) return BaseAmount{"initial." + name, v.ppb};
        return std::nullopt;
      }
    }
    // Not in [initial]: the built-in mechanism's own initial state, in ppb
    // (other units would need the air of the first record).
    if (!s_.chemistry.builtin_mechanism() || s_.initial_units != ConcentrationUnit::ppb || from_record(index))
      return std::nullopt;
    if (index > static_cast<int>(species_map.size())) return std::nullopt;
    const SpeciesSource& source = species_map[at(index)];
    if (source.vc_slot == 0) return std::nullopt;
    const double x = initial_concentrations()[at(source.vc_slot)];
    if (!(x > 0.0)) return std::nullopt;
    return BaseAmount{"initial." + catalogue_.name(index), x * ppb};
  }

  // Species the base takes from its first site record.
  bool from_record(int index) const {
    if (!s_.field.initial_from_first_record) return false;
    for (const char* name : {"O3", "NO", "NO2", "CO", "HCHO"})
      if (catalogue_.find(name) == index) return true;
    return false;
  }

  // Why the base gives no amount of `name` to scale.
  std::string lacks(ScaledAmount of, const std::string& name, int index, const std::string& base) const {
    if (of == ScaledAmount::emissions)
      return "the base scenario " + base + " emits no " + name +
             " (expected it in the base's [emissions], or of = \"initial\" to scale initial values)";
    if (from_record(index))
      return "the base scenario " + base + " takes " + name +
             " from its first site record; give initial." + name + " in the base to scale it";
    return "the base scenario " + base + " gives no initial value of " + name + " above 0" +
           (s_.initial_units != ConcentrationUnit::ppb ? " in [initial]" : "") + " (expected it in the base's [initial])";
  }

 private:
  const Scenario& s_;
  const MechanismCatalogue& catalogue_;
};

// One axis from its table (or nothing: every default).
IsoplethAxis read_axis(const Reader& r, const toml::node* node, const std::string& name,
                       const std::vector<std::string>& other_species, const BaseScenario& base,
                       const std::string& base_name, const MechanismCatalogue& catalogue, bool builtin) {
  IsoplethAxis axis;
  axis.name = name;
  double from = 0.1, to = 10.0;
  std::int64_t points = 21;
  const toml::node* species_node = nullptr;
  if (node != nullptr) {
    const toml::table* t = node->as_table();
    if (t == nullptr) r.fail(node, name, "expected a table { species = [...], of = \"emissions\", from, to, points }");
    r.check_keys(*t, name, {"species", "of", "from", "to", "points"});
    if (const auto* n = t->get("of")) {
      const std::string of = r.text(*n, name + ".of");
      if (of == "emissions") axis.of = ScaledAmount::emissions;
      else if (of == "initial") axis.of = ScaledAmount::initial;
      else r.fail(n, name + ".of", "expected \"emissions\" or \"initial\", found \"" + of + "\"");
    }
    if (const auto* n = t->get("from")) {
      from = r.number(*n, name + ".from");
      if (!(from > 0.0)) r.fail(n, name + ".from", "expected a scaling factor above 0");
    }
    if (const auto* n = t->get("to")) {
      to = r.number(*n, name + ".to");
      if (!(to > 0.0)) r.fail(n, name + ".to", "expected a scaling factor above 0");
    }
    if (!(from < to)) {
      const bool to_given = t->get("to") != nullptr;
      r.fail(to_given ? t->get("to") : t->get("from"), name + (to_given ? ".to" : ".from"),
             "expected from below to (" + format_factor(from) + " and " + format_factor(to) +
                 (to_given ? ")" : ", the default)"));
    }
    if (const auto* n = t->get("points")) points = r.whole(*n, name + ".points", 2);
    species_node = t->get("species");
  }
  axis.factors = log_grid(from, to, static_cast<int>(points));

  const std::string key = name + ".species";
  std::vector<std::string> wanted;
  const bool defaults = species_node == nullptr;
  if (!defaults) {
    if (species_node->is_string()) wanted = {r.text(*species_node, key)};
    else wanted = r.strings(*species_node, key);
    if (wanted.empty()) r.fail(species_node, key, "expected at least one species");
  } else if (name == "nox") {
    wanted = default_nox;
  } else if (builtin) {
    wanted = default_builtin_voc;
  } else {
    wanted = {"C5H8"};
  }

  for (const std::string& w : wanted) {
    const int index = catalogue.find(w);
    if (index == 0 && !defaults) r.fail(species_node, key, catalogue.missing(w));
    if (index == 0) continue;  // a default the mechanism does not have
    const std::string& species = catalogue.name(index);
    if (std::find(axis.species.begin(), axis.species.end(), species) != axis.species.end() ||
        std::find(other_species.begin(), other_species.end(), species) != other_species.end())
      r.fail(species_node, key, species + " is named twice (each species on one axis, once)");
    const std::optional<BaseAmount> amount = base.amount(axis.of, index);
    if (!amount) {
      if (defaults) continue;
      r.fail(species_node, key, base.lacks(axis.of, species, index, base_name));
    }
    axis.species.push_back(species);
    axis.keys.push_back(amount->key);
    axis.base_values.push_back(amount->value);
  }
  if (axis.species.empty()) {
    std::string list;
    for (const std::string& w : wanted) list += (list.empty() ? "" : ", ") + w;
    r.fail(node, key,
           "the base scenario " + base_name + (axis.of == ScaledAmount::emissions ? " emits" : " initialises") +
               " none of the default species (" + list + "); name the species to scale, or use of = \"" +
               (axis.of == ScaledAmount::emissions ? "initial" : "emissions") + "\"");
  }
  return axis;
}

OzoneMetric read_ozone(const Reader& r, const toml::node* node, const Scenario& base) {
  OzoneMetric m;
  if (node == nullptr) return m;
  if (const auto* s = node->as_string()) {
    if (s->get() == "max") return m;
    if (s->get() != "mean8h") r.fail(node, "ozone", "expected \"max\", \"mean8h\" or a local hour, found \"" + s->get() + "\"");
    m.kind = OzoneMetric::Kind::mean8h;
    const int every = base.output.every_seconds;
    if (8 * 3600 % every != 0)
      r.fail(node, "ozone", "mean8h needs output samples that divide 8 hours; the base writes one every " +
                                std::to_string(every) + " s");
    m.window = static_cast<std::size_t>(8 * 3600 / every);
    if (samples_of(base) < m.window)
      r.fail(node, "ozone", "mean8h needs 8 hours of samples; the base runs " + format_factor(base.time.hours) + " h");
    return m;
  }
  if (!node->is_number()) r.fail(node, "ozone", "expected \"max\", \"mean8h\" or a local hour");
  m.kind = OzoneMetric::Kind::hour;
  m.hour = r.number(*node, "ozone");
  const double start = base.time.start_hour, end = start + base.time.hours;
  if (m.hour < start || m.hour > end)
    r.fail(node, "ozone", "expected a local hour within the base's run, " + format_factor(start) + " to " +
                              format_factor(end) + ", found " + format_factor(m.hour));
  return m;
}

}  // namespace

std::string format_factor(double v) {
  char text[32];
  std::snprintf(text, sizeof text, "%.6g", v);
  return text;
}

std::string OzoneMetric::text() const {
  switch (kind) {
    case Kind::max: return "max";
    case Kind::mean8h: return "mean8h";
    case Kind::hour: return "hour " + format_factor(hour);
  }
  return "";
}

std::vector<double> log_grid(double from, double to, int points) {
  std::vector<double> f(static_cast<std::size_t>(points));
  const double a = std::log10(from), b = std::log10(to);
  for (int k = 0; k < points; ++k)
    f[static_cast<std::size_t>(k)] = std::pow(10.0, a + (b - a) * k / (points - 1));
  f.front() = from;
  f.back() = to;
  return f;
}

namespace {
Isopleths isopleths_of(const Reader& r, const toml::table& diagram, Definition base,
                       const std::optional<fs::path>& output_dir);
}  // namespace

Isopleths read_isopleths(const fs::path& file) {
  const std::string name = file.generic_string();
  const toml::table root = parse_toml(read_text(file, "isopleth file"), name);
  const Reader r(file);
  r.check_keys(root, "", {"base", "nox", "voc", "ozone", "output"});
  const fs::path folder = file.parent_path();
  const auto resolve = [&](const std::string& p) { return fs::path(p).is_absolute() ? fs::path(p) : folder / p; };

  Definition d;
  d.file = file;
  const auto* base = root.get("base");
  if (base == nullptr) r.fail(nullptr, "base", "missing: expected the base scenario's file");
  d.base = resolve(r.text(*base, "base"));
  d.base_text = read_text(d.base, "base scenario");
  std::optional<fs::path> output_dir;
  if (const auto* n = root.get("output")) {
    if (!n->is_table()) r.fail(n, "output", "expected a table ([output])");
    r.check_keys(*n->as_table(), "output", {"dir"});
    if (const auto* v = n->as_table()->get("dir")) output_dir = resolve(r.text(*v, "output.dir"));
  }
  return isopleths_of(r, root, std::move(d), output_dir);
}

Isopleths make_isopleths(const std::string& diagram_text, Definition base) {
  const Reader r(base.file, false);
  const toml::table root = parse_toml(diagram_text, base.file.generic_string());
  r.check_keys(root, "", {"nox", "voc", "ozone"});
  return isopleths_of(r, root, std::move(base), std::nullopt);
}

namespace {

Isopleths isopleths_of(const Reader& r, const toml::table& diagram, Definition base,
                       const std::optional<fs::path>& output_dir) {
  Isopleths iso;
  iso.file = base.file;
  Definition& d = iso.ensemble;
  d = std::move(base);
  d.species = std::vector<std::string>{"O3"};
  d.write_netcdf = false;
  load_base_mechanism(d);
  const Scenario s = parse_scenario(d.base_text, d.base.generic_string(), d.base.parent_path());
  const MechanismCatalogue& c = catalogue(d.mechanism.get());
  if (c.find("O3") == 0) throw InputError(d.base.generic_string() + ": the mechanism has no O3 (" + c.missing("O3") + ")");
  d.output_dir = output_dir.value_or(s.output.dir);

  const BaseScenario b(s, c);
  const std::string base_name = d.base.generic_string();
  const bool builtin = d.mechanism == nullptr;
  iso.nox = read_axis(r, diagram.get("nox"), "nox", {}, b, base_name, c, builtin);
  iso.voc = read_axis(r, diagram.get("voc"), "voc", iso.nox.species, b, base_name, c, builtin);
  for (const IsoplethAxis* axis : {&iso.nox, &iso.voc})
    if (axis->of == ScaledAmount::initial && s.spin_up.enabled)
      r.fail(diagram.get(axis->name), axis->name + ".of",
             "\"initial\" scales nothing in a base with [spin_up] (its run starts from the spun-up state); "
             "use \"emissions\"");
  iso.ozone = read_ozone(r, diagram.get("ozone"), s);

  // The members as a table of overrides, one row per grid point.
  MembersTable t;
  t.file = iso.file;
  t.keys = iso.nox.keys;
  t.keys.insert(t.keys.end(), iso.voc.keys.begin(), iso.voc.keys.end());
  for (const double fn : iso.nox.factors)
    for (const double fv : iso.voc.factors) {
      MembersTable::Row row;
      row.label = "grid point nox_factor " + format_factor(fn) + ", voc_factor " + format_factor(fv);
      for (const double v : iso.nox.base_values) row.cells.emplace_back(v * fn);
      for (const double v : iso.voc.base_values) row.cells.emplace_back(v * fv);
      t.rows.push_back(std::move(row));
    }
  d.table = std::move(t);
  return iso;
}

}  // namespace

IsoplethResult run_isopleths(const Isopleths& iso, unsigned threads, const LaneKernels* kernels,
                             const std::function<void(std::size_t)>& after_each) {
  const Definition& d = iso.ensemble;
  const std::vector<int> species = ensemble_species(d);
  const std::size_t points = iso.points();
  MemberPool pool(d, species, points, threads, kernels, [](std::size_t p) { return p; });
  IsoplethResult out;
  out.lanes = pool.lanes();
  for (std::size_t m = 0; m < points; ++m) {
    const MemberResult r = pool.next();
    out.o3_ppb.push_back(member_ozone(iso, r));
    out.status.push_back(r.status);
    out.messages.push_back(r.ok() ? std::string() : row_origin(*d.table, d.table->rows[m]) + ": " + r.message);
    if (!r.ok()) ++out.failed;
    if (after_each) after_each(m + 1);
  }
  return out;
}

double ozone_metric(const OzoneMetric& metric, std::span<const double> time_h, std::span<const double> o3_ppb) {
  const std::size_t n = std::min(time_h.size(), o3_ppb.size());
  switch (metric.kind) {
    case OzoneMetric::Kind::max: {
      if (n == 0) return nan;
      double best = o3_ppb[0];
      for (std::size_t k = 1; k < n; ++k) best = std::max(best, o3_ppb[k]);
      return best;
    }
    case OzoneMetric::Kind::mean8h: {
      const std::size_t w = metric.window;
      if (w == 0 || n < w) return nan;
      double best = -std::numeric_limits<double>::infinity();
      for (std::size_t k = 0; k + w <= n; ++k) {
        double sum = 0.0;
        for (std::size_t j = k; j < k + w; ++j) sum += o3_ppb[j];
        best = std::max(best, sum / static_cast<double>(w));
      }
      return best;
    }
    case OzoneMetric::Kind::hour: {
      const double h = metric.hour;
      for (std::size_t k = 0; k < n; ++k) {
        if (time_h[k] == h) return o3_ppb[k];
        if (k + 1 < n && time_h[k] < h && h < time_h[k + 1])
          return o3_ppb[k] + (o3_ppb[k + 1] - o3_ppb[k]) * ((h - time_h[k]) / (time_h[k + 1] - time_h[k]));
      }
      return nan;
    }
  }
  return nan;
}

double member_ozone(const Isopleths& iso, const MemberResult& r) {
  if (!r.ok()) return nan;
  std::vector<double> o3(r.values.size());
  // Parts per billion as the run's species.csv writes them.
  for (std::size_t k = 0; k < o3.size(); ++k) o3[k] = r.values[k] * ppb;
  return ozone_metric(iso.ozone, r.time_h, o3);
}

std::vector<double> ridge_nox_factors(const Isopleths& iso, const std::vector<double>& o3_ppb) {
  const std::size_t nn = iso.nox.factors.size(), nv = iso.voc.factors.size();
  std::vector<double> ridge(nv, nan);
  for (std::size_t j = 0; j < nv; ++j) {
    double best = -std::numeric_limits<double>::infinity();
    for (std::size_t i = 0; i < nn; ++i)
      if (const double v = o3_ppb.at(i * nv + j); v > best) {
        best = v;
        ridge[j] = iso.nox.factors[i];
      }
  }
  return ridge;
}

void write_isopleths_csv(const fs::path& dir, const Isopleths& iso, const std::vector<double>& o3_ppb) {
  PartialTextFile out(dir / isopleths_csv_name);
  out.create();
  std::string text = "nox_factor,voc_factor,o3_ppb\n";
  char line[96];
  const std::size_t nv = iso.voc.factors.size();
  for (std::size_t m = 0; m < o3_ppb.size(); ++m) {
    std::snprintf(line, sizeof line, "%.17g,%.17g,%.17g\n", iso.nox.factors[m / nv], iso.voc.factors[m % nv],
                  o3_ppb[m]);
    text += line;
  }
  out.write(text);
  out.finish();
}

}  // namespace box::ensemble
