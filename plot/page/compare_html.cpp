// The page of a comparison: the table of the runs (each with its report) and
// the picture, self-contained like the report of one run.
#include "plot/page/compare_html.h"

#include <string>

#include "plot/page/html_page.h"
#include "plot/run/compare.h"
#include "plot/text/number_text.h"
#include "plot/text/xml_text.h"

namespace vantor::plot {

std::string render_compare_html(std::span<const compared_run> runs, std::string_view svg,
                                const picture_options& options) {
  const double required = options.required_life();
  const std::string title = "Comparison of " + std::to_string(runs.size()) + " runs";
  std::string h;
  h.reserve(svg.size() + 16 * 1024);
  h += page_head(title, std::string(kPageStyle) + std::string(kTableStyle) +
                            "@media print{figure,table{break-inside:avoid}}");
  h += "<h1>" + title + "</h1>\n";
  std::string life_unit;
  if (!options.life_unit.empty()) life_unit = " (" + xml_text(options.life_unit) + ")";
  if (required > 0.0) {
    h += "<p>required life R = " + format_number(options.design_life) + " x DFF " +
         format_number(options.dff) + " = " + format_number(required) + life_unit + "</p>\n";
  }
  h += "<table id=\"runs\">\n<thead><tr><th>run</th><th class=\"l\">label</th>"
       "<th class=\"l\">report</th><th>cases</th><th>sections x hot spots</th>"
       "<th>minimum life" +
       life_unit + "</th><th>S_Coo</th><th>section</th><th>hot spot</th>";
  if (required > 0.0) h += "<th>below R</th><th>verdict</th>";
  h += "</tr></thead>\n<tbody>\n";
  for (std::size_t k = 0; k < runs.size(); ++k) {
    const run_summary s = summarise(runs[k].report, required);
    const bool has_minimum = s.minimum_section >= 0;
    h += "<tr>" + cell(std::to_string(k + 1)) + cell(xml_text(runs[k].label), "l") +
         cell(xml_text(runs[k].report.path), "l") + cell(std::to_string(s.cases)) +
         cell(std::to_string(s.sections) + " x " + std::to_string(s.hot_spots)) +
         cell(has_minimum ? fixed_decimals(s.minimum_life, 1) : "") +
         cell(has_minimum ? fixed_decimals(s.coordinate, 3) : "") +
         cell(has_minimum ? std::to_string(s.minimum_section + 1) : "") +
         cell(s.minimum_hot_spot >= 0 ? std::to_string(s.minimum_hot_spot + 1) : "");
    if (required > 0.0) {
      h += cell(std::to_string(s.below)) +
           (s.below == 0 ? cell("pass", "pass") : cell("fail", "fail"));
    }
    h += "</tr>\n";
  }
  h += "</tbody>\n</table>\n";
  h += "<figure id=\"picture\">\n" + std::string(inline_svg(svg)) + "</figure>\n";
  h += "</body>\n</html>\n";
  return h;
}

}  // namespace vantor::plot
