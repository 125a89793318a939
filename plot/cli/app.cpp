#include "plot/cli/app.h"

#include <algorithm>
#include <filesystem>
#include <vector>

#include "formats/file_formats.h"
#include "formats/version.h"
#include "plot/cli/output_file.h"
#include "plot/page/compare_html.h"
#include "plot/page/html.h"
#include "plot/page/total_html.h"
#include "plot/picture/compare_svg.h"
#include "plot/picture/svg.h"
#include "plot/picture/total_svg.h"
#include "plot/run/compare.h"
#include "plot/run/contributions.h"
#include "plot/run/file_path.h"
#include "plot/run/report.h"
#include "plot/run/total.h"
#include "plot/table/contributions_csv.h"
#include "plot/table/sections_csv.h"
#include "plot/table/total_csv.h"

namespace vantor::plot {
namespace {

namespace fs = std::filesystem;

using file_formats::kReportSuffix;
using file_formats::kWeightedSuffix;
constexpr std::string_view kSvgSuffix = ".svg";
constexpr std::string_view kCsvSuffix = ".Contrib.csv";
constexpr std::string_view kSectionsSuffix = ".sections.csv";
constexpr std::string_view kCompareName = "compare.svg";
constexpr std::string_view kTotalName = "total";
constexpr std::string_view kHtmlSuffix = ".html";

// FOLDER/PREFIX_*.WghDam, as errors name the weighted files of a run.
fs::path weighted_pattern(const run_names& names) {
  return file_path(names.folder) /
         file_path(names.prefix + std::string(file_formats::kCaseSeparator) + "*" +
                   std::string(kWeightedSuffix));
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

// The runs of --compare or --total, each read from its report, with its
// label.
bool read_runs(const plot_options& options, std::vector<compared_run>& runs, plot_error& error) {
  runs.assign(options.runs.size(), compared_run{});
  for (std::size_t k = 0; k < runs.size(); ++k) {
    plot_options one;
    one.operand = options.runs[k];
    run_names names;
    if (!resolve_names(one, names, error) || !read_report(names.report, runs[k].report, error)) {
      return false;
    }
    runs[k].label =
        k < options.labels.size() ? options.labels[k] : default_label(names.prefix, names.folder);
  }
  return true;
}

// Several runs from their reports: the picture and the page of them.
int run_compare(const plot_options& options, std::ostream& out, std::ostream& err) {
  std::vector<compared_run> runs;
  if (plot_error error; !read_runs(options, runs, error)) return fail(err, error);
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

// The fatigue sources of one riser added up: the tables of the total.
int run_total(const plot_options& options, std::ostream& out, std::ostream& err) {
  std::vector<compared_run> runs;
  if (plot_error error; !read_runs(options, runs, error)) return fail(err, error);
  std::vector<total_source> sources;
  for (std::size_t k = 0; k < runs.size(); ++k) {
    const double factor = k < options.factors.size() ? options.factors[k] : 1.0;
    sources.push_back({std::move(runs[k].label), factor, std::move(runs[k].report)});
  }
  accumulated_report total;
  plot_error error;
  if (!add_sources(sources, total, error)) return fail(err, error);
  // The picture's name less ".svg" is the stem of every file of the total.
  std::string stem = options.output.empty() ? std::string(kTotalName) : options.output;
  if (std::string_view(stem).ends_with(kSvgSuffix)) stem.resize(stem.size() - kSvgSuffix.size());
  const std::string svg_name = stem + std::string(kSvgSuffix);
  const std::string sections_name = stem + std::string(kSectionsSuffix);
  const std::string matrix_name = stem + ".matrix.csv";
  const std::string html_name = stem + std::string(kHtmlSuffix);
  const std::string svg = render_total_svg(total, sources, options.picture);
  const std::string sections = render_total_sections_csv(total, sources, options.picture);
  const std::string matrix = render_total_matrix_csv(total, options.picture);
  const std::string html = render_total_html(total, sources, svg, options.picture);
  const output_text outputs[] = {
      {svg_name, svg}, {sections_name, sections}, {matrix_name, matrix}, {html_name, html}};
  if (!write_files(outputs, error)) return fail(err, error);
  out << "vantor-plot: wrote " << svg_name << ", " << sections_name << ", " << matrix_name
      << " and " << html_name << '\n';
  return kExitDone;
}

}  // namespace

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
    out << help_text();
    return kExitDone;
  }
  if (options.version) {
    out << "vantor-plot " << vantor::kVersion << '\n';
    return kExitDone;
  }
  if (options.compare) return run_compare(options, out, err);
  if (options.total) return run_total(options, out, err);

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
