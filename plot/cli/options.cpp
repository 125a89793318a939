#include "plot/cli/options.h"

#include <array>
#include <cmath>

#include "formats/file_formats.h"
#include "plot/run/compare.h"
#include "plot/text/number_text.h"

namespace vantor::plot {

struct option_values {
  plot_options& options;
  bool design_life = false;  // --design-life given
  bool dff = false;          // --dff given
};

namespace {

constexpr std::string_view kHelpHead =
    "Usage: vantor-plot [OPTION]... PREFIX | PREFIX.AccDam | FOLDER\n"
    "  or:  vantor-plot --compare [OPTION]... RUN RUN [RUN]...\n"
    "  or:  vantor-plot --total [OPTION]... RUN RUN [RUN]...\n"
    "Draws the damage and fatigue life along the riser of a finished Vantor run and\n"
    "tabulates each load case's share in the damage of the ten heaviest sections.\n"
    "\n"
    "PREFIX is the common file prefix of the run (its report is PREFIX.AccDam, its\n"
    "weighted damage files PREFIX_NNN.WghDam); a FOLDER must hold one run.\n"
    "\n";

constexpr std::string_view kHelpTail =
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
    "the runs (compare.svg, compare.html). With --total: the runs are the fatigue\n"
    "sources of one riser (wave, VIV, ...), added hot spot by hot spot, each times\n"
    "its factor; total.sections.csv gives every section's total damage and life\n"
    "and each source's share at its worst hot spot, total.matrix.csv the total at\n"
    "every hot spot.\n"
    "\n"
    "Exit status: 0 done, 1 missing or bad input (or output not written), 2 usage\n"
    "error.\n";

// The column of the options' help in --help.
constexpr std::size_t kHelpColumn = 26;

// FIRST-LAST, or one case number for both.
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

// A positive number for the option of that name.
bool set_positive(std::string_view name, std::string_view value, double& number,
                  std::string& message) {
  double v = 0.0;
  if (!parse_real(value, v) || !(v > 0.0)) {
    message = std::string(name) + " wants a positive number, not \"" + std::string(value) + "\"";
    return false;
  }
  number = v;
  return true;
}

constexpr std::array<option_entry, 13> kOptions = {{
    {"-o", "--output", "FILE",
     "write the picture to FILE (default PREFIX.svg beside the\n"
     "report, compare.svg with --compare); the other files\n"
     "go to FILE less \".svg\", plus \".Contrib.csv\",\n"
     "\".sections.csv\" and \".html\"",
     [](std::string_view v, option_values& o, std::string& message) {
       if (v.empty()) {
         message = "option --output needs a file name";
         return false;
       }
       o.options.output = std::string(v);
       return true;
     }},
    {"", "--cases", "FIRST-LAST",
     "take the weighted damage files of these cases only\n"
     "(default: every PREFIX_*.WghDam of the run)",
     [](std::string_view v, option_values& o, std::string& message) {
       if (parse_case_range(v, o.options)) return true;
       message = "--cases wants FIRST-LAST, two case numbers with FIRST <= LAST, not \"" +
                 std::string(v) + "\"";
       return false;
     }},
    {"", "--design-life", "YEARS",
     "the design life; with --dff it sets the required\n"
     "life R = YEARS x FACTOR, drawn on both panels",
     [](std::string_view v, option_values& o, std::string& message) {
       o.design_life = true;
       return set_positive("--design-life", v, o.options.picture.design_life, message);
     }},
    {"", "--dff", "FACTOR", "design fatigue factor (default 1 with --design-life)",
     [](std::string_view v, option_values& o, std::string& message) {
       o.dff = true;
       return set_positive("--dff", v, o.options.picture.dff, message);
     }},
    {"", "--life-unit", "TEXT", "unit of the fatigue life on the axes (e.g. years)",
     [](std::string_view v, option_values& o, std::string&) {
       o.options.picture.life_unit = std::string(v);
       return true;
     }},
    {"", "--length-unit", "TEXT", "unit of S_Coo on the axes (e.g. m)",
     [](std::string_view v, option_values& o, std::string&) {
       o.options.picture.length_unit = std::string(v);
       return true;
     }},
    {"", "--long", "",
     "CSV with one row per (rank, case) instead of one\n"
     "row per heaviest section",
     [](std::string_view, option_values& o, std::string&) { return o.options.long_csv = true; }},
    {"", "--compare", "",
     "compare two to eight runs (each RUN as PREFIX,\n"
     "PREFIX.AccDam or FOLDER): compare.svg and compare.html",
     [](std::string_view, option_values& o, std::string&) { return o.options.compare = true; }},
    {"", "--total", "",
     "add up two to eight runs, the fatigue sources of one\n"
     "riser: total.sections.csv and total.matrix.csv",
     [](std::string_view, option_values& o, std::string&) { return o.options.total = true; }},
    {"", "--factor", "F",
     "the factor of the next source of --total, its damage\n"
     "multiplied by F before adding (default 1)",
     [](std::string_view v, option_values& o, std::string& message) {
       double f = 0.0;
       if (!parse_real(v, f) || !(std::isfinite(f) && f > 0.0)) {
         message = "--factor wants a finite number > 0, not \"" + std::string(v) + "\"";
         return false;
       }
       o.options.factors.push_back(f);
       return true;
     }},
    {"", "--label", "TEXT",
     "the name of the next run of --compare or --total\n"
     "(default: its prefix and folder)",
     [](std::string_view v, option_values& o, std::string&) {
       o.options.labels.emplace_back(v);
       return true;
     }},
    {"-h", "--help", "", "show this help and exit",
     [](std::string_view, option_values& o, std::string&) { return o.options.help = true; }},
    {"", "--version", "", "show the version and exit",
     [](std::string_view, option_values& o, std::string&) { return o.options.version = true; }},
}};

// The entry an argument names, and the value it carries ("--name=value");
// nullptr for none.
const option_entry* find_option(std::string_view a, std::string_view& value, bool& has_value) {
  for (const option_entry& e : kOptions) {
    if (a == e.name || (!e.short_name.empty() && a == e.short_name)) {
      has_value = false;
      return &e;
    }
    if (!e.argument.empty() && a.size() > e.name.size() && a.starts_with(e.name) &&
        a[e.name.size()] == '=') {
      value = a.substr(e.name.size() + 1);
      has_value = true;
      return &e;
    }
  }
  return nullptr;
}

// The run's data files must not be overwritten by a misdirected --output.
bool is_run_data_name(std::string_view name) {
  return name.ends_with(file_formats::kReportSuffix) ||
         name.ends_with(file_formats::kWeightedSuffix) || name.ends_with(file_formats::kRawSuffix);
}

// The runs of --compare or --total: two to eight, no more labels (or
// factors) than runs, and none of the options that choose from one run's
// cases.
bool check_compare(plot_options& options, std::span<const std::string_view> operands,
                   std::string& message) {
  const std::string mode = options.total ? "--total" : "--compare";
  if (options.compare && options.total) {
    message = "--compare and --total: one of them";
    return false;
  }
  if (options.case_range || options.long_csv) {
    message = "--cases and --long are options of one run, not of " + mode;
    return false;
  }
  if (operands.size() < kFewestCompared || operands.size() > kMostCompared) {
    message = mode + " takes " + std::to_string(kFewestCompared) + " to " +
              std::to_string(kMostCompared) + " runs, not " + std::to_string(operands.size());
    return false;
  }
  if (options.factors.size() > operands.size()) {
    message = std::to_string(options.factors.size()) + " factors for " +
              std::to_string(operands.size()) + " runs";
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
  if (!options.factors.empty() && !options.total) {
    message = "--factor names a source of --total";
    return false;
  }
  if (options.compare || options.total) {
    if (!check_compare(options, operands, message)) return false;
  } else if (!options.labels.empty()) {
    message = "--label names a run of --compare or --total";
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

}  // namespace

std::span<const option_entry> option_table() {
  return kOptions;
}

std::string help_text() {
  std::string text(kHelpHead);
  for (const option_entry& e : kOptions) {
    std::string left = "  ";
    left += e.short_name.empty() ? "    " : e.short_name;
    if (!e.short_name.empty()) left += ", ";
    left += e.name;
    if (!e.argument.empty()) {
      left += ' ';
      left += e.argument;
    }
    left.resize(std::max(kHelpColumn, left.size() + 1), ' ');
    std::string_view help = e.help;
    for (;;) {
      const std::size_t end = help.find('\n');
      text += left;
      text += help.substr(0, end);
      text += '\n';
      if (end == std::string_view::npos) break;
      help.remove_prefix(end + 1);
      left.assign(kHelpColumn, ' ');
    }
  }
  text += kHelpTail;
  return text;
}

bool parse_command_line(std::span<const std::string_view> args, plot_options& options,
                        std::string& message) {
  options = plot_options{};
  option_values values{options};
  bool operands_only = false;
  std::vector<std::string_view> operands;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string_view a = args[i];
    if (operands_only || a.empty() || a.front() != '-' || a == "-") {
      operands.push_back(a);
      continue;
    }
    if (a == "--") {
      operands_only = true;
      continue;
    }
    std::string_view value;
    bool has_value = false;
    const option_entry* e = find_option(a, value, has_value);
    if (e == nullptr) {
      message = "unknown option " + std::string(a);
      return false;
    }
    if (!e->argument.empty() && !has_value) {
      if (i + 1 >= args.size()) {
        message = "option " + std::string(a) + " needs a value";
        return false;
      }
      value = args[++i];
    }
    if (!e->set(value, values, message)) return false;
  }
  if (options.help || options.version) return true;
  return check_options(options, values.design_life, values.dff, operands, message);
}

}  // namespace vantor::plot
