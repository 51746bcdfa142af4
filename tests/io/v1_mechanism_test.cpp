// The version-1 configuration reader: the format's own example files and
// the reference solver's configurations read (or refused, where they reach
// beyond a gas-phase box), their rate constants against hand-worked
// numbers in molecules cm-3, and every kind of fault with its place.
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <string>

#include "common/errors.hpp"
#include "io/v1_mechanism.hpp"
#include "mechanism/runtime_rates.hpp"
#include "tests/support/scratch_dir.hpp"

namespace box {
namespace {

namespace fs = std::filesystem;

// The shared material lies beside the repository (a clone in CI too).
fs::path shared() { return fs::path(BOXMODEL_SOURCE_DIR).parent_path() / "shared" / "openatmos"; }

#define NEED_SHARED()                                                        \
  if (!fs::exists(shared() / "spec")) GTEST_SKIP() << "no " << shared().string()

std::string refusal(const fs::path& path) {
  try {
    (void)read_v1_mechanism(path);
  } catch (const InputError& e) {
    return e.what();
  }
  return "(read)";
}

// A rate at TEMP, M (molecules cm-3), PRESS (hPa), with the supplied
// parameters at `parameter`.
double rate(const Mechanism& m, int reaction, double temp, double cm, double parameter = 0.0) {
  const MechanismAir air{temp, cm, 0.0, 1013.25, 0.0};
  const auto a = air_values(air);
  std::vector<double> values;
  for (const NamedCoefficient& c : m.coefficients) values.push_back(c.supplied ? parameter : 0.0);
  return m.reactions[static_cast<std::size_t>(reaction)].rate.evaluate({a.data(), 0.0, nullptr, values.data()});
}

TEST(V1Mechanism, SharedConfigurationsReadAlikeInJsonAndYaml) {
  NEED_SHARED();
  const fs::path mc = shared() / "musica-configs";
  for (const char* name : {"analytical/config", "chapman/config"}) {
    const V1Mechanism j = read_v1_mechanism(mc / (std::string(name) + ".json"));
    const V1Mechanism y = read_v1_mechanism(mc / (std::string(name) + ".yaml"));
    ASSERT_EQ(j.mechanism.species, y.mechanism.species) << name;
    ASSERT_EQ(j.mechanism.reaction_count(), y.mechanism.reaction_count()) << name;
    for (int k = 0; k < j.mechanism.reaction_count(); ++k) {
      EXPECT_EQ(j.mechanism.equation(k), y.mechanism.equation(k)) << name << " R" << k + 1;
      EXPECT_EQ(j.mechanism.reactions[static_cast<std::size_t>(k)].rate_text,
                y.mechanism.reactions[static_cast<std::size_t>(k)].rate_text) << name << " R" << k + 1;
    }
  }
  // Split over files, in both formats: the species are all held (A third
  // body, B constant concentration, C constant mixing ratio).
  const V1Mechanism j = read_v1_mechanism(shared() / "examples/config/json/main.json");
  const V1Mechanism y = read_v1_mechanism(shared() / "examples/config/yaml/main.yaml");
  EXPECT_EQ(j.mechanism.species_count(), 0);
  ASSERT_EQ(j.mechanism.reaction_count(), 6);
  for (int k = 0; k < 6; ++k)
    EXPECT_EQ(j.mechanism.reactions[static_cast<std::size_t>(k)].rate_text,
              y.mechanism.reactions[static_cast<std::size_t>(k)].rate_text);
  ASSERT_EQ(j.species.size(), 3u);
  EXPECT_TRUE(j.species[0].third_body);
  EXPECT_EQ(j.species[1].constant_concentration, 2.5e19);
  EXPECT_EQ(j.species[2].constant_mixing_ratio, 1.0e-6);
  ASSERT_EQ(j.species[0].custom.size(), 2u);  // custom properties kept
  EXPECT_EQ(j.species[0].custom[1].key, "__long name");
  EXPECT_EQ(j.species[0].custom[1].value, "\"ozone\"");
  // 2 A (third body) + 0.1 B (2.5e19 mol m-3): order 2.1, the fractional
  // power of the constant B a number in the rate.
  const double b = 2.5e19 * 6.02214076e17;
  const double a = 3.1 / std::pow(6.02214076e17, 1.1);
  const double t = 280.0, cm = 2.0e19;
  EXPECT_NEAR(rate(j.mechanism, 1, t, cm),
              a * std::exp(12.3 / t) * std::pow(t / 6.4, -0.3) * (1.0 - 0.3 * 101325.0) * cm * cm * std::pow(b, 0.1),
              1e-13 * std::abs(rate(j.mechanism, 1, t, cm)));

  // TS1: 209 species changing, M a third body; 123 photolysis and 19
  // user-defined rates and 13 surface reactions' two aerosol values
  // supplied at run time.
  const V1Mechanism ts1 = read_v1_mechanism(mc / "ts1/ts1.json");
  EXPECT_EQ(ts1.mechanism.species_count(), 209);
  EXPECT_EQ(ts1.mechanism.reaction_count(), 547);
  EXPECT_EQ(ts1.mechanism.coefficients.size(), 123u + 19u + 2u * 13u);
}

TEST(V1Mechanism, OutOfScopeFilesRefusedInOneLine) {
  NEED_SHARED();
  const fs::path ex = shared() / "examples";
  EXPECT_EQ(refusal(ex / "cam_cloud_chemistry.json"),
            (ex / "cam_cloud_chemistry.json").generic_string() +
                ":38: /aerosol representations: the section \"aerosol representations\" (its first entry of type "
                "UNIFORM_SECTION) is outside a gas-phase box model: aerosol representations and processes are not "
                "read (expected species, phases and gas-phase reactions)");
  for (const char* file : {"examples/full_configuration.yaml", "musica-configs/emissions/config.json"})
    EXPECT_NE(refusal(shared() / file).find(": /emissions: the section \"emissions\" is outside a gas-phase box model"),
              std::string::npos) << refusal(shared() / file);

  // The full configuration has every reaction type: without its emission
  // inventories it is refused for its rate given as program code, and
  // without that too it reads.
  testing::ScratchDir dir;
  nlohmann::json full;
  std::ifstream(ex / "full_configuration.json") >> full;
  full.erase("emissions");
  // The surface reaction's species needs its molecular weight and
  // diffusion coefficient, which the example leaves out.
  full["species"][0]["molecular weight [kg mol-1]"] = 0.1;
  full["phases"][0]["species"][0]["diffusion coefficient [m2 s-1]"] = 1e-5;
  std::ofstream(dir.dir() / "full.json") << full.dump(2);
  EXPECT_EQ(refusal(dir.dir() / "full.json"),
            (dir.dir() / "full.json").generic_string() +
                ":293: /reactions/12: the reaction \"my lambda rate constant\" of type LAMBDA_RATE_CONSTANT (a rate "
                "given as program code) is outside a gas-phase box model (expected one of the gas-phase types)");
  full["reactions"].erase(12);
  std::ofstream(dir.dir() / "full.json") << full.dump(2);
  const V1Mechanism m = read_v1_mechanism(dir.dir() / "full.json");
  ASSERT_EQ(m.reactions.size(), 12u);
  EXPECT_EQ(m.mechanism.reaction_count(), 13);  // the branched one is two
  // The emission of B, held at a constant concentration: a reaction with
  // neither reactants nor products that change, named EMIS.<name>,
  // supplied in mol m-3 s-1 and scaled by 12.3 into molecules cm-3 s-1.
  const NamedCoefficient& emis = m.mechanism.coefficients[0];
  EXPECT_EQ(emis.name, "EMIS.my emission");
  EXPECT_TRUE(emis.supplied);
  EXPECT_EQ(rate(m.mechanism, 0, 298.0, 2.5e19), 0.0);  // 0 until supplied
  EXPECT_EQ(rate(m.mechanism, 0, 298.0, 2.5e19, 2.0), 12.3 * 6.02214076e17 * 2.0);
  EXPECT_EQ(m.mechanism.reactions[0].rate_text, "7.4072331348e+18*{EMIS.my emission}");
  // The surface reaction of A, with the aerosol's radius and number both
  // 2: 4 N pi r^2 / (r / D_g + 4 / (v gamma)), v = sqrt(8 R T / (pi MW)).
  EXPECT_EQ(m.mechanism.coefficients[3].name, "SURF.my surface.effective radius [m]");
  EXPECT_EQ(m.mechanism.coefficients[4].name, "SURF.my surface.particle number concentration [# m-3]");
  const double v = std::sqrt(8.0 * 8.31446261815324 * 298.0 / (M_PI * 0.1));
  EXPECT_NEAR(rate(m.mechanism, 3, 298.0, 2.5e19, 2.0), 4.0 * 2.0 * M_PI * 4.0 / (2.0 / 1e-5 + 4.0 / (v * 2.0e-2)),
              1e-15 * rate(m.mechanism, 3, 298.0, 2.5e19, 2.0));
  EXPECT_EQ(m.mechanism.equation(3), "A =");  // B and C are held
}

TEST(V1Mechanism, RateConstantsInMoleculesCm3ByOrder) {
  NEED_SHARED();
  const fs::path mc = shared() / "musica-configs";
  // First order: A = 4e-3 s-1 whatever the units of concentration.
  const Mechanism a = read_v1_mechanism(mc / "analytical/config.json").mechanism;
  EXPECT_EQ(a.reactions[0].rate.constant(), 4.0e-3);
  EXPECT_EQ(a.reactions[1].rate.constant(), 4.0e-3);

  // Chapman. Second order, O1D + N2: A = 12947602.634 m3 mol-1 s-1 is
  // 12947602.634 / 6.02214076e17 = 2.15e-11 cm3 s-1. Third order, O + O2 +
  // M: 217.59707599952029 m6 mol-2 s-1 / (6.02214076e17)^2 = 6.0e-34 cm6
  // s-1, with M the air's density.
  const Mechanism c = read_v1_mechanism(mc / "chapman/config.yaml").mechanism;
  const double t = 250.0, cm = 3.0e18;
  EXPECT_EQ(rate(c, 0, t, cm), 2.15e-11 * std::exp(109.94829243348597 / t));
  EXPECT_NEAR(rate(c, 3, t, cm), 6.0e-34 * std::pow(t / 300.0, -2.4) * cm, 4e-16 * rate(c, 3, t, cm));
  EXPECT_EQ(c.equation(3), "O + O2 = O3");  // M is the air, not a species
  EXPECT_EQ(c.reactions[4].rate_text, "{PHOTO.jo2_b}");

  // Troe, TS1's C2H2 + OH: k0 = 1994639.8633289358 m6 mol-2 s-1 is 5.5e-30
  // cm6 s-1 (order n + 1 = 3), k_inf = 499837.68308 m3 mol-1 s-1 is
  // 8.3e-13 (T/300)^2 cm3 s-1 (order 2); F_C = 0.6, N = 1.
  const Mechanism ts1 = read_v1_mechanism(mc / "ts1/ts1.json").mechanism;
  int troe = -1;
  for (int k = 0; k < ts1.reaction_count(); ++k)
    if (ts1.equation(k).rfind("C2H2 + OH =", 0) == 0) troe = k;
  ASSERT_GE(troe, 0);
  const double k0 = 5.5e-30 * cm, kinf = 8.3e-13 * std::pow(t / 300.0, 2.0);
  const double x = std::log10(k0 / kinf);
  EXPECT_NEAR(rate(ts1, troe, t, cm), k0 / (1.0 + k0 / kinf) * std::pow(0.6, 1.0 / (1.0 + x * x)),
              1e-14 * rate(ts1, troe, t, cm));
}

// A supplied parameter reaches the rates that use it when set (times the
// scaling factor), and setting it evaluates those rates alone: not the
// parameter itself, not the rates of the air, nothing when it is unchanged.
TEST(V1Mechanism, SuppliedParametersReachOnlyTheRatesThatUseThem) {
  testing::ScratchDir dir;
  std::ofstream(dir.dir() / "p.yaml")
      << "version: 1.0.0\nspecies: [{name: A}, {name: B}]\nphases: [{name: gas, species: [A, B]}]\nreactions:\n"
         "  - {type: PHOTOLYSIS, name: jA, gas phase: gas, scaling factor: 2.0, reactants: [{species name: A}],\n"
         "     products: [{species name: B}]}\n"
         "  - {type: ARRHENIUS, gas phase: gas, A: 1.0e-3, C: -300.0, reactants: [{species name: B}],\n"
         "     products: [{species name: A}]}\n";
  const Mechanism m = read_v1_mechanism(dir.dir() / "p.yaml").mechanism;
  ASSERT_EQ(m.coefficients.size(), 1u);
  ASSERT_TRUE(m.coefficients[0].supplied);
  RuntimeRates rates(m);
  rates.set_conditions(dry_air(290.0, 2.4e19), {});
  EXPECT_EQ(rates.k()[0], 0.0);  // unset
  const double arrhenius = rates.k()[1];
  const long long before = rates.evaluations();
  const std::pair<int, double> j{0, 3.0e-4};
  rates.set_parameters({&j, 1});
  EXPECT_EQ(rates.k()[0], 6.0e-4);
  EXPECT_EQ(rates.coefficients()[0], 3.0e-4);
  EXPECT_EQ(rates.evaluations(), before + 1);
  rates.set_parameters({&j, 1});
  EXPECT_EQ(rates.evaluations(), before + 1);
  rates.set_conditions(dry_air(300.0, 2.4e19), {});
  EXPECT_EQ(rates.evaluations(), before + 2);
  EXPECT_EQ(rates.k()[0], 6.0e-4);
  EXPECT_NE(rates.k()[1], arrhenius);
  const std::pair<int, double> bad{1, 1.0};
  EXPECT_THROW(rates.set_parameters({&bad, 1}), std::invalid_argument);
}

class V1Faults : public ::testing::Test {
 protected:
  // The message reading `text` as `name` gives.
  std::string fault(const std::string& name, const std::string& text) {
    std::ofstream(dir_.dir() / name) << text;
    return refusal(dir_.dir() / name).substr((dir_.dir() / name).generic_string().size());
  }
  testing::ScratchDir dir_;
};

const std::string species_ab = R"("species": [{"name": "A"}, {"name": "B"}],
  "phases": [{"name": "gas", "species": ["A", "B"]}],
)";
std::string one_reaction(const std::string& reaction) {
  return "{\n  \"version\": \"1.0.0\",\n  " + species_ab + "  \"reactions\": [\n    " + reaction + "\n  ]\n}\n";
}

TEST_F(V1Faults, EachNamesTheFileThePlaceAndWhatWasExpected) {
  const std::string ab = R"("reactants": [{"species name": "A"}], "products": [{"species name": "B"}])";
  EXPECT_EQ(fault("dup.json", "{\"version\": \"1.0.0\", \"species\": [{\"name\": \"A\"},\n{\"name\": \"A\"}], "
                              "\"phases\": [], \"reactions\": []}"),
            ":2: /species/1/name: the species \"A\" is defined twice (first at " +
                (dir_.dir() / "dup.json").generic_string() + ":1: /species/0)");
  EXPECT_EQ(fault("phase.yaml", "version: 1.0.0\nspecies: [{name: A}]\nphases:\n  - name: gas\n    species: [A]\n"
                                "  - name: gas\n    species: [A]\nreactions: []\n"),
            ":6: /phases/1/name: the phase \"gas\" is defined twice (first at " +
                (dir_.dir() / "phase.yaml").generic_string() + ":4: /phases/0)");
  EXPECT_EQ(fault("unknown.json", one_reaction(R"({"type": "ARRHENIUS", "gas phase": "gas",
      "reactants": [{"species name": "AA"}], "products": []})")),
            ":7: /reactions/0/reactants/0: unknown species \"AA\" (expected a species of the top-level list "
            "\"species\"; did you mean A?)");
  EXPECT_EQ(fault("missing.json", one_reaction(R"({"type": "ARRHENIUS", )" + ab + "}")),
            ":6: /reactions/0: missing required key \"gas phase\" (the name of the phase the reaction takes place in)");
  EXPECT_EQ(fault("key.yaml", "version: 1.0.0\nspecies:\n  - name: A\n    molecular weight: 0.1\nphases: []\n"
                              "reactions: []\n"),
            ":4: /species/0/molecular weight: unknown key \"molecular weight\" in a species (expected \"name\", "
            "\"molecular weight [kg mol-1]\", \"constant concentration [mol m-3]\", \"constant mixing ratio [mol "
            "mol-1]\", \"is third body\", or a custom property starting with __; did you mean molecular weight [kg "
            "mol-1]?)");
  EXPECT_EQ(fault("type.json", one_reaction(R"({"type": "ARRHENIOUS", "gas phase": "gas", )" + ab + "}")),
            ":6: /reactions/0/type: unknown reaction type \"ARRHENIOUS\" (expected ARRHENIUS, BRANCHED_NO_RO2, "
            "EMISSION, FIRST_ORDER_LOSS, PHOTOLYSIS, SURFACE, TAYLOR_SERIES, TERNARY_CHEMICAL_ACTIVATION, TROE, "
            "TUNNELING, USER_DEFINED; did you mean ARRHENIUS?)");
  EXPECT_EQ(fault("scope.json", one_reaction(R"({"type": "SIMPOL_PHASE_TRANSFER", "name": "s"})")),
            ":6: /reactions/0: the reaction \"s\" of type SIMPOL_PHASE_TRANSFER (a gas-aerosol phase transfer) is "
            "outside a gas-phase box model (expected one of the gas-phase types)");
  EXPECT_EQ(fault("both.json", one_reaction(R"({"type": "ARRHENIUS", "gas phase": "gas", "Ea": 1e-20, "C": 3, )" + ab + "}")),
            ":6: /reactions/0: both \"Ea\" and \"C\" are given (expected one of them: C = -Ea/k_B)");
  EXPECT_EQ(fault("twice.json", "{\"version\": \"1.0.0\",\n \"version\": \"1.0.0\"}"),
            ":2: : the key \"version\" is given twice in this object (expected each key once)");
  EXPECT_EQ(fault("syntax.json", "{\"version\": \"1.0.0\",\n \"species\": [}\n"),
            ":2:14: not valid JSON: syntax error while parsing value - unexpected '}'; expected '[', '{', or a literal");
  EXPECT_EQ(fault("order.json", one_reaction(R"({"type": "ARRHENIUS", "gas phase": "gas",
      "reactants": [{"species name": "A", "coefficient": 1.5}], "products": []})")),
            ":7: /reactions/0/reactants/0/coefficient: a reactant coefficient of 1.5 for \"A\", which changes "
            "(expected a whole number from 1 to 1000; a fractional power [X]^c is read only for a species held "
            "constant: constant concentration, constant mixing ratio or third body)");
  EXPECT_EQ(fault("files.json", "{\"version\": \"1.0.0\", \"species\": {\"files\": [\"s.json\"]}}"),
            ":1: /species: a list of files needs version 1.1.0 or later (the file says \"1.0.0\")");
  EXPECT_EQ(fault("photo.json", one_reaction(R"({"type": "PHOTOLYSIS", "gas phase": "gas", )" + ab + "}")),
            ":6: /reactions/0: missing required key \"name\" (a PHOTOLYSIS rate is supplied at run time by the "
            "reaction's name)");
  EXPECT_EQ(fault("range.json", one_reaction(R"({"type": "ARRHENIUS", "gas phase": "gas", "A": 1e300,
      "reactants": [], "products": [{"species name": "B"}]})")),
            ":6: /reactions/0: a rate parameter, in molecules cm-3, is beyond the range of a double (about 1.8e308)");
  // A file of a list: its own name and line.
  std::ofstream(dir_.dir() / "s.yaml") << "- name: A\n- name: B\n  is third body: yes\n";
  std::ofstream(dir_.dir() / "main.yaml") << "version: 1.1.0\nspecies: {files: [s.yaml]}\nphases: []\nreactions: []\n";
  const std::string s = refusal(dir_.dir() / "main.yaml");
  EXPECT_EQ(s, (dir_.dir() / "s.yaml").generic_string() +
                   ":3: /1/is third body: expected true or false, found the text \"yes\"") << s;
}

}  // namespace
}  // namespace box
