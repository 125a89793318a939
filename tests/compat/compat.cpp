// Runs two builds of vantor side by side on the same generated inputs and
// compares everything they leave: standard output, standard error, the exit
// status and every file of the run folder, byte for byte (the date stamps
// masked).
//
//   vantor_compat OLD_BINARY NEW_BINARY WORK_FOLDER RUNS ANSWERS
//
// RUNS runs of random small shapes, their raw damage files mutated field by
// field at one of several rates (tests/support/forms.h); ANSWERS dialogues of
// a small valid run with one integer answer (the first case, the last case or
// the digits) replaced by a generated answer form. Prints the counts and the
// first differences; exits 1 when a difference other than an answer line
// over 1 MiB was found.
#include <algorithm>
#include <array>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>
#include <map>
#include <string>
#include <vector>

#include "tests/support/child_process.h"
#include "tests/support/forms.h"
#include "tests/support/generate_run.h"
#include "tests/support/splitmix.h"

namespace {

namespace fs = std::filesystem;
using namespace vantor::testing;

constexpr std::size_t kLongLine = std::size_t{1} << 20;

std::string read_file(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void write_file(const fs::path& path, std::string_view bytes) {
  std::ofstream(path, std::ios::binary | std::ios::trunc)
      .write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

// "Date : 2026-12-09 16:50:27" with its digits masked.
std::string masked(std::string text) {
  constexpr std::string_view kDate = "Date : ";
  for (std::size_t at = text.find(kDate); at != std::string::npos; at = text.find(kDate, at + 1)) {
    for (std::size_t i = at + kDate.size(); i < std::min(text.size(), at + kDate.size() + 19);
         ++i) {
      if (text[i] >= '0' && text[i] <= '9') text[i] = 'N';
    }
  }
  return text;
}

// Everything one run left: the streams, the status and the files.
using outcome = std::map<std::string, std::string>;

outcome run_in(const std::string& binary, const fs::path& folder) {
  child_spec spec;
  spec.command = {binary};
  spec.through_launcher = false;
  spec.folder = folder;
  spec.in = stream::to_file(folder / "answers.txt");
  spec.out = stream::to_file(folder / "..stdout");
  spec.err = stream::to_file(folder / "..stderr");
  const int status = run_child(spec).status;
  outcome result;
  result["(status)"] = std::to_string(status);
  for (const auto& entry : fs::directory_iterator(folder)) {
    const std::string name = entry.path().filename().string();
    if (name == "answers.txt") continue;
    result[name] = masked(read_file(entry.path()));
  }
  return result;
}

struct comparison {
  int cases = 0;
  int differences = 0;
  int long_line_differences = 0;
};

// Lays the inputs out in two folders, runs each build in its own and
// compares; `long_line` tells that the inputs hold an answer line over 1 MiB.
void compare(const std::string& old_binary, const std::string& new_binary, const fs::path& work,
             const std::map<std::string, std::string>& inputs, const std::string& label,
             bool long_line, comparison& counts) {
  std::array<outcome, 2> results;
  for (int side = 0; side < 2; ++side) {
    const fs::path folder = work / (side == 0 ? "old" : "new");
    fs::remove_all(folder);
    fs::create_directories(folder);
    for (const auto& [name, bytes] : inputs) write_file(folder / name, bytes);
    results[side] = run_in(side == 0 ? old_binary : new_binary, folder);
  }
  ++counts.cases;
  if (results[0] == results[1]) return;
  if (long_line) {
    ++counts.long_line_differences;
    return;
  }
  if (++counts.differences <= 10) {
    std::cout << "difference: " << label << '\n';
    for (const auto& [name, bytes] : results[0]) {
      const auto other = results[1].find(name);
      if (other == results[1].end() || other->second != bytes) {
        std::cout << "  " << name << " differs\n";
      }
    }
    for (const auto& [name, bytes] : results[1]) {
      if (!results[0].contains(name)) std::cout << "  " << name << " only in the new run\n";
    }
    fs::rename(work / "old", work / ("old-" + std::to_string(counts.differences)));
    fs::rename(work / "new", work / ("new-" + std::to_string(counts.differences)));
  }
}

// A run of a small random shape, its raw damage files mutated at one of four
// rates (none, now and then, often, nearly every record).
std::map<std::string, std::string> mutated_run(std::uint64_t seed) {
  const run_shape shape{1 + static_cast<int>(mix64(seed) % 4),
                        1 + static_cast<int>(mix64(seed + 1) % 40),
                        1 + static_cast<int>(mix64(seed + 2) % 20)};
  constexpr std::array kRates = {0.0, 0.02, 0.1, 0.5};
  const double rate = kRates[mix64(seed + 3) % kRates.size()];
  realistic_run run(shape);
  std::map<std::string, std::string> files;
  for (int c = 1; c <= shape.cases; ++c) {
    files[case_file_name("riser", c, run.digits(), ".RawDam")] =
        mutate_raw_damage(run.raw_damage(c), seed * 1000 + static_cast<std::uint64_t>(c), rate);
  }
  files["probs.txt"] = run.probability_text();
  files["answers.txt"] = run.answers();
  return files;
}

// A small valid run whose first case, last case or digits answer is the form.
std::map<std::string, std::string> answered_run(const std::string& answer, int position) {
  realistic_run run({3, 5, 2});
  std::map<std::string, std::string> files;
  for (int c = 1; c <= 3; ++c) {
    files[case_file_name("riser", c, run.digits(), ".RawDam")] = run.raw_damage(c);
  }
  files["probs.txt"] = run.probability_text();
  std::array<std::string, 5> answers = {"1", "3", "probs.txt", "riser", ""};
  answers[position == 2 ? 4 : position] = answer;
  std::string text;
  for (const std::string& a : answers) text += a + "\n";
  files["answers.txt"] = text;
  return files;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 6) {
    std::cerr << "usage: vantor_compat OLD_BINARY NEW_BINARY WORK_FOLDER RUNS ANSWERS\n";
    return 2;
  }
  const fs::path work = fs::absolute(argv[3]);
  const int runs = std::atoi(argv[4]);
  const int answer_count = std::atoi(argv[5]);
  fs::remove_all(work);
  fs::create_directories(work);
  // Copies of the programs: a build made meanwhile does not change them.
  const std::string old_binary = (work / "vantor-old").string();
  const std::string new_binary = (work / "vantor-new").string();
  fs::copy_file(argv[1], old_binary);
  fs::copy_file(argv[2], new_binary);

  comparison run_counts;
  for (int i = 0; i < runs; ++i) {
    compare(old_binary, new_binary, work, mutated_run(static_cast<std::uint64_t>(i) + 1),
            "run " + std::to_string(i + 1), false, run_counts);
  }
  comparison answer_counts;
  const std::vector<std::string> forms =
      answer_forms(5, std::max(0, answer_count - static_cast<int>(answer_forms(5, 0).size())));
  for (int i = 0; i < answer_count; ++i) {
    const std::string& form = forms[static_cast<std::size_t>(i) % forms.size()];
    const std::string answer = expand(form);
    const int position = (i + i / static_cast<int>(forms.size())) % 3;
    compare(old_binary, new_binary, work, answered_run(answer, position),
            "answer " + form.substr(0, 60) + " at question " + std::to_string(position + 1),
            answer.size() > kLongLine, answer_counts);
  }
  fs::remove_all(work / "old");
  fs::remove_all(work / "new");
  std::cout << "runs: " << run_counts.cases << ", differences: " << run_counts.differences << '\n'
            << "console answers: " << answer_counts.cases
            << ", differences: " << answer_counts.differences << " (and "
            << answer_counts.long_line_differences << " with an answer line over 1 MiB)\n";
  return run_counts.differences + answer_counts.differences == 0 ? 0 : 1;
}
