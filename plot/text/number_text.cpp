#include "plot/text/number_text.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <system_error>

#include "freeinput/text.h"

namespace vantor::plot {

bool parse_int(std::string_view text, int& value) {
  text = freeinput::trim(text);
  if (!text.empty() && text.front() == '+') text.remove_prefix(1);
  if (text.empty()) return false;
  int v = 0;
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), v);
  if (ec != std::errc() || end != text.data() + text.size()) return false;
  value = v;
  return true;
}

bool parse_real(std::string_view text, double& value) {
  text = freeinput::trim(text);
  if (!text.empty() && text.front() == '+') text.remove_prefix(1);
  if (text.empty()) return false;
  double v = 0.0;
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), v);
  if (ec != std::errc() || end != text.data() + text.size() || !std::isfinite(v)) return false;
  value = v;
  return true;
}

std::string format_number(double value) {
  if (std::isnan(value)) return "NaN";
  if (std::isinf(value)) return value > 0 ? "Infinity" : "-Infinity";
  char buffer[64];
  const auto [end, ec] = std::to_chars(buffer, buffer + sizeof buffer, value);
  if (ec != std::errc()) return "NaN";
  return std::string(buffer, end);
}

namespace {

std::string format_printf(const char* format, double value, int decimals) {
  if (!std::isfinite(value)) return format_number(value);
  char buffer[400];
  const int n = std::snprintf(buffer, sizeof buffer, format, std::clamp(decimals, 0, 30), value);
  if (n < 0) return format_number(value);
  return std::string(buffer, static_cast<std::size_t>(std::min<int>(n, sizeof buffer - 1)));
}

}  // namespace

std::string fixed_decimals(double value, int decimals) {
  return format_printf("%.*f", value, decimals);
}

std::string exponent_decimals(double value, int decimals) {
  return format_printf("%.*E", value, decimals);
}

}  // namespace vantor::plot
