// Runs two builds side by side on the same generated inputs and compares
// everything they leave (tests/compat/sides.h):
//
//   vantor_compat [--plot OLD_PLOT NEW_PLOT] [--expect-plot-change[=WHAT]]
//                 [--jobs N] OLD_BINARY NEW_BINARY WORK_FOLDER RUNS ANSWERS
//
// RUNS runs drawn from every path of the dialogue and the files
// (tests/compat/scenarios.h), each finished one also drawn by both builds'
// vantor-plot when --plot names them; ANSWERS dialogues of a small valid run
// with one integer answer (the first case, the last case or the digits)
// replaced by a generated answer form. Prints the counts of each kind and the
// first differences; exits 1 when a difference was found (other than an
// answer line over 1 MiB, or one of vantor-plot's when --expect-plot-change
// says it is intended), 0 otherwise.
#include <algorithm>
#include <array>
#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <map>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "tests/compat/scenarios.h"
#include "tests/compat/sides.h"
#include "tests/support/answers.h"
#include "tests/support/forms.h"
#include "tests/support/generate_run.h"

namespace {

namespace fs = std::filesystem;
using namespace vantor::testing;

constexpr std::size_t kLongLine = std::size_t{1} << 20;
constexpr int kShown = 10;  // differences printed (and their folders kept) per kind

// A small valid run whose first case, last case or digits answer is the form.
std::map<std::string, std::string> answered_run(const std::string& answer, int position) {
  realistic_run run({3, 5, 2});
  std::map<std::string, std::string> files;
  for (int c = 1; c <= 3; ++c) {
    files[case_file_name("riser", c, run.digits(), ".RawDam")] = run.raw_damage(c);
  }
  files["probs.txt"] = run.probability_text();
  dialogue_answers answers;
  const std::array<std::string*, 3> replaced = {&answers.first, &answers.last, &answers.digits};
  *replaced[static_cast<std::size_t>(position)] = answer;
  files["answers.txt"] = answers.text();
  return files;
}

// What one job found, kept until all are done so that the report comes in
// job order whatever the order the workers took.
struct job_result {
  std::string label;
  verdict run;
  verdict plot;
  int plot_calls = 0;
  bool long_line = false;
};

struct options {
  builds b;
  fs::path work;
  int runs = 0;
  int answers = 0;
  int jobs = 2;
  bool expect_plot_change = false;
  std::string plot_change;
};

// A worker's folder name: the stem and the worker's number (appended, which
// GCC 12 does not mistake for an overlapping copy as it does "w" + number).
std::string numbered(const char* stem, int number) {
  std::string name = stem;
  name += std::to_string(number);
  return name;
}

// A worker takes every jobs-th run, so that the run it compares the next one
// with (work/prev) is the same whatever the timing.
void work_runs(const options& o, int worker, std::vector<job_result>& results) {
  const fs::path work = o.work / numbered("w", worker);
  std::string prev_prefix;
  for (int i = worker; i < o.runs; i += o.jobs) {
    const scenario s = generate_scenario(static_cast<std::uint64_t>(i) + 1);
    job_result& r = results[static_cast<std::size_t>(i)];
    r.label = "run " + std::to_string(i + 1) + " (" + s.kind + ")";
    r.run = compare_vantor(o.b, work, s.files);
    const bool plot = r.run.finished && !o.b.old_plot.empty() &&
                      fs::exists(work / "old" / (s.prefix + ".AccDam"));
    fs::remove_all(work / "plot-old");
    fs::remove_all(work / "plot-new");
    if (plot) {
      r.plot = compare_plot(o.b, work, s.prefix, prev_prefix, static_cast<std::uint64_t>(i),
                            r.plot_calls);
    }
    if (!r.run.differs.empty() || !r.plot.differs.empty()) {
      const fs::path kept = o.work / ("run-" + std::to_string(i + 1));
      fs::create_directories(kept);
      for (const char* side : {"old", "new", "plot-old", "plot-new"}) {
        if (fs::exists(work / side))
          fs::copy(work / side, kept / side, fs::copy_options::recursive);
      }
    }
    if (plot) {
      fs::remove_all(work / "prev");
      fs::rename(work / "old", work / "prev");
      prev_prefix = s.prefix;
    }
  }
}

void work_answers(const options& o, int worker, const std::vector<std::string>& forms,
                  std::vector<job_result>& results) {
  const fs::path work = o.work / numbered("a", worker);
  for (int i = worker; i < o.answers; i += o.jobs) {
    const std::string& form = forms[static_cast<std::size_t>(i) % forms.size()];
    const std::string answer = expand(form);
    const int position = (i + i / static_cast<int>(forms.size())) % 3;
    job_result& r = results[static_cast<std::size_t>(i)];
    r.label = "answer " + form.substr(0, 60) + " at question " + std::to_string(position + 1);
    r.long_line = answer.size() > kLongLine;
    r.run = compare_vantor(o.b, work, answered_run(answer, position));
  }
}

template <class Work>
void in_parallel(int jobs, Work&& work) {
  std::vector<std::thread> workers;
  for (int w = 0; w < jobs; ++w) workers.emplace_back([&work, w] { work(w); });
  for (std::thread& t : workers) t.join();
}

void show(const job_result& r, const verdict& v, int& shown) {
  if (++shown > kShown) return;
  std::cout << "difference: " << r.label << '\n';
  for (const std::string& name : v.differs) std::cout << "  " << name << '\n';
}

bool parse(int argc, char** argv, options& o) {
  std::vector<std::string> rest;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--plot" && i + 2 < argc) {
      o.b.old_plot = fs::absolute(argv[++i]).string();
      o.b.new_plot = fs::absolute(argv[++i]).string();
    } else if (arg.starts_with("--expect-plot-change")) {
      o.expect_plot_change = true;
      if (arg.size() > 21) o.plot_change = arg.substr(21);
    } else if (arg == "--jobs" && i + 1 < argc) {
      o.jobs = std::clamp(std::atoi(argv[++i]), 1, 8);
    } else {
      rest.push_back(arg);
    }
  }
  if (rest.size() != 5) return false;
  o.b.old_vantor = rest[0];
  o.b.new_vantor = rest[1];
  o.work = fs::absolute(rest[2]);
  o.runs = std::max(0, std::atoi(rest[3].c_str()));
  o.answers = std::max(0, std::atoi(rest[4].c_str()));
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  options o;
  if (!parse(argc, argv, o)) {
    std::cerr << "usage: vantor_compat [--plot OLD_PLOT NEW_PLOT] [--expect-plot-change[=WHAT]]"
                 " [--jobs N] OLD_BINARY NEW_BINARY WORK_FOLDER RUNS ANSWERS\n";
    return 2;
  }
  fs::remove_all(o.work);
  fs::create_directories(o.work);
  // Copies of the programs: a build made meanwhile does not change them.
  for (auto [from, name] : {std::pair{&o.b.old_vantor, "vantor-old"},
                            {&o.b.new_vantor, "vantor-new"},
                            {&o.b.old_plot, "vantor-plot-old"},
                            {&o.b.new_plot, "vantor-plot-new"}}) {
    if (from->empty()) continue;
    fs::copy_file(*from, o.work / name);
    *from = (o.work / name).string();
  }

  std::vector<job_result> runs(static_cast<std::size_t>(o.runs));
  in_parallel(o.jobs, [&](int w) { work_runs(o, w, runs); });
  std::vector<job_result> answers(static_cast<std::size_t>(o.answers));
  const std::vector<std::string> forms =
      answer_forms(5, std::max(0, o.answers - static_cast<int>(answer_forms(5, 0).size())));
  in_parallel(o.jobs, [&](int w) { work_answers(o, w, forms, answers); });

  int run_differences = 0, finished = 0, plot_calls = 0, plot_differences = 0;
  int shown_runs = 0, shown_plots = 0;
  for (const job_result& r : runs) {
    finished += r.run.finished;
    plot_calls += r.plot_calls;
    if (!r.run.differs.empty()) {
      ++run_differences;
      show(r, r.run, shown_runs);
    }
    if (!r.plot.differs.empty()) {
      std::set<std::string> calls;
      for (const std::string& name : r.plot.differs) {
        for (const char* call : {"single", "required", "long", "compare"}) {
          if (name.find(call) != std::string::npos) calls.insert(call);
        }
      }
      plot_differences += std::max<int>(1, static_cast<int>(calls.size()));
      show(r, r.plot, shown_plots);
    }
  }
  int answer_differences = 0, long_line_differences = 0, shown_answers = 0;
  for (const job_result& r : answers) {
    if (r.run.differs.empty()) continue;
    if (r.long_line) {
      ++long_line_differences;
      continue;
    }
    ++answer_differences;
    show(r, r.run, shown_answers);
  }
  for (const char* side : {"old", "new", "plot-old", "plot-new", "prev"}) {
    for (int w = 0; w < o.jobs; ++w) {
      fs::remove_all(o.work / numbered("w", w) / side);
      fs::remove_all(o.work / numbered("a", w) / side);
    }
  }
  std::cout << "runs: " << o.runs << " (" << finished
            << " finished), differences: " << run_differences << '\n'
            << "console answers: " << o.answers << ", differences: " << answer_differences
            << " (and " << long_line_differences << " with an answer line over 1 MiB)\n";
  if (o.b.old_plot.empty()) {
    std::cout << "plot: not compared (no vantor-plot in one of the builds)\n";
  } else {
    std::cout << "plot: " << plot_calls << " calls, differences: " << plot_differences;
    if (o.expect_plot_change) {
      std::cout << " (expected: " << (o.plot_change.empty() ? "an intended change" : o.plot_change)
                << ")";
    }
    std::cout << '\n';
  }
  const int failing =
      run_differences + answer_differences + (o.expect_plot_change ? 0 : plot_differences);
  return failing == 0 ? 0 : 1;
}
