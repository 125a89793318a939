// Input hostile to the reader and to the tables, end to end on the real
// program: huge lines, control and non-text bytes, endless blank lines, lines
// beyond the widest, numbers beyond every range, and counts far beyond the
// tables. Whatever the input, the run ends with its report or its count line,
// status 0 or 1, nothing on standard error, files of complete records only,
// and (proven under the sanitizers) nothing kept beyond the tables.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>

#include <algorithm>
#include <fstream>
#include <functional>
#include <regex>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "tests/e2e/harness.h"
#include "tests/support/answers.h"
#include "tests/support/expected.h"

namespace vantor::testing {
namespace {

const std::string kEofLine = "#  ------------------------  E O F  ------------------------\r\n";

struct measured_run {
  run_result result;
  long max_rss_kb = 0;
};

// run_vantor, also taking the largest resident size of the process; feed
// writes its standard input.
measured_run run_measured(const fs::path& dir, const std::function<void(int fd)>& feed) {
  child_spec spec;
  spec.command = command(vantor_binary());
  spec.folder = dir;
  spec.in = {stream::kind::parent};
  child_process child(spec);
  feed(child.input());
  child.close_input();
  const child_result r = child.wait();
  return {{r.out, r.err, r.status}, r.max_rss_kb};
}

bool write_all(int fd, std::string_view text) {
  while (!text.empty()) {
    const ssize_t n = ::write(fd, text.data(), text.size());
    if (n <= 0) return false;
    text.remove_prefix(static_cast<std::size_t>(n));
  }
  return true;
}

measured_run run_measured(const fs::path& dir, const std::string& answers) {
  return run_measured(dir, [&](int fd) { write_all(fd, answers); });
}

struct hostile_case {
  const char* name;
  std::string probs;
  std::vector<std::string> raw;  // riser_001.RawDam, riser_002.RawDam, ...
  int status;                    // -1: 0 or 1, the input does not settle it
  std::string expected;          // found in standard output, if not empty
};

// The promises kept for every input: a report or a count line at the end of
// the console, no fatal report, and output files of complete records only.
void check_run(const scratch_dir& dir, const hostile_case& c, const run_result& r) {
  static const std::regex ending("\r\n +[0-9]+ lines with plot data found\r\n\r\n$");
  EXPECT_EQ(r.err, "");
  if (c.status >= 0) {
    EXPECT_EQ(r.status, c.status);
  } else {
    EXPECT_TRUE(r.status == 0 || r.status == 1) << r.status;
  }
  EXPECT_TRUE(std::regex_search(r.out, ending)) << r.out.substr(r.out.size() - 200);
  if (!c.expected.empty()) {
    EXPECT_NE(r.out.find(c.expected), std::string::npos) << r.out;
  }
  const int cases = static_cast<int>(c.raw.size());
  if (r.status == 0) {
    for (int k = 1; k <= cases; ++k) {
      const std::string name = "riser_00" + std::to_string(k) + ".WghDam";
      EXPECT_TRUE(dir.read(name).ends_with(kEofLine)) << name;
    }
    EXPECT_TRUE(dir.read("riser.AccDam").ends_with(kEofLine));
  } else {
    // Every check is made before the first output file is written.
    EXPECT_FALSE(dir.exists("riser_001.WghDam"));
    EXPECT_FALSE(dir.exists("riser.AccDam"));
  }
}

measured_run run_case(const scratch_dir& dir, const hostile_case& c) {
  dir.write("probs.txt", c.probs);
  for (std::size_t k = 0; k < c.raw.size(); ++k) {
    dir.write("riser_00" + std::to_string(k + 1) + ".RawDam", c.raw[k]);
  }
  const std::string answers =
      dialogue_answers{.last = std::to_string(c.raw.size()), .scale = "y"}.text();
  return run_measured(dir.path(), answers);
}

const std::string kTwoSections = "10.0 1.0E-3 2.0E-3\n20.0 4.0E-3 1.0E-3\n";

std::vector<hostile_case> reader_cases() {
  const std::string nul(1, '\0');
  const std::string wide_line = "10.0 1.0E-3" + std::string(501, ' ') + " 9.9E-3" +
                                std::string(2049 - 512 - 7, ' ') + "\n";  // 2049 characters
  const std::string four_hundred_digits = "1" + std::string(399, '0');
  std::string five_thousand;
  for (int k = 1; k <= 5000; ++k)
    five_thousand += (k == 1 ? "1.0" : "0.0") + std::string(k % 10 == 0 ? "\n" : " ");
  return {
      {"NUL byte inside a value",
       "1.0\n",
       {"10.0 1.0E-3" + nul + " 2.0E-3\n"},
       1,
       block("    Illegal Character found    ***", {{"    Line Number                :  ", 1},
                                                    {"    Parameter number           :  ", 2}})},
      {"NUL bytes in comments and headers",
       "1.0 ! " + nul + "\n",
       {"# head " + nul + "\n' " + nul + "\n" + kTwoSections + "! " + nul + "\n"},
       0,
       count_line(4)},
      {"invalid UTF-8 as a value",
       "1.0\n",
       {"10.0 \xff\xfe 2.0E-3\n"},
       1,
       block("    Illegal Character found    ***", {{"    Line Number                :  ", 1},
                                                    {"    Parameter number           :  ", 2}})},
      {"invalid UTF-8 in comments",
       "1.0 ! \xc3\x28\n",
       {"# \xff\xfe\xfd\n" + kTwoSections},
       0,
       count_line(4)},
      {"a million blank lines",
       repeat("\n", 1000000) + "1.0\n",
       {"10.0 1.0E-3\n" + repeat("\n", 500000) + repeat(" \t\r\n", 500000) + "20.0 2.0E-3\n"},
       0,
       count_line(3)},
      {"2049-character lines: columns beyond 512 unread",
       "1.0" + std::string(2046, ' ') + "\n",
       {wide_line + wide_line},
       0,
       ""},
      {"400-digit numbers",
       four_hundred_digits + "\n",
       {"10.0 " + four_hundred_digits + "\n"},
       -1,
       ""},
      {"400-digit fractions",
       "0." + four_hundred_digits + "\n",
       {"10.0 0." + four_hundred_digits + "E-3\n"},
       -1,
       ""},
      {"1E9999 as a probability",
       "1E9999\n",
       {kTwoSections},
       0,
       " Sum of Probs not equal 1!  : Infinity   \r\n"},
      {"1E9999 as a damage", "1.0\n", {"10.0 1E9999\n20.0 -1E9999\n"}, 0, ""},
      {"SIN( at the end of a line",
       "1.0\n",
       {"10.0 1.0E-3\n20.0 SIN(\n"},
       1,
       block("    Illegal Character found    ***", {{"    Line Number                :  ", 2},
                                                    {"    Parameter number           :  ", 2}})},
      {"SIN(PI at the end of a probability line",
       "SIN(PI\n",
       {kTwoSections},
       1,
       block("    Illegal Character found    ***", {{"    Line Number                :  ", 1},
                                                    {"    Parameter number           :  ", 1}})},
      {"a probability file of 5000 values", five_thousand, {kTwoSections}, 0, count_line(3)},
  };
}

TEST(Hostile, ReaderInput) {
  for (const hostile_case& c : reader_cases()) {
    SCOPED_TRACE(c.name);
    scratch_dir dir;
    const measured_run m = run_case(dir, c);
    check_run(dir, c, m.result);
  }
}

// Only the columns up to 512 of a line are read; the value beyond is not.
TEST(Hostile, WideLinesKeepTheirFirstColumns) {
  scratch_dir dir;
  const std::string wide_line = "10.0 1.0E-3" + std::string(501, ' ') + " 9.9E-3\n";
  const hostile_case c{"wide", "1.0\n", {wide_line}, 0, ""};
  check_run(dir, c, run_case(dir, c).result);
  const std::string weighted = dir.read("riser_001.WghDam");
  EXPECT_NE(weighted.find("\r\n       10.000  1.0000E-03\r\n"), std::string::npos) << weighted;
}

// Writes a file of `bytes` bytes: head, then the filler repeated (cut at the
// end), streamed so that the test itself never holds it: a child process
// starts with the resident pages of its parent.
void write_big(const scratch_dir& dir, const std::string& name, const std::string& head,
               std::string_view filler, std::size_t bytes) {
  std::ofstream f(dir.path() / name, std::ios::binary);
  f << head;
  const std::string chunk = repeat(filler, (1u << 20) / filler.size());
  for (std::size_t left = bytes - head.size(); left > 0;) {
    const std::size_t n = std::min(left, chunk.size());
    f.write(chunk.data(), static_cast<std::streamsize>(n));
    left -= n;
  }
}

// A 50 MB line without a line feed, as the probability file and as a raw
// damage file: read in its first 512 columns, never held whole.
TEST(Hostile, FiftyMegabyteLinesWithoutLineFeed) {
  constexpr std::size_t kBytes = 50u << 20;
  const std::string answers = dialogue_answers{.last = "1"}.text();
  scratch_dir small;
  small.write("probs.txt", "1.0\n");
  small.write("riser_001.RawDam", kTwoSections);
  const long baseline_kb = run_measured(small.path(), answers).max_rss_kb;

  scratch_dir dir;
  write_big(dir, "probs.txt", "", "1.0 ", kBytes);
  write_big(dir, "riser_001.RawDam", "10.0" + repeat(" 1.0E-3", 20), " ", kBytes);
  const measured_run m = run_measured(dir.path(), answers);
  const hostile_case c{"50 MB lines", "", {""}, 0, count_line(2)};
  check_run(dir, c, m.result);
  EXPECT_LT(m.max_rss_kb, baseline_kb + 16 * 1024) << "a line was held whole";
  const std::string weighted = dir.read("riser_001.WghDam");
  EXPECT_NE(weighted.find("\r\n       10.000" + repeat("  1.0000E-03", 20) + "\r\n"),
            std::string::npos);
}

// Sections beyond 3000 and hot spots beyond 20 are counted over the whole
// file and reported; nothing of them is kept.
TEST(Hostile, CountsFarBeyondTheTables) {
  const std::string hot_100 = "1.5" + repeat(" 1E-3", 100) + "\n";
  const std::string hot_255 = "1" + repeat(" 1", 255) + "\n";  // 511 columns: 256 items
  const std::string hot_25 = "1.5" + repeat(" 2E-3", 25) + "\n";
  const std::string hot_2 = "1.5 1E-3 2E-3\n";
  const hostile_case cases[] = {
      {"100 hot spots on 2000 sections",
       "1.0\n",
       {repeat(hot_100, 2000)},
       1,
       block("    Number of HotSpots exceeded   ", {{"    Specified number of HotS   :  ", 100},
                                                    {"    Maxumum available          :  ", 20}}) +
           count_line(2001)},
      {"255 hot spots, the most a line holds",
       "1.0\n",
       {repeat(hot_255, 50)},
       1,
       block("    Number of HotSpots exceeded   ", {{"    Specified number of HotS   :  ", 255},
                                                    {"    Maxumum available          :  ", 20}}) +
           count_line(51)},
      {"10000 sections of 25 hot spots",
       "1.0\n",
       {repeat(hot_25, 10000)},
       1,
       block("    Number of elements exceeded   ", {{"    Specified number of elems  :  ", 10000},
                                                    {"    Maxumum available          :  ", 3000}}) +
           count_line(10001)},
      {"9000 sections in a later case",
       "0.5 0.5\n",
       {repeat(hot_2, 10), repeat(hot_2, 9000)},
       1,
       block("    Number of Element MisMatch!   ", {{"    Case number                :  ", 2},
                                                    {"    Number of elem. in Case 1  :  ", 10},
                                                    {"    Number of elem. found      :  ", 9000}}) +
           count_line(9001)},
      {"9000 sections in both cases",
       "0.5 0.5\n",
       {repeat(hot_2, 9000), repeat(hot_2, 9000)},
       1,
       block("    Number of elements exceeded   ", {{"    Specified number of elems  :  ", 9000},
                                                    {"    Maxumum available          :  ", 3000}}) +
           count_line(9001)},
  };
  for (const hostile_case& c : cases) {
    SCOPED_TRACE(c.name);
    scratch_dir dir;
    const measured_run m = run_case(dir, c);
    check_run(dir, c, m.result);
    EXPECT_TRUE(m.result.out.ends_with(c.expected)) << m.result.out;
  }
}

// Answers that are no text: the run still ends with a report.
TEST(Hostile, ConsoleAnswers) {
  struct answer_case {
    const char* name;
    std::string answers;
    int status;
    std::string expected_err;
  };
  const std::string nul(1, '\0');
  const answer_case cases[] = {
      {"NUL in the probability file name",
       dialogue_answers{.last = "1", .probability_file = "probs" + nul + ".txt"}.text(
           driver::question_id::probability_file),
       24, "forrtl: severe (24): end-of-file during read, unit 5, file CONIN$\n"},
      {"NUL in the prefix", dialogue_answers{.last = "1", .prefix = "ri" + nul + "ser"}.text(), 1,
       ""},
      {"invalid UTF-8 prefix", dialogue_answers{.last = "1", .prefix = "\xff\xfe"}.text(), 1, ""},
      {"a 5 MB number", repeat("9", 5u << 20) + "\n", 64,
       "forrtl: severe (64): input conversion error, unit 5, file CONIN$\n"},
      {"a 5 MB prefix without line feed", "1\n1\nprobs.txt\n" + repeat("r", 5u << 20), 24,
       "forrtl: severe (24): end-of-file during read, unit 5, file CONIN$\n"},
      {"a million blank answers", repeat("\n", 1000000), 24,
       "forrtl: severe (24): end-of-file during read, unit 5, file CONIN$\n"},
  };
  for (const answer_case& c : cases) {
    SCOPED_TRACE(c.name);
    scratch_dir dir;
    dir.write("probs.txt", "1.0\n");
    dir.write("riser_001.RawDam", kTwoSections);
    const run_result r = run_vantor(dir.path(), c.answers);
    EXPECT_EQ(r.status, c.status);
    EXPECT_EQ(r.err, c.expected_err);
  }
}

// An answer line of 64 MB without a line feed is read in bounded memory.
TEST(Hostile, HugeAnswerLine) {
  scratch_dir dir;
  dir.write("probs.txt", "1.0\n");
  const long baseline_kb = run_measured(dir.path(), "").max_rss_kb;
  const std::string chunk(1u << 20, '\0');
  const measured_run m = run_measured(dir.path(), [&](int fd) {
    signal(SIGPIPE, SIG_IGN);
    for (int k = 0; k < 64 && write_all(fd, chunk);) ++k;
  });
  EXPECT_EQ(m.result.err,
            "forrtl: severe (59): list-directed I/O syntax error, unit 5, file CONIN$\n");
  EXPECT_EQ(m.result.status, 59);
  EXPECT_LT(m.max_rss_kb, baseline_kb + 16 * 1024) << "the answer line was held whole";
}

// What a run leaves: its console, status and every file, dates masked.
std::string run_outcome(const scratch_dir& dir, const run_result& r) {
  std::string seen = mask_date(r.out) + r.err + "status " + std::to_string(r.status) + "\n";
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(dir.path()))
    names.push_back(entry.path().filename().string());
  std::sort(names.begin(), names.end());
  for (const std::string& name : names) seen += name + ":\n" + mask_date(dir.read(name));
  return seen;
}

// A case read ahead by the helper thread ends the run as a case read in order
// does, whether it is the helper's (3) or not (4): the same console, status
// and files. The files span several of the helper's windows.
TEST(Hostile, CasesReadAheadEndAsCasesReadInOrder) {
  std::string good = "# sections\r\n";
  for (int e = 1; e <= 3000; ++e) good += std::to_string(e) + ".0  1.0E-3\t2.0E-3 ! hot spots\r\n";
  const std::string last_feed_dropped = good.substr(0, good.size() - 1);
  const std::pair<const char*, std::string> variants[] = {
      {"clean, CR LF", good},
      {"clean, no line feed at the end", last_feed_dropped},
      {"hot spots missing", good + "3001.0 1.0E-3\n"},
      {"illegal character", "1.0 1.0E-3 X\n" + good},
      {"a section fewer", good.substr(0, good.rfind('\n', good.size() - 2) + 1)},
      {"a section more", good + "3001.0 1.0E-3 2.0E-3\n"},
      {"a line wider than the helper's window", std::string(70000, ' ') + "\n" + good},
  };
  for (const auto& [what, text] : variants) {
    for (const int odd_case : {3, 4}) {
      SCOPED_TRACE(std::string(what) + " in case " + std::to_string(odd_case));
      std::string seen[2];
      for (const int threads : {1, 2}) {
        scratch_dir dir;
        dir.write("probs.txt", "0.2 0.2 0.2 0.2 0.2\n");
        for (int c = 1; c <= 5; ++c)
          dir.write("riser_00" + std::to_string(c) + ".RawDam", c == odd_case ? text : good);
        ::setenv("VANTOR_THREADS", std::to_string(threads).c_str(), 1);
        const run_result r = run_vantor(dir.path(), dialogue_answers{.last = "5"}.text());
        ::unsetenv("VANTOR_THREADS");
        seen[threads - 1] = run_outcome(dir, r);
      }
      EXPECT_EQ(seen[1], seen[0]);
    }
  }
}

}  // namespace
}  // namespace vantor::testing
