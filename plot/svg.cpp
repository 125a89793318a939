#include "plot/svg.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <vector>

#include "plot/text.h"

namespace vantor::plot {
namespace {

// Page geometry in SVG user units (pixels).
constexpr double kWidth = 1000.0;
constexpr double kLeft = 100.0;  // plot area, both panels
constexpr double kRight = 970.0;
constexpr double kTitleY = 28.0;
constexpr double kSubtitleY = 48.0;
constexpr double kStripTop = 60.0;  // first row of coordinate labels
constexpr double kLabelRow = 15.0;
constexpr double kPanelHeight = 250.0;
constexpr double kPanelGap = 52.0;
constexpr double kBand = 30.0;  // room for the infinity and zero bands
constexpr int kMaxTicks = 8;

constexpr std::string_view kEnd = "\r\n";
constexpr std::string_view kDamageColour = "#1f5fa8";
constexpr std::string_view kLifeColour = "#2e7d32";
constexpr std::string_view kHeavyColour = "#c62828";
constexpr std::string_view kMinus = "\xE2\x88\x92";  // U+2212 MINUS SIGN

std::string px(double v) {
  char buffer[32];
  const int n = std::snprintf(buffer, sizeof buffer, "%.2f", v);
  return std::string(buffer, static_cast<std::size_t>(std::clamp(n, 0, 31)));
}

int floor_div(int a, int b) {
  return a / b - ((a % b != 0) && ((a < 0) != (b < 0)) ? 1 : 0);
}

// Length of the UTF-8 sequence starting at text[i], 0 when it is not well formed.
std::size_t utf8_length(std::string_view text, std::size_t i) {
  const auto byte = [&](std::size_t k) { return static_cast<unsigned char>(text[k]); };
  const unsigned char c = byte(i);
  std::size_t n = 0;
  unsigned lowest = 0;
  if (c >= 0xC2 && c <= 0xDF) {
    n = 2;
    lowest = 0x80;
  } else if (c >= 0xE0 && c <= 0xEF) {
    n = 3;
    lowest = 0x800;
  } else if (c >= 0xF0 && c <= 0xF4) {
    n = 4;
    lowest = 0x10000;
  } else {
    return 0;
  }
  if (i + n > text.size()) return 0;
  unsigned code = c & (0x7Fu >> n);
  for (std::size_t k = 1; k < n; ++k) {
    if ((byte(i + k) & 0xC0) != 0x80) return 0;
    code = (code << 6) | (byte(i + k) & 0x3Fu);
  }
  if (code < lowest || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) return 0;
  if (code == 0xFFFE || code == 0xFFFF) return 0;
  return n;
}

// A linear axis: ticks at 1, 2 or 5 times a power of ten.
struct linear_axis {
  double low = 0.0;
  double high = 1.0;
  double step = 1.0;
  int decimals = 0;

  double x(double v) const { return kLeft + (v - low) / (high - low) * (kRight - kLeft); }
};

linear_axis coordinate_axis(const accumulated_report& report) {
  linear_axis a;
  if (report.sections.empty()) return a;
  double lo = report.sections.front().coordinate;
  double hi = lo;
  for (const section_row& s : report.sections) {
    lo = std::min(lo, s.coordinate);
    hi = std::max(hi, s.coordinate);
  }
  double pad = (hi - lo) * 0.02;
  if (!(pad > 0.0)) pad = std::max(1.0, std::fabs(lo) * 0.05);
  a.low = lo - pad;
  a.high = hi + pad;
  const double raw = (a.high - a.low) / 10.0;
  const double magnitude = std::pow(10.0, std::floor(std::log10(raw)));
  const double r = raw / magnitude;
  a.step = magnitude * (r <= 1.0 ? 1.0 : r <= 2.0 ? 2.0 : r <= 5.0 ? 5.0 : 10.0);
  a.decimals = std::clamp(static_cast<int>(-std::floor(std::log10(a.step) + 1e-9)), 0, 12);
  return a;
}

// One panel: a logarithmic axis in a box, with bands above and below for
// infinite and for zero (or negative) values.
struct panel {
  double top = 0.0;
  double bottom = 0.0;
  decade_range decades;
  bool infinite_band = false;
  bool zero_band = false;

  double log_top() const { return infinite_band ? top + kBand : top; }
  double log_bottom() const { return zero_band ? bottom - kBand : bottom; }
  double decade_y(double d) const {
    return log_bottom() -
           (d - decades.low) / (decades.high - decades.low) * (log_bottom() - log_top());
  }
  double y(double v) const {
    if (v == HUGE_VAL) return top + kBand / 2.0;
    if (!(v > 0.0)) return bottom - kBand / 2.0;
    return decade_y(std::log10(v));
  }
};

panel make_panel(double top, std::span<const double> values) {
  panel p;
  p.top = top;
  p.bottom = top + kPanelHeight;
  p.decades = decades_for(values);
  for (const double v : values) {
    if (v == HUGE_VAL) p.infinite_band = true;
    if (!(v > 0.0) && !std::isnan(v)) p.zero_band = true;
  }
  return p;
}

// Where the coordinate labels of the heaviest sections go: rows above the
// damage panel, row 0 nearest to it, so that no label covers another or the
// leader line of another.
struct label_place {
  int row = 0;
  double centre = 0.0;
  double mark_x = 0.0;
  std::string text;
};

double label_width(const std::string& text) {
  return static_cast<double>(text.size()) * 6.4 + 6.0;
}

std::vector<label_place> place_labels(const accumulated_report& report, const linear_axis& xs) {
  struct row_use {
    std::vector<std::pair<double, double>> spans;
    std::vector<double> leaders;
  };
  std::vector<row_use> rows;
  std::vector<label_place> places;
  for (const int e : report.heaviest) {
    label_place lp;
    lp.text = format_fixed(report.sections[static_cast<std::size_t>(e)].coordinate, 3);
    lp.mark_x = xs.x(report.sections[static_cast<std::size_t>(e)].coordinate);
    const double half = label_width(lp.text) / 2.0;
    lp.centre = std::clamp(lp.mark_x, kLeft + half, kRight - half);
    const double a = lp.centre - half - 3.0;
    const double b = lp.centre + half + 3.0;
    const auto fits = [&](std::size_t r) {
      if (r >= rows.size()) return true;
      for (const auto& [lo, hi] : rows[r].spans) {
        if (a < hi && lo < b) return false;
      }
      for (const double x : rows[r].leaders) {
        if (x > a && x < b) return false;
      }
      return true;
    };
    const auto crosses_below = [&](std::size_t r) {
      for (std::size_t k = 0; k < r && k < rows.size(); ++k) {
        for (const auto& [lo, hi] : rows[k].spans) {
          if (lp.mark_x > lo - 2.0 && lp.mark_x < hi + 2.0) return true;
        }
      }
      return false;
    };
    std::size_t r = 0;
    while (r < rows.size() && (!fits(r) || crosses_below(r))) ++r;
    if (r == rows.size() && crosses_below(r)) {
      // Every row would hide the leader: the first row with room (a new row on
      // top always has it); the labels' white halo keeps the crossed one legible.
      r = 0;
      while (!fits(r)) ++r;
    }
    if (r >= rows.size()) rows.resize(r + 1);
    rows[r].spans.emplace_back(a, b);
    for (std::size_t k = 0; k < r; ++k) rows[k].leaders.push_back(lp.mark_x);
    lp.row = static_cast<int>(r);
    places.push_back(std::move(lp));
  }
  return places;
}

class svg_writer {
 public:
  void line(std::string_view text) {
    out_.append(text);
    out_.append(kEnd);
  }
  std::string& text() { return out_; }

 private:
  std::string out_;
};

std::string decade_label(int d) {
  std::string exponent = d < 0 ? std::string(kMinus) + std::to_string(-d) : std::to_string(d);
  return "10<tspan dy=\"-6\" font-size=\"9\">" + exponent + "</tspan>";
}

void draw_panel(svg_writer& w, const accumulated_report& report, const linear_axis& xs,
                const panel& p, std::string_view name, std::string_view axis_label,
                std::string_view colour, bool life) {
  const auto value_of = [&](const section_row& s) { return life ? s.life : s.damage; };
  w.line("<g class=\"panel " + std::string(name) + "\">");
  w.line("<rect class=\"frame\" x=\"" + px(kLeft) + "\" y=\"" + px(p.top) + "\" width=\"" +
         px(kRight - kLeft) + "\" height=\"" + px(p.bottom - p.top) +
         "\" fill=\"#fbfbfb\" stroke=\"#888\" stroke-width=\"1\"/>");

  // Decade ticks with grid lines across the panel.
  for (int d = p.decades.low; d <= p.decades.high; d += p.decades.step) {
    const std::string y = px(p.decade_y(d));
    w.line("<line class=\"ytick\" data-decade=\"" + std::to_string(d) + "\" x1=\"" + px(kLeft - 5) +
           "\" y1=\"" + y + "\" x2=\"" + px(kRight) + "\" y2=\"" + y +
           "\" stroke=\"#d8d8d8\" stroke-width=\"1\"/>");
    w.line("<text class=\"ytick-label\" x=\"" + px(kLeft - 8) + "\" y=\"" + px(p.decade_y(d) + 4) +
           "\" text-anchor=\"end\" font-size=\"12\">" + decade_label(d) + "</text>");
  }
  // Lesser ticks at 2 to 9 times each decade, where decades are shown one by one.
  if (p.decades.step == 1) {
    for (int d = p.decades.low; d < p.decades.high; ++d) {
      for (int m = 2; m <= 9; ++m) {
        const std::string y = px(p.decade_y(d + std::log10(static_cast<double>(m))));
        w.line("<line class=\"minor-tick\" x1=\"" + px(kLeft - 3) + "\" y1=\"" + y + "\" x2=\"" +
               px(kLeft) + "\" y2=\"" + y + "\" stroke=\"#888\" stroke-width=\"1\"/>");
      }
    }
  }
  if (p.infinite_band) {
    const std::string y = px(p.top + kBand / 2.0);
    w.line("<line class=\"band\" x1=\"" + px(kLeft) + "\" y1=\"" + y + "\" x2=\"" + px(kRight) +
           "\" y2=\"" + y + "\" stroke=\"#bbb\" stroke-dasharray=\"4 3\"/>");
    w.line("<text class=\"band-label\" x=\"" + px(kLeft - 8) + "\" y=\"" +
           px(p.top + kBand / 2.0 + 4) + "\" text-anchor=\"end\" font-size=\"12\">Infinity</text>");
  }
  if (p.zero_band) {
    const std::string y = px(p.bottom - kBand / 2.0);
    w.line("<line class=\"band\" x1=\"" + px(kLeft) + "\" y1=\"" + y + "\" x2=\"" + px(kRight) +
           "\" y2=\"" + y + "\" stroke=\"#bbb\" stroke-dasharray=\"4 3\"/>");
    w.line("<text class=\"band-label\" x=\"" + px(kLeft - 8) + "\" y=\"" +
           px(p.bottom - kBand / 2.0 + 4) + "\" text-anchor=\"end\" font-size=\"12\">0</text>");
  }

  // Coordinate ticks.
  const double first = std::ceil(xs.low / xs.step - 1e-9);
  for (int k = 0; k < 100; ++k) {
    const double t = (first + k) * xs.step;
    if (t > xs.high + xs.step * 1e-9) break;
    const std::string x = px(xs.x(t));
    w.line("<line class=\"xtick\" x1=\"" + x + "\" y1=\"" + px(p.bottom) + "\" x2=\"" + x +
           "\" y2=\"" + px(p.bottom + 5) + "\" stroke=\"#888\" stroke-width=\"1\"/>");
    w.line("<text class=\"xtick-label\" x=\"" + x + "\" y=\"" + px(p.bottom + 18) +
           "\" text-anchor=\"middle\" font-size=\"12\">" + format_fixed(t, xs.decimals) +
           "</text>");
  }
  const double middle = (p.top + p.bottom) / 2.0;
  w.line("<text class=\"axis-label\" x=\"" + px(28) + "\" y=\"" + px(middle) +
         "\" transform=\"rotate(-90 " + px(28) + " " + px(middle) +
         ")\" text-anchor=\"middle\" font-size=\"14\">" + std::string(axis_label) + "</text>");

  // The curve along the riser and one mark per section.
  const std::size_t n = report.sections.size();
  if (n > 0) {
    std::string path = "<path class=\"curve\" fill=\"none\" stroke=\"" + std::string(colour) +
                       "\" stroke-width=\"1.2\" d=\"";
    for (std::size_t e = 0; e < n; ++e) {
      const section_row& s = report.sections[e];
      path += (e == 0 ? "M" : " L") + px(xs.x(s.coordinate)) + " " + px(p.y(value_of(s)));
    }
    w.line(path + "\"/>");
  }
  const double radius = std::clamp(
      (kRight - kLeft) / static_cast<double>(std::max<std::size_t>(n, 1)) / 2.5, 1.0, 2.6);
  for (std::size_t e = 0; e < n; ++e) {
    const section_row& s = report.sections[e];
    const double v = value_of(s);
    const bool off_axis = !(v > 0.0) || v == HUGE_VAL;
    w.line("<circle class=\"mark\" data-section=\"" + std::to_string(e + 1) + "\" cx=\"" +
           px(xs.x(s.coordinate)) + "\" cy=\"" + px(p.y(v)) + "\" r=\"" + px(radius) +
           "\" fill=\"" + (off_axis ? std::string("white") : std::string(colour)) + "\" stroke=\"" +
           std::string(colour) + "\" stroke-width=\"1\"/>");
  }
  int rank = 0;
  for (const int e : report.heaviest) {
    const section_row& s = report.sections[static_cast<std::size_t>(e)];
    ++rank;
    w.line("<circle class=\"heavy\" cx=\"" + px(xs.x(s.coordinate)) + "\" cy=\"" +
           px(p.y(value_of(s))) + "\" r=\"5\" fill=\"none\" stroke=\"" + std::string(kHeavyColour) +
           "\" stroke-width=\"1.5\"><title>" + std::to_string(rank) + ": S_Coo " +
           format_fixed(s.coordinate, 3) + ", damage " + format_exponent(s.damage, 4) +
           ", fatigue life " + format_fixed(s.life, 1) + "</title></circle>");
  }
  w.line("</g>");
}

}  // namespace

std::string xml_text(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  std::size_t i = 0;
  while (i < text.size()) {
    const char c = text[i];
    const auto u = static_cast<unsigned char>(c);
    if (u >= 0x80) {
      const std::size_t n = utf8_length(text, i);
      if (n == 0) {
        out.push_back('?');
        ++i;
      } else {
        out.append(text.substr(i, n));
        i += n;
      }
      continue;
    }
    switch (c) {
      case '&':
        out.append("&amp;");
        break;
      case '<':
        out.append("&lt;");
        break;
      case '>':
        out.append("&gt;");
        break;
      case '"':
        out.append("&quot;");
        break;
      default:
        out.push_back((u < 0x20 && c != '\t') || u == 0x7F ? '?' : c);
        break;
    }
    ++i;
  }
  return out;
}

decade_range decades_for(std::span<const double> values) {
  double lo = HUGE_VAL;
  double hi = -HUGE_VAL;
  for (const double v : values) {
    if (v > 0.0 && v != HUGE_VAL) {
      lo = std::min(lo, v);
      hi = std::max(hi, v);
    }
  }
  decade_range r;
  if (lo == HUGE_VAL) return r;  // nothing on the axis: one decade, 1 to 10
  // A whisker of tolerance keeps an exact power of ten on its own decade.
  r.low = static_cast<int>(std::floor(std::log10(lo) + 1e-9));
  r.high = static_cast<int>(std::ceil(std::log10(hi) - 1e-9));
  if (r.high <= r.low) r.high = r.low + 1;
  constexpr std::array<int, 8> kSteps = {1, 2, 5, 10, 20, 50, 100, 200};
  for (const int step : kSteps) {
    r.step = step;
    const int low = floor_div(r.low, step) * step;
    const int high = -floor_div(-r.high, step) * step;
    if ((high - low) / step <= kMaxTicks) break;
  }
  r.low = floor_div(r.low, r.step) * r.step;
  r.high = -floor_div(-r.high, r.step) * r.step;
  return r;
}

std::string render_svg(const accumulated_report& report) {
  const linear_axis xs = coordinate_axis(report);
  const std::vector<label_place> labels = place_labels(report, xs);
  int label_rows = 0;
  for (const label_place& lp : labels) label_rows = std::max(label_rows, lp.row + 1);

  std::vector<double> damage;
  std::vector<double> life;
  for (const section_row& s : report.sections) {
    damage.push_back(s.damage);
    life.push_back(s.life);
  }
  const double damage_top = kStripTop + label_rows * kLabelRow + 10.0;
  const panel damage_panel = make_panel(damage_top, damage);
  const panel life_panel = make_panel(damage_panel.bottom + kPanelGap, life);
  const double height = life_panel.bottom + 58.0;

  svg_writer w;
  w.line("<?xml version=\"1.0\" encoding=\"UTF-8\"?>");
  w.line("<svg xmlns=\"http://www.w3.org/2000/svg\" version=\"1.1\" width=\"" + px(kWidth) +
         "\" height=\"" + px(height) + "\" viewBox=\"0 0 " + px(kWidth) + " " + px(height) +
         "\" font-family=\"DejaVu Sans, Arial, Helvetica, sans-serif\">");
  w.line("<title>" + xml_text(report.summary) + "</title>");
  w.line("<rect class=\"background\" x=\"0\" y=\"0\" width=\"" + px(kWidth) + "\" height=\"" +
         px(height) + "\" fill=\"white\"/>");

  // The summary line, with its runs of blanks closed up.
  std::string title;
  for (const char c : report.summary) {
    if (c != ' ' || (!title.empty() && title.back() != ' ')) title.push_back(c);
  }
  w.line("<text class=\"title\" x=\"" + px(kWidth / 2) + "\" y=\"" + px(kTitleY) +
         "\" text-anchor=\"middle\" font-size=\"17\" font-weight=\"bold\">" + xml_text(title) +
         "</text>");
  std::string subtitle =
      std::to_string(report.section_count) + " sections, " + std::to_string(report.hot_spot_count) +
      " hot spots each: the largest damage of each section and its fatigue "
      "life; the " +
      std::to_string(report.heaviest.size()) + " heaviest sections ringed and labelled with S_Coo";
  w.line("<text class=\"subtitle\" x=\"" + px(kWidth / 2) + "\" y=\"" + px(kSubtitleY) +
         "\" text-anchor=\"middle\" font-size=\"12\" fill=\"#444\">" + subtitle + "</text>");

  draw_panel(w, report, xs, damage_panel, "damage", "damage", kDamageColour, false);
  draw_panel(w, report, xs, life_panel, "life", "fatigue life", kLifeColour, true);

  // Labels of the heaviest sections with leader lines down to their marks.
  w.line("<g class=\"labels\">");
  for (std::size_t k = 0; k < labels.size(); ++k) {
    const label_place& lp = labels[k];
    const section_row& s = report.sections[static_cast<std::size_t>(report.heaviest[k])];
    const double baseline = damage_top - 10.0 - lp.row * kLabelRow - 3.0;
    w.line("<line class=\"leader\" x1=\"" + px(lp.mark_x) + "\" y1=\"" + px(baseline + 3) +
           "\" x2=\"" + px(lp.mark_x) + "\" y2=\"" + px(damage_panel.y(s.damage) - 5) +
           "\" stroke=\"" + std::string(kHeavyColour) +
           "\" stroke-width=\"0.7\" opacity=\"0.6\"/>");
    w.line("<text class=\"label\" x=\"" + px(lp.centre) + "\" y=\"" + px(baseline) +
           "\" text-anchor=\"middle\" font-size=\"11\" fill=\"" + std::string(kHeavyColour) +
           "\" stroke=\"white\" stroke-width=\"3\" paint-order=\"stroke\">" + lp.text + "</text>");
  }
  w.line("</g>");
  w.line("<text class=\"axis-label\" x=\"" + px((kLeft + kRight) / 2) + "\" y=\"" +
         px(life_panel.bottom + 42) + "\" text-anchor=\"middle\" font-size=\"14\">S_Coo</text>");
  w.line("</svg>");
  return std::move(w.text());
}

}  // namespace vantor::plot
