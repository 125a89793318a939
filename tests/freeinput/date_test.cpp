#include "freeinput/date.h"

#include <gtest/gtest.h>

#include <array>
#include <climits>
#include <ctime>
#include <string>

namespace vantor::freeinput {
namespace {

// The stamp is rendered from a fixed clock reading; DATTXT renders DATTIM's.
std::array<int, 6> fixed_time{};

class DateStamp : public ::testing::Test {
 protected:
  void SetUp() override { fixed_time = {2026, 12, 7, 21, 15, 48}; }
};

std::string stamp(std::size_t length, int form) {
  std::string text(length, '?');
  date_stamp_of(fixed_time, std::span<char>(text), form);
  return text;
}

std::string padded(std::string text, std::size_t length) {
  text.resize(length, ' ');
  return text;
}

TEST_F(DateStamp, EveryForm) {
  const std::string full = " Date : 2026-12-07 21:15:48";
  const struct {
    int form;
    std::string text;
  } cases[] = {
      {1, " Date : 2026"},
      {2, " Date : 2026-12"},
      {3, " Date : 2026-12-07"},
      {4, " Date : 2026-12-07 21"},
      {5, " Date : 2026-12-07 21:15"},
      {6, full},
      {0, full},
      {-1, full},
      {7, full},
      {INT_MIN, full},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(stamp(80, c.form), padded(c.text, 80)) << "form " << c.form;
  }
}

TEST_F(DateStamp, CutToTheCallersField) {
  const struct {
    std::size_t length;
    std::string text;
  } cases[] = {
      {0, ""},
      {12, " Date : 2026"},
      {26, " Date : 2026-12-07 21:15:4"},
      {27, " Date : 2026-12-07 21:15:48"},
      {200, padded(" Date : 2026-12-07 21:15:48", 200)},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(stamp(c.length, 6), c.text) << "length " << c.length;
  }
}

TEST_F(DateStamp, ClockValues) {
  const struct {
    std::array<int, 6> reading;
    std::string text;
  } cases[] = {
      {{2026, 1, 2, 0, 0, 5}, " Date : 2026-01-02 00:00:05"},
      {{126, 12, 7, 21, 15, 48}, " Date : 2026-12-07 21:15:48"},
      {{999, 1, 1, 0, 0, 0}, " Date : 2899-01-01 00:00:00"},
      {{1000, 1, 1, 0, 0, 0}, " Date : 1000-01-01 00:00:00"},
      {{10000, 12, 31, 23, 59, 60}, " Date : ****-12-31 23:59:60"},
  };
  for (const auto& c : cases) {
    fixed_time = c.reading;
    EXPECT_EQ(stamp(80, 6), padded(c.text, 80));
  }
}

// DATTIM reads the local calendar: the year in full, months from 1 (January)
// to 12, as the C library's local time of the same second gives them.
TEST_F(DateStamp, SystemClock) {
  std::array<int, 6> v{1, 2, 3, 4, 5, 6};
  std::tm local{};
  for (int attempt = 0; attempt < 5; ++attempt) {
    const std::time_t before = std::time(nullptr);
    DATTIM(v[0], v[1], v[2], v[3], v[4], v[5]);
    local = *std::localtime(&before);
    if (std::time(nullptr) == before) break;  // else a second went by: again
  }
  const std::array<int, 6> expected{local.tm_year + 1900, local.tm_mon + 1, local.tm_mday,
                                    local.tm_hour,        local.tm_min,     local.tm_sec};
  EXPECT_EQ(v, expected);
  std::string text(40, '?');
  DATTXT(std::span<char>(text), 1);
  EXPECT_EQ(text, padded(" Date : " + std::to_string(v[0]), 40));
}

}  // namespace
}  // namespace vantor::freeinput
