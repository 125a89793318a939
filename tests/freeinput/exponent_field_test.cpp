// The word-at-a-time digit helpers and the damage-field pass, checked
// exhaustively against plain character loops and the plain number pass.
#include "freeinput/exponent_field.h"

#include <gtest/gtest.h>

#include <array>
#include <bit>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>

#include "freeinput/damage_block.h"
#include "freeinput/state.h"

namespace vantor::freeinput {
namespace {

// A line field: the text, the sentinel, then slack of arbitrary digits (a
// scan must never take them).
struct line_field {
  explicit line_field(const std::string& text) {
    bytes.fill('7');
    std::memcpy(bytes.data(), text.data(), text.size());
    end = bytes.data() + text.size();
    bytes[text.size()] = kSentinel;
  }
  std::array<char, 64> bytes{};
  const char* end = nullptr;
};

TEST(DigitRuns, EveryByteAtEveryPositionAndEveryShortRun) {
  for (int position = 0; position < 8; ++position) {
    for (int b = 0; b < 256; ++b) {
      std::array<char, 8> chars;
      chars.fill('5');
      chars[static_cast<std::size_t>(position)] = static_cast<char>(b);
      const bool digit = b >= '0' && b <= '9';
      EXPECT_EQ(digit_run_length(load_eight(chars.data())), digit ? 8 : position) << b;
    }
  }
  // The last n digits of every four-digit text, whatever follows them.
  constexpr std::array<unsigned, 5> kScale = {1, 10, 100, 1000, 10000};
  for (int n = 1; n <= 4; ++n) {
    for (unsigned v = 0; v < 10000; ++v) {
      char text[16];
      std::snprintf(text, sizeof text, "%04ux9x9", v);
      EXPECT_EQ(short_run_value(load_eight(text + 4 - n), n),
                v % kScale[static_cast<std::size_t>(n)]);
    }
  }
}

// The damage-field pass gives the plain pass's value bits and field end.
void expect_same(const std::string& field) {
  const line_field line(field + "  1.0");
  double fast = 0.0;
  const char* after = scan_exponent_field(line.bytes.data(), line.end, fast);
  ASSERT_NE(after, nullptr) << field;
  plain_number plain;
  EXPECT_EQ(scan_plain_number(line.bytes.data(), line.end, plain), after) << field;
  EXPECT_EQ(std::bit_cast<std::uint64_t>(fast), std::bit_cast<std::uint64_t>(plain.real)) << field;
}

TEST(ExponentField, EveryFractionAndExponentAgreesWithThePlainPass) {
  char field[32];
  for (unsigned f = 0; f < 10000; ++f) {
    const int exponent = static_cast<int>(f % 199) - 99;
    std::snprintf(field, sizeof field, "%s%u.%04uE%c%02d", f % 3 == 0 ? "-" : "", f % 10, f,
                  exponent < 0 ? '-' : '+', exponent < 0 ? -exponent : exponent);
    expect_same(field);
  }
  for (const char* ending : {"1.2345E-03", "+1.2345E-03,2", "1.2345E-03 ,"}) expect_same(ending);
}

TEST(ExponentField, DeclinesEveryOtherForm) {
  for (const char* field : {"1.2345E-3", "1.2345E-003", "1.23456E-03", "12.345E-03", "1.234E-03",
                            "1,2345E-03", "1.2345D-03", "1.2345E*03", "1.2345E-03X", "1.2345E-0",
                            "1.2345e-03", "--1.2345E-03", "1.2345E-0A", "1.2345E- 3", "1.2"}) {
    const line_field line(field);
    double value = 0.0;
    EXPECT_EQ(scan_exponent_field(line.bytes.data(), line.end, value), nullptr) << field;
  }
  // The end of the line ends the field as a blank does.
  const line_field line("1.2345E-03");
  double value = 0.0;
  EXPECT_EQ(scan_exponent_field(line.bytes.data(), line.end, value), line.end);
}

}  // namespace
}  // namespace vantor::freeinput

namespace vantor::freeinput {
namespace {

// The block pass takes exactly the four fields that the single field pass
// takes in their twelve columns (blank, blank or '-', then the field), and
// gives the same bits; checked on every one-character change of a block.
TEST(DamageBlock, AgreesWithTheSingleFieldPassUnderEveryChange) {
  if (!kDamageBlocks) GTEST_SKIP() << "no block pass on this machine";
  const std::string block = "  8.9866E-09 -5.0641E+08  0.0000E-00 -9.9999E+99";
  const auto reference = [](const char* slot, const char* end, double* values) -> const char* {
    for (std::size_t k = 0; k < kBlockFields; ++k) {
      const char* const f = slot + k * kDamageColumns;
      if (f[0] != ' ' || (f[1] != ' ' && f[1] != '-')) return nullptr;
      if (scan_exponent_field(f[1] == ' ' ? f + 2 : f + 1, end, values[k]) != f + kDamageColumns)
        return nullptr;
    }
    const char* const after = slot + kBlockColumns;
    return *after == ' ' || *after == ',' || after == end ? after : nullptr;
  };
  int taken = 0;
  for (const std::string ending : {"", " ", ",", "x"}) {
    for (std::size_t at = 0; at <= kBlockColumns; ++at) {
      for (const char c : {' ', '-', '+', '.', 'E', '0', '9', ',', 'S', 'x', '\0'}) {
        std::string text = block + ending;
        if (at < text.size()) text[at] = c;
        const line_field line(text);
        std::array<double, kBlockFields> fast{}, slow{};
        const char* const got = take_damage_block(line.bytes.data(), line.end, fast.data());
        const char* const want = reference(line.bytes.data(), line.end, slow.data());
        ASSERT_EQ(got, want) << text;
        if (got == nullptr) continue;
        ++taken;
        for (std::size_t k = 0; k < kBlockFields; ++k)
          EXPECT_EQ(std::bit_cast<std::uint64_t>(fast[k]), std::bit_cast<std::uint64_t>(slow[k]));
      }
    }
  }
  EXPECT_GT(taken, 200);
}

// The four fields' digits and exponents are read side by side: every
// fraction, exponent and lead digit in every one of the four places.
TEST(DamageBlock, EveryFractionAndExponentInEveryPlace) {
  if (!kDamageBlocks) GTEST_SKIP() << "no block pass on this machine";
  char field[16];
  for (int v = 0; v < 10000; ++v) {
    std::string text;
    for (int k = 0; k < 4; ++k) {
      const int f = (v + 2503 * k) % 10000;
      const int e = (v + 37 * k) % 100;
      std::snprintf(field, sizeof field, " %c%d.%04dE%c%02d", (v + k) % 3 == 0 ? '-' : ' ',
                    (v / 7 + k) % 10, f, (v + k) % 2 == 0 ? '+' : '-', e);
      text += field;
    }
    const line_field line(text);
    std::array<double, kBlockFields> fast{};
    ASSERT_EQ(take_damage_block(line.bytes.data(), line.end, fast.data()), line.end) << text;
    for (std::size_t k = 0; k < kBlockFields; ++k) {
      double slow = 0.0;
      const char* const f = line.bytes.data() + k * kDamageColumns;
      ASSERT_NE(scan_exponent_field(f[1] == ' ' ? f + 2 : f + 1, line.end, slow), nullptr);
      ASSERT_EQ(std::bit_cast<std::uint64_t>(fast[k]), std::bit_cast<std::uint64_t>(slow)) << text;
    }
  }
}

}  // namespace
}  // namespace vantor::freeinput
