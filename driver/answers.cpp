// Answers from the console or from the command line (answers.h).
#include "driver/answers.h"

#include <charconv>
#include <cstddef>
#include <string>
#include <string_view>
#include <system_error>

#include "driver/helpers.h"
#include "driver/records.h"
#include "driver/state.h"
#include "textio/console/console.h"
#include "textio/format/field.h"
#include "textio/records/writer.h"

namespace vantor::driver {
namespace {

const question* question_of_option(std::string_view name) {
  for (const question& q : kDialogue) {
    if (q.option == name) return &q;
  }
  return nullptr;
}

// An integer as a typed answer could hold it: a sign, digits, within int.
bool is_integer(std::string_view v) {
  std::string_view digits = v;
  if (!digits.empty() && (digits.front() == '+' || digits.front() == '-')) digits.remove_prefix(1);
  if (digits.empty() || digits.find_first_not_of("0123456789") != std::string_view::npos) {
    return false;
  }
  if (v.front() == '+') v.remove_prefix(1);
  int value = 0;
  const auto [end, error] = std::from_chars(v.data(), v.data() + v.size(), value);
  return error == std::errc() && end == v.data() + v.size();
}

// Whether the value fits its question; the reason when not.
std::string value_fault(const question& q, std::string_view v) {
  if (v.find_first_of("\r\n") != std::string_view::npos) return "a value of one line is expected";
  // An empty value is the blank line of a question read as a line: what its
  // blank answer means (3 digits, scale yes, ...).
  if (v.empty() && q.kind == answer_kind::line) return "";
  if (q.value == "N") return is_integer(v) ? "" : "an integer is expected";
  if (q.value.find('|') != std::string_view::npos) {
    std::string_view choices = q.value;
    while (!choices.empty()) {
      const std::size_t bar = choices.find('|');
      if (choices.substr(0, bar) == v) return "";
      choices = bar == std::string_view::npos ? std::string_view() : choices.substr(bar + 1);
    }
    return "one of " + std::string(q.value) + " is expected";
  }
  return "";
}

void write_prompt(question_id id) {
  const std::string_view prompt = prompt_of(id);
  PROMPT(kUnitOut, prompt, static_cast<int>(prompt.size()));
}

// The answer on the question's line, the line then ended, as a terminal
// shows a typed answer.
void echo(std::string_view answer) {
  textio::write(kUnitOut, kText, answer);
}

}  // namespace

parsed_options parse_answer_options(std::span<const std::string_view> args) {
  parsed_options p;
  for (const std::string_view a : args) p.used = p.used || question_of_option(a) != nullptr;
  if (!p.used) return p;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const question* q = question_of_option(args[i]);
    if (q == nullptr) {
      p.error = "unknown argument: " + std::string(args[i]);
      return p;
    }
    auto& slot = p.answers.given[static_cast<std::size_t>(q->id)];
    if (slot) {
      p.error = std::string(q->option) + " is given twice";
      return p;
    }
    if (i + 1 == args.size()) {
      p.error = std::string(q->option) + " needs a value (" + std::string(q->value) + ")";
      return p;
    }
    const std::string_view v = args[++i];
    if (const std::string fault = value_fault(*q, v); !fault.empty()) {
      p.error = std::string(q->option) + " " + std::string(v) + ": " + fault;
      return p;
    }
    slot.emplace(v);
  }
  return p;
}

void ask_integer(question_id id, const answer_options& options, int& target) {
  write_prompt(id);
  if (const auto& given = options.of(id)) {
    echo(*given);
    textio::readInteger(*given, target);
  } else {
    textio::readInteger(target);
  }
}

void ask_line(question_id id, const answer_options& options, std::span<char> field) {
  textio::blank_fill(field);
  write_prompt(id);
  if (const auto& given = options.of(id)) {
    echo(*given);
    textio::assign(field, *given);
  } else {
    textio::readLine(field);
  }
}

}  // namespace vantor::driver
