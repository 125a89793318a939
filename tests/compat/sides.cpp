#include "tests/compat/sides.h"

#include <array>
#include <cctype>
#include <ctime>
#include <fstream>
#include <iterator>
#include <string_view>

#include "tests/support/child_process.h"
#include "tests/support/splitmix.h"

namespace vantor::testing {
namespace {

namespace fs = std::filesystem;

std::string read_file(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void write_file(const fs::path& path, std::string_view bytes) {
  std::ofstream(path, std::ios::binary | std::ios::trunc)
      .write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

// "Date : 2026-12-09 16:50:27": the layout exactly, a real date and time of
// the local clock between start and end (whole seconds).
bool date_within(std::string_view text, std::time_t start, std::time_t end) {
  constexpr std::string_view kLayout = "dddd-dd-dd dd:dd:dd";
  if (text.size() < kLayout.size()) return false;
  for (std::size_t i = 0; i < kLayout.size(); ++i) {
    const bool digit = std::isdigit(static_cast<unsigned char>(text[i])) != 0;
    if (kLayout[i] == 'd' ? !digit : text[i] != kLayout[i]) return false;
  }
  const auto number = [&text](std::size_t at, std::size_t length) {
    return std::stoi(std::string(text.substr(at, length)));
  };
  std::tm fields{};
  fields.tm_year = number(0, 4) - 1900;
  fields.tm_mon = number(5, 2) - 1;
  fields.tm_mday = number(8, 2);
  fields.tm_hour = number(11, 2);
  fields.tm_min = number(14, 2);
  fields.tm_sec = number(17, 2);
  fields.tm_isdst = -1;
  std::tm normal = fields;
  const std::time_t when = std::mktime(&normal);
  // mktime carries day 32 into the next month: a field out of its range.
  if (normal.tm_mon != fields.tm_mon || normal.tm_mday != fields.tm_mday ||
      normal.tm_hour != fields.tm_hour || normal.tm_min != fields.tm_min) {
    return false;
  }
  return start <= when && when <= end;
}

// The date stamps of a text checked and masked; a stamp that is not a date
// of the run is named in `bad`.
std::string checked_dates(std::string text, std::time_t start, std::time_t end, std::string& bad) {
  constexpr std::string_view kDate = "Date : ";
  for (std::size_t at = text.find(kDate); at != std::string::npos; at = text.find(kDate, at + 1)) {
    const std::size_t from = at + kDate.size();
    const std::string_view stamp = std::string_view(text).substr(from, 19);
    if (!date_within(stamp, start, end)) {
      bad += std::string(stamp) + " ";
      continue;
    }
    text.replace(from, 19, "(a date of the run)");
  }
  return text;
}

struct invocation {
  std::vector<std::string> command;
  fs::path folder;
  fs::path input;    // empty: /dev/null
  std::string name;  // its streams and status in the outcome
};

// Runs it and adds its streams, its status and the files of its folder to the
// outcome, with their dates checked when `dates`.
void run_into(const invocation& run, outcome& result, bool dates) {
  child_spec spec;
  spec.command = run.command;
  spec.through_launcher = false;
  spec.folder = run.folder;
  spec.in = stream::to_file(run.input.empty() ? fs::path("/dev/null") : run.input);
  const fs::path out = run.folder / ("..out." + run.name);
  const fs::path err = run.folder / ("..err." + run.name);
  spec.out = stream::to_file(out);
  spec.err = stream::to_file(err);
  const std::time_t start = std::time(nullptr);
  const int status = run_child(spec).status;
  const std::time_t end = std::time(nullptr);
  result["(status " + run.name + ")"] = std::to_string(status);
  std::string bad;
  for (const auto& entry : fs::directory_iterator(run.folder)) {
    const std::string name = entry.path().filename().string();
    const bool stream = name == out.filename() || name == err.filename();
    if (name == "answers.txt" || entry.is_directory()) continue;
    if (!stream && !name.starts_with(run.name) && !dates) continue;  // another call's
    std::string bytes = read_file(entry.path());
    result[name] = dates ? checked_dates(std::move(bytes), start, end, bad) : std::move(bytes);
  }
  if (!bad.empty()) result["(dates not of the run)"] += bad;
}

verdict differences(const outcome& old_side, const outcome& new_side) {
  verdict v;
  for (const auto& [name, bytes] : old_side) {
    const auto other = new_side.find(name);
    if (other == new_side.end()) {
      v.differs.push_back(name + " (only in the old run)");
    } else if (other->second != bytes) {
      v.differs.push_back(name);
    }
  }
  for (const auto& [name, bytes] : new_side) {
    if (!old_side.contains(name)) v.differs.push_back(name + " (only in the new run)");
  }
  // A stamp that is not a date of its run is a fault even where both agree.
  for (const outcome* side : {&old_side, &new_side}) {
    const auto bad = side->find("(dates not of the run)");
    if (bad != side->end() && (v.differs.empty() || v.differs.back() != bad->first)) {
      v.differs.push_back(bad->first + ": " + bad->second);
    }
  }
  return v;
}

}  // namespace

verdict compare_vantor(const builds& b, const fs::path& work,
                       const std::map<std::string, std::string>& inputs) {
  std::array<outcome, 2> results;
  for (int side = 0; side < 2; ++side) {
    const fs::path folder = work / (side == 0 ? "old" : "new");
    fs::remove_all(folder);
    fs::create_directories(folder);
    for (const auto& [name, bytes] : inputs) {
      if (name.ends_with('/')) {
        fs::create_directories(folder / name);
      } else {
        write_file(folder / name, bytes);
      }
    }
    run_into({{side == 0 ? b.old_vantor : b.new_vantor}, folder, folder / "answers.txt", "vantor"},
             results[static_cast<std::size_t>(side)], true);
  }
  verdict v = differences(results[0], results[1]);
  v.finished = results[0]["(status vantor)"] == "0";
  return v;
}

verdict compare_plot(const builds& b, const fs::path& work, const std::string& prefix,
                     const std::string& prev_prefix, std::uint64_t seed, int& compared) {
  splitmix rng{mix64(seed ^ 0x5EED)};
  const std::string run = "../old/" + prefix;
  constexpr std::array kLives = {"20", "25.5", "1E6", "0.001", "3"};
  constexpr std::array kFactors = {"1", "3", "10", "2.5"};
  std::vector<std::pair<std::string, std::vector<std::string>>> calls = {
      {"single", {"-o", "single.svg", run}},
      {"required",
       {"-o", "required.svg", "--design-life", rng.pick(kLives), "--dff", rng.pick(kFactors),
        "--life-unit", "years", "--length-unit", "m", run}},
      {"long", {"-o", "long.svg", "--long", "--design-life", rng.pick(kLives), run}},
  };
  if (!prev_prefix.empty()) {
    std::vector<std::string> args = {
        "--compare", "-o", "compare.svg", "--label", "earlier", "../prev/" + prev_prefix, run};
    if (rng.below(2) == 0) args.insert(args.begin() + 1, {"--design-life", rng.pick(kLives)});
    calls.emplace_back("compare", std::move(args));
  }
  std::array<outcome, 2> results;
  for (int side = 0; side < 2; ++side) {
    const fs::path folder = work / (side == 0 ? "plot-old" : "plot-new");
    fs::remove_all(folder);
    fs::create_directories(folder);
    for (const auto& [name, args] : calls) {
      std::vector<std::string> command = {side == 0 ? b.old_plot : b.new_plot};
      command.insert(command.end(), args.begin(), args.end());
      run_into({command, folder, {}, name}, results[static_cast<std::size_t>(side)], false);
    }
  }
  compared += static_cast<int>(calls.size());
  return differences(results[0], results[1]);
}

}  // namespace vantor::testing
