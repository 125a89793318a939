#include "plot/page/html_page.h"

namespace vantor::plot {

std::string page_head(std::string_view title, std::string_view style) {
  std::string h = "<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\">\n";
  h += "<meta http-equiv=\"Content-Security-Policy\" content=\"default-src 'none'; style-src "
       "'unsafe-inline'\">\n";
  h += "<title>";
  h += title;
  h += "</title>\n<style>";
  h += style;
  h += "</style>\n</head>\n<body>\n";
  return h;
}

std::string cell(std::string_view text, std::string_view cls) {
  return cls.empty() ? "<td>" + std::string(text) + "</td>"
                     : "<td class=\"" + std::string(cls) + "\">" + std::string(text) + "</td>";
}

std::string_view inline_svg(std::string_view svg) {
  const std::size_t start = svg.find("<svg");
  return start == std::string_view::npos ? svg : svg.substr(start);
}

}  // namespace vantor::plot
