#include "plot/run/report.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <numeric>
#include <string_view>
#include <system_error>

#include "formats/file_formats.h"
#include "freeinput/text.h"
#include "plot/run/record_file.h"
#include "plot/text/number_text.h"

namespace vantor::plot {
namespace {

namespace ff = file_formats;
using ff::kCasesFor;
using ff::kEndLine;
using ff::kMatrixHead;
using ff::kRankingHead;
using ff::kRankingTail;
using ff::kSectionTableHead;
using ff::kSummaryHead;
// The count heads up to their colon: the value may fill its field up to it.
constexpr std::string_view up_to_colon(std::string_view head) {
  return head.substr(0, head.rfind(':') + 1);
}
constexpr std::string_view kSectionCountHead = up_to_colon(ff::kSectionCountHead);
constexpr std::string_view kHotSpotCountHead = up_to_colon(ff::kHotSpotCountHead);
constexpr std::size_t kCaseCountColumn = kSummaryHead.size();
constexpr std::size_t kCaseCountWidth = ff::kCaseCountWidth;
constexpr std::size_t kRunLabelColumn = ff::kSummaryRunLabelColumn;
constexpr std::size_t kRankingLengthColumn = kRankingHead.size();
constexpr std::size_t kRankingLengthWidth = ff::kRankingLengthWidth;
using ff::kDamageColumn;
using ff::kLifeColumn;
using ff::kLifeWidth;

enum class table { none, ranking, sections, matrix, ended };

std::string_view table_name(table t) {
  switch (t) {
    case table::ranking:
      return "ranking";
    case table::sections:
      return "section table";
    case table::matrix:
      return "matrix";
    default:
      return "report";
  }
}

struct ranking_row {
  section_row row;
  int line = 0;
};

class report_parser {
 public:
  report_parser(record_file& file, accumulated_report& report, plot_error& error)
      : file_(file), report_(report), error_(error) {}

  bool take(const record& rec) {
    if (rec.count == 0) return heading(rec);
    return row(rec);
  }

  bool finish() {
    if (current_ != table::ended) {
      const int line = file_.last_line();
      if (line == 0) return fail(0, "empty file; not an accumulated damage report");
      if (!have_summary_) return fail(line, "no summary line; not an accumulated damage report");
      std::string where = "it ends ";
      if (current_ == table::none) {
        where += "before the ranking";
      } else {
        where += "in the " + std::string(table_name(current_)) + " (" + std::to_string(rows_) +
                 " of " + std::to_string(expected_rows()) + " rows) without the end line";
      }
      return fail(line, "the report is truncated: " + where);
    }
    return match_ranking();
  }

 private:
  bool fail(int line, std::string message) {
    error_ = file_.fault(line, std::move(message));
    return false;
  }

  int expected_rows() const {
    return current_ == table::ranking ? ranking_length_ : report_.section_count;
  }

  bool heading(const record& rec) {
    const std::string_view raw = rec.raw;
    if (raw.empty() || raw.front() != '#') {
      return fail(rec.line,
                  "a row without a readable first value (a number too wide for its field?)");
    }
    if (raw.starts_with(kSummaryHead)) return summary(rec);
    if (raw.starts_with(kSectionCountHead)) {
      return count_line(rec, kSectionCountHead, ff::kMostSections, have_summary_, have_sections_,
                        report_.section_count);
    }
    if (raw.starts_with(kHotSpotCountHead)) {
      return count_line(rec, kHotSpotCountHead, ff::kMostHotSpots, have_sections_, have_hot_spots_,
                        report_.hot_spot_count);
    }
    if (raw.starts_with(kRankingHead)) return ranking_heading(rec);
    if (raw.starts_with(kSectionTableHead)) return next_table(rec, table::ranking, table::sections);
    if (raw.starts_with(kMatrixHead)) return next_table(rec, table::sections, table::matrix);
    if (raw.starts_with(kEndLine)) return next_table(rec, table::matrix, table::ended);
    return true;  // separators, column headings and empty comment lines
  }

  bool summary(const record& rec) {
    if (have_summary_) return fail(rec.line, "a second summary line");
    int cases = 0;
    const std::string_view raw = rec.raw;
    if (raw.size() < kRunLabelColumn ||
        raw.substr(kCaseCountColumn + kCaseCountWidth, kCasesFor.size()) != kCasesFor ||
        !parse_int(raw.substr(kCaseCountColumn, kCaseCountWidth), cases)) {
      return fail(rec.line, "unreadable summary line");
    }
    if (cases > ff::kMostCases) return beyond(rec, "cases", cases, ff::kMostCases);
    report_.case_count = cases;
    report_.summary = std::string(freeinput::trim(raw.substr(1)));
    report_.run_label = std::string(raw.substr(kRunLabelColumn));
    have_summary_ = true;
    return true;
  }

  // A count above what a run holds is refused: nothing is sized by it, but a
  // report of a million sections would be drawn without end.
  bool beyond(const record& rec, std::string_view what, int value, int most) {
    return fail(rec.line, std::to_string(value) + " " + std::string(what) +
                              "; a run holds at most " + std::to_string(most));
  }

  bool count_line(const record& rec, std::string_view head, int most, bool after, bool& seen,
                  int& value) {
    if (!after || seen || current_ != table::none) {
      return fail(rec.line, "a count line out of its place; not an accumulated damage report");
    }
    if (!parse_int(rec.raw.substr(head.size()), value) || value < 0) {
      return fail(rec.line, "unreadable count");
    }
    if (value > most) {
      return beyond(rec, head == kSectionCountHead ? "sections" : "hot spots", value, most);
    }
    seen = true;
    return true;
  }

  bool ranking_heading(const record& rec) {
    if (!have_hot_spots_ || current_ != table::none) {
      return fail(rec.line,
                  "the ranking heading out of its place; not an accumulated damage report");
    }
    int length = 0;
    const std::string_view raw = rec.raw;
    if (raw.substr(kRankingLengthColumn + kRankingLengthWidth) != kRankingTail ||
        !parse_int(raw.substr(kRankingLengthColumn, kRankingLengthWidth), length) || length < 0) {
      return fail(rec.line, "unreadable ranking heading");
    }
    if (length > ff::kRankedSections) {
      return beyond(rec, "ranked sections", length, ff::kRankedSections);
    }
    ranking_length_ = std::min(length, report_.section_count);
    start(table::ranking);
    return true;
  }

  bool next_table(const record& rec, table before, table after) {
    if (current_ != before) {
      return fail(rec.line, "a heading out of its place; not an accumulated damage report");
    }
    if (rows_ != expected_rows()) {
      return fail(rec.line, "the " + std::string(table_name(current_)) + " ends here after " +
                                std::to_string(rows_) + " of its " +
                                std::to_string(expected_rows()) + " rows");
    }
    start(after);
    return true;
  }

  // The tables grow row by row: the counts in the heading are not trusted
  // for sizing anything.
  void start(table t) {
    current_ = t;
    rows_ = 0;
  }

  bool row(const record& rec) {
    if (current_ == table::none) {
      return fail(rec.line, "a number row before the tables; not an accumulated damage report");
    }
    if (current_ == table::ended) return fail(rec.line, "a number row after the end line");
    if (rows_ >= expected_rows()) {
      return fail(rec.line, "more rows in the " + std::string(table_name(current_)) + " than its " +
                                std::to_string(expected_rows()));
    }
    double coordinate = 0.0;
    if (!field_number(rec, 0, 0, ff::kCoordinateWidth, coordinate) || !std::isfinite(coordinate)) {
      return fail(rec.line, "S_Coo is not a finite number");
    }
    ++rows_;
    if (current_ == table::matrix) return matrix_row(rec, coordinate);
    return damage_row(rec, coordinate);
  }

  // Ranking and section rows: S_Coo, damage, fatigue life in 13, 12 and 35
  // columns. A life too wide for its field is written as 35 asterisks, right
  // after the damage: the reader then takes damage and asterisks as one text
  // item, so the damage is read from its own columns and the life recomputed.
  bool damage_row(const record& rec, double coordinate) {
    section_row r;
    r.coordinate = coordinate;
    const std::string_view raw = rec.raw;
    const bool starred = rec.count == 2 && raw.size() == kLifeColumn + kLifeWidth &&
                         raw.substr(kLifeColumn).find_first_not_of('*') == std::string_view::npos;
    if (rec.count != 3 && !starred) {
      return fail(rec.line, std::to_string(rec.count) +
                                " values where S_Coo, damage and fatigue life are expected");
    }
    if (starred) {
      if (!parse_real(raw.substr(kDamageColumn, kLifeColumn - kDamageColumn), r.damage)) {
        return fail(rec.line, "the damage is not a number");
      }
      r.life = 1.0 / r.damage;
    } else if (!field_number(rec, 1, kDamageColumn, ff::kDamageWidth, r.damage) ||
               std::isnan(r.damage)) {
      return fail(rec.line, "the damage is not a number");
    } else if (!field_number(rec, 2, kLifeColumn, kLifeWidth, r.life) || std::isnan(r.life)) {
      return fail(rec.line, "the fatigue life is not a number");
    }
    if (current_ == table::ranking) {
      ranking_.push_back({r, rec.line});
    } else {
      report_.sections.push_back(r);
    }
    return true;
  }

  bool matrix_row(const record& rec, double coordinate) {
    const int hot = report_.hot_spot_count;
    if (rec.count != hot + 1) {
      return fail(rec.line, std::to_string(rec.count - 1) +
                                " hot spot values where the report has " + std::to_string(hot));
    }
    const auto e = static_cast<std::size_t>(rows_ - 1);
    const section_row& s = report_.sections[e];
    if (coordinate != s.coordinate) {
      return fail(rec.line, "S_Coo " + fixed_decimals(coordinate, 3) + " differs from " +
                                fixed_decimals(s.coordinate, 3) + " of section " +
                                std::to_string(rows_) + " in the section table");
    }
    double largest = 0.0;
    for (int j = 1; j <= hot; ++j) {
      double v = 0.0;
      const std::size_t column =
          ff::kCoordinateWidth + static_cast<std::size_t>(j - 1) * ff::kDamageWidth;
      if (!field_number(rec, j, column, ff::kDamageWidth, v))
        return fail(rec.line, "hot spot " + std::to_string(j) + " is not a number");
      if (v > largest) largest = v;
      report_.matrix.push_back(v);
    }
    if (largest != s.damage) {
      return fail(rec.line, "the largest damage of the row, " + exponent_decimals(largest, 4) +
                                ", differs from " + exponent_decimals(s.damage, 4) +
                                " of the section table");
    }
    return true;
  }

  // Each ranking row is the first section, not taken before, with its S_Coo
  // and damage (equal damage ranks in section order).
  bool match_ranking() {
    std::vector<bool> taken(report_.sections.size(), false);
    for (const ranking_row& r : ranking_) {
      std::size_t e = 0;
      while (e < report_.sections.size() &&
             (taken[e] || report_.sections[e].coordinate != r.row.coordinate ||
              report_.sections[e].damage != r.row.damage)) {
        ++e;
      }
      if (e == report_.sections.size()) {
        return fail(r.line, "this ranking row matches no row of the section table");
      }
      taken[e] = true;
      report_.heaviest.push_back(static_cast<int>(e));
    }
    return true;
  }

  record_file& file_;
  accumulated_report& report_;
  plot_error& error_;
  bool have_summary_ = false;
  bool have_sections_ = false;
  bool have_hot_spots_ = false;
  table current_ = table::none;
  int ranking_length_ = 0;
  int rows_ = 0;
  std::vector<ranking_row> ranking_;
};

}  // namespace

bool read_report(const std::string& path, accumulated_report& report, plot_error& error) {
  report = accumulated_report{};
  report.path = path;
  record_file file;
  if (!file.open(path, error)) return false;
  report_parser parser(file, report, error);
  return feed_records(file, parser, error);
}

int worst_hot_spot(const accumulated_report& report, int section) {
  int worst = -1;
  for (int j = 0; j < report.hot_spot_count; ++j) {
    const double v = report.accumulated(section, j);
    if (std::isnan(v)) continue;
    if (worst < 0 || v > report.accumulated(section, worst)) worst = j;
  }
  return worst;
}

std::vector<int> sections_by_coordinate(const accumulated_report& report) {
  std::vector<int> order(report.sections.size());
  std::iota(order.begin(), order.end(), 0);
  std::stable_sort(order.begin(), order.end(), [&](int a, int b) {
    return report.sections[static_cast<std::size_t>(a)].coordinate <
           report.sections[static_cast<std::size_t>(b)].coordinate;
  });
  return order;
}

}  // namespace vantor::plot
