#include "plot/page/total_html.h"

#include <string>
#include <vector>

#include "plot/page/html_page.h"
#include "plot/run/required_life.h"
#include "plot/text/number_text.h"
#include "plot/text/xml_text.h"

namespace vantor::plot {
namespace {

// The verdict: pass, or the sections below R with their S_Coo; without R the
// minimum life of the total and where it is.
std::string verdict(const accumulated_report& total, const picture_options& options,
                    const std::string& life_unit) {
  const double required = options.required_life();
  std::string h;
  if (required <= 0.0) {
    if (total.heaviest.empty()) return "<p id=\"verdict\">no sections</p>\n";
    const int e = total.heaviest.front();
    const section_row& s = total.sections[static_cast<std::size_t>(e)];
    return "<p id=\"verdict\">minimum fatigue life of the total " + fixed_decimals(s.life, 1) +
           life_unit + " at S_Coo " + fixed_decimals(s.coordinate, 3) + " (section " +
           std::to_string(e + 1) + "); no required life given</p>\n";
  }
  h += "<p>required life R = " + format_number(options.design_life) + " x DFF " +
       format_number(options.dff) + " = " + format_number(required) + life_unit + "</p>\n";
  const std::vector<int> below = sections_below(total, required);
  if (below.empty()) {
    return h +
           "<p id=\"verdict\" class=\"pass\">pass: the total fatigue life of every section "
           "is at least R</p>\n";
  }
  h += "<p id=\"verdict\" class=\"fail\">fail: " + std::to_string(below.size()) +
       (below.size() == 1 ? " section" : " sections") + " below R</p>\n";
  h += "<table id=\"below\">\n<thead><tr><th>section</th><th>S_Coo</th><th>fatigue life" +
       life_unit + "</th><th>R / life</th></tr></thead>\n<tbody>\n";
  for (const int e : below) {
    const section_row& s = total.sections[static_cast<std::size_t>(e)];
    h += "<tr>" + cell(std::to_string(e + 1)) + cell(fixed_decimals(s.coordinate, 3)) +
         cell(fixed_decimals(s.life, 1)) + cell(fixed_decimals(required / s.life, 3)) + "</tr>\n";
  }
  return h + "</tbody>\n</table>\n";
}

// Each source: its label, report and factor, and where its own minimum life
// (its factor applied) is.
std::string source_table(std::span<const total_source> sources, const std::string& life_unit) {
  std::string h =
      "<table id=\"sources\">\n<thead><tr><th>source</th><th class=\"l\">label</th>"
      "<th class=\"l\">report</th><th>factor</th><th>minimum life alone" +
      life_unit + "</th><th>S_Coo</th><th>section</th></tr></thead>\n<tbody>\n";
  for (std::size_t k = 0; k < sources.size(); ++k) {
    const total_source& s = sources[k];
    h += "<tr>" + cell(std::to_string(k + 1)) + cell(xml_text(s.label), "l") +
         cell(xml_text(s.report.path), "l") + cell(format_number(s.factor));
    if (s.report.heaviest.empty()) {
      h += cell("") + cell("") + cell("");
    } else {
      const int e = s.report.heaviest.front();
      const section_row& row = s.report.sections[static_cast<std::size_t>(e)];
      h += cell(fixed_decimals(row.life / s.factor, 1)) + cell(fixed_decimals(row.coordinate, 3)) +
           cell(std::to_string(e + 1));
    }
    h += "</tr>\n";
  }
  return h + "</tbody>\n</table>\n";
}

// The ten heaviest sections of the total with each source's share (percent)
// at the total's worst hot spot.
std::string heaviest_table(const accumulated_report& total, std::span<const total_source> sources,
                           double required, const std::string& life_unit) {
  std::string h =
      "<table id=\"heaviest\">\n<thead><tr><th>rank</th><th>section</th><th>S_Coo</th>"
      "<th>hot spot</th><th>total damage</th><th>fatigue life" +
      life_unit + "</th>";
  if (required > 0.0) h += "<th>R / life</th>";
  for (const total_source& s : sources) h += "<th>" + xml_text(s.label) + " %</th>";
  h += "</tr></thead>\n<tbody>\n";
  int rank = 0;
  for (const int e : total.heaviest) {
    const section_row& row = total.sections[static_cast<std::size_t>(e)];
    const int j = worst_hot_spot(total, e);
    h += "<tr" + std::string(below_required(row, required) ? " class=\"fail\"" : "") + ">" +
         cell(std::to_string(++rank)) + cell(std::to_string(e + 1)) +
         cell(fixed_decimals(row.coordinate, 3)) + cell(j >= 0 ? std::to_string(j + 1) : "") +
         cell(exponent_decimals(row.damage, 4)) + cell(fixed_decimals(row.life, 1));
    if (required > 0.0) h += cell(fixed_decimals(required / row.life, 3));
    for (const total_source& s : sources) {
      const bool shared = j >= 0 && row.damage > 0.0;
      h += cell(shared ? fixed_decimals(100.0 * s.damage(e, j) / row.damage, 1) : "");
    }
    h += "</tr>\n";
  }
  return h + "</tbody>\n</table>\n";
}

}  // namespace

std::string render_total_html(const accumulated_report& total,
                              std::span<const total_source> sources, std::string_view svg,
                              const picture_options& options) {
  const std::string title =
      "Total fatigue damage of " + std::to_string(sources.size()) + " sources";
  std::string life_unit;
  if (!options.life_unit.empty()) life_unit = " (" + xml_text(options.life_unit) + ")";
  std::string h;
  h.reserve(svg.size() + 16 * 1024);
  h += page_head(title, std::string(kPageStyle) + std::string(kTableStyle) +
                            "@media print{figure,table{break-inside:avoid}}");
  h += "<h1>" + title + "</h1>\n";
  h += verdict(total, options, life_unit);
  h += "<h2>Sources</h2>\n" + source_table(sources, life_unit);
  h += "<h2>The ten heaviest sections of the total</h2>\n" +
       heaviest_table(total, sources, options.required_life(), life_unit);
  h += "<figure id=\"picture\">\n" + std::string(inline_svg(svg)) + "</figure>\n";
  h += "</body>\n</html>\n";
  return h;
}

}  // namespace vantor::plot
