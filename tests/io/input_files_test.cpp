// Reading rules of the input files: each read starts on a new line, takes
// values across lines as needed and discards what is left of its last
// line; values are separated by blanks or a comma; every failure names the
// file, the line and what was expected.
#include <gtest/gtest.h>

#include <memory>
#include <sstream>
#include <string>

#include "common/errors.hpp"
#include "io/free_format_reader.hpp"
#include "io/input_files.hpp"

namespace box {
namespace {

const std::string header = "h1\nh2\nh3\nh4\nh5\nh6\n";
const std::string record1 = "1 2 3 4 5 6 7 8 9 10 11 12 13\n";
const std::string record2 = "21 22 23 24 25 26 27 28 29 30 31 32 33\n";

SiteFile site_file(const std::string& text) {
  SiteFile f(std::make_unique<std::istringstream>(text), "site");
  f.skip_header();
  return f;
}

void expect_record(const SiteRecord& r, double first) {
  EXPECT_EQ(r.timin, first);
  EXPECT_EQ(r.tt, first + 2);
  EXPECT_EQ(r.ozone_read, first + 5);
  EXPECT_EQ(r.observed_radiation, first + 12);
}

// Message of the InputError that `f` throws, or "" if it throws none.
template <class F>
std::string error_of(F&& f) {
  try {
    f();
  } catch (const InputError& e) {
    return e.what();
  }
  return "";
}

TEST(SiteFileReading, RecordSplitOverTwoLinesReadsLikeOneLine) {
  SiteFile f = site_file(header + "1 2 3 4 5 6 7\n8 9 10 11 12 13\n" + record2);
  expect_record(f.next(), 1);
  expect_record(f.next(), 21);
  EXPECT_EQ(f.records_read(), 2);
}

TEST(SiteFileReading, ValuesBeyondThirteenAreDiscarded) {
  SiteFile f = site_file(header + "1 2 3 4 5 6 7 8 9 10 11 12 13 14 15\n" + record2);
  expect_record(f.next(), 1);
  expect_record(f.next(), 21);  // not 14, 15, 21, ...
}

TEST(SiteFileReading, CommasBlanksTabsAndCarriageReturnsSeparate) {
  SiteFile f = site_file(header + "1,2, 3 ,4\t5,6 7 8 9 10 11 12 13\r\n");
  expect_record(f.next(), 1);
}

TEST(SiteFileReading, RealForms) {
  SiteFile f = site_file(header + "1.5 3e2 2.5E-03 1.0d0 -1.5D+2 .5 5. +7 0 0 0 0 0\n");
  const SiteRecord r = f.next();
  EXPECT_EQ(r.timin, 1.5);
  EXPECT_EQ(r.averad, 300.0);
  EXPECT_EQ(r.tt, 2.5e-3);
  EXPECT_EQ(r.pp, 1.0);
  EXPECT_EQ(r.q2, -150.0);
  EXPECT_EQ(r.ozone_read, 0.5);
  EXPECT_EQ(r.no_read, 5.0);
  EXPECT_EQ(r.no2_read, 7.0);
}

// Exponent letters other than e, each with an exponent that is not 0: a
// reader that stopped at the letter would keep only the mantissa.
TEST(SiteFileReading, ExponentLettersDAndUpperCaseWithNonZeroExponents) {
  SiteFile f = site_file(header + "2.5d3 -4D-2 7.d+1 1E1 .5e-1 3d0 0 0 0 0 0 0 0\n");
  const SiteRecord r = f.next();
  EXPECT_EQ(r.timin, 2500.0);
  EXPECT_EQ(r.averad, -0.04);
  EXPECT_EQ(r.tt, 70.0);
  EXPECT_EQ(r.pp, 10.0);
  EXPECT_EQ(r.q2, 0.05);
  EXPECT_EQ(r.ozone_read, 3.0);
}

// A comma opens an empty value when no value precedes it on its line, also
// on a line that continues a record; a comma that closes a line does not.
TEST(SiteFileReading, CommaAtTheStartOfALineIsAnEmptyValue) {
  SiteFile leading = site_file(header + ",1 2 3 4 5 6 7 8 9 10 11 12 13\n");
  EXPECT_EQ(error_of([&] { leading.next(); }),
            "site: line 7: expected a real number (timin), found an empty value");
  SiteFile continued = site_file(header + "1 2 3 4 5 6\n,7 8 9 10 11 12 13\n");
  EXPECT_EQ(error_of([&] { continued.next(); }),
            "site: line 8: expected a real number (no_read), found an empty value");
  SiteFile trailing = site_file(header + "1 2 3 4 5 6,\n7 8 9 10 11 12 13\n");
  expect_record(trailing.next(), 1);
}

TEST(SiteFileReading, MissingValueRunsIntoEndOfFile) {
  SiteFile f = site_file(header + record1 + "1 2 3 4 5 6 7 8 9 10 11 12\n");
  f.next();
  EXPECT_EQ(error_of([&] { f.next(); }),
            "site: line 8: end of file while reading record 2 (13 values expected, 12 read)");
}

TEST(SiteFileReading, ShortHeader) {
  SiteFile f(std::make_unique<std::istringstream>("h1\nh2\nh3\n"), "site");
  EXPECT_EQ(error_of([&] { f.skip_header(); }),
            "site: line 4: end of file in the header (6 header lines expected, 3 found)");
}

TEST(SiteFileReading, NonNumericValuesAreRejected) {
  for (const char* bad : {"abc", "nan", "NaN", "inf", "-Infinity", "1.2.3", "1e", "0x10", "/",
                          ".", "+", "-.e1", "e5", "d2", "1e+", "1d", "2.5e3x", "1-"}) {
    SiteFile f = site_file(header + "1 2 " + bad + " 4 5 6 7 8 9 10 11 12 13\n");
    EXPECT_EQ(error_of([&] { f.next(); }),
              std::string("site: line 7: expected a real number (tt), found \"") + bad + "\"");
  }
}

TEST(SiteFileReading, LongBadValueIsQuotedInPart) {
  const std::string bad = "x" + std::string(44, '7');  // 45 characters
  SiteFile f = site_file(header + "1 2 " + bad + " 4 5 6 7 8 9 10 11 12 13\n");
  EXPECT_EQ(error_of([&] { f.next(); }), "site: line 7: expected a real number (tt), found \"" +
                                             bad.substr(0, 40) + "...\" (45 characters)");
}

TEST(SiteFileReading, OutOfRangeIsRejected) {
  SiteFile f = site_file(header + "1 2 1e999 4 5 6 7 8 9 10 11 12 13\n");
  EXPECT_EQ(error_of([&] { f.next(); }), "site: line 7: value out of range (tt), found \"1e999\"");
}

TEST(SiteFileReading, EmptyValueBetweenCommasIsRejected) {
  SiteFile f = site_file(header + "1 2,,3 4 5 6 7 8 9 10 11 12 13\n");
  EXPECT_EQ(error_of([&] { f.next(); }),
            "site: line 7: expected a real number (tt), found an empty value");
}

// A well-formed parameter file, each read on its own line with a comment
// after its values (left over, so never read).
std::string parameters(const std::string& read9 = "9 40 1 0.01 0.85 3",
                       const std::string& read13 = "0.1 0.2 0.05 0.08 0.45 0.05 0.05 0.4 0.0") {
  return "243 2025 jday iyear\n"
         "40.05 88.37 90.0\n"
         "1\n"
         "2.5 1.25 10 20 0.125\n"
         "3.5 0.08\n"
         "T\n"
         "0.12 0.02\n"
         "0.10 0.05 0.20 0.10\n" +
         read9 + "\n" +
         "1 1\n"
         "0.85 0.0\n"
         "0.97 0.95 1.0\n" +
         read13 + "\n";
}

SiteParameters read_text(const std::string& text) {
  std::istringstream in(text);
  return read_parameters(in, "inputn");
}

TEST(ParameterFile, ReadsAllThirteenReads) {
  const SiteParameters p = read_text(parameters());
  EXPECT_EQ(p.jday, 243);
  EXPECT_EQ(p.iyear, 2025);
  EXPECT_EQ(p.xlat, 40.05);
  EXPECT_EQ(p.xlong, 88.37);
  EXPECT_EQ(p.stdlng, 90.0);
  EXPECT_EQ(p.canopy.levcpy, 20);
  EXPECT_TRUE(p.canopy.stable);
  EXPECT_EQ(p.canopy.kmax, 3);
  EXPECT_EQ(p.canopy.factir, 1.0);
  EXPECT_EQ(p.canopy.rsoil[2], 0.05);
  EXPECT_EQ(p.canopy.rleaf[1], 0.45);
  EXPECT_EQ(p.canopy.tleaf[1], 0.4);
}

TEST(ParameterFile, KmaxTwoTakesSixValues) {
  const SiteParameters p =
      read_text(parameters("9 40 1 0.01 0.85 2", "0.1 0.2 0.3 0.4 0.5 0.6 comment"));
  EXPECT_EQ(p.canopy.rsoil[1], 0.2);
  EXPECT_EQ(p.canopy.rleaf[0], 0.3);
  EXPECT_EQ(p.canopy.rleaf[1], 0.4);
  EXPECT_EQ(p.canopy.tleaf[1], 0.6);
  EXPECT_EQ(p.canopy.rsoil[2], 0.0);
}

TEST(ParameterFile, KmaxTwoWithFiveValuesGoesOnToTheNextLine) {
  const SiteParameters p =
      read_text(parameters("9 40 1 0.01 0.85 2", "0.1 0.2 0.3 0.4 0.5\n0.6 0.7"));
  EXPECT_EQ(p.canopy.tleaf[1], 0.6);
  EXPECT_EQ(error_of([] { read_text(parameters("9 40 1 0.01 0.85 2", "0.1 0.2 0.3 0.4 0.5")); }),
            "inputn: line 13: end of file while reading read 13 (rsoil, rleaf, tleaf) "
            "(6 values expected, 5 read)");
}

TEST(ParameterFile, KmaxAboveThreeIsRejected) {
  EXPECT_EQ(error_of([] { read_text(parameters("9 40 1 0.01 0.85 4")); }),
            "inputn: line 9: kmax is 4, expected 0 to 3 (rsoil, rleaf and tleaf hold 3 values "
            "each)");
  EXPECT_NE(error_of([] { read_text(parameters("9 40 1 0.01 0.85 -1")); }), "");
}

// kmax at the low end of its range: with 0 read 13 takes no values, and a
// read of no values still uses up one line, which must be there.
TEST(ParameterFile, KmaxZeroAndOne) {
  const SiteParameters none = read_text(parameters("9 40 1 0.01 0.85 0", "no values"));
  EXPECT_EQ(none.canopy.kmax, 0);
  EXPECT_EQ(none.canopy.factir, 1.0);
  EXPECT_EQ(none.canopy.rsoil[0], 0.0);
  std::string without_read13 = parameters("9 40 1 0.01 0.85 0", "");
  without_read13.pop_back();  // the empty line 13 goes too
  EXPECT_EQ(error_of([&] { read_text(without_read13); }),
            "inputn: line 13: end of file while reading read 13 (rsoil, rleaf, tleaf) (a line "
            "expected)");
  const SiteParameters one = read_text(parameters("9 40 1 0.01 0.85 1", "0.3 0.6 0.9 0.1"));
  EXPECT_EQ(one.canopy.rsoil[0], 0.3);
  EXPECT_EQ(one.canopy.rleaf[0], 0.6);
  EXPECT_EQ(one.canopy.tleaf[0], 0.9);
  EXPECT_EQ(one.canopy.rsoil[1], 0.0);
}

// Signed integers and the ends of the 32-bit range.
TEST(ParameterFile, SignedIntegersAndTheirRange) {
  std::string text = parameters("9 40 1 0.01 0.85 +2", "0.1 0.2 0.3 0.4 0.5 0.6");
  text.replace(text.find("\n1\n"), 3, "\n-3\n");
  text.replace(text.find("243 2025"), 8, "+243 -2147483648");
  text.replace(text.find("2.5 1.25 10 20"), 14, "2.5 1.25 2147483647 -20");
  const SiteParameters p = read_text(text);
  EXPECT_EQ(p.jday, 243);
  EXPECT_EQ(p.iyear, -2147483647 - 1);
  EXPECT_EQ(p.canopy.isort, -3);
  EXPECT_EQ(p.canopy.levhtr, 2147483647);
  EXPECT_EQ(p.canopy.levcpy, -20);
  EXPECT_EQ(p.canopy.kmax, 2);
  text.replace(text.find("2147483647"), 10, "2147483648");
  EXPECT_EQ(error_of([&] { read_text(text); }),
            "inputn: line 4: value out of range (levhtr), found \"2147483648\"");
}

TEST(ParameterFile, IntegerWithADecimalPointIsRejected) {
  std::string text = parameters();
  text.replace(text.find("243"), 3, "243.");
  EXPECT_EQ(error_of([&] { read_text(text); }),
            "inputn: line 1: expected an integer (jday), found \"243.\"");
}

TEST(ParameterFile, IntegerRange) {
  std::string text = parameters();
  text.replace(text.find("2025"), 4, "99999999999");
  EXPECT_EQ(error_of([&] { read_text(text); }),
            "inputn: line 1: value out of range (iyear), found \"99999999999\"");
  text = parameters();
  text.replace(text.find("2025"), 4, "+-5");
  EXPECT_NE(error_of([&] { read_text(text); }), "");
}

TEST(ParameterFile, LogicalForms) {
  for (const char* t : {"T", "t", ".TRUE.", "true", ".t"}) {
    std::string text = parameters();
    text.replace(text.find("\nT\n"), 3, std::string("\n") + t + "\n");
    EXPECT_TRUE(read_text(text).canopy.stable) << t;
  }
  for (const char* f : {"F", "f", ".F.", ".false.", "false"}) {
    std::string text = parameters();
    text.replace(text.find("\nT\n"), 3, std::string("\n") + f + "\n");
    EXPECT_FALSE(read_text(text).canopy.stable) << f;
  }
  std::string text = parameters();
  text.replace(text.find("\nT\n"), 3, "\n.F.\n");
  text.replace(text.find("\n.F.\n"), 5, "\nyes\n");
  EXPECT_EQ(error_of([&] { read_text(text); }),
            "inputn: line 6: expected a logical T or F (stable), found \"yes\"");
}

TEST(FreeFormatReader, ReadOfNoValuesSkipsALine) {
  std::istringstream in("first line\n7\n");
  FreeFormatReader r(in, "f");
  r.begin("read 1", 0);
  r.begin("read 2", 1);
  EXPECT_EQ(r.integer("n"), 7);
  EXPECT_EQ(r.line(), 2);
}

}  // namespace
}  // namespace box
