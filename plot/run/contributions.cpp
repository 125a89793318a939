#include "plot/run/contributions.h"

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <limits>
#include <string_view>
#include <system_error>

#include "formats/file_formats.h"
#include "plot/run/file_path.h"
#include "plot/text/number_text.h"

namespace vantor::plot {
namespace {

namespace fs = std::filesystem;

namespace ff = file_formats;
using ff::kCaseHead;
using ff::kEndLine;
using ff::kForProject;
using ff::kWeightedSuffix;
constexpr std::size_t kCaseNumberColumn = kCaseHead.size();
constexpr std::size_t kRunLabelColumn = ff::kCaseRunLabelColumn;

constexpr double kNoValue = std::numeric_limits<double>::quiet_NaN();

// The case number of a name PREFIX_<digits>.WghDam; -1 for other names.
int case_number_of(std::string_view name, std::string_view prefix, std::string& digits) {
  if (name.size() <= prefix.size() + 1 + kWeightedSuffix.size() || !name.starts_with(prefix) ||
      name[prefix.size()] != ff::kCaseSeparator.front() || !name.ends_with(kWeightedSuffix)) {
    return -1;
  }
  const std::string_view d =
      name.substr(prefix.size() + 1, name.size() - prefix.size() - 1 - kWeightedSuffix.size());
  if (d.find_first_not_of("0123456789") != std::string_view::npos) return -1;
  int number = 0;
  if (!parse_int(d, number)) return -1;
  digits = std::string(d);
  return number;
}

class weighted_parser {
 public:
  weighted_parser(record_file& file, const accumulated_report& report, std::span<const pick> picks,
                  case_damage& damage, plot_error& error)
      : file_(file), report_(report), picks_(picks), damage_(damage), error_(error) {}

  bool take(const record& rec) {
    if (rec.count == 0) return heading(rec);
    return row(rec);
  }

  // A number row exactly in the layout the run writes (S_Coo F13.3, then one
  // E12.4 per hot spot), read from its columns. False for anything else: the
  // general reader then reads the file and names the fault.
  bool exact_row(std::string_view raw) {
    const int hot = report_.hot_spot_count;
    if (ended_ || !have_case_ || rows_ >= report_.section_count ||
        raw.size() != ff::kCoordinateWidth + static_cast<std::size_t>(hot) * ff::kDamageWidth ||
        raw[ff::kCoordinateWidth - 1] == ' ') {
      return false;
    }
    for (std::size_t c = ff::kCoordinateWidth; c < raw.size(); c += ff::kDamageWidth) {
      if (raw[c] != ' ' || raw[c + ff::kDamageWidth - 1] == ' ') return false;
    }
    const int e = rows_++;
    double coordinate = 0.0;
    if (!parse_real(raw.substr(0, ff::kCoordinateWidth), coordinate) ||
        coordinate != report_.sections[static_cast<std::size_t>(e)].coordinate) {
      return false;
    }
    for (std::size_t k = 0; k < picks_.size(); ++k) {
      if (picks_[k].section != e || picks_[k].hot_spot < 0) continue;
      const std::size_t column =
          ff::kCoordinateWidth + static_cast<std::size_t>(picks_[k].hot_spot) * ff::kDamageWidth;
      if (!parse_real(raw.substr(column, ff::kDamageWidth), damage_.at_picks[k])) return false;
    }
    return true;
  }

  bool finish() {
    if (ended_) return true;
    const int line = file_.last_line();
    if (line == 0) return fail(0, "empty file; not a weighted damage file");
    if (!have_case_) return fail(line, "no case line; not a weighted damage file");
    return fail(line, "the file is truncated: it ends after " + std::to_string(rows_) + " of " +
                          std::to_string(report_.section_count) + " rows without the end line");
  }

 private:
  bool fail(int line, std::string message) {
    error_ = file_.fault(line, std::move(message));
    return false;
  }

  bool heading(const record& rec) {
    const std::string_view raw = rec.raw;
    if (raw.empty() || raw.front() != '#') {
      return fail(rec.line,
                  "a row without a readable first value (a number too wide for its field?)");
    }
    if (raw.starts_with(kCaseHead)) return case_line(rec);
    if (raw.starts_with(ff::kProbabilityHead)) {
      if (!have_case_ ||
          !parse_real(raw.substr(ff::kProbabilityHead.size()), damage_.probability)) {
        return fail(rec.line, "unreadable probability line");
      }
      return true;
    }
    if (raw.starts_with(kEndLine)) {
      if (!have_case_ || ended_) return fail(rec.line, "an end line out of its place");
      if (rows_ != report_.section_count) {
        return fail(rec.line, std::to_string(rows_) + " rows where the report " + report_.path +
                                  " has " + std::to_string(report_.section_count) + " sections");
      }
      ended_ = true;
    }
    return true;
  }

  bool case_line(const record& rec) {
    const std::string_view raw = rec.raw;
    int number = 0;
    if (have_case_) return fail(rec.line, "a second case line");
    if (raw.size() < kRunLabelColumn ||
        raw.substr(kCaseNumberColumn + ff::kCaseNumberWidth, kForProject.size()) != kForProject ||
        !parse_int(raw.substr(kCaseNumberColumn, ff::kCaseNumberWidth), number)) {
      return fail(rec.line, "unreadable case line");
    }
    if (number != damage_.file.number) {
      return fail(rec.line, "the file is of case " + std::to_string(number) +
                                ", its name of case " + std::to_string(damage_.file.number));
    }
    const std::string_view label = raw.substr(kRunLabelColumn);
    if (label != report_.run_label) {
      return fail(rec.line, "the file is of another run (\"" + std::string(label) +
                                "\", the report of \"" + report_.run_label +
                                "\"); choose this run's cases with --cases");
    }
    have_case_ = true;
    return true;
  }

  bool row(const record& rec) {
    if (!have_case_)
      return fail(rec.line, "a number row before the case line; not a weighted damage file");
    if (ended_) return fail(rec.line, "a number row after the end line");
    if (rows_ >= report_.section_count) {
      return fail(rec.line, "more rows than the " + std::to_string(report_.section_count) +
                                " sections of the report " + report_.path);
    }
    const int hot = report_.hot_spot_count;
    if (rec.count != hot + 1) {
      return fail(rec.line, std::to_string(rec.count - 1) + " hot spot values where the report " +
                                report_.path + " has " + std::to_string(hot));
    }
    const int e = rows_++;
    double coordinate = 0.0;
    const double expected = report_.sections[static_cast<std::size_t>(e)].coordinate;
    if (!field_number(rec, 0, 0, ff::kCoordinateWidth, coordinate) || coordinate != expected) {
      return fail(rec.line, "S_Coo differs from " + fixed_decimals(expected, 3) + " of section " +
                                std::to_string(e + 1) + " in the report " + report_.path);
    }
    for (std::size_t k = 0; k < picks_.size(); ++k) {
      if (picks_[k].section != e || picks_[k].hot_spot < 0) continue;
      double v = 0.0;
      const std::size_t column =
          ff::kCoordinateWidth + static_cast<std::size_t>(picks_[k].hot_spot) * ff::kDamageWidth;
      if (!field_number(rec, picks_[k].hot_spot + 1, column, ff::kDamageWidth, v)) {
        return fail(rec.line,
                    "hot spot " + std::to_string(picks_[k].hot_spot + 1) + " is not a number");
      }
      damage_.at_picks[k] = v;
    }
    return true;
  }

  record_file& file_;
  const accumulated_report& report_;
  std::span<const pick> picks_;
  case_damage& damage_;
  plot_error& error_;
  bool have_case_ = false;
  bool ended_ = false;
  int rows_ = 0;
};

}  // namespace

bool find_case_files(const std::string& folder, const std::string& prefix,
                     std::vector<case_file>& files, plot_error& error) {
  files.clear();
  std::error_code ec;
  const fs::path dir = folder.empty() ? fs::path(".") : file_path(folder);
  fs::directory_iterator it(dir, ec);
  for (; !ec && it != fs::directory_iterator(); it.increment(ec)) {
    const std::string name = it->path().filename().string();
    std::string digits;
    const int number = case_number_of(name, prefix, digits);
    if (number < 0) continue;
    std::error_code kind_ec;
    if (it->is_directory(kind_ec)) continue;
    files.push_back({number, digits, folder.empty() ? name : (dir / file_path(name)).string()});
  }
  if (ec) {
    error = plot_error{dir.string(), 0, "the folder cannot be listed: " + ec.message()};
    return false;
  }
  std::sort(files.begin(), files.end(), [](const case_file& a, const case_file& b) {
    return a.number != b.number ? a.number < b.number : a.digits < b.digits;
  });
  for (std::size_t k = 1; k < files.size(); ++k) {
    if (files[k].number == files[k - 1].number) {
      error = plot_error{files[k].path, 0,
                         "case " + std::to_string(files[k].number) + " has a second file, " +
                             files[k - 1].path + "; choose with --cases or remove one"};
      return false;
    }
  }
  return true;
}

std::vector<pick> heaviest_picks(const accumulated_report& report) {
  std::vector<pick> picks;
  picks.reserve(report.heaviest.size());
  for (const int e : report.heaviest) picks.push_back({e, worst_hot_spot(report, e)});
  return picks;
}

namespace {

// The weighted file read at once in the run's own layout, without the
// general reader: headings through the parser, rows by their columns. False
// (nothing concluded) for anything not exactly so, or a file larger than a
// run writes.
bool read_exact(const case_file& file, const accumulated_report& report,
                std::span<const pick> picks, case_damage& damage) {
  const std::size_t row_width =
      ff::kCoordinateWidth + static_cast<std::size_t>(report.hot_spot_count) * ff::kDamageWidth;
  const std::size_t most =
      (static_cast<std::size_t>(report.section_count) + 16) * (row_width + 2) + 4096;
  std::ifstream in(file.path, std::ios::binary);
  if (!in) return false;
  std::string text(most + 1, '\0');
  in.read(text.data(), static_cast<std::streamsize>(text.size()));
  const auto got = static_cast<std::size_t>(in.gcount());
  if (got > most || in.bad()) return false;
  text.resize(got);
  record_file unused;
  plot_error error;
  weighted_parser parser(unused, report, picks, damage, error);
  record rec;
  std::size_t at = 0;
  int line = 0;
  while (at < text.size()) {
    std::size_t end = text.find('\n', at);
    if (end == std::string::npos) return false;  // a last line without its end
    std::string_view raw(text.data() + at, end - at);
    at = end + 1;
    ++line;
    if (!raw.empty() && raw.back() == '\r') raw.remove_suffix(1);
    while (!raw.empty() && raw.back() == ' ') raw.remove_suffix(1);
    if (raw.empty()) return false;
    if (raw.front() == '#') {
      rec.count = 0;
      rec.line = line;
      rec.raw = raw;
      if (!parser.take(rec)) return false;
    } else if (!parser.exact_row(raw)) {
      return false;
    }
  }
  return parser.finish();
}

}  // namespace

bool read_weighted(const case_file& file, const accumulated_report& report,
                   std::span<const pick> picks, case_damage& damage, plot_error& error) {
  damage.file = file;
  damage.at_picks.assign(picks.size(), kNoValue);
  if (read_exact(file, report, picks, damage)) return true;
  damage.probability = 0.0;
  damage.at_picks.assign(picks.size(), kNoValue);
  record_file input;
  if (!input.open(file.path, error)) return false;
  weighted_parser parser(input, report, picks, damage, error);
  return feed_records(input, parser, error);
}

std::vector<contribution_row> contributions(const accumulated_report& report,
                                            std::span<const pick> picks,
                                            std::span<const case_damage> cases) {
  std::vector<contribution_row> rows;
  rows.reserve(picks.size());
  for (std::size_t k = 0; k < picks.size(); ++k) {
    contribution_row row;
    row.section = picks[k].section;
    row.hot_spot = picks[k].hot_spot;
    const section_row& s = report.sections[static_cast<std::size_t>(row.section)];
    row.coordinate = s.coordinate;
    row.damage = s.damage;
    row.life = s.life;
    double total = 0.0;
    for (const case_damage& c : cases) total += c.at_picks[k];
    const bool defined = row.hot_spot >= 0 && std::isfinite(total) && total != 0.0;
    for (const case_damage& c : cases) {
      row.shares.push_back(defined ? 100.0 * c.at_picks[k] / total : kNoValue);
    }
    rows.push_back(std::move(row));
  }
  return rows;
}

}  // namespace vantor::plot
