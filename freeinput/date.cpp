#include "freeinput/date.h"

#include <algorithm>
#include <array>
#include <cstddef>
#include <string_view>

#include "freeinput/text.h"
#include "textio/format/field.h"
#include "textio/records/writer.h"
#include "textio/platform/platform.h"

namespace vantor::freeinput {

namespace {

constexpr auto kStampLayout = textio::layout_of("(A,I4,A,I2.2,A,I2.2,A,I2.2,A,I2.2,A,I2.2)");
constexpr std::size_t kStampWork = 80;
constexpr int kFullForm = 6;

}  // namespace

void DATTIM(int& year, int& month, int& day, int& hour, int& minute, int& second) {
  year = 0;
  month = 0;
  day = 0;
  hour = 0;
  minute = 0;
  second = 0;
  platform::local_time t;
  if (!platform::read_local_clock(t)) return;
  year = t.year;
  month = t.month;
  day = t.day;
  hour = t.hour;
  minute = t.minute;
  second = t.second;
}

void DATTXT(std::span<char> text, int form) {
  std::array<int, 6> reading{};
  DATTIM(reading[0], reading[1], reading[2], reading[3], reading[4], reading[5]);
  date_stamp_of(reading, text, form);
}

void date_stamp_of(const std::array<int, 6>& reading, std::span<char> text, int form) {
  auto [year, month, day, hour, minute, second] = reading;
  if (year < 1000) year += 1900;

  const int items = form >= 1 && form <= kFullForm ? form : kFullForm;
  std::array<char, kStampWork> work{};
  textio::blank_fill(work);
  {
    textio::statement s(work, kStampLayout);
    s << std::string_view(" Date : ") << year;
    if (items >= 2) s << std::string_view("-") << month;
    if (items >= 3) s << std::string_view("-") << day;
    if (items >= 4) s << std::string_view(" ") << hour;
    if (items >= 5) s << std::string_view(":") << minute;
    if (items >= 6) s << std::string_view(":") << second;
    s.end();
  }

  const auto n = static_cast<std::size_t>(LENNB(textio::view(work)));
  const std::size_t m = std::min(n, text.size());
  textio::blank_fill(text);
  std::copy_n(work.begin(), m, text.begin());
}

}  // namespace vantor::freeinput
