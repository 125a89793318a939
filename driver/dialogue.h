// The console dialogue of a run as one table: every question vantor asks, in
// the order it asks them, with its prompt (written by PROMPT exactly as
// given, every byte), what a blank answer means, the run variable the answer
// becomes, its line in `vantor --help` and its line in the help's example.
// The steps of the run take their prompts from here (run.cpp,
// probability.cpp), --help writes its question lines from here
// (questions_help), and the tests build their answers in this order
// (tests/support/answers.h).
//
// Adding a question: one entry below, in the place where it is asked, with its
// name in question_id at the same place (checked at compile time), its
// command-line option, and `when` set if it is asked only on a condition;
// plus its step where the run asks it: ask_integer or ask_line
// (driver/asking.h) into its variable. --help follows the table; the answer builder gets a
// field for the new answer (the compiler points at its switch).
#pragma once

#include <array>
#include <cstddef>
#include <string>
#include <string_view>

namespace vantor::driver {

enum class question_id { first_case, last_case, probability_file, prefix, digits, scale };

// How an answer is read: one free-form integer from the console (readInteger,
// blank lines skipped) or one whole line (readLine, cut to its field).
enum class answer_kind { integer, line };

struct question {
  question_id id;
  std::string_view prompt;  // as written on the console, trailing blanks included
  answer_kind kind;
  bool number;               // the answer is a number (the digits line is read as one)
  std::string_view blank;    // what a blank answer means
  std::string_view becomes;  // the run variable the answer fills
  std::string_view help;     // the description in --help; "\n" continues it under itself
  std::string_view example;  // the line of the help's answers file; empty: not shown
  std::string_view option;   // the command-line option that answers it
  std::string_view value;    // its value in --help: N (an integer), yes|no (one of), else text
  std::string_view when{};   // empty: asked on every run; else the condition, for --help
};

inline constexpr std::array<question, 6> kDialogue{{
    {.id = question_id::first_case,
     .prompt = "Give First case to process        :  ",
     .kind = answer_kind::integer,
     .number = true,
     .blank = "none: blank lines are skipped",
     .becomes = "IFIRST",
     .help = "first case number",
     .example = "1",
     .option = "--first",
     .value = "N"},
    {.id = question_id::last_case,
     .prompt = "Give Last  case to process        :  ",
     .kind = answer_kind::integer,
     .number = true,
     .blank = "none: blank lines are skipped",
     .becomes = "ILAST, and NCASE = ILAST - IFIRST + 1",
     .help = "last case number",
     .example = "5",
     .option = "--last",
     .value = "N"},
    {.id = question_id::probability_file,
     .prompt = "Give file containing probabilities:  ",
     .kind = answer_kind::line,
     .number = false,
     .blank = "a name that cannot be opened: asked again",
     .becomes = "probability_name, opened on unit 10",
     .help = "the probability file (asked again while\nit cannot be opened)",
     .example = "probs.txt",
     .option = "--probabilities",
     .value = "FILE"},
    {.id = question_id::prefix,
     .prompt = "Give the common file Prefix       :  ",
     .kind = answer_kind::line,
     .number = false,
     .blank = "an empty prefix",
     .becomes = "prefix",
     .help = "PREFIX of the case files",
     .example = "riser",
     .option = "--prefix",
     .value = "TEXT"},
    {.id = question_id::digits,
     .prompt = "Number of digits in case nos /3/  :  ",
     .kind = answer_kind::line,
     .number = true,
     .blank = "3 digits",
     .becomes = "NDIG, the line read as an integer",
     .help = "digits of the case numbers (blank: 3)",
     .example = "(an empty line: 3 digits)",
     .option = "--digits",
     .value = "N"},
    {.id = question_id::scale,
     .prompt = "Scale Probs?  / yes /  ",
     .kind = answer_kind::line,
     .number = false,
     .blank = "yes",
     .becomes = "PROB of the run's cases times 1/sum (blank or Y...), or left as read",
     .help = "blank or y: scale them to a sum of 1",
     .example = "",
     .option = "--scale",
     .value = "yes|no",
     .when = "When the probabilities of the cases do not add up to 1"},
}};

constexpr const question& question_of(question_id id) {
  for (const question& q : kDialogue) {
    if (q.id == id) return q;
  }
  return kDialogue.front();  // not reached: every id has its entry (checked below)
}

constexpr std::string_view prompt_of(question_id id) {
  return question_of(id).prompt;
}

// The prompt as --help names it: without its colon and trailing blanks.
constexpr std::string_view label_of(const question& q) {
  std::string_view label = q.prompt;
  while (!label.empty() && (label.back() == ' ' || label.back() == ':')) label.remove_suffix(1);
  return label;
}

constexpr bool every_id_has_its_entry() {
  for (std::size_t i = 0; i < kDialogue.size(); ++i) {
    if (kDialogue[i].id != static_cast<question_id>(i)) return false;
  }
  return true;
}
static_assert(every_id_has_its_entry(), "kDialogue lists every question_id once, in order");

// The questions' part of --help: the questions asked on every run, one line
// each, then the conditional ones after their condition.
std::string questions_help();

// The example answers file of --help, one indented line per shown answer.
std::string example_help();

// The options that answer the questions, for --help: the usage line's part
// ("[--first N] [--last N] ...") and one line per option.
std::string options_usage();
std::string options_help();

}  // namespace vantor::driver
