#include "plot/picture/svg_page.h"

#include <algorithm>
#include <cstdio>

#include "plot/text/xml_text.h"

namespace vantor::plot::svg {
namespace {

constexpr std::string_view kMinus = "\xE2\x88\x92";  // U+2212 MINUS SIGN

}  // namespace

std::string px(double v) {
  char buffer[32];
  const int n = std::snprintf(buffer, sizeof buffer, "%.2f", v);
  return std::string(buffer, static_cast<std::size_t>(std::clamp(n, 0, 31)));
}

void open_document(writer& w, double height, std::string_view title) {
  w.line("<?xml version=\"1.0\" encoding=\"UTF-8\"?>");
  w.line("<svg xmlns=\"http://www.w3.org/2000/svg\" version=\"1.1\" width=\"" + px(kWidth) +
         "\" height=\"" + px(height) + "\" viewBox=\"0 0 " + px(kWidth) + " " + px(height) +
         "\" font-family=\"DejaVu Sans, Arial, Helvetica, sans-serif\">");
  w.line("<title>" + std::string(title) + "</title>");
  w.line("<rect class=\"background\" x=\"0\" y=\"0\" width=\"" + px(kWidth) + "\" height=\"" +
         px(height) + "\" fill=\"white\"/>");
}

std::string attr(std::string_view name, double v) {
  std::string text(" ");
  text += name;
  text += "=\"";
  text += px(v);
  text += '"';
  return text;
}

std::string text_at(std::string_view cls, double x, double y, std::string_view anchor, double size,
                    std::string_view body, std::string_view extra) {
  return "<text class=\"" + std::string(cls) + "\"" + attr("x", x) + attr("y", y) +
         " text-anchor=\"" + std::string(anchor) + "\" font-size=\"" + px(size) + "\"" +
         std::string(extra) + ">" + std::string(body) + "</text>";
}

std::string decade_label(int d) {
  std::string exponent = d < 0 ? std::string(kMinus) + std::to_string(-d) : std::to_string(d);
  return "10<tspan dy=\"-6\" font-size=\"9\">" + exponent + "</tspan>";
}

std::string with_unit(std::string_view what, const std::string& unit) {
  return unit.empty() ? std::string(what) : std::string(what) + " [" + xml_text(unit) + "]";
}

}  // namespace vantor::plot::svg
