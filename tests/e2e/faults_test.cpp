// Faults from outside, end to end on the real program: a full disk, output
// files that cannot be created, raw damage files that cannot be read or vanish,
// and the console events in the middle of writing. Whatever happens, the run
// ends with a report and a non-zero status, and every file keeps the complete
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
#include <string>
#include <thread>
#include <vector>

#include "driver/state.h"
#include "tests/e2e/harness.h"
#include "tests/support/expected.h"
#include "tests/support/generate_run.h"

namespace vantor::testing {
namespace {

std::string case_name(int c, std::string_view suffix) {
  return case_file_name("riser", c, 3, suffix);
}

// The files of a complete run of the typical case set, dates masked.
struct reference {
  std::vector<std::string> names;  // in the order they are written
  std::vector<std::string> texts;
};

// Every file of the complete run is in the folder, byte for byte.
void expect_complete(const scratch_dir& dir, const reference& ref) {
  for (std::size_t k = 0; k < ref.names.size(); ++k) {
    EXPECT_EQ(mask_date(dir.read(ref.names[k])), ref.texts[k]) << ref.names[k];
  }
}

reference complete_run(const std::function<void(const scratch_dir&)>& make, int cases,
                       const std::string& answers) {
  scratch_dir dir;
  make(dir);
  const run_result r = run_vantor(dir.path(), answers);
  EXPECT_EQ(r.status, 0) << r.out << r.err;
  reference ref;
  for (int c = 1; c <= cases; ++c) ref.names.push_back(case_name(c, ".WghDam"));
  ref.names.push_back("riser.AccDam");
  for (const std::string& name : ref.names) ref.texts.push_back(mask_date(dir.read(name)));
  return ref;
}

bool ends_with_record(const std::string& text) {
  return text.size() >= 2 && text.compare(text.size() - 2, 2, "\r\n") == 0;
}

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
      {"standard error closed", {false, "/dev/null", true}, "1\n3\nprobs.txt\nriser\nx\n", 59, ""},
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
  const run_result r = run_vantor(dir.path(), "1\n1\nprobs.txt\n" + prefix + "\n\n");
  EXPECT_EQ(r.status, 66);
  EXPECT_EQ(r.err,
            "forrtl: severe (66): output statement overflows record, unit -5, file Internal "
            "Formatted Write\n");
  EXPECT_TRUE(dir.exists(prefix + "_001.WghDam"));
  EXPECT_EQ(dir.read(prefix + "_001.WghDam"), "");
}

// --- Large runs: the files removed while read, the console events -----------

constexpr int kLargeCases = 30;
constexpr int kLargeSections = 3000;
constexpr int kLargeHotSpots = 20;

std::string large_case_text() {
  return raw_damage_text(
      {1, kLargeSections, kLargeHotSpots, [](int e) { return (e + 1) * 0.5; },
       [](int e, int j) { return ((e * 37 + j * 11 + 48) % 997 + 1) * 1.0E-7; }});
}

void write_large_run(const scratch_dir& dir) {
  static const std::string text = large_case_text();
  std::string probs;
  for (int c = 1; c <= kLargeCases; ++c) {
    probs += "1/" + std::to_string(kLargeCases) + "\n";
    dir.write(case_name(c, ".RawDam"), text);
  }
  dir.write("probs.txt", probs);
}

const std::string kLargeAnswers = "1\n" + std::to_string(kLargeCases) + "\nprobs.txt\nriser\n\n";

const reference& large_reference() {
  static const reference ref = complete_run(write_large_run, kLargeCases, kLargeAnswers);
  return ref;
}

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
    scratch_dir dir;
    write_large_run(dir);
    const auto p = start(dir.path());
    std::string err;
    std::thread err_reader([&] { err = slurp_fd(p->error()); });
    const ssize_t fed = ::write(p->input(), kLargeAnswers.data(), kLargeAnswers.size());
    p->close_input();
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
    err_reader.join();
    EXPECT_EQ(fed, static_cast<ssize_t>(kLargeAnswers.size()));
    EXPECT_EQ(p->wait().status, 128 + c.signal);
    EXPECT_EQ(err,
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

// --- Limits, blocked writes and permissions -------------------------------------

// A run in a child with limits, another user, a stalled standard output or a
// console event sent once a moment has passed.
struct fault_setup {
  rlim_t file_size = RLIM_INFINITY;      // ulimit -f, in bytes
  rlim_t address_space = RLIM_INFINITY;  // ulimit -v, in bytes
  bool as_nobody = false;
  bool stalled_output = false;       // standard output a pipe that nobody reads
  bool error_on_output = false;      // standard error on standard output's pipe
  std::array<int, 2> events{};       // signals sent in turn once the run is ready (0: none)
  const char* ready_file = nullptr;  // ready: this file holds ready_bytes (else at once)
  std::size_t ready_bytes = 0;
  const char* subdir = "";        // the run's folder inside the scratch folder
  const char* program = nullptr;  // the program to run, if not the one under test
};

constexpr uid_t kNobody = 65534;

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

struct fault_result {
  run_result run;
  double seconds_after_event = 0;
};

using namespace std::chrono_literals;

fault_result run_faulted(const fs::path& dir, const std::string& answers, const fault_setup& f) {
  const fs::path answers_file = dir / "answers.in";
  std::ofstream(answers_file, std::ios::binary) << answers;
  child_spec spec;
  spec.command = command(f.program != nullptr ? f.program : vantor_binary());
  spec.folder = dir;
  spec.in = stream::to_file(answers_file);
  spec.out = {f.stalled_output ? stream::kind::stalled : stream::kind::pipe};
  spec.err = {f.error_on_output ? stream::kind::to_output : stream::kind::pipe};
  spec.in_child = [&f] {
    const rlimit fsize{f.file_size, f.file_size};
    const rlimit as{f.address_space, f.address_space};
    if (::setrlimit(RLIMIT_FSIZE, &fsize) != 0 || ::setrlimit(RLIMIT_AS, &as) != 0) ::_exit(127);
    if (f.as_nobody && (::setgid(kNobody) != 0 || ::setuid(kNobody) != 0)) ::_exit(127);
  };
  // A run that hangs is ended at the time limit, and shows as killed.
  child_process child(spec);
  std::chrono::steady_clock::time_point sent;
  if (f.events[0] != 0) {
    std::error_code ec;
    for (int i = 0; i < 2000 && f.ready_file != nullptr &&
                    fs::file_size(dir / f.ready_file, ec) != f.ready_bytes;
         ++i) {
      std::this_thread::sleep_for(10ms);
    }
    std::this_thread::sleep_for(300ms);  // the next write under way, or stuck
    sent = std::chrono::steady_clock::now();
    for (const int e : f.events) {
      if (e == 0) break;
      ::kill(child.pid(), e);
      std::this_thread::sleep_for(100ms);  // the first one received decides
    }
  }
  const child_result ended = child.wait();
  fault_result r;
  r.run = {ended.out, ended.err, ended.status};
  if (f.events[0] != 0) {
    r.seconds_after_event =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - sent).count();
  }
  return r;
}

constexpr int kFaultCases = 3;
const std::string kFaultAnswers = "1\n3\nprobs.txt\nriser\n\n";

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

// A fault on the first or second weighted file, for a table of how the run
// ends: the file before it complete, the file of the fault as the rule says,
// none after it.
TEST(Faults, LimitsBlockedWritesAndPermissions) {
  if (test_launcher() != nullptr) GTEST_SKIP() << kNoSignalsThroughLauncher;
  const reference ref = complete_run(write_fault_run, kFaultCases, kFaultAnswers);
  const std::string first = ref.texts[0];
  const std::string typical_count = count_line(4);
  const std::string wrong_names = repeat("nothere.txt\n", 3000);
  const std::string term = "forrtl: error (200): program aborting due to window-CLOSE event\n";
  const std::string ctrl_c = "forrtl: error (200): program aborting due to control-C event\n";
  const std::string reserve_failed = "Vantor: cannot reserve the run's tables (" +
                                     std::to_string(sizeof(driver::run_state)) +
                                     " bytes): Cannot allocate memory\n";
  constexpr rlim_t kFileLimit = 200 * 1024;
  constexpr std::size_t kTmpfsBytes = 600 * 1024;
  constexpr std::size_t kPage = 4096;

  enum class made { fault_run, typical_run };
  struct fault_case {
    const char* name;
    made run;
    fault_setup setup;
    std::string answers;
    // Sets the folder up; returns why the case cannot run here, or "".
    std::function<std::string(const scratch_dir&)> prepare;
    int status;
    std::string err;
    std::function<void(const scratch_dir&, const run_result&)> check;
  };
  const auto no_prepare = [](const scratch_dir&) { return std::string(); };
  const auto fifo_second = [](const scratch_dir& dir) {
    return ::mkfifo((dir.path() / "riser_002.WghDam").c_str(), 0600) == 0 ? "" : "no FIFO here";
  };
  const auto first_complete_only = [&](const scratch_dir& dir, const run_result&) {
    EXPECT_EQ(mask_date(dir.read("riser_001.WghDam")), first);
    EXPECT_FALSE(dir.exists("riser_003.WghDam"));
    EXPECT_FALSE(dir.exists("riser.AccDam"));
  };
  const fault_case cases[] = {
      {"ulimit -f: the file cut at its last complete record",
       made::fault_run,
       {.file_size = kFileLimit},
       kFaultAnswers,
       no_prepare,
       38,
       "forrtl: severe (38): error during write, unit 90, file riser_001.WghDam\n",
       [&](const scratch_dir& dir, const run_result&) {
         EXPECT_EQ(mask_date(dir.read("riser_001.WghDam")), records_within(first, kFileLimit));
         EXPECT_FALSE(dir.exists("riser_002.WghDam"));
       }},
      {"a full tmpfs: the file cut at its last complete record",
       made::fault_run,
       {.subdir = "small"},
       kFaultAnswers,
       [&](const scratch_dir& dir) -> std::string {
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
       [&](const scratch_dir& dir, const run_result&) {
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
#if defined(__SANITIZE_ADDRESS__)
         return "the address sanitizer's shadow memory does not fit in the limit";
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
       [&](const scratch_dir& dir, const run_result& r) {
         EXPECT_TRUE(
             r.out.ends_with(" Cannot Open : riser_002.WghDam\r\n" + kErrorHeader + typical_count))
             << r.out;
         EXPECT_EQ(dir.read("riser_002.WghDam"), "an earlier run\r\n");
       }},
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
  for (const fault_case& c : cases) {
    SCOPED_TRACE(c.name);
    scratch_dir dir;
    if (c.run == made::fault_run) {
      write_fault_run(dir);
    } else {
      write_typical_run(dir);
    }
    if (const std::string why = c.prepare(dir); !why.empty()) {
      std::printf("[  SKIPPED ] %s: %s\n", c.name, why.c_str());
      continue;
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
        continue;
      }
      setup.program = copy.c_str();
    }
    const fault_result r = run_faulted(dir.path() / setup.subdir, c.answers, setup);
    EXPECT_EQ(r.run.status, c.status) << r.run.err;
    EXPECT_EQ(r.run.err, c.err);
    if (c.setup.events[0] != 0) {
      EXPECT_LT(r.seconds_after_event, 1.5) << "not ended promptly";
    }
    c.check(dir, r.run);
  }
}

// The closing count line is written like every line before it: a reader of
// standard output gone by then is reported (38), not a complete run.
TEST(Faults, ConsoleReaderGoneBeforeTheCountLine) {
  const reference& ref = large_reference();
  scratch_dir dir;
  write_large_run(dir);
  const auto p = start(dir.path());
  std::string err;
  std::thread err_reader([&] { err = slurp_fd(p->error()); });
  const ssize_t fed = ::write(p->input(), kLargeAnswers.data(), kLargeAnswers.size());
  p->close_input();
  std::string out;
  // Pass 2 and the report, which take a while, are still to come.
  EXPECT_TRUE(read_until(p->output(), out, case_name(kLargeCases, ".RawDam") + "\r\n")) << out;
  p->close_output();
  err_reader.join();
  EXPECT_EQ(fed, static_cast<ssize_t>(kLargeAnswers.size()));
  EXPECT_EQ(p->wait().status, 38);
  EXPECT_EQ(err, "forrtl: severe (38): error during write, unit 6, file CONOUT$\n");
  expect_complete(dir, ref);
}

// Address-space limits from just above the tables up to enough for the run:
// every run ends in a defined way, with one line on standard error when it
// cannot go on, never by a signal.
TEST(Faults, AddressSpaceLimitsAboveTheTables) {
  if (test_launcher() != nullptr) GTEST_SKIP() << "a limit on Wine's address space is no test";
#if defined(__SANITIZE_ADDRESS__)
  GTEST_SKIP() << "the address sanitizer's shadow memory does not fit in the limits";
#endif
  const reference ref = complete_run(write_fault_run, kFaultCases, kFaultAnswers);
  const std::string reserve_failed = "Vantor: cannot reserve the run's tables (" +
                                     std::to_string(sizeof(driver::run_state)) +
                                     " bytes): Cannot allocate memory\n";
  constexpr rlim_t kStep = 256 * 1024;
  const rlim_t tables = sizeof(driver::run_state) / kStep * kStep;
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
