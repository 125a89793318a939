#include "freeinput/date.h"

#include <algorithm>
#include <array>
#include <cstddef>
#include <ctime>
#include <string_view>

#include "freeinput/text.h"
#include "textio/field.h"
#include "textio/writer.h"

namespace vantor::freeinput {

namespace {

constexpr auto kStampLayout = textio::layout_of("(A,I4,A,I2.2,A,I2.2,A,I2.2,A,I2.2,A,I2.2)");
constexpr std::size_t kStampWork = 80;
constexpr int kFullForm = 6;

void system_clock(int& year, int& month, int& day, int& hour, int& minute, int& second) {
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  if (now == static_cast<std::time_t>(-1) || ::localtime_r(&now, &local) == nullptr) return;
  year = local.tm_year + 1900;
  month = local.tm_mon + 1;
  day = local.tm_mday;
  hour = local.tm_hour;
  minute = local.tm_min;
  second = local.tm_sec;
}

clock_source current_source = nullptr;

}  // namespace

void set_clock_source(clock_source source) {
  current_source = source;
}

void DATTIM(int& year, int& month, int& day, int& hour, int& minute, int& second) {
  year = 0;
  month = 0;
  day = 0;
  hour = 0;
  minute = 0;
  second = 0;
  const clock_source source = current_source != nullptr ? current_source : system_clock;
  source(year, month, day, hour, minute, second);
}

void DATTXT(std::span<char> text, int form) {
  int year = 0;
  int month = 0;
  int day = 0;
  int hour = 0;
  int minute = 0;
  int second = 0;
  DATTIM(year, month, day, hour, minute, second);
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
