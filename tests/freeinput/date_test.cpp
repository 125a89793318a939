#include "freeinput/date.h"

#include <gtest/gtest.h>

#include <array>
#include <climits>
#include <string>

namespace vantor::freeinput {
namespace {

struct clock_reading {
  int year, month, day, hour, minute, second;
};

clock_reading fixed_time{2026, 12, 7, 21, 15, 48};

void fixed_clock(int& year, int& month, int& day, int& hour, int& minute, int& second) {
  year = fixed_time.year;
  month = fixed_time.month;
  day = fixed_time.day;
  hour = fixed_time.hour;
  minute = fixed_time.minute;
  second = fixed_time.second;
}

void silent_clock(int&, int&, int&, int&, int&, int&) {}

class DateStamp : public ::testing::Test {
 protected:
  void SetUp() override { set_clock_source(fixed_clock); }
  void TearDown() override { set_clock_source(nullptr); }
};

std::string stamp(std::size_t length, int form) {
  std::string text(length, '?');
  DATTXT(std::span<char>(text), form);
  return text;
}

std::string padded(std::string text, std::size_t length) {
  text.resize(length, ' ');
  return text;
}

struct FormCase {
  int form;
  std::string text;
};

TEST_F(DateStamp, EveryForm) {
  fixed_time = {2026, 12, 7, 21, 15, 48};
  const std::string full = " Date : 2026-12-07 21:15:48";
  const FormCase cases[] = {
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
      {INT_MAX, full},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(stamp(80, c.form), padded(c.text, 80)) << "form " << c.form;
  }
  EXPECT_EQ(full.size(), 27U);
}

struct FieldCase {
  std::size_t length;
  std::string text;
};

TEST_F(DateStamp, CutToTheCallersField) {
  fixed_time = {2026, 12, 7, 21, 15, 48};
  const FieldCase cases[] = {
      {0, ""},
      {1, " "},
      {12, " Date : 2026"},
      {26, " Date : 2026-12-07 21:15:4"},
      {27, " Date : 2026-12-07 21:15:48"},
      {30, " Date : 2026-12-07 21:15:48   "},
      {200, padded(" Date : 2026-12-07 21:15:48", 200)},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(stamp(c.length, 6), c.text) << "length " << c.length;
  }
}

struct ClockCase {
  clock_reading reading;
  std::string text;
};

TEST_F(DateStamp, ClockValues) {
  const ClockCase cases[] = {
      {{2026, 1, 2, 0, 0, 5}, " Date : 2026-01-02 00:00:05"},
      {{126, 12, 7, 21, 15, 48}, " Date : 2026-12-07 21:15:48"},
      {{0, 1, 1, 0, 0, 0}, " Date : 1900-01-01 00:00:00"},
      {{999, 1, 1, 0, 0, 0}, " Date : 2899-01-01 00:00:00"},
      {{1000, 1, 1, 0, 0, 0}, " Date : 1000-01-01 00:00:00"},
      {{9999, 12, 31, 23, 59, 60}, " Date : 9999-12-31 23:59:60"},
      {{10000, 12, 31, 23, 59, 59}, " Date : ****-12-31 23:59:59"},
  };
  for (const auto& c : cases) {
    fixed_time = c.reading;
    EXPECT_EQ(stamp(80, 6), padded(c.text, 80)) << c.text;
  }
}

TEST_F(DateStamp, DattimZeroesBeforeReading) {
  set_clock_source(silent_clock);
  std::array<int, 6> v{1, 2, 3, 4, 5, 6};
  DATTIM(v[0], v[1], v[2], v[3], v[4], v[5]);
  EXPECT_EQ(v, (std::array<int, 6>{}));
}

TEST(DateClock, SystemClockGivesACalendarTime) {
  set_clock_source(nullptr);
  int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
  DATTIM(year, month, day, hour, minute, second);
  EXPECT_GE(year, 2020);
  EXPECT_GE(month, 1);
  EXPECT_LE(month, 12);
  EXPECT_GE(day, 1);
  EXPECT_LE(day, 31);
  EXPECT_LE(hour, 23);
  EXPECT_LE(minute, 59);
  EXPECT_LE(second, 60);
  EXPECT_GE(hour, 0);
  EXPECT_GE(minute, 0);
  EXPECT_GE(second, 0);
}

}  // namespace
}  // namespace vantor::freeinput
