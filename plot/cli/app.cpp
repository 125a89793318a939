#include "plot/cli/app.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <vector>

#include "formats/file_formats.h"
#include "formats/version.h"
#include "plot/cli/output_file.h"
#include "plot/page/compare_html.h"
#include "plot/page/html.h"
#include "plot/picture/compare_svg.h"
#include "plot/picture/svg.h"
#include "plot/run/compare.h"
#include "plot/run/contributions.h"
#include "plot/run/file_path.h"
#include "plot/run/report.h"
#include "plot/table/contributions_csv.h"
#include "plot/table/sections_csv.h"
#include "plot/text/number_text.h"

namespace vantor::plot {
namespace {

namespace fs = std::filesystem;

using file_formats::kRawSuffix;
using file_formats::kReportSuffix;
using file_formats::kWeightedSuffix;
constexpr std::string_view kSvgSuffix = ".svg";
constexpr std::string_view kCsvSuffix = ".Contrib.csv";
constexpr std::string_view kSectionsSuffix = ".sections.csv";
constexpr std::string_view kCompareName = "compare.svg";
constexpr std::string_view kHtmlSuffix = ".html";

constexpr std::string_view kUsage =
    "Usage: vantor-plot [OPTION]... PREFIX | PREFIX.AccDam | FOLDER\n"
    "  or:  vantor-plot --compare [OPTION]... RUN RUN [RUN]...\n"
    "Draws the damage and fatigue life along the riser of a finished Vantor run and\n"
    "tabulates each load case's share in the damage of the ten heaviest sections.\n"
    "\n"
    "PREFIX is the common file prefix of the run (its report is PREFIX.AccDam, its\n"
    "weighted damage files PREFIX_NNN.WghDam); a FOLDER must hold one run.\n"
    "\n"
    "  -o, --output FILE       write the picture to FILE (default PREFIX.svg beside the\n"
    "                          report, compare.svg with --compare); the other files\n"
    "                          go to FILE less \".svg\", plus \".Contrib.csv\",\n"
    "                          \".sections.csv\" and \".html\"\n"
    "      --cases FIRST-LAST  take the weighted damage files of these cases only\n"
    "                          (default: every PREFIX_*.WghDam of the run)\n"
    "      --design-life YEARS the design life; with --dff it sets the required\n"
    "                          life R = YEARS x FACTOR, drawn on both panels\n"
    "      --dff FACTOR        design fatigue factor (default 1 with --design-life)\n"
    "      --life-unit TEXT    unit of the fatigue life on the axes (e.g. years)\n"
    "      --length-unit TEXT  unit of S_Coo on the axes (e.g. m)\n"
    "      --long              CSV with one row per (rank, case) instead of one\n"
    "                          row per heaviest section\n"
    "      --compare           compare two to eight runs (each RUN as PREFIX,\n"
    "                          PREFIX.AccDam or FOLDER): compare.svg and compare.html\n"
    "      --label TEXT        the name of the next run of --compare in the legend\n"
    "                          (default: its prefix and folder)\n"
    "  -h, --help              show this help and exit\n"
    "      --version           show the version and exit\n"
    "\n"
    "Writes PREFIX.svg, a picture of the largest damage per section and of the\n"
    "fatigue life against S_Coo (logarithmic) and of the damage around the\n"
    "circumference, the ten heaviest sections marked by rank; PREFIX.Contrib.csv:\n"
    "for each of the ten heaviest sections its rank, section, S_Coo, worst hot spot,\n"
    "damage and life, and each case's share (percent) of the weighted damage there;\n"
    "PREFIX.sections.csv: every section's S_Coo, worst hot spot, damage and life\n"
    "(with R also R / life and pass or fail); and PREFIX.html, a one-page report of\n"
    "the run (the picture on it). With --compare: the damage, the life and the\n"
    "damage ratio to the first run of every run along the riser, and a table of\n"
    "the runs (compare.svg, compare.html).\n"
    "\n"
    "Exit status: 0 done, 1 missing or bad input (or output not written), 2 usage\n"
    "error.\n";

bool parse_case_range(std::string_view text, plot_options& options) {
  const std::size_t dash = text.find('-');
  int first = 0;
  int last = 0;
  if (dash == std::string_view::npos) {
    if (!parse_int(text, first)) return false;
    last = first;
  } else if (!parse_int(text.substr(0, dash), first) || !parse_int(text.substr(dash + 1), last)) {
    return false;
  }
  if (text.find_first_of(" +") != std::string_view::npos) return false;
  if (first < 0 || last < first) return false;
  options.case_range = true;
  options.first_case = first;
  options.last_case = last;
  return true;
}

// FOLDER/PREFIX_*.WghDam, as errors name the weighted files of a run.
fs::path weighted_pattern(const run_names& names) {
  return file_path(names.folder) /
         file_path(names.prefix + std::string(file_formats::kCaseSeparator) + "*" +
                   std::string(kWeightedSuffix));
}

// The run's data files must not be overwritten by a misdirected --output.
bool is_run_data_name(std::string_view name) {
  return name.ends_with(kReportSuffix) || name.ends_with(kWeightedSuffix) ||
         name.ends_with(kRawSuffix);
}

// The weighted damage files to take: all of the run's, or those of the range.
bool select_cases(const plot_options& options, const run_names& names,
                  std::vector<case_file>& files, plot_error& error) {
  if (!find_case_files(names.folder, names.prefix, files, error)) return false;
  if (!options.case_range) return true;
  std::vector<case_file> chosen;
  for (const case_file& f : files) {
    if (f.number >= options.first_case && f.number <= options.last_case) chosen.push_back(f);
  }
  for (long long c = options.first_case; c <= options.last_case; ++c) {
    const auto k = static_cast<std::size_t>(c - options.first_case);
    if (k >= chosen.size() || chosen[k].number != c) {
      const fs::path pattern = weighted_pattern(names);
      error =
          plot_error{pattern.string(), 0, "no weighted damage file of case " + std::to_string(c)};
      return false;
    }
  }
  files = std::move(chosen);
  return true;
}

int fail(std::ostream& err, const plot_error& error) {
  err << describe(error) << '\n';
  return kExitBadInput;
}

// The runs of --compare: two to eight, no more labels than runs, and none of
// the options that choose from one run's cases.
bool check_compare(plot_options& options, std::span<const std::string_view> operands,
                   std::string& message) {
  if (options.case_range || options.long_csv) {
    message = "--cases and --long are options of one run, not of --compare";
    return false;
  }
  if (operands.size() < kFewestCompared || operands.size() > kMostCompared) {
    message = "--compare takes " + std::to_string(kFewestCompared) + " to " +
              std::to_string(kMostCompared) + " runs, not " + std::to_string(operands.size());
    return false;
  }
  if (options.labels.size() > operands.size()) {
    message = std::to_string(options.labels.size()) + " labels for " +
              std::to_string(operands.size()) + " runs";
    return false;
  }
  options.runs.assign(operands.begin(), operands.end());
  return true;
}

// What the options ask for together, once each of them was read: the factor
// with its design life, a required life that is a number, one run, and an
// output that does not overwrite the run's own files.
bool check_options(plot_options& options, bool design_life, bool dff,
                   std::span<const std::string_view> operands, std::string& message) {
  if (dff && !design_life) {
    message = "--dff needs --design-life";
    return false;
  }
  // Each factor may be fine and their product not: too large for a number, or
  // so small that it is 0.
  if (const double r = options.picture.required_life();
      design_life && !(std::isfinite(r) && r > 0.0)) {
    message = "the required life R = " + format_number(options.picture.design_life) + " x " +
              format_number(options.picture.dff) + " = " + format_number(r) +
              " is not a positive finite number";
    return false;
  }
  if (options.compare) {
    if (!check_compare(options, operands, message)) return false;
  } else if (!options.labels.empty()) {
    message = "--label names a run of --compare";
    return false;
  } else if (operands.empty()) {
    message = "no run named: give PREFIX, PREFIX.AccDam or a folder";
    return false;
  } else if (operands.size() > 1) {
    message = "one run at a time: " + std::string(operands[1]) +
              " is one too many (several runs: --compare)";
    return false;
  } else {
    options.operand = std::string(operands.front());
  }
  if (is_run_data_name(options.output)) {
    message = "--output " + options.output + " would overwrite a file of the run";
    return false;
  }
  return true;
}

// Several runs from their reports: the picture and the page of them.
int run_compare(const plot_options& options, std::ostream& out, std::ostream& err) {
  std::vector<compared_run> runs(options.runs.size());
  for (std::size_t k = 0; k < runs.size(); ++k) {
    plot_options one;
    one.operand = options.runs[k];
    run_names names;
    plot_error error;
    if (!resolve_names(one, names, error) || !read_report(names.report, runs[k].report, error)) {
      return fail(err, error);
    }
    runs[k].label =
        k < options.labels.size() ? options.labels[k] : default_label(names.prefix, names.folder);
  }
  const std::string svg_name = options.output.empty() ? std::string(kCompareName) : options.output;
  std::string html_name = svg_name;
  if (std::string_view(html_name).ends_with(kSvgSuffix)) {
    html_name.resize(html_name.size() - kSvgSuffix.size());
  }
  html_name += kHtmlSuffix;
  const std::string svg = render_compare_svg(runs, options.picture);
  const std::string html = render_compare_html(runs, svg, options.picture);
  const output_text outputs[] = {{svg_name, svg}, {html_name, html}};
  plot_error error;
  if (!write_files(outputs, error)) return fail(err, error);
  out << "vantor-plot: wrote " << svg_name << " and " << html_name << '\n';
  return kExitDone;
}

}  // namespace

bool parse_command_line(std::span<const std::string_view> args, plot_options& options,
                        std::string& message) {
  options = plot_options{};
  bool operands_only = false;
  bool design_life = false;
  bool dff = false;
  std::vector<std::string_view> operands;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string_view a = args[i];
    if (operands_only || a.empty() || a.front() != '-' || a == "-") {
      operands.push_back(a);
      continue;
    }
    // The value of an option: "--name=value", or the next argument.
    const auto value_of = [&](std::string_view name, std::string_view& value) {
      if (a.size() > name.size() && a.starts_with(name) && a[name.size()] == '=') {
        value = a.substr(name.size() + 1);
        return true;
      }
      if (a != name) return false;
      if (i + 1 >= args.size()) {
        message = "option " + std::string(name) + " needs a value";
        return false;
      }
      value = args[++i];
      return true;
    };
    std::string_view value;
    if (a == "--") {
      operands_only = true;
    } else if (a == "-h" || a == "--help") {
      options.help = true;
    } else if (a == "--version") {
      options.version = true;
    } else if (a == "-o" || a.starts_with("--output")) {
      if (!value_of(a == "-o" ? "-o" : "--output", value)) {
        if (message.empty()) message = "unknown option " + std::string(a);
        return false;
      }
      if (value.empty()) {
        message = "option --output needs a file name";
        return false;
      }
      options.output = std::string(value);
    } else if (a.starts_with("--design-life") || a.starts_with("--dff")) {
      const bool life = a.starts_with("--design-life");
      const std::string_view name = life ? "--design-life" : "--dff";
      double number = 0.0;
      if (!value_of(name, value)) {
        if (message.empty()) message = "unknown option " + std::string(a);
        return false;
      }
      if (!parse_real(value, number) || !(number > 0.0)) {
        message =
            std::string(name) + " wants a positive number, not \"" + std::string(value) + "\"";
        return false;
      }
      (life ? options.picture.design_life : options.picture.dff) = number;
      (life ? design_life : dff) = true;
    } else if (a.starts_with("--life-unit") || a.starts_with("--length-unit")) {
      const bool life = a.starts_with("--life-unit");
      if (!value_of(life ? "--life-unit" : "--length-unit", value)) {
        if (message.empty()) message = "unknown option " + std::string(a);
        return false;
      }
      (life ? options.picture.life_unit : options.picture.length_unit) = std::string(value);
    } else if (a == "--long") {
      options.long_csv = true;
    } else if (a == "--compare") {
      options.compare = true;
    } else if (a.starts_with("--label")) {
      if (!value_of("--label", value)) {
        if (message.empty()) message = "unknown option " + std::string(a);
        return false;
      }
      options.labels.emplace_back(value);
    } else if (a.starts_with("--cases")) {
      if (!value_of("--cases", value)) {
        if (message.empty()) message = "unknown option " + std::string(a);
        return false;
      }
      if (!parse_case_range(value, options)) {
        message = "--cases wants FIRST-LAST, two case numbers with FIRST <= LAST, not \"" +
                  std::string(value) + "\"";
        return false;
      }
    } else {
      message = "unknown option " + std::string(a);
      return false;
    }
  }
  if (options.help || options.version) return true;
  return check_options(options, design_life, dff, operands, message);
}

bool resolve_names(const plot_options& options, run_names& names, plot_error& error) {
  names = run_names{};
  const std::string& operand = options.operand;
  std::error_code ec;
  // PREFIX.AccDam named in full, or by its prefix; otherwise a folder that
  // holds one run.
  fs::path report = file_path(operand);
  if (!report.string().ends_with(kReportSuffix)) report += std::string(kReportSuffix);
  if (!std::string_view(operand).ends_with(kReportSuffix) && !fs::exists(report, ec) &&
      fs::is_directory(file_path(operand), ec)) {
    std::vector<fs::path> found;
    fs::directory_iterator it(file_path(operand), ec);
    for (; !ec && it != fs::directory_iterator(); it.increment(ec)) {
      std::error_code kind_ec;
      if (it->path().filename().string().ends_with(kReportSuffix) && !it->is_directory(kind_ec)) {
        found.push_back(it->path());
      }
    }
    if (ec) {
      error = plot_error{operand, 0, "the folder cannot be listed: " + ec.message()};
      return false;
    }
    if (found.empty()) {
      error = plot_error{operand, 0, "no finished run in this folder (no *.AccDam report)"};
      return false;
    }
    if (found.size() > 1) {
      std::sort(found.begin(), found.end());
      std::string list;
      for (const fs::path& p : found) list += (list.empty() ? "" : ", ") + p.filename().string();
      error = plot_error{operand, 0, "several runs in this folder (" + list + "); name one"};
      return false;
    }
    report = found.front();
  }
  names.report = report.string();
  const std::string file_name = report.filename().string();
  names.prefix = file_name.substr(0, file_name.size() - kReportSuffix.size());
  names.folder = report.parent_path().string();
  if (options.output.empty()) {
    names.svg = (report.parent_path() / file_path(names.prefix + std::string(kSvgSuffix))).string();
    names.csv = (report.parent_path() / file_path(names.prefix + std::string(kCsvSuffix))).string();
    names.sections =
        (report.parent_path() / file_path(names.prefix + std::string(kSectionsSuffix))).string();
    names.html =
        (report.parent_path() / file_path(names.prefix + std::string(kHtmlSuffix))).string();
  } else {
    names.svg = options.output;
    std::string stem = options.output;
    if (std::string_view(stem).ends_with(kSvgSuffix)) stem.resize(stem.size() - kSvgSuffix.size());
    names.csv = stem + std::string(kCsvSuffix);
    names.sections = stem + std::string(kSectionsSuffix);
    names.html = stem + std::string(kHtmlSuffix);
  }
  return true;
}

int run_plot(std::span<const std::string_view> args, std::ostream& out, std::ostream& err) {
  plot_options options;
  std::string message;
  if (!parse_command_line(args, options, message)) {
    err << "vantor-plot: " << message << " (see vantor-plot --help)\n";
    return kExitUsage;
  }
  if (options.help) {
    out << kUsage;
    return kExitDone;
  }
  if (options.version) {
    out << "vantor-plot " << vantor::kVersion << '\n';
    return kExitDone;
  }
  if (options.compare) return run_compare(options, out, err);

  plot_error error;
  run_names names;
  if (!resolve_names(options, names, error)) return fail(err, error);
  accumulated_report report;
  if (!read_report(names.report, report, error)) return fail(err, error);

  std::vector<case_file> files;
  if (!select_cases(options, names, files, error)) return fail(err, error);
  if (files.size() > static_cast<std::size_t>(file_formats::kMostCases)) {
    return fail(err, plot_error{weighted_pattern(names).string(), 0,
                                std::to_string(files.size()) +
                                    " weighted damage files; a run holds at most " +
                                    std::to_string(file_formats::kMostCases)});
  }
  const std::vector<pick> picks = heaviest_picks(report);
  std::vector<case_damage> cases(files.size());
  for (std::size_t k = 0; k < files.size(); ++k) {
    if (!read_weighted(files[k], report, picks, cases[k], error)) return fail(err, error);
  }
  if (!options.case_range && !files.empty() &&
      static_cast<int>(files.size()) != report.case_count) {
    const fs::path pattern = weighted_pattern(names);
    return fail(err, plot_error{pattern.string(), 0,
                                std::to_string(files.size()) +
                                    " weighted damage files of this run, but the report sums " +
                                    std::to_string(report.case_count) +
                                    " cases; choose the cases with --cases"});
  }
  if (files.empty()) {
    const fs::path pattern = weighted_pattern(names);
    err << "vantor-plot: " << pattern.string()
        << ": no weighted damage files; the table has no case shares\n";
  }

  const std::vector<contribution_row> rows = contributions(report, picks, cases);
  const std::string svg = render_svg(report, options.picture);
  const std::string csv = render_csv(rows, cases, options.long_csv);
  const std::string sections = render_sections_csv(report, options.picture);
  const std::string html = render_html(report, rows, cases, svg, options.picture);
  const output_text outputs[] = {
      {names.svg, svg}, {names.csv, csv}, {names.sections, sections}, {names.html, html}};
  if (!write_files(outputs, error)) return fail(err, error);
  out << "vantor-plot: wrote " << names.svg << ", " << names.csv << ", " << names.sections
      << " and " << names.html << '\n';
  return kExitDone;
}

}  // namespace vantor::plot
