// The pieces both HTML pages of vantor-plot share (the report of one run and
// the comparison of several): the document head with its policy (nothing from
// elsewhere, no scripts; only the inline style), the style rules common to
// both, a table cell and the SVG picture placed inline.
#pragma once

#include <string>
#include <string_view>

namespace vantor::plot {

// The rules of the page and its body and of the first heading.
inline constexpr std::string_view kPageStyle =
    "@page{size:A4;margin:12mm}"
    "body{font-family:'DejaVu Sans',Arial,Helvetica,sans-serif;font-size:10pt;color:#111;"
    "max-width:190mm;margin:0 auto;padding:8px}"
    "h1{font-size:14pt;margin:4px 0}";

// The rules of the tables, the verdict and the inline picture.
inline constexpr std::string_view kTableStyle =
    "table{border-collapse:collapse;margin:4px 0}td,th{padding:1px 6px;text-align:right;"
    "border-bottom:1px solid #ddd}th{background:#eee}td.l,th.l{text-align:left}"
    ".fail{color:#b71c1c;font-weight:bold}.pass{color:#1b5e20}"
    "figure{margin:4px 0}figure svg{width:100%;height:auto}";

// "<!DOCTYPE html>" up to and including "<body>\n", with the title (already
// XML text) and the page's style.
std::string page_head(std::string_view title, std::string_view style);

// <td>text</td>, or with a class attribute.
std::string cell(std::string_view text, std::string_view cls = {});

// The SVG document without its XML declaration, to sit inline.
std::string_view inline_svg(std::string_view svg);

}  // namespace vantor::plot
