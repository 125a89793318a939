// Faults from outside, end to end on the real program, in a child with
// limits: file-size and address-space limits, another user, a standard
// output nobody reads, console events while a write is blocked, a log that
// standard output is appended to. Whatever
// happens, the run ends in a defined way, and every file keeps the complete
// records written before the fault and nothing else.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <functional>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "driver/state.h"
#include "tests/e2e/faulted_run.h"
#include "tests/e2e/faults.h"
#include "tests/e2e/harness.h"
#include "tests/support/answers.h"
#include "tests/support/expected.h"
#include "tests/support/generate_run.h"

namespace vantor::testing {
namespace {

// --- Limits, blocked writes and permissions -------------------------------------

// Whether the unprivileged user can start the program: every folder on its
// way searchable and the file executable for that user.
bool nobody_can_execute(const fs::path& program) {
  child_spec spec;
  spec.body = [&program] {
    if (::setgid(kNobody) != 0 || ::setuid(kNobody) != 0) return 2;
    return ::access(program.c_str(), X_OK) == 0 ? 0 : 1;
  };
  return run_child(spec).status == 0;
}

constexpr int kFaultCases = 3;
const std::string kFaultAnswers = dialogue_answers{}.text();

void write_fault_run(const scratch_dir& dir) {
  static const std::string text = large_case_text();
  for (int c = 1; c <= kFaultCases; ++c) dir.write(case_name(c, ".RawDam"), text);
  dir.write("probs.txt", "0.5 0.3 0.2\n");
}

// The complete records of text that fit in its first limit bytes.
std::string records_within(const std::string& text, std::size_t limit) {
  const std::size_t at = text.rfind("\r\n", limit - 2);
  return at == std::string::npos ? std::string() : text.substr(0, at + 2);
}

constexpr rlim_t kFileLimit = 200 * 1024;
constexpr std::size_t kTmpfsBytes = 600 * 1024;
constexpr std::size_t kPage = 4096;

enum class made { fault_run, typical_run };

// A fault on the first or second weighted file, for a table of how the run
// ends: the file before it complete, the file of the fault as the rule says,
// none after it.
struct limit_case {
  const char* name;
  made run;
  fault_setup setup;
  std::string answers;
  // Sets the folder up; returns why the case cannot run here, or "".
  std::function<std::string(const scratch_dir&)> prepare;
  int status;
  std::optional<std::string> err;  // none: not looked at
  std::function<void(const scratch_dir&, const run_result&)> check;
};

// Limits and refusals: the file size, a full file system, the address space, a
// file the user may not write. first: the first weighted file of the complete
// fault run.
std::vector<limit_case> limit_cases(const std::string& first) {
  const std::string typical_count = count_line(4);
  const std::string reserve_failed = "Vantor: cannot reserve the run's tables (" +
                                     std::to_string(sizeof(driver::run_tables)) +
                                     " bytes): Cannot allocate memory\n";
  const auto no_prepare = [](const scratch_dir&) { return std::string(); };
  return {
      {"ulimit -f: the file cut at its last complete record",
       made::fault_run,
       {.file_size = kFileLimit},
       kFaultAnswers,
       no_prepare,
       38,
       "forrtl: severe (38): error during write, unit 90, file riser_001.WghDam\n",
       [first](const scratch_dir& dir, const run_result&) {
         EXPECT_EQ(mask_date(dir.read("riser_001.WghDam")), records_within(first, kFileLimit));
         EXPECT_FALSE(dir.exists("riser_002.WghDam"));
       }},
      {"a full tmpfs: the file cut at its last complete record",
       made::fault_run,
       {.subdir = "small"},
       kFaultAnswers,
       [](const scratch_dir& dir) -> std::string {
         if (::geteuid() != 0) return "mounting a tmpfs needs root";
         const fs::path small = dir.path() / "small";
         fs::create_directory(small);
         const std::string options = "size=" + std::to_string(kTmpfsBytes);
         if (::mount("tmpfs", small.c_str(), "tmpfs", 0, options.c_str()) != 0) {
           return std::string("cannot mount a tmpfs here: ") + std::strerror(errno);
         }
         fs::create_symlink(dir.path() / "probs.txt", small / "probs.txt");
         for (int k = 1; k <= kFaultCases; ++k) {
           fs::create_symlink(dir.path() / case_name(k, ".RawDam"),
                              small / case_name(k, ".RawDam"));
         }
         return "";
       },
       38,
       "forrtl: severe (38): error during write, unit 90, file riser_001.WghDam\n",
       [first](const scratch_dir& dir, const run_result&) {
         const std::string cut = mask_date(dir.read("small/riser_001.WghDam"));
         ::umount((dir.path() / "small").c_str());
         EXPECT_TRUE(ends_with_record(cut));
         EXPECT_TRUE(first.starts_with(cut));
         EXPECT_GE(cut.size(), kTmpfsBytes - 2 * kPage - 300) << "complete records lost";
       }},
      {"ulimit -v: no room for the tables",
       made::typical_run,
       {.address_space = 300000 * 1024},
       kTypicalAnswers,
       [](const scratch_dir&) -> std::string {
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
         return "the sanitizer's shadow memory does not fit in the limit";
#else
         return "";
#endif
       },
       1,
       reserve_failed,
       [](const scratch_dir& dir, const run_result& r) {
         EXPECT_EQ(r.out, "");
         EXPECT_FALSE(dir.exists("riser_001.WghDam"));
       }},
      {"a read-only weighted file, as an unprivileged user",
       made::typical_run,
       {.as_nobody = true},
       kTypicalAnswers,
       [](const scratch_dir& dir) -> std::string {
         if (::geteuid() != 0) return "needs root to run as nobody";
         dir.write("riser_002.WghDam", "an earlier run\r\n");
         fs::permissions(dir.path() / "riser_002.WghDam", fs::perms(0444));
         fs::permissions(dir.path(), fs::perms(0777));
         return "";
       },
       1,
       "",
       [typical_count](const scratch_dir& dir, const run_result& r) {
         EXPECT_TRUE(
             r.out.ends_with(" Cannot Open : riser_002.WghDam\r\n" + kErrorHeader + typical_count))
             << r.out;
         EXPECT_EQ(dir.read("riser_002.WghDam"), "an earlier run\r\n");
       }},
  };
}

// Blocked writes ended by console events: a FIFO nobody reads, standard output
// and standard error stalled.
std::vector<limit_case> blocked_cases(const std::string& first) {
  const std::string wrong_names = repeat("nothere.txt\n", 3000);
  const std::string term = "forrtl: error (200): program aborting due to window-CLOSE event\n";
  const std::string ctrl_c = "forrtl: error (200): program aborting due to control-C event\n";
  const auto no_prepare = [](const scratch_dir&) { return std::string(); };
  const auto fifo_second = [](const scratch_dir& dir) {
    return ::mkfifo((dir.path() / "riser_002.WghDam").c_str(), 0600) == 0 ? "" : "no FIFO here";
  };
  const auto first_complete_only = [first](const scratch_dir& dir, const run_result&) {
    EXPECT_EQ(mask_date(dir.read("riser_001.WghDam")), first);
    EXPECT_FALSE(dir.exists("riser_003.WghDam"));
    EXPECT_FALSE(dir.exists("riser.AccDam"));
  };
  return {
      {"a FIFO nobody reads in place of riser_002.WghDam, SIGTERM then SIGINT",
       made::fault_run,
       {.events = {SIGTERM, SIGINT}, .ready_file = "riser_001.WghDam", .ready_bytes = first.size()},
       kFaultAnswers,
       fifo_second,
       128 + SIGTERM,
       term,
       first_complete_only},
      {"standard output stalled, control-C",
       made::typical_run,
       {.stalled_output = true, .events = {SIGINT}},
       "1\n3\n" + wrong_names,
       no_prepare,
       128 + SIGINT,
       ctrl_c,
       [](const scratch_dir&, const run_result&) {}},
      // The report line cannot get out either: the end comes all the same.
      {"standard output and error on one stalled pipe, control-C then SIGTERM",
       made::typical_run,
       {.stalled_output = true, .error_on_output = true, .events = {SIGINT, SIGTERM}},
       "1\n3\n" + wrong_names,
       no_prepare,
       128 + SIGINT,
       "",
       [](const scratch_dir&, const run_result&) {}},
  };
}

// The console streams belong to the caller: a log that standard output is
// appended to keeps every byte it held, whatever ends the run, and what the
// run could add is the beginning of its console text (console). The first
// ending decides: a fatal report under way keeps its number and its line.
std::vector<limit_case> caller_stream_cases(const std::string& console) {
  static constexpr std::size_t kLimit = 15 * 1024;
  const std::string earlier = repeat("a line of an earlier job\n", 3000);
  const std::string on_tmpfs = earlier.substr(0, 65000);
  const std::string cut_console = "forrtl: severe (38): error during write, unit 6, file CONOUT$\n";
  const auto write_log = [](std::string name, std::string before) {
    return [name, before](const scratch_dir& dir) {
      dir.write(name, before);
      return std::string();
    };
  };
  // The log holds before, then a beginning of the console text.
  const auto log_kept = [console](std::string name, std::string before) {
    return [console, name, before](const scratch_dir& dir, const run_result&) {
      const std::string log = dir.read(name);
      EXPECT_TRUE(log.starts_with(before))
          << "the log holds " << log.size() << " bytes, " << before.size() << " before the run";
      EXPECT_TRUE(console.starts_with(log.substr(std::min(before.size(), log.size()))));
    };
  };
  const std::string near_limit = earlier.substr(0, kLimit - console.size() / 2);
  return {
      {"ulimit -f: an appended log keeps its bytes and what the limit let through",
       made::typical_run,
       {.file_size = kLimit, .output_log = "job.log"},
       kTypicalAnswers,
       write_log("job.log", near_limit),
       38,
       cut_console,
       [kept = log_kept("job.log", near_limit)](const scratch_dir& dir, const run_result& r) {
         kept(dir, r);
         EXPECT_EQ(dir.read("job.log").size(), kLimit);
       }},
      {"a full 64 KiB tmpfs: an appended log keeps its bytes",
       made::typical_run,
       {.output_log = "small/job.log"},
       kTypicalAnswers,
       [on_tmpfs](const scratch_dir& dir) -> std::string {
         const fs::path small = dir.path() / "small";
         fs::create_directory(small);
         if (::mount("tmpfs", small.c_str(), "tmpfs", 0, "size=64k") != 0) {
           return std::string("cannot mount a tmpfs here: ") + std::strerror(errno);
         }
         dir.write("small/job.log", on_tmpfs);
         return "";
       },
       38,
       cut_console,
       [kept = log_kept("small/job.log", on_tmpfs)](const scratch_dir& dir, const run_result& r) {
         kept(dir, r);
         ::umount((dir.path() / "small").c_str());
       }},
      {"each write slowed, control-C while one to an appended log is under way",
       made::typical_run,
       {.output_log = "job.log", .slow_writes = true, .events = {SIGINT}},
       kTypicalAnswers,
       [prepare = write_log("job.log", earlier.substr(0, 2992))](const scratch_dir& dir) {
         child_spec probe;
         probe.command = {kStrace, "-qq", "-o", "/dev/null", "/bin/true"};
         probe.through_launcher = false;
         if (::access(kStrace, X_OK) != 0 || run_child(probe).status != 0) {
           return std::string("no strace here that can hold each write");
         }
         return prepare(dir);
       },
       128 + SIGINT,
       std::nullopt,  // the report line is held too, strace's own notes beside it
       log_kept("job.log", earlier.substr(0, 2992))},
      {"report 38 under way on a held standard error, then control-C",
       made::typical_run,
       {.output_log = "/dev/full", .error_held = true, .events = {SIGINT}},
       kTypicalAnswers,
       [](const scratch_dir&) { return std::string(); },
       38,
       cut_console,
       [](const scratch_dir&, const run_result&) {}},
  };
}

// Runs one case of the table; a case that cannot run here says why.
void run_limit_case(const limit_case& c) {
  SCOPED_TRACE(c.name);
  scratch_dir dir;
  if (c.run == made::fault_run) {
    write_fault_run(dir);
  } else {
    write_typical_run(dir);
  }
#if defined(__SANITIZE_THREAD__)
  if (c.setup.slow_writes && c.setup.events[0] != 0) {
    std::printf(
        "[  SKIPPED ] %s: ThreadSanitizer's own signal handling does not combine with "
        "writes held by strace\n",
        c.name);
    return;
  }
#endif
  if (const std::string why = c.prepare(dir); !why.empty()) {
    std::printf("[  SKIPPED ] %s: %s\n", c.name, why.c_str());
    return;
  }
  // A checkout in a private folder (mode 700) keeps the unprivileged user from
  // the program: that user runs a copy in the run's own folder.
  fault_setup setup = c.setup;
  const fs::path copy = dir.path() / "vantor-copy";
  if (setup.as_nobody && !nobody_can_execute(vantor_binary())) {
    fs::copy_file(vantor_binary(), copy);
    fs::permissions(copy, fs::perms(0755));
    if (!nobody_can_execute(copy)) {
      std::printf(
          "[  SKIPPED ] %s: the unprivileged user can reach neither the program nor "
          "the scratch folder\n",
          c.name);
      return;
    }
    setup.program = copy.c_str();
  }
  const fault_result r = run_faulted(dir.path() / setup.subdir, c.answers, setup);
  EXPECT_EQ(r.run.status, c.status) << r.run.err;
  if (c.err) {
    EXPECT_EQ(r.run.err, *c.err);
  }
  // strace itself ends only once the writes it holds are due.
  if (c.setup.events[0] != 0 && !c.setup.slow_writes) {
    EXPECT_LT(r.seconds_after_event, 1.5) << "not ended promptly";
  }
  c.check(dir, r.run);
}

TEST(Faults, LimitsBlockedWritesAndPermissions) {
  if (test_launcher() != nullptr) GTEST_SKIP() << kNoSignalsThroughLauncher;
  const reference ref = complete_run(write_fault_run, kFaultCases, kFaultAnswers);
  for (const limit_case& c : limit_cases(ref.texts[0])) run_limit_case(c);
  for (const limit_case& c : blocked_cases(ref.texts[0])) run_limit_case(c);
}

TEST(Faults, StandardStreamsOfTheCaller) {
  if (test_launcher() != nullptr) GTEST_SKIP() << kNoSignalsThroughLauncher;
  scratch_dir dir;
  write_typical_run(dir);
  const std::string console = run_vantor(dir.path(), kTypicalAnswers).out;
  for (const limit_case& c : caller_stream_cases(console)) run_limit_case(c);
}

// Address-space limits from just above the tables up to enough for the run:
// every run ends in a defined way, with one line on standard error when it
// cannot go on, never by a signal.
TEST(Faults, AddressSpaceLimitsAboveTheTables) {
  if (test_launcher() != nullptr) GTEST_SKIP() << "a limit on Wine's address space is no test";
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
  GTEST_SKIP() << "the sanitizer's shadow memory does not fit in the limits";
#endif
  const reference ref = complete_run(write_fault_run, kFaultCases, kFaultAnswers);
  const std::string reserve_failed = "Vantor: cannot reserve the run's tables (" +
                                     std::to_string(sizeof(driver::run_tables)) +
                                     " bytes): Cannot allocate memory\n";
  constexpr rlim_t kStep = 256 * 1024;
  const rlim_t tables = sizeof(driver::run_tables) / kStep * kStep;
  int out_of_memory = 0;
  int complete_in_a_row = 0;
  for (rlim_t limit = tables; limit < tables + 256 * kStep && complete_in_a_row < 4;
       limit += kStep) {
    SCOPED_TRACE(limit / 1024);
    scratch_dir dir;
    write_fault_run(dir);
    const run_result r = run_faulted(dir.path(), kFaultAnswers, {.address_space = limit}).run;
    complete_in_a_row = r.status == 0 ? complete_in_a_row + 1 : 0;
    if (r.status == 0) {
      EXPECT_EQ(r.err, "");
      continue;
    }
    EXPECT_EQ(r.status, 1);
    if (r.err == reserve_failed) continue;
    EXPECT_EQ(r.err, "Vantor: out of memory\n");
    ++out_of_memory;
    // What was written is complete records of the run's files.
    for (std::size_t k = 0; k < ref.names.size() && dir.exists(ref.names[k]); ++k) {
      const std::string text = mask_date(dir.read(ref.names[k]));
      EXPECT_TRUE(text.empty() || ends_with_record(text)) << ref.names[k];
      EXPECT_TRUE(ref.texts[k].starts_with(text)) << ref.names[k];
    }
  }
  EXPECT_EQ(complete_in_a_row, 4) << "no limit let the run complete";
  std::printf("[          ] %d of the limits ended out of memory\n", out_of_memory);
}

}  // namespace
}  // namespace vantor::testing
