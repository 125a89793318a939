// The console answers of a run, one field per question of the dialogue's
// table (driver/dialogue.h) and written in its order. The defaults answer a
// small valid run: cases 1 to 3, probs.txt, prefix riser, a blank digits
// line (3 digits), no scale answer. Fields are the lines as typed, so that
// a test can give any form (" 007", "abc", "/"):
//
//   dialogue_answers{.last = "5", .scale = "n"}.text()   "1\n5\nprobs.txt\nriser\n\nn\n"
//
// A new question of the table gets its field here and its case in lines().
#pragma once

#include <algorithm>
#include <optional>
#include <string>
#include <vector>

#include "driver/dialogue.h"

namespace vantor::testing {

struct answer_line {
  driver::question_id id;
  std::string text;
  bool number;  // the question takes a number
};

struct dialogue_answers {
  std::string first = "1";
  std::string last = "3";
  std::vector<std::string> refused_files{};  // names given first, each asked again
  std::string probability_file = "probs.txt";
  std::string prefix = "riser";
  std::string digits{};
  std::optional<std::string> scale{};  // asked only when the sum is not 1

  // Every answer line in the order of the questions, the refused file names
  // before the probability file.
  std::vector<answer_line> lines() const {
    using driver::question_id;
    std::vector<answer_line> out;
    for (const driver::question& q : driver::kDialogue) {
      const auto add = [&](const std::string& text) { out.push_back({q.id, text, q.number}); };
      switch (q.id) {
        case question_id::first_case:
          add(first);
          break;
        case question_id::last_case:
          add(last);
          break;
        case question_id::probability_file:
          for (const std::string& name : refused_files) add(name);
          add(probability_file);
          break;
        case question_id::prefix:
          add(prefix);
          break;
        case question_id::digits:
          add(digits);
          break;
        case question_id::scale:
          if (scale) add(*scale);
          break;
      }
    }
    return out;
  }

  // The answers to the questions in `by_option` as their command-line options
  // (driver/answers.h), and the console input left for the other questions.
  std::vector<std::string> options(const std::vector<driver::question_id>& by_option) const {
    std::vector<std::string> out;
    for (const answer_line& line : lines()) {
      if (!answered_by(by_option, line.id)) continue;
      out.emplace_back(driver::question_of(line.id).option);
      out.push_back(line.text);
    }
    return out;
  }
  std::string text_without(const std::vector<driver::question_id>& by_option) const {
    std::string out;
    for (const answer_line& line : lines()) {
      if (!answered_by(by_option, line.id)) out += line.text + "\n";
    }
    return out;
  }
  static bool answered_by(const std::vector<driver::question_id>& by_option,
                          driver::question_id id) {
    return std::find(by_option.begin(), by_option.end(), id) != by_option.end();
  }

  // The lines, each ended by "\n", up to and including the answers to `until`
  // (by default all of them): the console input of a run.
  std::string text(driver::question_id until = driver::question_id::scale) const {
    std::string out;
    for (const answer_line& line : lines()) {
      if (line.id > until) break;
      out += line.text + "\n";
    }
    return out;
  }
};

}  // namespace vantor::testing
