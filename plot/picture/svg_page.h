// The page of the riser picture: its geometry in SVG user units (pixels), its
// colours, and the writing of elements, one per line with CR LF line ends.
// Shared by the parts of the picture (axes, panels, labels, heat map).
#pragma once

#include <array>
#include <string>
#include <string_view>

namespace vantor::plot::svg {

// Page geometry.
inline constexpr double kWidth = 1100.0;
inline constexpr double kLeft = 100.0;  // plot area, every panel
inline constexpr double kRight = 970.0;
inline constexpr double kTitleY = 28.0;
inline constexpr double kSubtitleY = 48.0;
inline constexpr double kStripTop = 112.0;  // first row of rank labels
inline constexpr double kLabelRow = 15.0;
inline constexpr double kPanelHeight = 250.0;
inline constexpr double kPanelGap = 52.0;
inline constexpr double kBand = 36.0;  // room for the infinity and zero bands
inline constexpr double kHeatHeight = 200.0;
inline constexpr double kInsetHeight = 170.0;
inline constexpr double kTableRow = 17.0;

inline constexpr std::string_view kDamageColour = "#1f5fa8";
inline constexpr std::string_view kLifeColour = "#2e7d32";
inline constexpr std::string_view kHeavyColour = "#c62828";
inline constexpr std::string_view kWarnColour = "#ef6c00";
inline constexpr std::string_view kRequiredColour = "#6a1b9a";
// One colour per run of a picture of several runs, in their order.
inline constexpr std::array<std::string_view, 8> kRunColours = {
    "#1f5fa8", "#c62828", "#2e7d32", "#ef6c00", "#7b1fa2", "#00838f", "#6d4c41", "#ad1457"};

// The document, one element per line.
class writer {
 public:
  void line(std::string_view text) {
    out_.append(text);
    out_.append("\r\n");
  }
  std::string& text() { return out_; }

 private:
  std::string out_;
};

// A coordinate in two decimals.
std::string px(double v);

// The XML declaration, the root element of the page's width and this height,
// the title (already XML text) and the white page.
void open_document(writer& w, double height, std::string_view title);

// ` name="v"` with v in two decimals.
std::string attr(std::string_view name, double v);

// A text element of the class at (x, y), anchored ("start", "middle", "end"),
// with the extra attributes.
std::string text_at(std::string_view cls, double x, double y, std::string_view anchor, double size,
                    std::string_view body, std::string_view extra = {});

// 10 with the exponent d raised (a true minus sign before a negative one).
std::string decade_label(int d);

// "what [unit]", or what alone for no unit.
std::string with_unit(std::string_view what, const std::string& unit);

}  // namespace vantor::plot::svg
