// vantor: the dialogue of the run. Exactly "--help" or "--version" as the only
// argument prints the text and ends with status 0. A command line with answer
// options (driver/answers.h) runs the dialogue with those answers, or is
// refused with status 2; any other runs the dialogue on standard input.
#include <new>
#include <string>
#include <string_view>
#include <vector>

#include "driver/answers.h"
#include "driver/dialogue.h"
#include "driver/run.h"
#include "formats/version.h"
#include "textio/units/run_end.h"
#include "textio/platform/platform.h"

namespace {

constexpr std::string_view kUsage =
    "Usage: vantor            (answers on the console)\n"
    "       vantor < answers.txt\n"
    "       vantor OPTIONS          (answers as options, see below)\n"
    "       vantor --help | --version\n"
    "\n"
    "Sums the fatigue damage of the load cases of a riser, each weighted by the\n"
    "probability of its case. ";

constexpr std::string_view kFiles =
    "\n"
    "Reads, in the current folder:\n"
    "  the probability file              the n-th number is the probability of case n\n"
    "  PREFIX_NNN.RawDam, one per case   coordinate and hot-spot damages per section\n"
    "Writes:\n"
    "  PREFIX_NNN.WghDam, one per case   the damage times the case probability\n"
    "  PREFIX.AccDam                     accumulated damage and fatigue life\n"
    "(NNN: the case number with the given number of digits, leading zeros.)\n"
    "A PREFIX longer than 151 characters does not fit in the heading record of\n"
    "the weighted files (256 characters): the run then ends with report 66 at\n"
    "the first of them.\n"
    "\n"
    "An answers file for cases 1 to 5, riser_001.RawDam to riser_005.RawDam:\n";

constexpr std::string_view kRunIt =
    "Run it as:  vantor < answers.txt\n"
    "\n";
constexpr std::string_view kOptionsExample =
    "The example as options:\n"
    "  vantor --first 1 --last 5 --probabilities probs.txt --prefix riser --digits 3\n";
constexpr std::string_view kEnding =
    "\n"
    "Exit status: 0 complete run, 1 an error reported on the console, 2 options\n"
    "refused (nothing read or written), otherwise the number of the report on\n"
    "standard error.\n";

// The usage, the questions and the example answers from the dialogue's table
// (driver/dialogue.h), the files and the exit status.
std::string help_text() {
  using namespace vantor::driver;
  return std::string(kUsage) + questions_help() + std::string(kFiles) + example_help() +
         std::string(kRunIt) + options_help() + std::string(kOptionsExample) +
         std::string(kEnding);
}

// A refused command line: the reason and the usage line on standard error.
int refuse(std::string_view reason) {
  namespace platform = vantor::platform;
  const std::string text = "vantor: " + std::string(reason) + "\nUsage: vantor " +
                           vantor::driver::options_usage() + "\n";
  (void)platform::write_all(platform::console_error(), text.data(), text.size());
  return 2;
}

int print(std::string_view text) {
  namespace platform = vantor::platform;
  return platform::write_all(platform::console_output(), text.data(), text.size()) ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
  // First of all: a console event from here on ends the run with its report
  // and status, never by the signal's default action.
  vantor::textio::install_console_handlers();
  std::set_new_handler(vantor::textio::out_of_memory);
  if (argc == 2) {
    const std::string_view arg = argv[1];
    if (arg == "--help") return print(help_text());
    if (arg == "--version") return print("vantor " + std::string(vantor::kVersion) + "\n");
  }
  const std::vector<std::string_view> args(argv + (argc > 0 ? 1 : 0), argv + argc);
  const vantor::driver::parsed_options options = vantor::driver::parse_answer_options(args);
  if (!options.error.empty()) return refuse(options.error);
  return vantor::driver::run(options.answers);
}
