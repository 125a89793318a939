// The outcomes of the golden tables, each as one line of text, the same for
// the probe that writes the tables (built against any revision) and for the
// test that reads them. Answers and records run in a child process, so that a
// run ended by a report gives its number; the child reads a file made of the
// input (in the current directory).
#pragma once

#include <array>
#include <bit>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <span>
#include <string>
#include <string_view>
#include <utility>

#include "freeinput/reader.h"
#include "freeinput/state.h"
#include "tests/support/child_process.h"
#include "tests/support/forms.h"
#include "textio/console/console.h"
#include "textio/records/writer.h"
#include "textio/units/units.h"

namespace vantor::golden {

inline std::string hex_bits(double value) {
  char text[20];
  std::snprintf(text, sizeof text, "%016llx",
                static_cast<unsigned long long>(std::bit_cast<std::uint64_t>(value)));
  return text;
}

inline double from_hex_bits(std::string_view text) {
  std::uint64_t bits = 0;
  for (const char c : text)
    bits = bits * 16 + static_cast<std::uint64_t>(c <= '9' ? c - '0' : c - 'a' + 10);
  return std::bit_cast<double>(bits);
}

// An integer answer: "value N", "kept" (a null value), or "report N" (the run
// ended with that number).
inline std::string answer_value(int value) {
  return "value " + std::to_string(value);
}
inline std::string answer_report(int number) {
  return "report " + std::to_string(number);
}

// A record read by RDMIX: the count, the error flag, then per item its type
// and value (the bits of a number, the text of a word or text, blanks cut).
inline std::string describe_record(int count, int ierr, std::span<const int> types,
                                   std::span<const double> values, std::span<const char> texts,
                                   int text_length) {
  std::string out = "count " + std::to_string(count) + " ierr " + std::to_string(ierr);
  for (int i = 0; i < count && i < static_cast<int>(types.size()); ++i) {
    out += " | " + std::to_string(types[i]) + ' ';
    if (types[i] == 3) {
      std::string_view text(texts.data() + static_cast<std::ptrdiff_t>(i) * text_length,
                            static_cast<std::size_t>(text_length));
      text = text.substr(0, text.find_last_not_of(' ') + 1);
      out += '"';
      out += text;
      out += '"';
    } else {
      out += hex_bits(values[i]);
    }
  }
  return out;
}

inline const std::string kInput = "golden_input.txt";
inline const std::string kResult = "golden_result.txt";

// What a child left: the text its body returned (or the report number of a
// run it ended) and what reached its standard output and error.
struct child_outcome {
  std::string text;
  std::string out;
  std::string err;
};

inline const std::string kOut = "golden_out.txt";
inline const std::string kErr = "golden_err.txt";

inline std::string read_text(const std::string& name) {
  std::ifstream in(name, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// Runs body in a child whose standard input is the content (as a file): the
// text body returns, or the report number of a run it ended, with the
// child's standard output and error.
template <class Body>
child_outcome run_in_child(const std::string& content, Body&& body) {
  std::ofstream(kInput, std::ios::binary | std::ios::trunc) << content;
  std::remove(kResult.c_str());
  testing::child_spec spec;
  spec.in = testing::stream::to_file(kInput);
  spec.out = testing::stream::to_file(kOut);
  spec.err = testing::stream::to_file(kErr);
  spec.body = [&body] {
    std::ofstream(kResult, std::ios::binary) << body();
    return 0;
  };
  const testing::child_result r = testing::run_child(spec);
  child_outcome outcome{read_text(kResult), read_text(kOut), read_text(kErr)};
  if (r.status >= 1000) outcome.text = "signal " + std::to_string(r.status - 1000);
  if (r.status != 0 && r.status < 1000) outcome.text = answer_report(r.status);
  std::remove(kOut.c_str());
  std::remove(kErr.c_str());
  return outcome;
}

// The text alone, the streams dropped.
template <class Body>
std::string in_child(const std::string& content, Body&& body) {
  return run_in_child(content, std::forward<Body>(body)).text;
}

// An answer line read for an integer from the console, with what the console
// wrote (written forms, tests/support/forms.h). A target that two different
// start values leave alike was kept.
inline std::string answer_outcome(const std::string& answer) {
  const auto read_from = [&answer](int start) {
    return run_in_child(answer + "\n", [start] {
      int target = start;
      vantor::textio::readInteger(target);
      return target == start ? std::string("kept") : answer_value(target);
    });
  };
  const child_outcome first = read_from(-123456789);
  std::string text = first.text;
  if (text == "kept" && read_from(987654321).text != "kept") text = answer_value(-123456789);
  if (!first.out.empty()) text += " | out " + testing::escape(first.out);
  if (!first.err.empty()) text += " | err " + testing::escape(first.err);
  return text;
}

// A raw damage record read as the driver reads it.
inline std::string record_outcome(const std::string& record) {
  return in_child(record + "\n", [] {
    constexpr int kTextLength = 80;
    constexpr int kMaxItems = 500;
    static std::array<int, kMaxItems> types{};
    static std::array<double, kMaxItems> values{};
    static std::array<char, kMaxItems * kTextLength> texts{};
    if (vantor::textio::open_unit(88, {kInput, vantor::textio::open_status::old_file}) != 0)
      return std::string();
    int ierr = 0;
    vantor::freeinput::INIFII_2(512, 8, 88, -1, ierr);
    int count = -99;
    vantor::freeinput::RDMIX(count, types, values, texts, kTextLength, 89, -1, ierr);
    return describe_record(count, ierr, types, values, texts, kTextLength);
  });
}
// A value in F13.3 and in 1PE12.4, as a row of numbers renders it.
inline std::string rendering(double value) {
  static constexpr auto kRendering = vantor::textio::layout_of("(F13.3,1P,E12.4)");
  std::array<char, 25> text{};
  vantor::textio::write_internal(text, kRendering, value, value);
  std::string row(text.data(), text.size());
  row.insert(13, 1, '\t');
  return row;
}

}  // namespace vantor::golden
