// Where the answers of the dialogue come from: the console, or the named
// options of the command line (vantor --first N --last N ...).
//
// An option answers its question without reading the console: the question
// is written as always, then the answer as if it had been typed (the answer
// and the end of its line), and the answer goes through the same reading and
// the same checks as a typed one. A question without its option is asked on
// the console. An empty value is a blank answer line (--digits "" means 3
// digits). A value that its question could never take as typed (an N that
// is no integer, a yes|no that is neither) is refused before the run starts,
// with the reason and the usage line, status 2.
#pragma once

#include <array>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "driver/dialogue.h"

namespace vantor::driver {

// The value of each question's option, in the order of the dialogue's table.
struct answer_options {
  std::array<std::optional<std::string>, kDialogue.size()> given{};

  const std::optional<std::string>& of(question_id id) const {
    return given[static_cast<std::size_t>(id)];
  }
};

struct parsed_options {
  bool used = false;  // some argument is an answer option
  answer_options answers{};
  std::string error{};  // not empty: the reason the command line is refused
};

// Reads the arguments after the program name. With none of the answer
// options among them, nothing is used (the run is the dialogue of old, other
// arguments ignored). Otherwise every argument must be an answer option
// followed by its value, each option at most once.
parsed_options parse_answer_options(std::span<const std::string_view> args);

// Asks question id: its prompt, then one free-form integer (ask_integer) or
// the whole answer line cut to the field (ask_line, the field blank-filled
// first), from its option when given, else from the console.
void ask_integer(question_id id, const answer_options& options, int& target);
void ask_line(question_id id, const answer_options& options, std::span<char> field);

}  // namespace vantor::driver
