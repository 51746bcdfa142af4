// Faults injected into whole runs of the boxmodel program: unreadable,
// empty, truncated and binary inputs, values no instrument could have
// recorded, and outputs that cannot be created or stop taking bytes part of
// the way through the day. Every run must end with a non-zero status and a
// clear message, and whatever it wrote before the fault must be exactly
// what a clean run writes up to that point.
//
// The runs are started with fork and exec rather than a shell, so a test
// can hand the program any standard output, a file-size limit and a time
// limit (a hang ends in SIGALRM and fails the test).
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <streambuf>
#include <string>
#include <vector>

#include "common/errors.hpp"
#include "io/free_format_reader.hpp"
#include "tests/support/example_copy.hpp"

namespace {

namespace fs = std::filesystem;

const fs::path example_inputs = fs::path(BOXMODEL_SOURCE_DIR) / "examples" / "day";
const std::string parameters = "inputn";
const std::string site = "ValuesAtSite_extractedFromWRFchemAug31.txt_test";
const std::string table = "TS_species.txt";
constexpr unsigned run_time_limit_s = 60;  // a whole day takes a few seconds at most

std::string slurp(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

// The first `count` lines of `text`, each with its newline.
std::string first_lines(const std::string& text, std::size_t count) {
  std::size_t end = 0;
  for (std::size_t i = 0; i < count; ++i) {
    end = text.find('\n', end);
    if (end == std::string::npos) return text;
    ++end;
  }
  return text.substr(0, end);
}

std::size_t line_count(const std::string& text) {
  return static_cast<std::size_t>(std::count(text.begin(), text.end(), '\n'));
}

bool starts_with(const std::string& text, const std::string& prefix) {
  return text.compare(0, prefix.size(), prefix) == 0;
}

// Messages are for people: printable ASCII lines only.
bool printable_lines(const std::string& text) {
  return std::all_of(text.begin(), text.end(), [](char c) {
    return c == '\n' || (c >= 0x20 && c < 0x7f);
  });
}

struct Outcome {
  int status = -1;  // exit status, or -1 if the program was killed
  int signal = 0;   // the killing signal
  std::string err;  // standard error
};

std::ostream& operator<<(std::ostream& os, const Outcome& o) {
  return os << "status " << o.status << ", signal " << o.signal << ", stderr:\n" << o.err;
}

struct RunOptions {
  std::string stdout_path = "stdout.txt";  // relative to the run directory
  rlim_t file_size_limit = RLIM_INFINITY;  // bytes
};

// A scratch directory with the example day's inputs and a way to run the
// program in it.
class RunDirectory {
 public:
  fs::path path(const std::string& name) const { return dir_ / name; }
  const fs::path& dir() const { return dir_; }
  std::string read(const std::string& name) const { return slurp(path(name)); }
  void write(const std::string& name, const std::string& bytes) const {
    std::ofstream(path(name), std::ios::binary | std::ios::trunc) << bytes;
  }
  // Replaces the first occurrence of `from` in an input file.
  void replace(const std::string& name, const std::string& from, const std::string& to) const {
    std::string text = read(name);
    const std::size_t at = text.find(from);
    if (at == std::string::npos) throw std::runtime_error(from + " not in " + name);
    write(name, text.replace(at, from.size(), to));
  }

  Outcome run(const RunOptions& options = {}) const {
    const pid_t child = ::fork();
    if (child < 0) throw std::runtime_error("fork failed");
    if (child == 0) {
      // Only async-signal-safe calls from here to exec.
      if (::chdir(dir_.c_str()) != 0) ::_exit(126);
      const int out = ::open(options.stdout_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
      const int err = ::open("stderr.txt", O_WRONLY | O_CREAT | O_TRUNC, 0644);
      if (out < 0 || err < 0 || ::dup2(out, STDOUT_FILENO) < 0 || ::dup2(err, STDERR_FILENO) < 0)
        ::_exit(126);
      const rlimit limit{options.file_size_limit, options.file_size_limit};
      if (::setrlimit(RLIMIT_FSIZE, &limit) != 0) ::_exit(126);
      ::alarm(run_time_limit_s);  // survives exec: a hang is killed by SIGALRM
      ::execl(BOXMODEL_EXE, "boxmodel", static_cast<char*>(nullptr));
      ::_exit(127);
    }
    int status = 0;
    if (::waitpid(child, &status, 0) != child) throw std::runtime_error("waitpid failed");
    Outcome o;
    if (WIFEXITED(status)) o.status = WEXITSTATUS(status);
    if (WIFSIGNALED(status)) o.signal = WTERMSIG(status);
    // stderr.txt may be unreachable when the test took the directory's
    // permissions away; give them back first.
    std::error_code ignored;
    fs::permissions(dir_, fs::perms::owner_all, fs::perm_options::add, ignored);
    o.err = read("stderr.txt");
    return o;
  }

 private:
  box::testing::ExampleCopy example_;
  const fs::path& dir_ = example_.dir();
};

// What a clean run of the example day writes, to compare against the rows
// and lines a faulty run leaves behind.
struct CleanRun {
  std::string table;
  std::string out;
};

const CleanRun& clean_run() {
  static const CleanRun clean = [] {
    RunDirectory d;
    const Outcome o = d.run();
    if (o.status != 0) throw std::runtime_error("the clean example run failed");
    return CleanRun{d.read(table), d.read("stdout.txt")};
  }();
  return clean;
}

bool running_as_root() { return ::geteuid() == 0; }

// The table written before a fault: the header and the first `rows` rows of
// a clean run, byte for byte.
void expect_clean_table_rows(const RunDirectory& d, std::size_t rows) {
  EXPECT_EQ(d.read(table), first_lines(clean_run().table, 1 + rows));
}

// Site records start at line 7; record n (from 1) is line 6 + n.
std::string site_line(std::size_t record) {
  std::istringstream in(slurp(example_inputs / site));
  std::string line;
  for (std::size_t i = 0; i < 6 + record; ++i) std::getline(in, line);
  return line;
}

// Replaces field `field` (from 1) of site record `record`.
void set_site_field(const RunDirectory& d, std::size_t record, std::size_t field,
                    const std::string& value) {
  std::istringstream in(site_line(record));
  std::vector<std::string> fields;
  for (std::string f; in >> f;) fields.push_back(f);
  fields.at(field - 1) = value;
  std::string line;
  for (const std::string& f : fields) line += " " + f;
  d.replace(site, site_line(record), line);
}

// ---- Inputs that cannot be read --------------------------------------------

TEST(UnreadableInput, PermissionDenied) {
  if (running_as_root()) GTEST_SKIP() << "root reads files whatever their permissions";
  for (const std::string& name : {parameters, site}) {
    RunDirectory d;
    fs::permissions(d.path(name), fs::perms::none);
    const Outcome o = d.run();
    EXPECT_EQ(o.status, box::exit_input_error) << o;
    EXPECT_EQ(o.err, "boxmodel: " + name + ": cannot open the input file: Permission denied\n");
  }
}

TEST(UnreadableInput, DirectoryInPlaceOfTheFile) {
  for (const std::string& name : {parameters, site}) {
    RunDirectory d;
    fs::remove(d.path(name));
    fs::create_directory(d.path(name));
    const Outcome o = d.run();
    EXPECT_EQ(o.status, box::exit_input_error) << o;
    EXPECT_EQ(o.err, "boxmodel: " + name + ": cannot open the input file: Is a directory\n");
  }
}

// A read that fails half-way through a file (a disk error) is a read
// error, not an end of file.
TEST(UnreadableInput, ReadErrorIsNotReportedAsEndOfFile) {
  // Hands out one line, then fails as a broken disk would.
  class FailingBuffer : public std::streambuf {
   public:
    FailingBuffer() { setg(line_, line_, line_ + sizeof line_ - 1); }

   protected:
    int_type underflow() override { throw std::ios_base::failure("input/output error"); }

   private:
    char line_[5] = "1 2\n";
  };
  FailingBuffer buffer;
  std::istream in(&buffer);
  box::FreeFormatReader reader(in, "inputn");
  reader.begin("read 1", 1);
  EXPECT_EQ(reader.integer("jday"), 1);
  try {
    reader.begin("read 2", 1);
    reader.real("xlat");
    ADD_FAILURE() << "no error";
  } catch (const box::InputError& e) {
    EXPECT_STREQ(e.what(), "inputn: line 2: the file could not be read (read error)");
  }
}

// ---- Empty and truncated inputs -----------------------------------------------

TEST(TruncatedInput, EmptyFiles) {
  {
    RunDirectory d;
    d.write(parameters, "");
    const Outcome o = d.run();
    EXPECT_EQ(o.status, box::exit_input_error) << o;
    EXPECT_EQ(o.err,
              "boxmodel: inputn: line 1: end of file while reading read 1 (jday, iyear) "
              "(2 values expected, 0 read)\n");
  }
  {
    RunDirectory d;
    d.write(site, "");
    const Outcome o = d.run();
    EXPECT_EQ(o.status, box::exit_input_error) << o;
    EXPECT_EQ(o.err, "boxmodel: " + site +
                         ": line 1: end of file in the header (6 header lines expected, 0 found)\n");
  }
  {
    // A header and no record: the table is created but holds nothing.
    RunDirectory d;
    d.write(site, first_lines(slurp(example_inputs / site), 6));
    const Outcome o = d.run();
    EXPECT_EQ(o.status, box::exit_input_error) << o;
    EXPECT_TRUE(starts_with(o.err, "boxmodel: " + site +
                                       ": line 7: end of file while reading record 1 "))
        << o;
    EXPECT_EQ(d.read(table), "");
  }
}

// Every cut of "inputn" before its last value, wherever it falls (inside a
// number, between values, at a line end), is an input error that names the
// file and a line, and the run writes no table. (A cut inside the last
// value leaves a shorter number, which is a valid file.)
TEST(TruncatedInput, ParameterFileCutAnywhere) {
  const std::string whole = slurp(example_inputs / parameters);
  // The last value needed is the final tleaf, "0.00" on the last line.
  const std::size_t last_value = whole.rfind("0.00");
  for (std::size_t cut = 0; cut <= last_value; cut += 5) {
    RunDirectory d;
    d.write(parameters, whole.substr(0, cut));
    const Outcome o = d.run();
    ASSERT_EQ(o.status, box::exit_input_error) << "cut at " << cut << ": " << o;
    EXPECT_TRUE(starts_with(o.err, "boxmodel: inputn: line ")) << o;
    EXPECT_EQ(line_count(o.err), 1u) << o;
    EXPECT_FALSE(fs::exists(d.path(table)));
  }
}

// The site file ends inside record 5, in the middle of a number and with no
// final newline: the four rows before it stay as a clean run wrote them.
TEST(TruncatedInput, SiteFileCutInsideARecord) {
  RunDirectory d;
  const std::string whole = d.read(site);
  const std::size_t record5 = whole.find(site_line(5));
  d.write(site, whole.substr(0, record5 + site_line(5).find("98") + 3));
  const Outcome o = d.run();
  EXPECT_EQ(o.status, box::exit_input_error) << o;
  EXPECT_EQ(o.err, "boxmodel: " + site +
                       ": line 11: end of file while reading record 5 (13 values expected, 4 "
                       "read)\nboxmodel: the run stopped in step 49 of 204, after 48 completed "
                       "steps\n");
  expect_clean_table_rows(d, 4);
  const std::string out = d.read("stdout.txt");
  EXPECT_EQ(out, first_lines(clean_run().out, line_count(out)));
}

// ---- Garbage bytes --------------------------------------------------------------

// Control characters, a NUL and bytes above ASCII inside a record: the
// message shows them escaped, and is neither cut at the NUL nor a terminal
// control sequence.
TEST(GarbageInput, BinaryBytesInASiteRecord) {
  RunDirectory d;
  set_site_field(d, 3, 4, std::string("\x1b[2J\0\xff\x7f", 7));
  const Outcome o = d.run();
  EXPECT_EQ(o.status, box::exit_input_error) << o;
  EXPECT_EQ(o.err, "boxmodel: " + site +
                       ": line 9: expected a real number (pp), found \"\\x1b[2J\\x00\\xff\\x7f\"\n"
                       "boxmodel: the run stopped in step 25 of 204, after 24 completed steps\n");
  expect_clean_table_rows(d, 2);
}

// Random bytes in place of each input file (the same bytes every time).
TEST(GarbageInput, RandomBytesInPlaceOfEachInput) {
  std::uint64_t state = 0x9e3779b97f4a7c15u;
  std::string bytes(4096, '\0');
  for (char& c : bytes) {
    state = state * 6364136223846793005u + 1442695040888963407u;
    c = static_cast<char>(state >> 56);
  }
  // A long run of one byte: the message quotes only the start of it.
  const std::string long_token(100000, '7');
  for (const std::string& name : {parameters, site}) {
    for (const std::string& garbage : {bytes, "1 x" + long_token + "\n"}) {
      RunDirectory d;
      d.write(name, name == site ? std::string(6, '\n') + garbage : garbage);
      const Outcome o = d.run();
      EXPECT_EQ(o.status, box::exit_input_error) << o;
      EXPECT_TRUE(starts_with(o.err, "boxmodel: " + name + ": line ")) << o;
      EXPECT_TRUE(printable_lines(o.err)) << o;
      EXPECT_LT(o.err.size(), 400u) << o;
    }
  }
}

// ---- Values no instrument could have recorded ------------------------------------

// Not-a-number, infinities and values beyond the double range are input
// errors wherever they stand in a record.
TEST(BadValues, NotANumberAndInfinityInASiteRecord) {
  struct Case {
    std::size_t field;
    const char* name;
    const char* value;
  };
  for (const Case& c : {Case{1, "timin", "nan"}, Case{3, "tt", "inf"}, Case{4, "pp", "-Infinity"},
                        Case{13, "averad_obs_aug26", "1e999"}, Case{3, "tt", "NaN"}}) {
    RunDirectory d;
    set_site_field(d, 4, c.field, c.value);
    const Outcome o = d.run();
    EXPECT_EQ(o.status, box::exit_input_error) << o;
    EXPECT_NE(o.err.find(site + ": line 10: "), std::string::npos) << o;
    EXPECT_NE(o.err.find(std::string("(") + c.name + "), found \"" + c.value + "\""),
              std::string::npos)
        << o;
    expect_clean_table_rows(d, 3);
  }
}

// Physically absurd but finite values from record 4 on. Whatever the
// chemistry makes of them, the run either completes with finite numbers
// everywhere, or stops on the floating-point trap with its message and
// status; it never hangs, never dies otherwise and never prints a NaN or an
// infinity. The three rows before stay as a clean run wrote them.
TEST(BadValues, AbsurdValuesEndInAFiniteRunOrTheFloatingPointStop) {
  struct Case {
    std::size_t field;
    const char* value;
  };
  // tt: far below absolute zero, a denormal (read as zero by the arithmetic,
  // so a division by zero), tiny and huge; pp: zero, negative, huge;
  // the radiation of the clear-sky ratio and the time stamp beyond any
  // printed field.
  const Case cases[] = {{3, "-273.15"}, {3, "1e-310"}, {3, "1e-300"}, {3, "1e300"},
                        {4, "0"},       {4, "-98950"}, {4, "1e300"},  {13, "1e308"},
                        {1, "-1e300"}};
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string("field ") + std::to_string(c.field) + " = " + c.value);
    RunDirectory d;
    for (std::size_t record = 4; record <= 17; ++record) set_site_field(d, record, c.field, c.value);
    const Outcome o = d.run();
    ASSERT_EQ(o.signal, 0) << o;
    if (o.status == 0) {
      EXPECT_EQ(o.err, "");
      for (const std::string& text : {d.read(table), d.read("stdout.txt")})
        for (const char* word : {"nan", "NaN", "inf", "Inf"})
          EXPECT_EQ(text.find(word), std::string::npos) << word;
    } else {
      EXPECT_EQ(o.status, box::exit_fp_trap) << o;
      EXPECT_TRUE(starts_with(o.err, "boxmodel: floating-point exception: ")) << o;
      EXPECT_EQ(line_count(o.err), 1u) << o;
    }
    EXPECT_EQ(first_lines(d.read(table), 4), first_lines(clean_run().table, 4));
  }
}

// A denormal temperature is read as zero by the arithmetic: the air
// density divides by zero before any chemistry runs.
TEST(BadValues, DenormalTemperatureStopsOnTheDivisionByZero) {
  RunDirectory d;
  set_site_field(d, 2, 3, "1e-310");
  const Outcome o = d.run();
  EXPECT_EQ(o.status, box::exit_fp_trap) << o;
  EXPECT_EQ(o.err, "boxmodel: floating-point exception: division by zero; the run is stopped\n");
  expect_clean_table_rows(d, 2);
}

// ---- Outputs that fail ----------------------------------------------------------

TEST(OutputFaults, DirectoryNotWritable) {
  if (running_as_root()) GTEST_SKIP() << "root writes into any directory";
  RunDirectory d;
  // Standard output and standard error are opened before the permissions go.
  RunOptions options;
  options.stdout_path = "/dev/null";
  d.write("stderr.txt", "");  // created while the directory can still take it
  fs::permissions(d.dir(), fs::perms::owner_read | fs::perms::owner_exec);
  const Outcome o = d.run(options);
  EXPECT_EQ(o.status, box::exit_output_error) << o;
  EXPECT_EQ(o.err, "boxmodel: TS_species.txt: cannot create the file: Permission denied\n");
}

TEST(OutputFaults, SpeciesTableIsADirectory) {
  RunDirectory d;
  fs::create_directory(d.path(table));
  const Outcome o = d.run();
  EXPECT_EQ(o.status, box::exit_output_error) << o;
  EXPECT_EQ(o.err, "boxmodel: TS_species.txt: cannot create the file: Is a directory\n");
  // The start-up lines went out before the table was due.
  EXPECT_EQ(d.read("stdout.txt"), first_lines(clean_run().out, 3));
}

// A file-size limit that the species table reaches after five rows: the
// sixth cannot be written, the run stops with a write error, and the
// header and five rows are those of a clean run.
TEST(OutputFaults, SpeciesTableStopsTakingBytes) {
  const std::string header_and_five = first_lines(clean_run().table, 6);
  RunDirectory d;
  RunOptions options;
  options.stdout_path = "/dev/null";  // devices are not limited
  options.file_size_limit = header_and_five.size();
  const Outcome o = d.run(options);
  EXPECT_EQ(o.status, box::exit_output_error) << o;
  EXPECT_EQ(o.err,
            "boxmodel: TS_species.txt: write failed: File too large\n"
            "boxmodel: the run stopped in step 61 of 204, after 60 completed steps\n");
  EXPECT_EQ(d.read(table), header_and_five);
}

// Standard output into a file that reaches its size limit part of the way
// through a line: what reached the file is a prefix of a clean run's
// output, and the table holds the rows written up to the stop.
TEST(OutputFaults, StandardOutputStopsTakingBytes) {
  RunDirectory d;
  RunOptions options;
  options.file_size_limit = 20000;
  const Outcome o = d.run(options);
  EXPECT_EQ(o.status, box::exit_output_error) << o;
  EXPECT_TRUE(starts_with(o.err,
                          "boxmodel: standard output: write failed: File too large\n"
                          "boxmodel: the run stopped in step "))
      << o;
  const std::string out = d.read("stdout.txt");
  EXPECT_EQ(out.size(), 20000u);
  EXPECT_EQ(out, clean_run().out.substr(0, out.size()));
  const std::string rows = d.read(table);
  EXPECT_GT(line_count(rows), 1u);
  EXPECT_EQ(rows, first_lines(clean_run().table, line_count(rows)));
}

}  // namespace
