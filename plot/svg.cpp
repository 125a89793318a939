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
constexpr double kWidth = 1100.0;
constexpr double kLeft = 100.0;  // plot area, both panels
constexpr double kRight = 970.0;
constexpr double kTitleY = 28.0;
constexpr double kSubtitleY = 48.0;
constexpr double kStripTop = 112.0;  // first row of rank labels
constexpr double kLabelRow = 15.0;
constexpr double kPanelHeight = 250.0;
constexpr double kPanelGap = 52.0;
constexpr double kBand = 36.0;  // room for the infinity and zero bands
constexpr int kMaxTicks = 8;

constexpr std::string_view kEnd = "\r\n";
constexpr std::string_view kDamageColour = "#1f5fa8";
constexpr std::string_view kLifeColour = "#2e7d32";
constexpr std::string_view kHeavyColour = "#c62828";
constexpr std::string_view kWarnColour = "#ef6c00";
constexpr std::string_view kRequiredColour = "#6a1b9a";
constexpr double kHeatHeight = 200.0;
constexpr double kInsetHeight = 170.0;
constexpr double kTableRow = 17.0;
// The ten heaviest get a magnified inset when they lie within this share of
// the riser's length.
constexpr double kNarrowZone = 0.08;
constexpr int kHeatLevels = 32;
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

linear_axis axis_over(double lo, double hi) {
  linear_axis a;
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

linear_axis coordinate_axis(const accumulated_report& report) {
  if (report.sections.empty()) return linear_axis{};
  double lo = report.sections.front().coordinate;
  double hi = lo;
  for (const section_row& s : report.sections) {
    lo = std::min(lo, s.coordinate);
    hi = std::max(hi, s.coordinate);
  }
  return axis_over(lo, hi);
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

panel make_panel(double top, std::span<const double> values, double height = kPanelHeight) {
  panel p;
  p.top = top;
  p.bottom = top + height;
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
  // The labels are the ranks, 1 for the heaviest.
  struct row_use {
    std::vector<std::pair<double, double>> spans;
    std::vector<double> leaders;
  };
  std::vector<row_use> rows;
  std::vector<label_place> places;
  for (const int e : report.heaviest) {
    label_place lp;
    lp.text = std::to_string(places.size() + 1);
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

std::string attr(std::string_view name, double v) {
  return " " + std::string(name) + "=\"" + px(v) + "\"";
}

std::string text_at(std::string_view cls, double x, double y, std::string_view anchor, double size,
                    std::string_view body, std::string_view extra = {}) {
  return "<text class=\"" + std::string(cls) + "\"" + attr("x", x) + attr("y", y) +
         " text-anchor=\"" + std::string(anchor) + "\" font-size=\"" + px(size) + "\"" +
         std::string(extra) + ">" + std::string(body) + "</text>";
}

std::string with_unit(std::string_view what, const std::string& unit) {
  return unit.empty() ? std::string(what) : std::string(what) + " [" + xml_text(unit) + "]";
}

// The common look of a panel: frame, decade ticks and grid, bands, S_Coo ticks.
void draw_frame(svg_writer& w, const linear_axis& xs, const panel& p, std::string_view axis_label) {
  w.line("<rect class=\"frame\"" + attr("x", kLeft) + attr("y", p.top) +
         attr("width", kRight - kLeft) + attr("height", p.bottom - p.top) +
         " fill=\"#fbfbfb\" stroke=\"#888\" stroke-width=\"1\"/>");
  for (int d = p.decades.low; d <= p.decades.high; d += p.decades.step) {
    const double y = p.decade_y(d);
    w.line("<line class=\"ytick\" data-decade=\"" + std::to_string(d) + "\"" +
           attr("x1", kLeft - 5) + attr("y1", y) + attr("x2", kRight) + attr("y2", y) +
           " stroke=\"#d8d8d8\" stroke-width=\"1\"/>");
    w.line(text_at("ytick-label", kLeft - 8, y + 4, "end", 12, decade_label(d)));
  }
  if (p.decades.step == 1) {
    for (int d = p.decades.low; d < p.decades.high; ++d) {
      for (int m = 2; m <= 9; ++m) {
        const double y = p.decade_y(d + std::log10(static_cast<double>(m)));
        w.line("<line class=\"minor-tick\"" + attr("x1", kLeft - 3) + attr("y1", y) +
               attr("x2", kLeft) + attr("y2", y) + " stroke=\"#888\" stroke-width=\"1\"/>");
      }
    }
  }
  const auto band = [&](double y, std::string_view label) {
    w.line("<line class=\"band\"" + attr("x1", kLeft) + attr("y1", y) + attr("x2", kRight) +
           attr("y2", y) + " stroke=\"#bbb\" stroke-dasharray=\"4 3\"/>");
    w.line(text_at("band-label", kLeft - 8, y + 4, "end", 12, label));
  };
  if (p.infinite_band) band(p.top + kBand / 2.0, "Infinity");
  if (p.zero_band) band(p.bottom - kBand / 2.0, "0");
  const double first = std::ceil(xs.low / xs.step - 1e-9);
  for (int k = 0; k < 100; ++k) {
    const double t = (first + k) * xs.step;
    if (t > xs.high + xs.step * 1e-9) break;
    const double x = xs.x(t);
    w.line("<line class=\"xtick\"" + attr("x1", x) + attr("y1", p.bottom) + attr("x2", x) +
           attr("y2", p.bottom + 5) + " stroke=\"#888\" stroke-width=\"1\"/>");
    w.line(text_at("xtick-label", x, p.bottom + 18, "middle", 12, format_fixed(t, xs.decimals)));
  }
  const double middle = (p.top + p.bottom) / 2.0;
  w.line(text_at("axis-label", 28, middle, "middle", 13, axis_label,
                 " transform=\"rotate(-90 " + px(28) + " " + px(middle) + ")\""));
}

struct panel_style {
  std::string_view name;
  std::string_view colour;
  bool life = false;
  double required = 0.0;  // the required life R; 0 for none
  bool all_marks = true;  // a mark per section, or only those below R
};

// The curve and marks of the sections in [first, last) of the order, with
// the ring of each heaviest one and the line of the required life.
void draw_values(svg_writer& w, const accumulated_report& report, const linear_axis& xs,
                 const panel& p, const panel_style& style, std::span<const int> order) {
  const auto value_of = [&](const section_row& s) { return style.life ? s.life : s.damage; };
  if (!order.empty()) {
    std::string path = "<path class=\"curve\" fill=\"none\" stroke=\"" + std::string(style.colour) +
                       "\" stroke-width=\"1.2\" d=\"";
    bool first = true;
    for (const int e : order) {
      const section_row& s = report.sections[static_cast<std::size_t>(e)];
      path += (first ? "M" : " L") + px(xs.x(s.coordinate)) + " " + px(p.y(value_of(s)));
      first = false;
    }
    w.line(path + "\"/>");
  }
  const double radius = std::clamp(
      (kRight - kLeft) / static_cast<double>(std::max<std::size_t>(order.size(), 1)) / 2.5, 1.0,
      2.6);
  for (const int e : order) {
    const section_row& s = report.sections[static_cast<std::size_t>(e)];
    const bool below = style.required > 0.0 && s.life < style.required;
    if (!style.all_marks && !below) continue;
    const double v = value_of(s);
    const bool off_axis = !(v > 0.0) || v == HUGE_VAL;
    const std::string colour(below ? kWarnColour : style.colour);
    w.line("<circle class=\"mark" + std::string(below ? " below" : "") + "\" data-section=\"" +
           std::to_string(e + 1) + "\"" + attr("cx", xs.x(s.coordinate)) + attr("cy", p.y(v)) +
           attr("r", below ? std::max(radius, 1.8) : radius) + " fill=\"" +
           (off_axis ? std::string("white") : colour) + "\" stroke=\"" + colour +
           "\" stroke-width=\"1\"/>");
  }
  if (style.required > 0.0) {
    const double level = style.life ? style.required : 1.0 / style.required;
    const double y = p.y(level);
    w.line("<line class=\"required\"" + attr("x1", kLeft) + attr("y1", y) + attr("x2", kRight) +
           attr("y2", y) + " stroke=\"" + std::string(kRequiredColour) +
           "\" stroke-width=\"1.5\" stroke-dasharray=\"7 4\"/>");
  }
  int rank = 0;
  for (const int e : report.heaviest) {
    const section_row& s = report.sections[static_cast<std::size_t>(e)];
    ++rank;
    if (s.coordinate < xs.low || s.coordinate > xs.high) continue;
    w.line("<circle class=\"heavy\" data-rank=\"" + std::to_string(rank) + "\"" +
           attr("cx", xs.x(s.coordinate)) + attr("cy", p.y(value_of(s))) +
           " r=\"5\" fill=\"none\" stroke=\"" + std::string(kHeavyColour) +
           "\" stroke-width=\"1.5\"><title>" + std::to_string(rank) + ": S_Coo " +
           format_fixed(s.coordinate, 3) + ", damage " + format_exponent(s.damage, 4) +
           ", fatigue life " + format_fixed(s.life, 1) + "</title></circle>");
  }
}

// Rank labels in rows above a panel, with leader lines down to the rings.
void draw_rank_labels(svg_writer& w, const accumulated_report& report, const linear_axis& xs,
                      const std::vector<label_place>& labels, double panel_top, const panel& p) {
  w.line("<g class=\"labels\">");
  for (std::size_t k = 0; k < labels.size(); ++k) {
    const label_place& lp = labels[k];
    const section_row& s = report.sections[static_cast<std::size_t>(report.heaviest[k])];
    const double baseline = panel_top - 10.0 - lp.row * kLabelRow - 3.0;
    w.line("<line class=\"leader\"" + attr("x1", lp.mark_x) + attr("y1", baseline + 3) +
           attr("x2", lp.mark_x) + attr("y2", p.y(s.damage) - 5) + " stroke=\"" +
           std::string(kHeavyColour) + "\" stroke-width=\"0.7\" opacity=\"0.6\"/>");
    w.line(text_at("label rank", lp.centre, baseline, "middle", 11, lp.text,
                   " font-weight=\"bold\" fill=\"" + std::string(kHeavyColour) +
                       "\" stroke=\"white\" stroke-width=\"3\" paint-order=\"stroke\""));
  }
  w.line("</g>");
  (void)xs;
}

// Sequential colours from low (dark blue-violet) to high (yellow).
std::string heat_colour(double t) {
  constexpr std::array<std::array<double, 3>, 5> kStops = {
      {{68, 1, 84}, {59, 82, 139}, {33, 145, 140}, {94, 201, 98}, {253, 231, 37}}};
  t = std::clamp(t, 0.0, 1.0) * 4.0;
  const auto k = static_cast<std::size_t>(std::min(3.0, std::floor(t)));
  const double f = t - static_cast<double>(k);
  char buffer[8];
  const auto c = [&](int i) {
    return static_cast<int>(std::lround(kStops[k][i] + (kStops[k + 1][i] - kStops[k][i]) * f));
  };
  std::snprintf(buffer, sizeof buffer, "#%02x%02x%02x", c(0) & 0xff, c(1) & 0xff, c(2) & 0xff);
  return buffer;
}

// The accumulated damage by section and hot spot: sections merged into
// columns of at least a pixel (the largest value of each), equal neighbours of
// a row into one cell, one path per colour level.
void draw_heat_map(svg_writer& w, const accumulated_report& report, const linear_axis& xs,
                   double top, std::string_view x_label) {
  const int nhot = report.hot_spot_count;
  const double bottom = top + kHeatHeight;
  w.line("<g class=\"panel heat\">");
  w.line("<rect class=\"frame\"" + attr("x", kLeft) + attr("y", top) +
         attr("width", kRight - kLeft) + attr("height", kHeatHeight) +
         " fill=\"#f0f0f0\" stroke=\"#888\" stroke-width=\"1\"/>");
  std::vector<double> positive;
  for (const double v : report.matrix) {
    if (v > 0.0 && v != HUGE_VAL) positive.push_back(v);
  }
  const decade_range decades = decades_for(positive);
  const double row_height = nhot > 0 ? kHeatHeight / nhot : kHeatHeight;
  std::vector<int> order(report.sections.size());
  for (std::size_t e = 0; e < order.size(); ++e) order[e] = static_cast<int>(e);
  std::stable_sort(order.begin(), order.end(), [&](int a, int b) {
    return report.sections[static_cast<std::size_t>(a)].coordinate <
           report.sections[static_cast<std::size_t>(b)].coordinate;
  });
  // Columns: [left, right) in pixels and the largest value per hot spot.
  struct column {
    double left = 0.0;
    double right = 0.0;
    std::vector<int> level;
  };
  std::vector<column> columns;
  const auto level_of = [&](double v) {
    if (std::isnan(v)) return -2;
    if (!(v > 0.0)) return -1;
    if (v == HUGE_VAL) return kHeatLevels - 1;
    const double t = (std::log10(v) - decades.low) / (decades.high - decades.low);
    return std::clamp(static_cast<int>(t * kHeatLevels), 0, kHeatLevels - 1);
  };
  for (std::size_t i = 0; i < order.size(); ++i) {
    const double x = xs.x(report.sections[static_cast<std::size_t>(order[i])].coordinate);
    const double prev =
        i > 0 ? xs.x(report.sections[static_cast<std::size_t>(order[i - 1])].coordinate) : x;
    const double next =
        i + 1 < order.size()
            ? xs.x(report.sections[static_cast<std::size_t>(order[i + 1])].coordinate)
            : x;
    double left = i > 0 ? (prev + x) / 2.0 : x - (next - x) / 2.0;
    double right = i + 1 < order.size() ? (x + next) / 2.0 : x + (x - prev) / 2.0;
    if (order.size() == 1) {
      left = kLeft;
      right = kRight;
    }
    left = std::clamp(left, kLeft, kRight);
    right = std::clamp(right, kLeft, kRight);
    if (columns.empty() || columns.back().right - columns.back().left >= 1.0) {
      columns.push_back({left, right, std::vector<int>(static_cast<std::size_t>(nhot), -2)});
    }
    column& c = columns.back();
    c.right = right;
    for (int j = 0; j < nhot; ++j) {
      c.level[static_cast<std::size_t>(j)] =
          std::max(c.level[static_cast<std::size_t>(j)], level_of(report.accumulated(order[i], j)));
    }
  }
  std::vector<std::string> paths(kHeatLevels + 1);
  for (int j = 0; j < nhot; ++j) {
    const double y = top + j * row_height;
    std::size_t k = 0;
    while (k < columns.size()) {
      const int level = columns[k].level[static_cast<std::size_t>(j)];
      std::size_t m = k + 1;
      while (m < columns.size() && columns[m].level[static_cast<std::size_t>(j)] == level) ++m;
      if (level >= -1) {
        // Edges rounded alike, so that neighbouring cells meet without a gap.
        const double x0 = std::round(columns[k].left * 10.0) / 10.0;
        const double x1 = std::round(columns[m - 1].right * 10.0) / 10.0;
        char buffer[96];
        std::snprintf(buffer, sizeof buffer, "M%.1f %.1fh%.1fv%.1fh%.1fz", x0, y, x1 - x0,
                      row_height, x0 - x1);
        paths[static_cast<std::size_t>(level + 1)] += buffer;
      }
      k = m;
    }
  }
  for (std::size_t level = 0; level < paths.size(); ++level) {
    if (paths[level].empty()) continue;
    const std::string fill = level == 0
                                 ? std::string("#ffffff")
                                 : heat_colour((static_cast<double>(level) - 0.5) / kHeatLevels);
    w.line("<path class=\"cells\" shape-rendering=\"crispEdges\" fill=\"" + fill + "\" d=\"" +
           paths[level] + "\"/>");
  }
  // Hot spot numbers: as many as fit.
  const int every = std::max(1, static_cast<int>(std::ceil(14.0 / row_height)));
  for (int j = 0; j < nhot; j += every) {
    w.line(text_at("ytick-label", kLeft - 8, top + (j + 0.5) * row_height + 4, "end", 11,
                   std::to_string(j + 1)));
  }
  int rank = 0;
  for (const int e : report.heaviest) {
    ++rank;
    const int j = worst_hot_spot(report, e);
    if (j < 0) continue;
    w.line("<circle class=\"heavy\" data-rank=\"" + std::to_string(rank) + "\"" +
           attr("cx", xs.x(report.sections[static_cast<std::size_t>(e)].coordinate)) +
           attr("cy", top + (j + 0.5) * row_height) + " r=\"5\" fill=\"none\" stroke=\"" +
           std::string(kHeavyColour) + "\" stroke-width=\"1.5\"/>");
  }
  const double first = std::ceil(xs.low / xs.step - 1e-9);
  for (int k = 0; k < 100; ++k) {
    const double t = (first + k) * xs.step;
    if (t > xs.high + xs.step * 1e-9) break;
    w.line(
        text_at("xtick-label", xs.x(t), bottom + 18, "middle", 12, format_fixed(t, xs.decimals)));
  }
  const double middle = (top + bottom) / 2.0;
  w.line(text_at("axis-label", 28, middle, "middle", 13, "hot spot",
                 " transform=\"rotate(-90 " + px(28) + " " + px(middle) + ")\""));
  w.line(text_at("axis-label", (kLeft + kRight) / 2, bottom + 38, "middle", 13, x_label));
  // The colour bar, by decades.
  const double bar_x = kRight + 22;
  for (int level = 0; level < kHeatLevels; ++level) {
    const double y1 = bottom - (level + 1) * kHeatHeight / kHeatLevels;
    w.line("<rect class=\"colour-bar\"" + attr("x", bar_x) + attr("y", y1) + attr("width", 14) +
           attr("height", kHeatHeight / kHeatLevels + 0.3) + " fill=\"" +
           heat_colour((level + 0.5) / kHeatLevels) + "\"/>");
  }
  for (int d = decades.low; d <= decades.high; d += decades.step) {
    const double y =
        bottom - (d - decades.low) / static_cast<double>(decades.high - decades.low) * kHeatHeight;
    w.line(text_at("ytick-label", bar_x + 18, y + 4, "start", 11, decade_label(d)));
  }
  w.line(text_at("axis-label", bar_x + 7, top - 16, "middle", 11, "damage"));
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

std::vector<int> sections_below(const accumulated_report& report, double required) {
  std::vector<int> below;
  if (!(required > 0.0)) return below;
  for (std::size_t e = 0; e < report.sections.size(); ++e) {
    if (report.sections[e].life < required) below.push_back(static_cast<int>(e));
  }
  return below;
}

std::string render_svg(const accumulated_report& report, const picture_options& options) {
  const double required = options.required_life();
  const std::string x_label = with_unit("S_Coo", options.length_unit);
  const std::string life_label = options.life_unit.empty()
                                     ? std::string("fatigue life = 1 / damage")
                                     : with_unit("fatigue life", options.life_unit);
  const linear_axis xs = coordinate_axis(report);

  // The ten in a narrow zone: magnified in an inset, ranks labelled there.
  double zone_lo = HUGE_VAL;
  double zone_hi = -HUGE_VAL;
  for (const int e : report.heaviest) {
    zone_lo = std::min(zone_lo, report.sections[static_cast<std::size_t>(e)].coordinate);
    zone_hi = std::max(zone_hi, report.sections[static_cast<std::size_t>(e)].coordinate);
  }
  const bool inset = report.heaviest.size() > 1 &&
                     report.sections.size() > 3 * report.heaviest.size() &&
                     zone_hi - zone_lo < kNarrowZone * (xs.high - xs.low);
  linear_axis zs;
  if (inset) {
    const double pad = std::max((zone_hi - zone_lo) * 0.15, (xs.high - xs.low) * 0.002);
    zs = axis_over(zone_lo - pad, zone_hi + pad);
  }
  const linear_axis& label_axis = inset ? zs : xs;
  const std::vector<label_place> labels = place_labels(report, label_axis);
  int label_rows = 0;
  for (const label_place& lp : labels) label_rows = std::max(label_rows, lp.row + 1);

  std::vector<int> order(report.sections.size());
  for (std::size_t e = 0; e < order.size(); ++e) order[e] = static_cast<int>(e);
  std::vector<double> damage;
  std::vector<double> life;
  for (const section_row& s : report.sections) {
    damage.push_back(s.damage);
    life.push_back(s.life);
  }
  if (required > 0.0) {
    damage.push_back(1.0 / required);
    life.push_back(required);
  }
  const double damage_top = inset ? kStripTop + 10.0 : kStripTop + label_rows * kLabelRow + 10.0;
  const panel damage_panel = make_panel(damage_top, damage);
  const panel life_panel = make_panel(damage_panel.bottom + kPanelGap, life);
  const double heat_top = life_panel.bottom + kPanelGap + 10.0;
  double next_top = heat_top + kHeatHeight + 60.0;
  std::vector<int> zone;
  std::vector<double> zone_damage;
  panel inset_panel;
  if (inset) {
    for (const int e : order) {
      const double c = report.sections[static_cast<std::size_t>(e)].coordinate;
      if (c >= zs.low && c <= zs.high) {
        zone.push_back(e);
        zone_damage.push_back(report.sections[static_cast<std::size_t>(e)].damage);
      }
    }
    if (required > 0.0) zone_damage.push_back(1.0 / required);
    inset_panel =
        make_panel(next_top + 24.0 + label_rows * kLabelRow + 10.0, zone_damage, kInsetHeight);
    next_top = inset_panel.bottom + 50.0;
  }
  const double table_top = next_top + 10.0;
  const double height =
      table_top + kTableRow * (static_cast<double>(report.heaviest.size()) + 1) + 20.0;

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
  w.line(text_at("title", kWidth / 2, kTitleY, "middle", 17, xml_text(title),
                 " font-weight=\"bold\""));
  const std::string n = std::to_string(report.section_count);
  const std::string life_unit = options.life_unit.empty() ? "" : " " + xml_text(options.life_unit);
  std::string verdict =
      n + " sections, " + std::to_string(report.hot_spot_count) + " hot spots each";
  if (required > 0.0) {
    const std::size_t k = sections_below(report, required).size();
    const std::string r = "R = " + format_number(required) + life_unit;
    verdict +=
        k == 0 ? "; all " + n + " sections meet the required life " + r
               : "; " + std::to_string(k) + " of " + n + " sections below the required life " + r;
  }
  w.line(text_at("subtitle", kWidth / 2, kSubtitleY, "middle", 13, verdict, " fill=\"#222\""));
  if (!report.heaviest.empty()) {
    const int e = report.heaviest.front();
    const section_row& s = report.sections[static_cast<std::size_t>(e)];
    const int j = worst_hot_spot(report, e);
    w.line(text_at("minimum", kWidth / 2, kSubtitleY + 19, "middle", 13,
                   "minimum fatigue life " + format_number(s.life) + life_unit + " at S_Coo " +
                       format_fixed(s.coordinate, 3) +
                       xml_text(options.length_unit.empty() ? "" : " " + options.length_unit) +
                       " (section " + std::to_string(e + 1) +
                       (j >= 0 ? ", hot spot " + std::to_string(j + 1) : std::string()) + ")",
                   " font-weight=\"bold\" fill=\"" + std::string(kHeavyColour) + "\""));
  }

  // The legend: every mark and line of the panels.
  {
    const double y = kSubtitleY + 42;
    double x = kLeft;
    w.line("<g class=\"legend\">");
    const auto entry = [&](std::string_view symbol, std::string_view label, double width) {
      w.line(std::string(symbol));
      w.line(text_at("legend-label", x + 22, y + 4, "start", 11, label));
      x += width;
    };
    const auto line_symbol = [&](std::string_view colour, std::string_view dash) {
      return "<line" + attr("x1", x) + attr("y1", y) + attr("x2", x + 16) + attr("y2", y) +
             " stroke=\"" + std::string(colour) + "\" stroke-width=\"1.5\"" + std::string(dash) +
             "/>";
    };
    entry(line_symbol(kDamageColour, ""), "largest damage per section", 200);
    entry(line_symbol(kLifeColour, ""), "fatigue life", 110);
    entry("<circle" + attr("cx", x + 8) + attr("cy", y) + " r=\"5\" fill=\"none\" stroke=\"" +
              std::string(kHeavyColour) + "\" stroke-width=\"1.5\"/>",
          "ten heaviest, by rank", 170);
    if (required > 0.0) {
      entry(line_symbol(kRequiredColour, " stroke-dasharray=\"7 4\""), "required life R (1/R)",
            170);
      entry("<circle" + attr("cx", x + 8) + attr("cy", y) + " r=\"3\" fill=\"" +
                std::string(kWarnColour) + "\"/>",
            "below R", 90);
    }
    if (inset) {
      entry("<rect" + attr("x", x) + attr("y", y - 6) + attr("width", 16) + attr("height", 12) +
                " fill=\"" + std::string(kHeavyColour) + "\" opacity=\"0.12\"/>",
            "zone magnified below", 150);
    }
    w.line("</g>");
  }

  const panel_style damage_style{"damage", kDamageColour, false, required,
                                 report.sections.size() <= 400};
  const panel_style life_style{"life", kLifeColour, true, required, report.sections.size() <= 400};
  w.line("<g class=\"panel damage\">");
  draw_frame(w, xs, damage_panel, "damage");
  if (inset) {
    w.line("<rect class=\"zone\"" + attr("x", xs.x(zs.low)) + attr("y", damage_panel.top) +
           attr("width", std::max(2.0, xs.x(zs.high) - xs.x(zs.low))) +
           attr("height", damage_panel.bottom - damage_panel.top) + " fill=\"" +
           std::string(kHeavyColour) + "\" opacity=\"0.12\"/>");
  }
  draw_values(w, report, xs, damage_panel, damage_style, order);
  w.line("</g>");
  if (!inset) draw_rank_labels(w, report, xs, labels, damage_top, damage_panel);
  w.line("<g class=\"panel life\">");
  draw_frame(w, xs, life_panel, life_label);
  draw_values(w, report, xs, life_panel, life_style, order);
  w.line("</g>");
  w.line(
      text_at("axis-label", (kLeft + kRight) / 2, life_panel.bottom + 38, "middle", 13, x_label));
  draw_heat_map(w, report, xs, heat_top, x_label);
  if (inset) {
    w.line(text_at("inset-title", kLeft, inset_panel.top - 14 - label_rows * kLabelRow - 10,
                   "start", 13,
                   "the ten heaviest magnified: damage from S_Coo " + format_fixed(zs.low, 1) +
                       " to " + format_fixed(zs.high, 1),
                   " font-weight=\"bold\""));
    w.line("<g class=\"panel inset\">");
    draw_frame(w, zs, inset_panel, "damage");
    draw_values(w, report, zs, inset_panel, {"inset", kDamageColour, false, required, true}, zone);
    w.line("</g>");
    draw_rank_labels(w, report, zs, labels, inset_panel.top, inset_panel);
    w.line(text_at("axis-label", (kLeft + kRight) / 2, inset_panel.bottom + 38, "middle", 13,
                   x_label));
  }

  // The table of the heaviest: rank, S_Coo, section, worst hot spot, damage, life.
  w.line("<g class=\"ranking\">");
  constexpr std::array<double, 7> kColumns = {140, 260, 340, 420, 540, 700, 840};
  std::vector<std::string> heads = {"rank",     "S_Coo",  "section",
                                    "hot spot", "damage", "fatigue life"};
  if (required > 0.0) heads.push_back("R / life");
  for (std::size_t c = 0; c < heads.size(); ++c) {
    w.line(text_at("table-head", kColumns[c], table_top, "end", 12, heads[c],
                   " font-weight=\"bold\""));
  }
  int rank = 0;
  for (const int e : report.heaviest) {
    const section_row& s = report.sections[static_cast<std::size_t>(e)];
    ++rank;
    const int j = worst_hot_spot(report, e);
    const double y = table_top + rank * kTableRow;
    std::vector<std::string> cells = {
        std::to_string(rank),         format_fixed(s.coordinate, 3),
        std::to_string(e + 1),        j >= 0 ? std::to_string(j + 1) : "",
        format_exponent(s.damage, 4), format_fixed(s.life, 1)};
    if (required > 0.0) cells.push_back(format_fixed(required / s.life, 3));
    const bool below = required > 0.0 && s.life < required;
    for (std::size_t c = 0; c < cells.size(); ++c) {
      w.line(text_at("table-cell", kColumns[c], y, "end", 12, cells[c],
                     below ? " fill=\"" + std::string(kWarnColour) + "\"" : std::string()));
    }
  }
  w.line("</g>");
  w.line("</svg>");
  return std::move(w.text());
}

}  // namespace vantor::plot
