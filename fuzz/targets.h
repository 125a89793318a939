// The fuzz targets of Vantor, shared by the libFuzzer programs
// (fuzz/*_fuzzer.cpp) and by the replay of their corpora in the unit tests
// (tests/fuzz_replay_test.cpp).
//
// Each target runs part of the program in this process on files made from the
// input, in a work folder that is the current directory, and then checks what
// the run left behind. The program ends its run as it always does (fatal(),
// stop()); the harness links its own end of a run (fuzz/run_end_hook.h),
// which turns that end into a return to the target. A broken promise aborts, which the fuzzer
// reports as a crash.
//
//   read_to_end:  the input is a free-format file, read record by record with
//                 RDMIX to its end (line widths 512, as the driver reads, and
//                 2048, the widest), then once more, which must end the run.
//   dialogue:     the input is what the operator types, answering the whole
//                 dialogue, with a small valid run (probs.txt, riser_001 to
//                 riser_003) in the folder.
//   whole_run:    the input holds the probability file and up to 9 raw damage
//                 files, separated by the byte 0x1E; the answers are fixed
//                 (cases 1 to the number of files, prefix "riser").
#pragma once

#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <span>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

#include "driver/run.h"
#include "freeinput/reader.h"
#include "freeinput/state.h"
#include "fuzz/fuzz_support.h"
#include "fuzz/run_end_hook.h"
#include "tests/support/answers.h"
#include "textio/units/run_end.h"
#include "textio/units/units.h"

namespace vantor::fuzz {

namespace fs = std::filesystem;

inline constexpr char kPartSeparator = '\x1e';
inline constexpr int kMaxRunCases = 9;
inline constexpr int kReadUnit = 89;
inline constexpr int kTextLength = 80;  // the driver's text elements
inline constexpr std::string_view kEofLine =
    "#  ------------------------  E O F  ------------------------\r\n";

[[noreturn]] inline void broken(std::string_view what) {
  std::fprintf(stderr, "vantor fuzz target: %.*s\n", static_cast<int>(what.size()), what.data());
  std::abort();
}

// --- The run ending as a return ----------------------------------------------

// Runs body until it returns (status -1) or the program ends its run (the exit
// status it would have ended the process with).
template <class Body>
int until_run_ends(Body&& body) {
  set_run_end_returns(true);
  int status = -1;
  try {
    body();
  } catch (const run_ended& end) {
    status = end.status;
  }
  set_run_end_returns(false);
  return status;
}

// --- The work folder ---------------------------------------------------------

inline fs::path& work_folder() {
  static fs::path folder;
  return folder;
}

// Makes folder the work folder and the current directory.
inline void enter_work_folder(const fs::path& folder) {
  fs::current_path(folder);
  work_folder() = fs::current_path();
}

// Makes a new work folder, in memory (/dev/shm) where there is one.
inline fs::path make_work_folder() {
  std::error_code ec;
  const fs::path base = fs::is_directory("/dev/shm", ec) && ::access("/dev/shm", W_OK) == 0
                            ? fs::path("/dev/shm")
                            : fs::temp_directory_path();
  std::string pattern = (base / "vantor_fuzz_XXXXXX").string();
  if (::mkdtemp(pattern.data()) == nullptr) broken("cannot make a work folder");
  return pattern;
}

// Empties the work folder, which must be the current directory.
inline void clear_work_folder() {
  if (work_folder().empty() || fs::current_path() != work_folder()) {
    broken("not in the work folder");
  }
  for (const auto& entry : fs::directory_iterator(work_folder())) fs::remove_all(entry.path());
}

inline void put_file(const std::string& name, std::string_view content) {
  std::ofstream f(name, std::ios::binary | std::ios::trunc);
  f.write(content.data(), static_cast<std::streamsize>(content.size()));
  if (!f) broken("cannot write a file of the work folder");
}

inline std::string get_file(const fs::path& name) {
  std::ifstream f(name, std::ios::binary);
  std::ostringstream s;
  s << f.rdbuf();
  return s.str();
}

// The operator's answers: a file named like the console input, connected on
// unit 5 in place of the console (a fuzzer runs without one).
inline void connect_console(std::string_view answers) {
  put_file("CONIN$", answers);
  textio::open_spec spec;
  spec.name = "CONIN$";
  spec.status = textio::open_status::old_file;
  if (textio::open_unit(textio::kConsoleIn, spec) != 0) broken("cannot connect the answers");
}

// Every file the run wrote holds complete records only: it is empty or ends
// with a record end. Returns the names of the files written.
inline std::vector<std::string> check_written_files(const std::vector<std::string>& inputs) {
  std::vector<std::string> written;
  for (const auto& entry : fs::directory_iterator(work_folder())) {
    const std::string name = entry.path().filename().string();
    if (name == "CONIN$" || std::find(inputs.begin(), inputs.end(), name) != inputs.end()) continue;
    if (!entry.is_regular_file()) continue;
    written.push_back(name);
    const std::string text = get_file(entry.path());
    if (!text.empty() && !text.ends_with("\r\n")) broken("a written file ends inside a record");
  }
  return written;
}

// --- Target 1: the free-format reader ----------------------------------------

inline bool is_blank_text(std::span<const char> text) {
  return std::all_of(text.begin(), text.end(), [](char c) { return c == ' '; });
}

// Reads the file on kReadUnit with a line width; returns normally only when a
// read failed (reported, error flag set).
inline void read_with_width(int width, std::size_t lines) {
  // Exactly the items a line of this width can yield, so that the address
  // sanitizer sees any write beyond them.
  const auto capacity = static_cast<std::size_t>((width + 1) / 2);
  std::vector<int> types(capacity);
  std::vector<double> values(capacity);
  std::vector<char> texts(capacity * kTextLength);
  int ierr = 0;
  freeinput::INIFII_2(width, 8, kReadUnit, textio::kConsoleOut, ierr);
  if (ierr != 0) broken("INIFII_2 refused a valid width");
  for (std::size_t records = 0;; ++records) {
    int count = -99;
    freeinput::RDMIX(count, types, values, texts, kTextLength, kReadUnit, textio::kConsoleOut,
                     ierr);
    if (ierr != 0) return;
    if (count == -1) break;
    if (count < 0 || static_cast<std::size_t>(count) > capacity) broken("RDMIX count out of range");
    if (records >= lines) broken("more records than lines");
    for (std::size_t i = 0; i < static_cast<std::size_t>(count); ++i) {
      const std::span<const char> text(texts.data() + i * kTextLength, kTextLength);
      if (!is_blank_text(text.subspan(freeinput::kItemTextLength))) {
        broken("a text element holds more than 8 characters");
      }
      switch (types[i]) {
        case freeinput::kIntegerItem:
          if (values[i] != std::trunc(values[i]) || values[i] < -2147483648.0 ||
              values[i] > 2147483647.0) {
            broken("an integer item outside the 32-bit range");
          }
          [[fallthrough]];
        case freeinput::kRealItem:
          if (!is_blank_text(text)) broken("a number item with a text");
          break;
        case freeinput::kTextItem:
          if (values[i] != 0.0 || is_blank_text(text)) broken("a text item with a value");
          break;
        default:
          broken("an unknown item type");
      }
    }
  }
  // The end has been handed over once; reading on ends the run.
  int count = 0;
  freeinput::RDMIX(count, types, values, texts, kTextLength, kReadUnit, textio::kConsoleOut, ierr);
  broken("reading through the end of the file did not end the run");
}

inline void read_to_end(std::span<const std::uint8_t> data) {
  clear_work_folder();
  const std::string_view text(reinterpret_cast<const char*>(data.data()), data.size());
  put_file("input.txt", text);
  const std::size_t lines =
      static_cast<std::size_t>(std::count(text.begin(), text.end(), '\n')) + 1;
  for (const int width : {512, 2048}) {
    bool failed_read = false;
    const int status = until_run_ends([&] {
      textio::open_spec spec;
      spec.name = "input.txt";
      spec.status = textio::open_status::old_file;
      if (textio::open_unit(kReadUnit, spec) != 0) broken("cannot open the input");
      read_with_width(width, lines);
      failed_read = true;
    });
    if (failed_read) {
      textio::close_all_units();
      broken("a read failure on a regular file");
    }
    if (status < 0) broken("the run neither ended nor returned");
  }
}

// --- Target 2: the console dialogue ------------------------------------------

// File names the operator types are kept inside the work folder: an input
// holding "/" in an answer after the two case numbers is not run (a fuzzer
// typing paths would write report files anywhere).
inline bool stays_in_work_folder(std::string_view answers) {
  int numbers = 0;
  std::size_t start = 0;
  while (start <= answers.size()) {
    std::size_t end = answers.find('\n', start);
    if (end == std::string_view::npos) end = answers.size();
    const std::string_view line = answers.substr(start, end - start);
    if (numbers < 2) {
      if (line.find_first_not_of(" \t") != std::string_view::npos) ++numbers;
    } else if (line.find('/') != std::string_view::npos) {
      return false;
    }
    start = end + 1;
  }
  return true;
}

inline void put_small_run() {
  put_file("probs.txt", "0.5 0.3 0.2\n");
  put_file("riser_001.RawDam", "# case 1\n 10.0  1.0E-3  2.0E-3\n 20.0  4.0E-3  1.0E-3\n");
  put_file("riser_002.RawDam", "# case 2\n 10.0  2.0E-3  2.0E-3\n 20.0  1.0E-3  1.0E-3\n");
  put_file("riser_003.RawDam", "# case 3\n 10.0  5.0E-3  0.0\n 20.0  0.0  1.0E-2\n");
}

// Returns the exit status of the run, or -1 for an input that is not run.
inline int dialogue(std::span<const std::uint8_t> data) {
  const std::string_view answers(reinterpret_cast<const char*>(data.data()), data.size());
  if (!stays_in_work_folder(answers)) return -1;
  clear_work_folder();
  put_small_run();
  driver::reset_run_tables();
  const int status = until_run_ends([&] {
    connect_console(answers);
    driver::run();
  });
  constexpr int kEndings[] = {0,
                              1,
                              textio::kErrEndOfFile,
                              textio::kErrSyntax,
                              textio::kErrConversion,
                              textio::kErrOverflow};
  if (std::find(std::begin(kEndings), std::end(kEndings), status) == std::end(kEndings)) {
    broken("an unexpected end of the dialogue");
  }
  const std::vector<std::string> written = check_written_files(
      {"probs.txt", "riser_001.RawDam", "riser_002.RawDam", "riser_003.RawDam"});
  if (status == 0) {
    const bool report = std::any_of(written.begin(), written.end(), [](const std::string& name) {
      return name.ends_with(".AccDam") && get_file(name).ends_with(kEofLine);
    });
    if (!report) broken("a complete run without a complete report");
  }
  return status;
}

// --- Target 3: a whole run on generated files ---------------------------------

inline std::string case_file_name(int c) {
  std::string digits = std::to_string(c);
  return "riser_" + std::string(3 - digits.size(), '0') + digits + ".RawDam";
}

// Returns the exit status of the run.
inline int whole_run(std::span<const std::uint8_t> data) {
  const std::string_view text(reinterpret_cast<const char*>(data.data()), data.size());
  std::vector<std::string_view> parts;
  for (std::size_t start = 0;;) {
    const std::size_t end = text.find(kPartSeparator, start);
    parts.push_back(text.substr(start, end == std::string_view::npos ? end : end - start));
    if (end == std::string_view::npos) break;
    start = end + 1;
  }
  const int cases = std::clamp(static_cast<int>(parts.size()) - 1, 1, kMaxRunCases);

  clear_work_folder();
  std::vector<std::string> inputs = {"probs.txt"};
  put_file("probs.txt", parts[0]);
  for (int c = 1; c <= cases && static_cast<std::size_t>(c) < parts.size(); ++c) {
    inputs.push_back(case_file_name(c));
    put_file(inputs.back(), parts[static_cast<std::size_t>(c)]);
  }
  driver::reset_run_tables();
  const std::string answers =
      testing::dialogue_answers{.last = std::to_string(cases), .scale = "y"}.text();
  const int status = until_run_ends([&] {
    connect_console(answers);
    driver::run();
  });
  const std::vector<std::string> written = check_written_files(inputs);
  if (status == 1) {
    // Every check is made in pass 1, before the first output file.
    if (!written.empty()) broken("an output file of a run refused in pass 1");
    return status;
  }
  if (status != 0) broken("an unexpected end of the run");
  if (written.size() != static_cast<std::size_t>(cases) + 1) broken("an output file missing");
  for (const std::string& name : written) {
    if (!get_file(name).ends_with(kEofLine)) broken("an output file without its last line");
  }
  return status;
}

// --- Start of a fuzzer process ----------------------------------------------

// Console output goes nowhere; a new work folder becomes the current directory
// and is removed at the exit. Paths given to the fuzzer (corpus folders,
// artifact prefix) must therefore be absolute.
inline void set_up_fuzzer() {
  std::FILE* null_device = std::fopen("/dev/null", "w");
  if (null_device == nullptr || ::dup2(::fileno(null_device), 1) < 0) broken("no /dev/null");
  std::fclose(null_device);
  enter_work_folder(make_work_folder());
  std::atexit([] {
    std::error_code ec;
    fs::current_path("/", ec);
    fs::remove_all(work_folder(), ec);
  });
}

}  // namespace vantor::fuzz
