#include "driver/dialogue.h"

#include <array>
#include <cstddef>
#include <string>
#include <string_view>

namespace vantor::driver {
namespace {

constexpr std::size_t kIndent = 2;
constexpr std::size_t kHelpColumn = 37;  // where the descriptions start

std::string count_word(std::size_t n) {
  constexpr std::array<std::string_view, 11> kWords{
      "no", "one", "two", "three", "four", "five", "six", "seven", "eight", "nine", "ten"};
  return n < kWords.size() ? std::string(kWords[n]) : std::to_string(n);
}

// "  LABEL   description", the description's further lines under its first.
std::string help_line(const question& q) {
  const std::string indent(kIndent, ' ');
  const std::string_view label = label_of(q);
  std::string line = indent + std::string(label);
  line.append(label.size() + kIndent < kHelpColumn ? kHelpColumn - kIndent - label.size() : 1, ' ');
  for (const char c : q.help) {
    line += c;
    if (c == '\n') line.append(kHelpColumn, ' ');
  }
  return line + "\n";
}

}  // namespace

std::string questions_help() {
  std::size_t always = 0;
  for (const question& q : kDialogue) always += q.when.empty();
  std::string text = "The " + count_word(always) + " questions, one answer per line:\n";
  for (const question& q : kDialogue) {
    if (q.when.empty()) text += help_line(q);
  }
  for (const question& q : kDialogue) {
    if (!q.when.empty()) text += std::string(q.when) + ", one more question:\n" + help_line(q);
  }
  return text;
}

std::string options_usage() {
  std::string text;
  for (const question& q : kDialogue) {
    text += (text.empty() ? "[" : " [") + std::string(q.option) + " " + std::string(q.value) + "]";
  }
  return text;
}

std::string options_help() {
  std::string text =
      "Answers as options, for scripts: each answers its question without reading\n"
      "the console (the question and the answer are shown as if typed); a question\n"
      "without its option is asked as above:\n";
  for (const question& q : kDialogue) {
    std::string name = "  " + std::string(q.option) + " " + std::string(q.value);
    name.append(name.size() < kHelpColumn ? kHelpColumn - name.size() : 1, ' ');
    text += name + std::string(label_of(q)) + "\n";
  }
  return text;
}

std::string example_help() {
  std::string text;
  for (const question& q : kDialogue) {
    if (!q.example.empty()) text += "  " + std::string(q.example) + "\n";
  }
  return text;
}

}  // namespace vantor::driver
