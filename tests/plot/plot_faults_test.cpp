// vantor-plot's endings on bad input and in hostile surroundings: one line on
// standard error with the file and line, the exit status, and every earlier
// output left as it was.
#include <gtest/gtest.h>
#include <poll.h>
#include <sys/inotify.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <csignal>
#include <functional>
#include <map>
#include <regex>
#include <string>
#include <vector>

#ifdef VANTOR_PLOT_BINARY

#include "tests/plot/plot_support.h"

namespace vantor::testing {
namespace {

struct error_case {
  const char* name;
  std::function<void(const scratch_dir&)> change;
  std::vector<std::string> args;
  int status;
  std::string message;  // the whole of standard error
};

// Rewrites a file of the run with only its first keep lines.
void keep_lines(const scratch_dir& d, const std::string& file, std::size_t keep) {
  std::vector<std::string> lines = lines_of(d.read(file));
  lines.resize(keep);
  std::string text;
  for (const std::string& l : lines) text += l + "\r\n";
  d.write(file, text);
}

// Rewrites a file of the run with its line (counted from 1) replaced.
void replace_line(const scratch_dir& d, const std::string& file, std::size_t line,
                  const std::string& text) {
  std::vector<std::string> lines = lines_of(d.read(file));
  lines[line - 1] = text;
  std::string all;
  for (const std::string& l : lines) all += l + "\r\n";
  d.write(file, all);
}

// Every file of the run in from, copied into to.
void copy_run(const fs::path& from, const scratch_dir& to) {
  for (const auto& entry : fs::directory_iterator(from)) {
    fs::copy(entry.path(), to.path() / entry.path().filename());
  }
}

void nothing(const scratch_dir&) {}

// Weighted files: lines 1 and 2 the case and probability, 3 and 4 the heading, rows from 5.
std::vector<error_case> error_cases() {
  return {

      {"no report", nothing, {"nothing"}, 1, "vantor-plot: nothing.AccDam: no such file\n"},
      {"folder without a run",
       [](const scratch_dir& d) { fs::create_directory(d.path() / "empty"); },
       {"empty"},
       1,
       "vantor-plot: empty: no finished run in this folder (no *.AccDam report)\n"},
      {"truncated report",
       [](const scratch_dir& d) { keep_lines(d, "pipe.AccDam", 40); },
       {"pipe"},
       1,
       "vantor-plot: pipe.AccDam:40: the report is truncated: it ends in the section table (14 "
       "of 30 rows) without the end line\n"},
      {"weighted file short of a row",
       [](const scratch_dir& d) { keep_lines(d, "pipe_002.WghDam", 20); },
       {"pipe"},
       1,
       "vantor-plot: pipe_002.WghDam:20: the file is truncated: it ends after 16 of 30 rows "
       "without the end line\n"},
      {"weighted file with a hot spot less",
       [](const scratch_dir& d) {
         replace_line(d, "pipe_003.WghDam", 9, "       10.000  1.0E-03");
       },
       {"pipe"},
       1,
       "vantor-plot: pipe_003.WghDam:9: 1 hot spot values where the report pipe.AccDam has 4\n"},
      {"weighted file of another run",
       [](const scratch_dir& d) {
         d.write("pipe_004.WghDam", d.read("pipe_001.WghDam"));
         replace_line(d, "pipe_004.WghDam", 1,
                      "#    Case no   004 for Project: pipe. Date : 2001-01-01 00:00:00");
       },
       {"pipe"},
       1,
       "vantor-plot: pipe_004.WghDam:1: the file is of another run (\"pipe. Date : 2001-01-01 "
       "00:00:00\", the report of \"{LABEL}\"); choose this run's cases with --cases\n"},
      {"a case missing",
       [](const scratch_dir& d) { fs::remove(d.path() / "pipe_002.WghDam"); },
       {"pipe"},
       1,
       "vantor-plot: pipe_*.WghDam: 2 weighted damage files of this run, but the report sums 3 "
       "cases; choose the cases with --cases\n"},
      {"case range beyond the files",
       nothing,
       {"--cases", "2-4", "pipe"},
       1,
       "vantor-plot: pipe_*.WghDam: no weighted damage file of case 4\n"},
      {"no operand",
       nothing,
       {},
       2,
       "vantor-plot: no run named: give PREFIX, PREFIX.AccDam or a folder (see vantor-plot "
       "--help)\n"},
      {"bad range",
       nothing,
       {"--cases", "3-1", "pipe"},
       2,
       "vantor-plot: --cases wants FIRST-LAST, two case numbers with FIRST <= LAST, not \"3-1\" "
       "(see vantor-plot --help)\n"},
      {"required life beyond numbers",
       nothing,
       {"--design-life", "1e308", "--dff", "10", "pipe"},
       2,
       "vantor-plot: the required life R = 1e+308 x 10 = Infinity is not a positive finite number "
       "(see vantor-plot --help)\n"},
      {"one run to compare",
       nothing,
       {"--compare", "pipe"},
       2,
       "vantor-plot: --compare takes 2 to 8 runs, not 1 (see vantor-plot --help)\n"},
      {"a label without --compare",
       nothing,
       {"--label", "A", "pipe"},
       2,
       "vantor-plot: --label names a run of --compare or --total (see vantor-plot --help)\n"},
      {"a run to compare without its report",
       nothing,
       {"--compare", "pipe", "nothing"},
       1,
       "vantor-plot: nothing.AccDam: no such file\n"},
      {"required life below numbers",
       nothing,
       {"--design-life", "1e-200", "--dff", "1e-200", "pipe"},
       2,
       "vantor-plot: the required life R = 1e-200 x 1e-200 = 0 is not a positive finite number "
       "(see vantor-plot --help)\n"},
  };
}

TEST_F(PlotRun, ErrorEndings) {
  const std::vector<error_case> cases = error_cases();
  // The report's run label: the prefix, "." and the run's date stamp.
  const std::string label = lines_of(dir_.read("pipe.AccDam"))[1].substr(31);
  for (const error_case& c : cases) {
    scratch_dir d;
    copy_run(dir_.path(), d);
    c.change(d);
    const run_result r = run_plot(d.path(), c.args);
    EXPECT_EQ(r.status, c.status) << c.name;
    EXPECT_EQ(r.err, std::regex_replace(c.message, std::regex("\\{LABEL\\}"), label)) << c.name;
    EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << c.name;
    EXPECT_FALSE(d.exists("pipe.svg")) << c.name;
  }
}

// Hostile surroundings: links planted where temporary files might go, an
// endless report, counts beyond a run's tables, a file-size limit.
struct fault_case {
  const char* name;
  std::function<void(const scratch_dir&)> change;
  std::function<void()> in_child;
  int status;
  std::string message;  // the whole of standard error
};

// below_the_page receives a file-size limit that the picture and the tables
// fit in but the page (which holds the picture) does not.
std::vector<fault_case> fault_cases(rlim_t& below_the_page) {
  const auto old_outputs = [&below_the_page](const scratch_dir& d) {
    scratch_dir sizes;
    copy_run(d.path(), sizes);
    ASSERT_EQ(run_plot(sizes.path(), {"pipe"}).status, 0);
    below_the_page = std::max({fs::file_size(sizes.path() / "pipe.svg"),
                               fs::file_size(sizes.path() / "pipe.Contrib.csv"),
                               fs::file_size(sizes.path() / "pipe.sections.csv")});
    ASSERT_LT(below_the_page, fs::file_size(sizes.path() / "pipe.html"));
    for (const char* name : {"pipe.svg", "pipe.Contrib.csv", "pipe.sections.csv", "pipe.html"}) {
      d.write(name, std::string("an earlier ") + name);
    }
  };
  return {
      {"links planted beside the outputs",
       [](const scratch_dir& d) {
         d.write("victim", "kept");
         for (const char* name : {"pipe.svg.part", "pipe.Contrib.csv.part"}) {
           fs::create_symlink(d.path() / "victim", d.path() / name);
         }
       },
       {},
       0,
       ""},
      {"report linked to an endless device",
       [](const scratch_dir& d) {
         fs::remove(d.path() / "pipe.AccDam");
         fs::create_symlink("/dev/urandom", d.path() / "pipe.AccDam");
       },
       {},
       1,
       // The line named depends on where the random bytes hold a line feed.
       "vantor-plot: pipe.AccDam:"},
      {"sections beyond a run",
       [](const scratch_dir& d) {
         replace_line(d, "pipe.AccDam", 3, "#    Number of Sections (elements)     :  3001");
       },
       {},
       1,
       "vantor-plot: pipe.AccDam:3: 3001 sections; a run holds at most 3000\n"},
      {"hot spots beyond a run",
       [](const scratch_dir& d) {
         replace_line(d, "pipe.AccDam", 4, "#    Number of HotSpots per section    :    21");
       },
       {},
       1,
       "vantor-plot: pipe.AccDam:4: 21 hot spots; a run holds at most 20\n"},
      {"cases beyond a run",
       [](const scratch_dir& d) {
         std::string second = lines_of(d.read("pipe.AccDam"))[1];
         second.replace(15, 4, "1001");
         replace_line(d, "pipe.AccDam", 2, second);
       },
       {},
       1,
       "vantor-plot: pipe.AccDam:2: 1001 cases; a run holds at most 1000\n"},
      {"file-size limit",
       {},
       [] {
         const rlimit limit{1024, 1024};
         ::setrlimit(RLIMIT_FSIZE, &limit);
       },
       1,
       "vantor-plot: pipe.svg: cannot be written\n"},
      {"file-size limit at the last output: the earlier outputs stay as well", old_outputs,
       [&below_the_page] {
         const rlimit limit{below_the_page, below_the_page};
         ::setrlimit(RLIMIT_FSIZE, &limit);
       },
       1, "vantor-plot: pipe.html: cannot be written\n"},
  };
}

TEST_F(PlotRun, FaultEndings) {
  rlim_t below_the_page = 0;
  const std::vector<fault_case> cases = fault_cases(below_the_page);
  for (const fault_case& c : cases) {
    // A file-size limit ends a program under Wine by its signal: the Windows
    // program cannot ignore it.
    if (std::string_view(c.name).starts_with("file-size limit") && test_launcher() != nullptr) {
      continue;
    }
    scratch_dir d;
    copy_run(dir_.path(), d);
    if (c.change) c.change(d);
    // A failed run leaves every output as it was.
    std::map<std::string, std::string> before;
    for (const char* name : {"pipe.svg", "pipe.Contrib.csv", "pipe.sections.csv", "pipe.html"}) {
      if (d.exists(name)) before[name] = d.read(name);
    }
    const auto start = std::chrono::steady_clock::now();
    const run_result r = run_plot(d.path(), {"pipe"}, c.in_child);
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    EXPECT_EQ(r.status, c.status) << c.name << ": " << r.err;
    EXPECT_EQ(r.err.substr(0, c.message.size()), c.message) << c.name;
    EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), c.status == 0 ? 0 : 1) << c.name;
    EXPECT_LT(seconds, 10.0) << c.name;
    EXPECT_EQ(d.exists("pipe.svg"), c.status == 0 || before.contains("pipe.svg")) << c.name;
    for (const auto& [name, text] : before) {
      if (c.status != 0) {
        EXPECT_EQ(d.read(name), text) << c.name << ": " << name;
      }
    }
    for (const auto& entry : fs::directory_iterator(d.path())) {
      const std::string name = entry.path().filename().string();
      if (name.ends_with(".part")) {
        EXPECT_TRUE(fs::is_symlink(entry.symlink_status())) << name;
      }
    }
    if (d.exists("victim")) {
      EXPECT_EQ(d.read("victim"), "kept") << c.name;
    }
  }
}

// The endings that skip the program's own clean-up: an address-space limit
// and a console event while the outputs are written.
constexpr std::array kOutputs{"riser.svg", "riser.Contrib.csv", "riser.sections.csv", "riser.html"};

// A finished run "riser" in d: the shipped example, or one generated.
void finished_run(const scratch_dir& d, const run_shape* shape) {
  if (shape == nullptr) {
    for (const auto& entry :
         fs::directory_iterator(fs::path(VANTOR_SOURCE_DIR) / "examples/riser")) {
      fs::copy(entry.path(), d.path() / entry.path().filename());
    }
  } else {
    write_realistic_run(d.path(), *shape);
  }
  ASSERT_EQ(run_vantor(d.path(), d.read("answers.txt")).status, 0);
}

std::vector<std::string> part_files(const scratch_dir& d);

// Each output given an earlier text, no temporary file.
std::map<std::string, std::string> earlier_outputs(const scratch_dir& d) {
  for (const std::string& part : part_files(d)) fs::remove(part);
  std::map<std::string, std::string> before;
  for (const char* name : kOutputs) d.write(name, before[name] = std::string("an earlier ") + name);
  return before;
}

std::vector<std::string> part_files(const scratch_dir& d) {
  std::vector<std::string> parts;
  for (const auto& entry : fs::directory_iterator(d.path())) {
    if (entry.path().filename().string().ends_with(".part")) parts.push_back(entry.path());
  }
  return parts;
}

// The outputs are all the earlier ones, or none of them is.
bool all_or_none_earlier(const scratch_dir& d, const std::map<std::string, std::string>& before) {
  int earlier = 0;
  for (const auto& [name, text] : before) earlier += d.read(name) == text ? 1 : 0;
  return earlier == 0 || earlier == static_cast<int>(before.size());
}

// From a limit the loader cannot work in up to one the run completes in: one
// line and status 1, or the run complete; never a signal, never a temporary
// file, the earlier outputs as they were.
TEST(PlotEndings, AddressSpaceLimits) {
  if (test_launcher() != nullptr) GTEST_SKIP() << "a limit on Wine's address space is no test";
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
  GTEST_SKIP() << "the sanitizer's shadow memory does not fit in the limits";
#endif
  const run_shape large{50, 3000, 20};
  for (const run_shape* shape : {static_cast<const run_shape*>(nullptr), &large}) {
    SCOPED_TRACE(shape == nullptr ? "the shipped example" : "50 x 3000 x 20");
    scratch_dir d;
    finished_run(d, shape);
    constexpr rlim_t kStep = 512 * 1024;
    int out_of_memory = 0;
    int complete_in_a_row = 0;
    for (rlim_t limit = 8 * kStep; limit < 96 * kStep && complete_in_a_row < 2; limit += kStep) {
      SCOPED_TRACE(limit / 1024);
      const auto before = earlier_outputs(d);
      const run_result r = run_plot(d.path(), {"riser"}, [limit] {
        const rlimit as{limit, limit};
        ::setrlimit(RLIMIT_AS, &as);
      });
      EXPECT_EQ(part_files(d), std::vector<std::string>{});
      complete_in_a_row = r.status == 0 ? complete_in_a_row + 1 : 0;
      // 127: the program did not start (the loader found no room).
      if (r.status == 0 || r.status == 127) continue;
      EXPECT_EQ(r.status, 1);
      EXPECT_EQ(r.err, "vantor-plot: out of memory\n");
      ++out_of_memory;
      for (const auto& [name, text] : before) EXPECT_EQ(d.read(name), text) << name;
    }
    EXPECT_EQ(complete_in_a_row, 2) << "no limit let the run complete";
    EXPECT_GT(out_of_memory, 0);
  }
}

// Waits for the first temporary file in d to be created and stops the child
// there; false when it ended first or the files were gone by the stop.
bool stop_at_first_part(const scratch_dir& d, int watch, pid_t child) {
  alignas(inotify_event) char events[4096];
  pollfd p{watch, POLLIN, 0};
  bool created = false;
  while (!created && ::poll(&p, 1, 10000) == 1) {
    const ssize_t n = ::read(watch, events, sizeof events);
    for (ssize_t at = 0; at < n;) {
      const auto* e = reinterpret_cast<const inotify_event*>(events + at);
      created = created || (e->len > 0 && std::string_view(e->name).ends_with(".part"));
      at += static_cast<ssize_t>(sizeof(inotify_event) + e->len);
    }
  }
  if (!created) return false;
  ::kill(child, SIGSTOP);
  siginfo_t info{};
  ::waitid(P_PID, static_cast<id_t>(child), &info, WSTOPPED | WEXITED | WNOWAIT);
  return info.si_code == CLD_STOPPED && !part_files(d).empty();
}

// A console event while the outputs are written (the program stopped with a
// temporary file in place): 128 + the signal, no temporary file left, the
// outputs all the earlier ones or all new.
TEST(PlotEndings, EventsWhileWriting) {
  if (test_launcher() != nullptr) GTEST_SKIP() << kNoSignalsThroughLauncher;
  scratch_dir d;
  const run_shape shape{3, 3000, 20};
  finished_run(d, &shape);
  for (const int sig : {SIGTERM, SIGINT, SIGHUP}) {
    SCOPED_TRACE(sig);
    bool caught = false;
    for (int attempt = 0; attempt < 20 && !caught; ++attempt) {
      const auto before = earlier_outputs(d);
      const int watch = ::inotify_init1(IN_CLOEXEC);
      ASSERT_GE(watch, 0);
      ::inotify_add_watch(watch, d.path().c_str(), IN_CREATE);
      child_spec spec;
      spec.command = command(env_or("VANTOR_TEST_PLOT_BINARY", VANTOR_PLOT_BINARY), {"riser"});
      spec.folder = d.path();
      spec.in = {stream::kind::closed};
      child_process child(spec);
      caught = stop_at_first_part(d, watch, child.pid());
      ::close(watch);
      if (caught) ::kill(child.pid(), sig);
      ::kill(child.pid(), SIGCONT);
      const child_result r = child.wait();
      EXPECT_EQ(part_files(d), std::vector<std::string>{});
      EXPECT_TRUE(all_or_none_earlier(d, before));
      if (caught) {
        EXPECT_EQ(r.status, 128 + sig) << r.err;
      }
    }
    if (!caught) std::printf("[  SKIPPED ] signal %d: every run wrote its outputs too fast\n", sig);
  }
}

}  // namespace
}  // namespace vantor::testing

#endif  // VANTOR_PLOT_BINARY
