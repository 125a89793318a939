// Faults from outside, end to end on the real program: a full disk, output
// files that cannot be created, raw damage files that cannot be read or vanish,
// and the console events in the middle of writing. Whatever happens, the run
// ends with a report and a non-zero status, and every file keeps the complete
// records written before the fault and nothing else.
#include "tests/e2e/faults.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <memory>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "tests/e2e/harness.h"
#include "tests/support/answers.h"
#include "tests/support/expected.h"
#include "tests/support/generate_run.h"

namespace vantor::testing {
namespace {

// The standard streams of a run: answers from a file or none (closed),
// output to a path or closed, standard error to a pipe or closed.
struct streams {
  bool input_closed = false;
  const char* output = "/dev/null";  // nullptr: closed
  bool error_closed = false;
};

run_result run_with_streams(const fs::path& dir, const std::string& answers, const streams& s) {
  const fs::path answers_file = dir / "answers.in";
  std::ofstream(answers_file, std::ios::binary) << answers;
  child_spec spec;
  spec.command = command(vantor_binary());
  spec.folder = dir;
  spec.in = s.input_closed ? stream{stream::kind::closed} : stream::to_file(answers_file);
  spec.out = s.output == nullptr ? stream{stream::kind::closed} : stream::to_file(s.output);
  spec.err = {s.error_closed ? stream::kind::closed : stream::kind::pipe};
  const child_result r = run_child(spec);
  return {r.out, r.err, r.status};
}

TEST(Faults, DiskFullWhileWritingAWeightedFile) {
  const reference ref = complete_run(write_typical_run, 3, kTypicalAnswers);
  scratch_dir dir;
  write_typical_run(dir);
  fs::create_symlink("/dev/full", dir.path() / "riser_002.WghDam");
  const run_result r = run_vantor(dir.path(), kTypicalAnswers);
  EXPECT_EQ(r.err, "forrtl: severe (38): error during write, unit 90, file riser_002.WghDam\n");
  EXPECT_EQ(r.status, 38);
  EXPECT_EQ(mask_date(dir.read("riser_001.WghDam")), ref.texts[0]);
  EXPECT_FALSE(dir.exists("riser_003.WghDam"));
  EXPECT_FALSE(dir.exists("riser.AccDam"));
}

TEST(Faults, DiskFullWhileWritingTheReport) {
  const reference ref = complete_run(write_typical_run, 3, kTypicalAnswers);
  scratch_dir dir;
  write_typical_run(dir);
  fs::create_symlink("/dev/full", dir.path() / "riser.AccDam");
  const run_result r = run_vantor(dir.path(), kTypicalAnswers);
  EXPECT_EQ(r.err, "forrtl: severe (38): error during write, unit 90, file riser.AccDam\n");
  EXPECT_EQ(r.status, 38);
  for (int k = 0; k < 3; ++k) EXPECT_EQ(mask_date(dir.read(ref.names[k])), ref.texts[k]);
}

// Console streams that cannot be used: the console report, the status, and
// no file of the run taken for a console stream.
TEST(Faults, ConsoleStreamsThatCannotBeUsed) {
  struct stream_case {
    const char* name;
    streams s;
    std::string answers;
    int status;
    std::string err;
  };
  const stream_case cases[] = {
      {"output on a full disk",
       {false, "/dev/full", false},
       kTypicalAnswers,
       38,
       "forrtl: severe (38): error during write, unit 6, file CONOUT$\n"},
      {"output closed",
       {false, nullptr, false},
       kTypicalAnswers,
       38,
       "forrtl: severe (38): error during write, unit 6, file CONOUT$\n"},
      {"input closed",
       {true, "/dev/null", false},
       kTypicalAnswers,
       39,
       "forrtl: severe (39): error during read, unit 5, file CONIN$\n"},
      // The probability file is open when the report is written: it must not
      // receive the report in place of the closed standard error.
      {"standard error closed",
       {false, "/dev/null", true},
       dialogue_answers{.digits = "x"}.text(),
       59,
       ""},
      {"standard error closed, complete run", {false, "/dev/null", true}, kTypicalAnswers, 0, ""},
  };
  const reference ref = complete_run(write_typical_run, 3, kTypicalAnswers);
  for (const stream_case& c : cases) {
    SCOPED_TRACE(c.name);
    scratch_dir dir;
    write_typical_run(dir);
    const run_result r = run_with_streams(dir.path(), c.answers, c.s);
    EXPECT_EQ(r.status, c.status);
    EXPECT_EQ(r.err, c.err);
    EXPECT_EQ(dir.read("probs.txt"), "0.5 0.3 0.2\n");
    if (c.status == 0) {
      expect_complete(dir, ref);
    }
  }
}

// An output file in the way: " Cannot Open : ", the error header, status 1;
// the files written before it stay.
TEST(Faults, OutputFileThatCannotBeCreated) {
  struct blocked_case {
    const char* name;  // made a directory
    std::string expected_tail;
    int intact;  // weighted files complete before it
  };
  const std::string processing =
      " Processing File : riser_001.RawDam\r\n"
      " Processing File : riser_002.RawDam\r\n"
      " Processing File : riser_003.RawDam\r\n";
  const std::string count = "\r\n     4 lines with plot data found\r\n\r\n";
  const blocked_case cases[] = {
      {"riser_001.WghDam",
       processing + " Cannot Open : riser_001.WghDam\r\n" + kErrorHeader + count, 0},
      {"riser_003.WghDam",
       processing + " Cannot Open : riser_003.WghDam\r\n" + kErrorHeader + count, 2},
      {"riser.AccDam", processing + " Cannot Open : riser.AccDam\r\n" + kErrorHeader + count, 3},
  };
  const reference ref = complete_run(write_typical_run, 3, kTypicalAnswers);
  for (const blocked_case& c : cases) {
    SCOPED_TRACE(c.name);
    scratch_dir dir;
    write_typical_run(dir);
    fs::create_directory(dir.path() / c.name);
    const run_result r = run_vantor(dir.path(), kTypicalAnswers);
    EXPECT_TRUE(r.out.ends_with(c.expected_tail)) << r.out;
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(r.status, 1);
    for (int k = 0; k < c.intact; ++k) EXPECT_EQ(mask_date(dir.read(ref.names[k])), ref.texts[k]);
  }
}

TEST(Faults, OutputFolderWithoutWritePermission) {
  if (::geteuid() == 0) GTEST_SKIP() << "root writes into read-only folders";
  scratch_dir dir;
  write_typical_run(dir);
  fs::permissions(dir.path(), fs::perms::owner_write, fs::perm_options::remove);
  const run_result r = run_vantor(dir.path(), kTypicalAnswers);
  fs::permissions(dir.path(), fs::perms::owner_write, fs::perm_options::add);
  EXPECT_NE(r.out.find(" Cannot Open : riser_001.WghDam\r\n" + kErrorHeader), std::string::npos);
  EXPECT_EQ(r.status, 1);
}

TEST(Faults, RawDamageFileThatCannotBeRead) {
  scratch_dir dir;
  write_typical_run(dir);
  fs::remove(dir.path() / "riser_002.RawDam");
  fs::create_directory(dir.path() / "riser_002.RawDam");
  const run_result r = run_vantor(dir.path(), kTypicalAnswers);
  EXPECT_TRUE(
      r.out.ends_with(" Processing File : riser_001.RawDam\r\n"
                      " Cannot Open : riser_002.RawDam\r\n" +
                      kErrorHeader + "\r\n     4 lines with plot data found\r\n\r\n"))
      << r.out;
  EXPECT_EQ(r.status, 1);
  EXPECT_FALSE(dir.exists("riser_001.WghDam"));
}

TEST(Faults, RawDamageFileWithoutReadPermission) {
  if (::geteuid() == 0) GTEST_SKIP() << "root reads files without read permission";
  scratch_dir dir;
  write_typical_run(dir);
  fs::permissions(dir.path() / "riser_002.RawDam", fs::perms::none);
  const run_result r = run_vantor(dir.path(), kTypicalAnswers);
  EXPECT_NE(r.out.find(" Cannot Open : riser_002.RawDam\r\n" + kErrorHeader), std::string::npos);
  EXPECT_EQ(r.status, 1);
}

TEST(Faults, RawDamageFileThatIsANamedPipe) {
  if (test_launcher() != nullptr) {
    GTEST_SKIP() << "a FIFO is a POSIX file: Wine opens it without waiting for its writer and "
                    "reads its end at once";
  }
  scratch_dir dir;
  write_typical_run(dir);
  const std::string content = dir.read("riser_002.RawDam");
  fs::remove(dir.path() / "riser_002.RawDam");
  ASSERT_EQ(::mkfifo((dir.path() / "riser_002.RawDam").c_str(), 0600), 0);
  // Another program writes the case file into the pipe and closes it.
  std::thread writer([&] {
    const int fd = ::open((dir.path() / "riser_002.RawDam").c_str(), O_WRONLY);
    if (fd < 0) return;
    (void)!::write(fd, content.data(), content.size());
    ::close(fd);
  });
  const run_result r = run_vantor(dir.path(), kTypicalAnswers);
  writer.join();
  EXPECT_EQ(r.status, 0) << r.out;
  EXPECT_TRUE(dir.exists("riser.AccDam"));
}

TEST(Faults, FileToBeWrittenStartsEmptyEvenWhenTheRunEndsFirst) {
  // A prefix too long for the header record ends the run (66) with the first
  // weighted damage file open: an earlier run's file of that name is emptied.
  scratch_dir dir;
  const std::string prefix(160, 'p');
  dir.write("probs.txt", "1.0\n");
  dir.write(prefix + "_001.RawDam", "1 1E-3\n");
  dir.write(prefix + "_001.WghDam", "content of an earlier run\r\n");
  const run_result r =
      run_vantor(dir.path(), dialogue_answers{.last = "1", .prefix = prefix}.text());
  EXPECT_EQ(r.status, 66);
  EXPECT_EQ(r.err,
            "forrtl: severe (66): output statement overflows record, unit -5, file Internal "
            "Formatted Write\n");
  EXPECT_TRUE(dir.exists(prefix + "_001.WghDam"));
  EXPECT_EQ(dir.read(prefix + "_001.WghDam"), "");
}

// --- Large runs: the files removed while read, the console events -----------

constexpr int kLargeCases = 30;

void write_large_run(const scratch_dir& dir) {
  static const std::string text = large_case_text();
  std::string probs;
  for (int c = 1; c <= kLargeCases; ++c) {
    probs += "1/" + std::to_string(kLargeCases) + "\n";
    dir.write(case_name(c, ".RawDam"), text);
  }
  dir.write("probs.txt", probs);
}

const std::string kLargeAnswers = dialogue_answers{.last = std::to_string(kLargeCases)}.text();

const reference& large_reference() {
  static const reference ref = complete_run(write_large_run, kLargeCases, kLargeAnswers);
  return ref;
}

// The threads a run uses and the size of its pages change no byte it writes.
TEST(Faults, ThreadsAndPageSizesWriteTheSameFiles) {
  const reference& ref = large_reference();
  const std::pair<const char*, const char*> settings[] = {
      {"VANTOR_THREADS", "1"}, {"VANTOR_THREADS", "3"}, {"VANTOR_HUGE_PAGES", "1"}};
  for (const auto& [name, value] : settings) {
    SCOPED_TRACE(std::string(name) + "=" + value);
    scratch_dir dir;
    write_large_run(dir);
    ::setenv(name, value, 1);
    const run_result r = run_vantor(dir.path(), kLargeAnswers);
    ::unsetenv(name);
    EXPECT_EQ(r.status, 0) << r.out << r.err;
    expect_complete(dir, ref);
  }
}

// A large run started in a scratch folder: its standard error read on a
// thread of its own (err, once err_reader is joined), its answers fed (fed:
// the bytes the program took), standard input closed.
struct large_run {
  scratch_dir dir;
  std::unique_ptr<child_process> p;
  std::string err;
  std::thread err_reader;
  ssize_t fed = 0;

  large_run() {
    write_large_run(dir);
    p = start(dir.path());
    err_reader = std::thread([this] { err = slurp_fd(p->error()); });
    fed = ::write(p->input(), kLargeAnswers.data(), kLargeAnswers.size());
    p->close_input();
  }
  ~large_run() {
    if (err_reader.joinable()) err_reader.join();
  }
  large_run(const large_run&) = delete;
  large_run& operator=(const large_run&) = delete;
};

// Reads standard output until text has appeared in it.
bool read_until(int fd, std::string& out, std::string_view text) {
  char buf[4096];
  while (out.find(text) == std::string::npos) {
    const ssize_t n = ::read(fd, buf, sizeof buf);
    if (n <= 0) return false;
    out.append(buf, static_cast<std::size_t>(n));
  }
  return true;
}

// Pass 1 reads every case before pass 2 writes: a raw damage file removed
// once it is open, while it is read or after, changes nothing.
TEST(Faults, RawDamageFilesRemovedOnceOpened) {
  const reference& ref = large_reference();
  scratch_dir dir;
  write_large_run(dir);
  const auto p = start(dir.path());
  ASSERT_EQ(::write(p->input(), kLargeAnswers.data(), kLargeAnswers.size()),
            static_cast<ssize_t>(kLargeAnswers.size()));
  p->close_input();
  std::string out;
  for (int c = 1; c <= kLargeCases; ++c) {
    const std::string name = case_name(c, ".RawDam");
    ASSERT_TRUE(read_until(p->output(), out, " Processing File : " + name + "\r\n")) << out;
    fs::remove(dir.path() / name);
  }
  out += slurp_fd(p->output());
  const std::string err = slurp_fd(p->error());
  EXPECT_EQ(p->wait().status, 0) << err;
  expect_complete(dir, ref);
}

// A console event in the middle of pass 2: the report line, status 128 +
// signal, the files closed before it complete, the open one holding complete
// records only (a beginning of its complete text), nothing written after it.
TEST(Faults, ConsoleEventsInTheMiddleOfPassTwo) {
  if (test_launcher() != nullptr) GTEST_SKIP() << kNoSignalsThroughLauncher;
  struct event_case {
    int signal;
    const char* event;
  };
  const reference& ref = large_reference();
  for (const event_case& c : {event_case{SIGINT, "control-C"}, event_case{SIGTERM, "window-CLOSE"},
                              event_case{SIGHUP, "window-CLOSE"}}) {
    SCOPED_TRACE(c.event);
    large_run run;
    const scratch_dir& dir = run.dir;
    const auto& p = run.p;
    std::string out;
    const std::string last = " Processing File : " + case_name(kLargeCases, ".RawDam") + "\r\n";
    const bool pass_one_done = read_until(p->output(), out, last);
    // Pass 2 is under way once its third file exists.
    const fs::path third = dir.path() / ref.names[2];
    for (int polls = 0; pass_one_done && !fs::exists(third) && polls < 600000; ++polls) {
      std::this_thread::sleep_for(std::chrono::microseconds(100));
    }
    ::kill(p->pid(), c.signal);
    out += slurp_fd(p->output());
    run.err_reader.join();
    EXPECT_EQ(run.fed, static_cast<ssize_t>(kLargeAnswers.size()));
    EXPECT_EQ(p->wait().status, 128 + c.signal);
    EXPECT_EQ(run.err,
              std::string("forrtl: error (200): program aborting due to ") + c.event + " event\n");
    EXPECT_TRUE(out.ends_with(last)) << "the console has more than pass 1";

    // The files in the order they are written: complete ones, then at most one
    // cut after a complete record, then none.
    std::size_t k = 0;
    while (k < ref.names.size() && dir.exists(ref.names[k])) ++k;
    ASSERT_GE(k, 3U);
    EXPECT_LT(k, ref.names.size()) << "the run was complete before the event";
    for (std::size_t w = k; w < ref.names.size(); ++w) EXPECT_FALSE(dir.exists(ref.names[w]));
    for (std::size_t done = 0; done + 1 < k; ++done) {
      EXPECT_EQ(mask_date(dir.read(ref.names[done])), ref.texts[done]) << ref.names[done];
    }
    const std::string open = mask_date(dir.read(ref.names[k - 1]));
    EXPECT_TRUE(open.empty() || ends_with_record(open)) << ref.names[k - 1];
    EXPECT_TRUE(ref.texts[k - 1].starts_with(open)) << ref.names[k - 1];
  }
}

// A console event in pass 1 (here while case 11, a named pipe, has no writer
// yet, the next plane under way beside it) ends the run before any file is
// written.
TEST(Faults, ConsoleEventInPassOne) {
  if (test_launcher() != nullptr) GTEST_SKIP() << kNoSignalsThroughLauncher;
  scratch_dir dir;
  write_large_run(dir);
  const fs::path pipe = dir.path() / case_name(11, ".RawDam");
  fs::remove(pipe);
  ASSERT_EQ(::mkfifo(pipe.c_str(), 0600), 0);
  const auto p = start(dir.path());
  ASSERT_EQ(::write(p->input(), kLargeAnswers.data(), kLargeAnswers.size()),
            static_cast<ssize_t>(kLargeAnswers.size()));
  p->close_input();
  std::string out;
  const std::string last = " Processing File : " + case_name(10, ".RawDam") + "\r\n";
  ASSERT_TRUE(read_until(p->output(), out, last));
  ::kill(p->pid(), SIGINT);
  out += slurp_fd(p->output());
  const std::string err = slurp_fd(p->error());
  EXPECT_EQ(p->wait().status, 128 + SIGINT);
  EXPECT_EQ(err, "forrtl: error (200): program aborting due to control-C event\n");
  EXPECT_TRUE(out.ends_with(last));
  for (int c = 1; c <= kLargeCases; ++c) EXPECT_FALSE(dir.exists(case_name(c, ".WghDam")));
}

// The closing count line is written like every line before it: a reader of
// standard output gone by then is reported (38), not a complete run.
TEST(Faults, ConsoleReaderGoneBeforeTheCountLine) {
  const reference& ref = large_reference();
  large_run run;
  const auto& p = run.p;
  std::string out;
  // Pass 2 and the report, which take a while, are still to come.
  EXPECT_TRUE(read_until(p->output(), out, case_name(kLargeCases, ".RawDam") + "\r\n")) << out;
  p->close_output();
  run.err_reader.join();
  EXPECT_EQ(run.fed, static_cast<ssize_t>(kLargeAnswers.size()));
  EXPECT_EQ(p->wait().status, 38);
  EXPECT_EQ(run.err, "forrtl: severe (38): error during write, unit 6, file CONOUT$\n");
  expect_complete(run.dir, ref);
}

}  // namespace
}  // namespace vantor::testing
