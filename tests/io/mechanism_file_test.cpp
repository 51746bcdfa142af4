// The mechanism file reader: every syntax form in one small file, every
// fault with its file, line, column and what was expected, and the two
// shipped MCM subsets.
#include <gtest/gtest.h>

#include <cfenv>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <random>
#include <span>
#include <string>
#include <vector>

#include "common/errors.hpp"
#include "io/mechanism_file.hpp"
#include "mechanism/mechanism_report.hpp"
#include "mechanism/runtime_rates.hpp"

namespace box {
namespace {

const std::string data = std::string(BOXMODEL_SOURCE_DIR) + "/tests/data/mcm/";

TEST(MechanismFile, ReadsEverySyntaxForm) {
  // A byte-order mark, CRLF and LF line ends and a lone CR between two
  // statements, a comment over two lines, two statements on a line, D
  // exponents, names using earlier names, J<n> and J(n), coefficients with
  // and without a space, repeated names, empty products, lower-case
  // functions and variables, a reaction wrapped inside its reactants.
  const std::string text =
      "\xEF\xBB\xBF* a comment\r\n that spans lines ;\r\n"
      "VARIABLE NO NO2 O3 HCHO HO2 CH3O2 Cl2 ;\r"
      "K1 = 1.0D-31*M*(TEMP/300)@-1.6 ; K2 = 2*K1 ;\n"
      "RO2 = CH3O2 ;\n"
      "% K2 : NO + NO = 2 NO2 ;\n"
      "% 3.3D-39*exp(530/temp)*O2 : 2NO = 2.0NO2 ;\n"
      "% J<4> : NO2 = NO + O3 ;  % J(4)*0.5 : NO2 = 0.5 HCHO + 0.5HCHO + HO2 ;\n"
      "% 1.0D-13*RO2 : CH3O2 = ;\n"
      "% 1.0D-12 : NO +\n  O3 = NO2 ;\n"
      "* end ;";
  const Mechanism m = read_mechanism_text(text, "forms.fac");
  ASSERT_EQ(m.species_count(), 7);
  EXPECT_EQ(m.species[6], "Cl2");  // case kept
  EXPECT_EQ(m.find_species("cl2"), 6);
  ASSERT_EQ(m.reaction_count(), 6);
  EXPECT_EQ(m.reactions[0].reactants, (std::vector<int>{0, 0}));
  EXPECT_EQ(m.reactions[1].reactants, (std::vector<int>{0, 0}));
  ASSERT_EQ(m.reactions[1].products.size(), 1u);
  EXPECT_EQ(m.reactions[1].products[0].coefficient, 2.0);
  ASSERT_EQ(m.reactions[3].products.size(), 2u);
  EXPECT_EQ(m.reactions[3].products[0].coefficient, 1.0);  // 0.5 + 0.5 HCHO
  EXPECT_TRUE(m.reactions[4].products.empty());
  EXPECT_EQ(m.equation(3), "NO2 = HCHO + HO2");
  EXPECT_EQ(m.equation(5), "NO + O3 = NO2");
  // Lines as grep counts them: CRLF ends one, the lone CR in a file of line
  // feeds none.
  EXPECT_EQ(m.reactions[0].line, 5);
  EXPECT_EQ(m.reactions[2].line, 7);
  EXPECT_EQ(m.reactions[3].line, 7);
  EXPECT_EQ(m.reactions[5].line, 9);
  EXPECT_EQ(m.photolysis_channels, (std::vector<int>{4}));
  EXPECT_EQ(m.ro2, (std::vector<int>{5}));
  ASSERT_EQ(m.coefficients.size(), 2u);
  EXPECT_EQ(m.coefficients[1].line, 3);
  // A declared species no reaction uses is a warning.
  ASSERT_EQ(m.notes.size(), 1u);
  EXPECT_NE(m.notes[0].find("used by no reaction: Cl2"), std::string::npos);

  RuntimeRates rates(m);
  const double j[] = {8.0e-3};
  rates.set_conditions(MechanismAir{250.0, 2.0e19, 0.0, 800.0, 0.0}, j);
  const double y[] = {0, 0, 0, 0, 0, 4.0e8, 0};
  rates.update_ro2(y);
  const double k1 = 1.0e-31 * 2.0e19 * std::pow(250.0 / 300, -1.6);
  EXPECT_EQ(rates.k()[0], 2 * k1);
  EXPECT_EQ(rates.k()[1], 3.3e-39 * std::exp(530 / 250.0) * (0.2095 * 2.0e19));
  EXPECT_EQ(rates.k()[3], 8.0e-3 * 0.5);
  EXPECT_EQ(rates.k()[4], 1.0e-13 * 4.0e8);

  // Without a VARIABLE section the reactions name the species. A file
  // without any line feed ends its lines with CR.
  const Mechanism free = read_mechanism_text("% 1 : A + B = C ;\r% 1 : C = ;", "free.fac");
  EXPECT_EQ(free.species, (std::vector<std::string>{"A", "B", "C"}));
  EXPECT_NE(free.notes.at(0).find("no VARIABLE section"), std::string::npos);
  EXPECT_EQ(free.reactions.at(1).line, 2);
}

// FACSIMILE takes blanks (spaces, tabs, line ends) between any two tokens:
// each spaced form reads as its compact twin, in every part of a
// statement, with the same species, reactions and rates.
TEST(MechanismFile, BlanksStandBetweenAnyTokens) {
  const struct {
    const char* spaced;
    const char* compact;
  } forms[] = {
      {"% J <15> : A = B ;", "% J<15> : A = B ;"},
      {"% J< 15 > : A = B ;", "% J<15> : A = B ;"},
      {"% J\t(\n15 ) : A = B ;", "% J(15) : A = B ;"},
      {"K = 2.0D-12 ;\n% K * 0.5 : A = B ;", "K = 2.0D-12 ;\n% K*0.5 : A = B ;"},
      {"% 1D-12*EXP( -1000 / TEMP ) : A = B ;", "% 1D-12*EXP(-1000/TEMP) : A = B ;"},
      {"% ( TEMP / 300 ) @ -2 ** 0.5 : A = B ;", "% (TEMP/300)@-2**0.5 : A = B ;"},
      {"% MIN ( 1 , TEMP ) : A = B ;", "% MIN(1,TEMP) : A = B ;"},
      {"K\n = J <15> * EXP( -1000 / TEMP ) ;\n% K : A = B ;", "K=J<15>*EXP(-1000/TEMP);\n% K : A = B ;"},
      {"VARIABLE A B ;\nRO2 = A\n + B ;\n% 1D-12 * RO2 : A = B ;", "VARIABLE A B ;\nRO2=A+B;\n% 1D-12*RO2 : A = B ;"},
      {"%\t1\t:\tA\t+\r\nB =\n 2 C +\t0.5\tD ;", "%1:A+B=2C+0.5D;"},
      {"VARIABLE\n A\t B\r\n\tC ;\n% 1 : A + B = C ;", "VARIABLE A B C;\n% 1 : A + B = C ;"},
  };
  const double j[] = {3.0e-4};
  const double y[] = {2.0e8, 5.0e8, 0.0, 0.0};
  for (const auto& f : forms) {
    SCOPED_TRACE(f.spaced);
    Mechanism m[2];
    try {
      m[0] = read_mechanism_text(f.spaced, "spaced.fac");
      m[1] = read_mechanism_text(f.compact, "compact.fac");
    } catch (const InputError& e) {
      ADD_FAILURE() << e.what();
      continue;
    }
    EXPECT_EQ(m[0].species, m[1].species);
    EXPECT_EQ(m[0].photolysis_channels, m[1].photolysis_channels);
    EXPECT_EQ(m[0].ro2, m[1].ro2);
    ASSERT_EQ(m[0].reaction_count(), 1);
    EXPECT_EQ(m[0].equation(0), m[1].equation(0));
    std::vector<double> k;
    for (const Mechanism& each : m) {
      RuntimeRates rates(each);
      rates.set_conditions(MechanismAir{250.0, 2.0e19, 0.0, 800.0, 0.0},
                           std::span<const double>(j, each.photolysis_channels.size()));
      rates.update_ro2(y);
      k.push_back(rates.k()[0]);
    }
    EXPECT_EQ(k[0], k[1]);
    EXPECT_GT(k[0], 0.0);
  }
}

TEST(MechanismFile, FaultsNameFileLineColumnAndWhatWasExpected) {
  const struct {
    const char* text;
    const char* message;
  } cases[] = {
      {"VARIABLE A ;\n% 1 : A + X = A ;", "bad.fac:2:11: undeclared species `X`"},
      // Stray CRs in a comment end no line in a file of line feeds (grep -n
      // counts the same), nor does a `;` before one end the comment.
      {"* a citation;\rof a\rpaper ;\r\nVARIABLE A ;\n% 1 : A + X = A ;", "bad.fac:3:11: undeclared species `X`"},
      {"VARIABLE A ;\n% 1 : A = A ;\n% J <1 : A = ;", "bad.fac:3:6: expected a channel number and `>` after J"},
      {"VARIABLE A ;\n% 2*KZ : A = ;", "bad.fac:2:5: unknown name `KZ`"},
      {"K1 = 1 ;\nK1 = 2 ;\n% K1 : A = ;", "bad.fac:2:1: the name `K1` is defined twice (first at bad.fac:1:1)"},
      {"VARIABLE A A ;", "bad.fac:1:12: the species `A` is declared twice"},
      {"% (1+2 : A = ;", "bad.fac:1:3: unbalanced parenthesis"},
      {"% 1+2) : A = ;", "bad.fac:1:6: unbalanced parenthesis"},
      {"% 1 : A = B\n% 1 : B = C ;", "bad.fac:1:12: missing `;`"},
      {"K1 = 1\nK2 = 2 ;", "bad.fac:1:7: missing `;`"},
      {"% 1 : A = B", "bad.fac:1:12: missing `;`"},
      {"% 1 : = B ;", "bad.fac:1:7: a reaction without reactants"},
      {"% 1 A = B ;", "bad.fac:1:3: expected `% rate : reactants = products ;`"},
      {"% 1 : A B ;", "bad.fac:1:6: expected `=`"},
      {"% 1 : A = B C ;", "bad.fac:1:13: expected `+`"},
      {"% 1 : 0.5 A = B ;", "bad.fac:1:7: a reactant's coefficient must be a whole number"},
      {"% 1 : 1E300 A = B ;", "bad.fac:1:7: a reactant's coefficient must be a whole number from 1 to 1000"},
      {"% 1 : A = 1D400 B ;", "bad.fac:1:11: coefficient beyond the range of a double"},
      {"% 2*(1.5E999) : A = ;", "bad.fac:1:6: number beyond the range of a double"},
      {"VARIABLE A ;\nRO2 = A + Q + R ;\n% 1 : A = ;", "bad.fac:2:11: the RO2 sum names 2 species that are not species of the mechanism: Q R"},
      {"K2 = K3 ;\nK3 = 1 ;\n% K2 : A = ;", "bad.fac:1:6: `K3` is used before its definition at bad.fac:2:1"},
      {"TEMP = 3 ;", "bad.fac:1:1: `TEMP` is a variable or function"},
      {"hello there ;", "bad.fac:1:1: expected a comment"},
      {"", "bad.fac:1:1: empty file"},
      {" \r\n\t ", "bad.fac:1:1: empty file"},
      {"* only a comment ;", "bad.fac:1:1: empty file"},
      {"VARIABLE A ;", "bad.fac:1:13: no reactions"},
      {"% 1 : A = ;\n\x01\x02", "bad.fac:2:1: not a text file"},
      {"% 1 : A = ;\xff", "bad.fac:1:12: not a text file"},
      {"* an open comment", "bad.fac:1:1: missing `;` at the end of the comment"},
      {"% J<12345678901> : A = ;", "bad.fac:1:5: expected a channel number of at most 6 digits"},
      {"VARIABLE A ;\n% 1 : A = ABCDEFGHIJABCDEFGHIJABCDEFGHIJABCDEFGHIJABCDEFGHIJ ;",
       "bad.fac:2:11: undeclared species `ABCDEFGHIJABCDEFGHIJABCDEFGHIJABCDEFGHIJ...` (expected"},
  };
  // Read with the run's traps on, as a run reads its mechanism: a literal
  // out of the double range must be an error with its place, not a
  // floating-point stop inside the number conversion.
  std::feclearexcept(FE_ALL_EXCEPT);
  feenableexcept(FE_INVALID | FE_DIVBYZERO | FE_OVERFLOW);
  for (const auto& c : cases) {
    try {
      (void)read_mechanism_text(c.text, "bad.fac");
      ADD_FAILURE() << "read: " << c.text;
    } catch (const InputError& e) {
      EXPECT_NE(std::string(e.what()).find(c.message), std::string::npos)
          << "for " << c.text << "\n got " << e.what() << "\n expected " << c.message;
    }
  }
  fedisableexcept(FE_ALL_EXCEPT);
  std::feclearexcept(FE_ALL_EXCEPT);
  // Nesting as deep as a file can make it is refused before it exhausts
  // the stack.
  for (const std::string& deep : {std::string(100000, '(') + "1" + std::string(100000, ')'), std::string(100000, '-') + "1"}) {
    try {
      (void)read_mechanism_text("VARIABLE A ;\nK = " + deep + " ;\n% K : A = ;", "deep.fac");
      ADD_FAILURE() << "deep nesting read";
    } catch (const InputError& e) {
      EXPECT_NE(std::string(e.what()).find("deep.fac:2:"), std::string::npos) << e.what();
      EXPECT_NE(std::string(e.what()).find("nested too deeply"), std::string::npos) << e.what();
    }
  }
  // A directory, and a file that is not there.
  EXPECT_THROW((void)read_mechanism_file(data), InputError);
  try {
    (void)read_mechanism_file(data);
  } catch (const InputError& e) {
    EXPECT_NE(std::string(e.what()).find("is a directory"), std::string::npos) << e.what();
  }
  EXPECT_THROW((void)read_mechanism_file(data + "none.fac"), InputError);
}

// What a user may hand the reader by mistake, as files on disk: each ends
// in one clear line naming the file, quickly, whatever its size.
TEST(MechanismFile, EmptyBinaryAndHugeGarbageFilesEndWithAClearError) {
  const std::filesystem::path dir = std::filesystem::temp_directory_path() /
                                    ("mechanism_garbage_" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()));
  std::filesystem::create_directories(dir);
  const auto write = [&](const std::string& name, const std::string& bytes) {
    std::ofstream(dir / name, std::ios::binary) << bytes;
    return (dir / name).generic_string();
  };
  const auto message = [](const std::string& path) {
    try {
      (void)read_mechanism_file(path);
    } catch (const InputError& e) {
      return std::string(e.what());
    }
    return std::string("read without an error");
  };
  const std::string empty = write("empty.fac", "");
  EXPECT_EQ(message(empty).rfind(empty + ":1:1: empty file", 0), 0u) << message(empty);
  const std::string gzip = write("model.fac.gz", std::string("\x1f\x8b\x08\x00\x00\x00", 6));
  EXPECT_EQ(message(gzip).rfind(gzip + ":1:1: not a text file: byte 0x1f", 0), 0u) << message(gzip);

  // 100 MB of printable garbage, lines of random letters, digits and the
  // format's own signs (`;` `%` `:` `=` `(` `*`), so that the reader gets
  // past the text check and into the statements. Expressions nested far
  // too deep, a name of a megabyte and constants that overflow are among
  // what it may meet; none may crash it, exhaust the stack or take long.
  std::string garbage(100u << 20, ' ');
  std::mt19937_64 random(100);
  const std::string alphabet = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcxyz0123456789 ;%:=+-*/(()@.<>\n";
  std::uniform_int_distribution<std::size_t> pick(0, alphabet.size() - 1);
  for (char& c : garbage) c = alphabet[pick(random)];
  garbage.replace(1000, 200000, std::string(100000, '(') + std::string(100000, '-'));
  garbage.replace(300000, 1u << 20, std::string(1u << 20, 'X'));
  const std::string huge = write("garbage.fac", garbage);
  garbage = std::string();
  const std::string m = message(huge);
  EXPECT_EQ(m.rfind(huge + ":", 0), 0u) << m.substr(0, 200);
  EXPECT_LT(m.size(), 400u) << m.substr(0, 200);
  EXPECT_EQ(m.find('\n'), std::string::npos);
  std::filesystem::remove_all(dir);
}

TEST(MechanismFile, ReadsTheShippedMcmSubsets) {
  const Mechanism methane = read_mechanism_file(data + "mcm331-methane.fac");
  EXPECT_EQ(methane.species_count(), 29);
  EXPECT_EQ(methane.reaction_count(), 71);
  EXPECT_EQ(methane.ro2.size(), 1u);
  EXPECT_EQ(methane.coefficients.size(), 139u);
  // Mixed CR and CRLF line ends; the generic rate coefficients it uses but
  // does not define come from the MCM's own set, with a note.
  const Mechanism isoprene = read_mechanism_file(data + "mcm331-isoprene.fac");
  EXPECT_EQ(isoprene.species_count(), 610);
  EXPECT_EQ(isoprene.reaction_count(), 1974);
  EXPECT_EQ(isoprene.photolysis_channels.size(), 31u);
  EXPECT_EQ(isoprene.equation(10), "NO + NO = 2 NO2");
  EXPECT_EQ(isoprene.reactions[10].line, 141);
  // Its lone CRs between statements end no line: the last reaction is on
  // the line grep -n gives it.
  EXPECT_EQ(isoprene.reactions.back().line, 2104);
  ASSERT_FALSE(isoprene.notes.empty());
  EXPECT_NE(isoprene.notes.back().find("KMT01"), std::string::npos);

  // Both give the same KMT01 (the Troe form of O + NO) at the same air.
  const auto kmt01 = [](const Mechanism& m) {
    RuntimeRates r(m);
    r.set_conditions(MechanismAir{298.0, 2.5e19, 5.0e17, 1013.0, 50.0}, {});
    for (std::size_t c = 0; c < m.coefficients.size(); ++c)
      if (m.coefficients[c].name == "KMT01") return r.coefficients()[c];
    return -1.0;
  };
  EXPECT_EQ(kmt01(methane), kmt01(isoprene));
  // The Troe form worked by hand: k0 = 1.0e-31 M (T/300)^-1.6, kinf = 5.0e-11
  // (T/300)^-0.3, Fc = 0.85, N = 0.75 - 1.27 log10(Fc).
  const double m = 2.5e19, t = 298.0 / 300;
  const double k0 = 1.0e-31 * m * std::pow(t, -1.6), ki = 5.0e-11 * std::pow(t, -0.3);
  const double nc = 0.75 - 1.27 * std::log10(0.85);
  const double f = std::pow(10.0, std::log10(0.85) / (1 + std::pow(std::log10(k0 / ki) / nc, 2.0)));
  EXPECT_EQ(kmt01(methane), (k0 * ki) * f / (k0 + ki));

  const std::string report = mechanism_check_report(methane, MechanismAir{298.0, 2.5e19, 5.0e17, 1013.0, 50.0});
  EXPECT_NE(report.find("species: 29\n"), std::string::npos);
  EXPECT_NE(report.find("RO2 members: 1: CH3O2\n"), std::string::npos);
  EXPECT_NE(report.find("J<1> J<2> J<3>"), std::string::npos);
  EXPECT_NE(report.find("has its reactant OH among its products"), std::string::npos);
  EXPECT_NE(report.find("produced but never lost"), std::string::npos);
}

}  // namespace
}  // namespace box
