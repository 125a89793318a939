// The Linux programs are linked statically: both run the shipped example in an
// empty root (a folder holding only the two programs and the run, no loader,
// no libraries, no /etc, /proc or /dev) and write there the very bytes they
// write outside it. Without /etc/localtime the date stamps are UTC.
#include <gtest/gtest.h>
#include <sched.h>

#include <cerrno>
#include <cstring>
#include <ctime>
#include <map>
#include <string>

#include "tests/e2e/harness.h"

namespace vantor::testing {
namespace {

bool write_proc_file(const char* name, const std::string& text) {
  const int fd = ::open(name, O_WRONLY);
  if (fd < 0) return false;
  const bool done = ::write(fd, text.data(), text.size()) == static_cast<ssize_t>(text.size());
  ::close(fd);
  return done;
}

// In a child, in the folder: makes it the root; 0 or the errno of the refusal.
// A user other than root enters through a user namespace of its own, in which
// it keeps its user and group ids.
int enter_root() {
  if (::geteuid() != 0) {
    const std::string uid = std::to_string(::geteuid());
    const std::string gid = std::to_string(::getegid());
    if (::unshare(CLONE_NEWUSER) != 0) return errno;
    if (!write_proc_file("/proc/self/setgroups", "deny") ||
        !write_proc_file("/proc/self/uid_map", uid + " " + uid + " 1") ||
        !write_proc_file("/proc/self/gid_map", gid + " " + gid + " 1")) {
      return errno;
    }
  }
  return ::chroot(".") == 0 && ::chdir("/") == 0 ? 0 : errno;
}

struct example_run {
  child_result vantor, plot;
  std::map<std::string, std::string> files;  // every file of the folder, dates masked
};

const char* plot_binary() {
  return env_or("VANTOR_TEST_PLOT_BINARY", VANTOR_PLOT_BINARY);
}

// vantor on the example's answers, then vantor-plot on its report, in dir.
example_run run_example(const scratch_dir& dir, const std::string& vantor, const std::string& plot,
                        bool in_root) {
  child_spec spec;
  spec.through_launcher = false;
  spec.folder = dir.path();
  if (in_root) {
    spec.in_child = [] {
      ::unsetenv("TZ");  // the time zone of the root alone: none
      if (enter_root() != 0) ::_exit(127);
    };
  }
  spec.command = {vantor};
  spec.input = dir.read("answers.txt");
  example_run run;
  run.vantor = run_child(spec);
  spec.command = {plot, "riser"};
  spec.input.clear();
  run.plot = run_child(spec);
  for (const auto& entry : fs::directory_iterator(dir.path())) {
    const std::string name = entry.path().filename().string();
    if (name != "vantor" && name != "vantor-plot") run.files[name] = mask_date(dir.read(name));
  }
  return run;
}

std::string utc_stamp() {
  const std::time_t now = std::time(nullptr);
  std::tm utc{};
  ::gmtime_r(&now, &utc);
  char text[32];
  std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S", &utc);
  return text;
}

TEST(EndToEnd, BothProgramsRunAloneInAnEmptyRoot) {
#ifndef VANTOR_STATIC_PROGRAMS
  GTEST_SKIP() << "this build links the programs dynamically (the sanitizers' runtimes)";
#endif
  if (test_launcher() != nullptr) {
    GTEST_SKIP() << "the programs run through a launcher, which needs the system around it";
  }
  scratch_dir outside, root;
  for (const auto& file : fs::directory_iterator(fs::path(VANTOR_SOURCE_DIR) / "examples/riser")) {
    fs::copy_file(file.path(), outside.path() / file.path().filename());
    fs::copy_file(file.path(), root.path() / file.path().filename());
  }
  child_spec probe;
  probe.folder = root.path();
  probe.body = enter_root;
  if (const int refused = run_child(probe).status; refused != 0) {
    GTEST_SKIP() << "cannot enter an empty root here: " << std::strerror(refused);
  }
  fs::copy_file(vantor_binary(), root.path() / "vantor");
  fs::copy_file(plot_binary(), root.path() / "vantor-plot");

  const std::string before = utc_stamp();
  const example_run inside = run_example(root, "/vantor", "/vantor-plot", true);
  const std::string after = utc_stamp();
  const example_run native = run_example(outside, vantor_binary(), plot_binary(), false);

  EXPECT_EQ(inside.vantor.status, 0) << inside.vantor.err;
  EXPECT_EQ(inside.plot.status, 0) << inside.plot.err;
  for (const auto* run : {&inside, &native}) {
    // The example, its 5 weighted files and report, the 4 files of vantor-plot.
    EXPECT_EQ(run->files.size(), 7u + 6u + 4u);
  }
  EXPECT_EQ(inside.vantor.out, native.vantor.out);
  EXPECT_EQ(inside.vantor.err, native.vantor.err);
  EXPECT_EQ(inside.plot.out, native.plot.out);
  EXPECT_EQ(inside.plot.err, native.plot.err);
  EXPECT_EQ(inside.files, native.files);

  // No zone information in the root: the stamp is the UTC time of the run.
  const std::string report = root.read("riser.AccDam");
  const std::size_t at = report.find(" Date : ");
  ASSERT_NE(at, std::string::npos);
  const std::string stamp = report.substr(at + 8, 19);
  EXPECT_LE(before, stamp);
  EXPECT_LE(stamp, after);
}

}  // namespace
}  // namespace vantor::testing
