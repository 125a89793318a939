// vantor-plot's pages in a real browser, where Chromium is installed: the
// picture rendered to pixels, and the report and the comparison of runs
// loaded without a console message, without overlapping texts, with their
// tables and the values under the pointer.
#include <dlfcn.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <map>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#ifdef VANTOR_PLOT_BINARY

#include "tests/plot/plot_support.h"

namespace vantor::testing {
namespace {

// The PATH entry holding an executable chromium, empty when there is none.
std::string find_chromium() {
  const char* path = std::getenv("PATH");
  for (const std::string& dir : split(path != nullptr ? path : "", ':')) {
    const fs::path candidate = fs::path(dir.empty() ? "." : dir) / "chromium";
    if (::access(candidate.c_str(), X_OK) == 0) return candidate.string();
  }
  return "";
}

struct image {
  std::size_t width = 0;
  std::size_t height = 0;
  std::vector<unsigned char> rgb;  // 3 bytes per pixel, rows top down
};

// Decodes an 8-bit RGB or RGBA, non-interlaced PNG with the system's zlib.
bool decode_png(const std::string& data, image& img, std::string& why) {
  const auto be32 = [&](std::size_t p) {
    std::uint32_t v = 0;
    for (std::size_t k = 0; k < 4; ++k) v = (v << 8) | static_cast<unsigned char>(data[p + k]);
    return v;
  };
  if (data.size() < 8 || data.compare(0, 8, "\x89PNG\r\n\x1a\n") != 0) return why = "no PNG", false;
  std::string idat;
  int depth = 0, colour = 0, interlace = 0;
  for (std::size_t pos = 8; pos + 12 <= data.size();) {
    const std::size_t length = be32(pos);
    if (pos + 12 + length > data.size()) return why = "cut chunk", false;
    const std::string type = data.substr(pos + 4, 4);
    if (type == "IHDR") {
      img.width = be32(pos + 8);
      img.height = be32(pos + 12);
      depth = static_cast<unsigned char>(data[pos + 16]);
      colour = static_cast<unsigned char>(data[pos + 17]);
      interlace = static_cast<unsigned char>(data[pos + 20]);
    } else if (type == "IDAT") {
      idat.append(data, pos + 8, length);
    }
    pos += 12 + length;
  }
  if (depth != 8 || (colour != 2 && colour != 6) || interlace != 0)
    return why = "unusual PNG", false;
  using uncompress_fn =
      int (*)(unsigned char*, unsigned long*, const unsigned char*, unsigned long);
  void* zlib = ::dlopen("libz.so.1", RTLD_NOW);
  if (zlib == nullptr) return why = "no zlib", false;
  const auto uncompress = reinterpret_cast<uncompress_fn>(::dlsym(zlib, "uncompress"));
  const std::size_t bpp = colour == 6 ? 4 : 3;
  const std::size_t stride = img.width * bpp;
  std::vector<unsigned char> raw(img.height * (stride + 1));
  unsigned long size = raw.size();
  const int status =
      uncompress == nullptr
          ? -1
          : uncompress(raw.data(), &size, reinterpret_cast<const unsigned char*>(idat.data()),
                       idat.size());
  ::dlclose(zlib);
  if (status != 0 || size != raw.size()) return why = "bad image data", false;
  std::vector<unsigned char> previous(stride, 0);
  img.rgb.clear();
  for (std::size_t y = 0; y < img.height; ++y) {
    unsigned char* row = raw.data() + y * (stride + 1);
    const unsigned char filter = row[0];
    unsigned char* cur = row + 1;
    for (std::size_t i = 0; i < stride; ++i) {
      const int a = i >= bpp ? cur[i - bpp] : 0;
      const int b = previous[i];
      const int c = i >= bpp ? previous[i - bpp] : 0;
      int add = 0;
      if (filter == 1) add = a;
      if (filter == 2) add = b;
      if (filter == 3) add = (a + b) / 2;
      if (filter == 4) {
        const int p = a + b - c, pa = std::abs(p - a), pb = std::abs(p - b), pc = std::abs(p - c);
        add = pa <= pb && pa <= pc ? a : (pb <= pc ? b : c);
      }
      cur[i] = static_cast<unsigned char>(cur[i] + add);
    }
    for (std::size_t x = 0; x < img.width; ++x)
      img.rgb.insert(img.rgb.end(), cur + x * bpp, cur + x * bpp + 3);
    previous.assign(cur, cur + stride);
  }
  return true;
}

// Chromium headless, quiet and offline, on the page, with the extra flags;
// its standard output into out_file, its standard error (the console's
// messages) into err_file.
child_result run_chromium(const std::string& chromium, const fs::path& profile,
                          std::vector<std::string> extra, const fs::path& page,
                          const fs::path& out_file, const fs::path& err_file) {
  child_spec spec;
  spec.command = {chromium,
                  "--headless",
                  "--no-sandbox",
                  "--disable-gpu",
                  "--disable-quic",
                  "--no-first-run",
                  "--disable-background-networking",
                  "--disable-component-update",
                  "--disable-sync",
                  "--user-data-dir=" + profile.string()};
  spec.command.insert(spec.command.end(), extra.begin(), extra.end());
  spec.command.push_back("file://" + page.string());
  spec.through_launcher = false;
  spec.in = {stream::kind::closed};
  spec.out = stream::to_file(out_file);
  spec.err = stream::to_file(err_file);
  spec.time_limit = std::chrono::seconds(300);
  return run_child(spec);
}

TEST_F(PlotRun, PictureRendersInChromium) {
  const std::string chromium = find_chromium();
  if (chromium.empty()) GTEST_SKIP() << "chromium is not installed: the picture is not rendered";
  ASSERT_EQ(run_plot(dir_.path(), {"pipe"}).status, 0);
  const std::string svg = dir_.read("pipe.svg");
  const double height = attribute(svg.substr(svg.find("<svg ")), "height");
  const fs::path png = dir_.path() / "pipe.png";
  const child_result shot = run_chromium(
      chromium, dir_.path() / "profile",
      {"--screenshot=" + png.string(), "--window-size=1100," + std::to_string(std::lround(height))},
      dir_.path() / "pipe.svg", dir_.path() / "chromium.out", dir_.path() / "chromium.err");
  ASSERT_EQ(shot.status, 0) << dir_.read("chromium.err");
  image img;
  std::string why;
  if (!decode_png(dir_.read("pipe.png"), img, why) && why == "no zlib") {
    GTEST_SKIP() << "zlib is not installed: the rendered picture is not checked";
  }
  ASSERT_TRUE(why.empty()) << why;
  EXPECT_EQ(img.width, 1100u);
  EXPECT_EQ(img.height, static_cast<std::size_t>(std::lround(height)));
  // Not blank: ink on a good part of the page, the heavy sections' red rings,
  // the damage curve's blue and the life curve's green.
  std::size_t ink = 0, red = 0, blue = 0, green = 0;
  for (std::size_t p = 0; p + 2 < img.rgb.size(); p += 3) {
    const int r = img.rgb[p], g = img.rgb[p + 1], b = img.rgb[p + 2];
    if (r + g + b < 600) ++ink;
    if (r > 150 && g < 90 && b < 90) ++red;
    if (b > 120 && r < 80 && g < 130) ++blue;
    if (g > 90 && r < 90 && b < 90) ++green;
  }
  const std::size_t pixels = img.width * img.height;
  EXPECT_GT(ink, pixels / 50);
  EXPECT_LT(ink, pixels / 2);
  EXPECT_GT(red, 100u);
  EXPECT_GT(blue, 100u);
  EXPECT_GT(green, 100u);
}

// What a probe script added to a copy of a page finds in the browser's layout:
// the rows of its tables, the panels of its pictures, the texts of every
// picture that overlap, the titles of the curves, and the tooltip under the
// pointer at points along the damage and life curves.
struct page_probe {
  std::map<std::string, std::vector<std::vector<std::string>>> rows;  // by table id
  std::vector<std::string> panels, overlaps, curve_titles, hits;
  int texts = 0;
};

constexpr const char* kProbe = R"js(<script>
const out = [];
for (const table of document.querySelectorAll('table[id]'))
  for (const tr of table.querySelectorAll('tbody tr'))
    out.push('row|' + table.id + '|' + [...tr.cells].map(c => c.textContent).join('|'));
for (const g of document.querySelectorAll('figure svg g.panel')) out.push('panel|' + g.getAttribute('class'));
const boxes = [...document.querySelectorAll('svg text')].map(t => [t.getBoundingClientRect(), t.textContent]);
out.push('texts|' + boxes.length);
for (let i = 0; i < boxes.length; i++)
  for (let k = i + 1; k < boxes.length; k++) {
    const [a, ta] = boxes[i], [b, tb] = boxes[k];
    if (a.left < b.right - 0.5 && b.left < a.right - 0.5 && a.top < b.bottom - 0.5 && b.top < a.bottom - 0.5)
      out.push('overlap|' + ta + ' / ' + tb);
  }
for (const t of document.querySelectorAll('figure svg path.curve > title')) out.push('curve|' + t.textContent);
for (const cls of ['damage', 'life']) {
  const curve = document.querySelector('figure svg g.panel.' + cls + ' path.curve');
  if (!curve) continue;
  const m = curve.getScreenCTM(), length = curve.getTotalLength();
  for (const f of [0.1, 0.3, 0.5, 0.7, 0.9]) {
    const p = curve.getPointAtLength(length * f);
    let el = document.elementFromPoint(m.a * p.x + m.c * p.y + m.e, m.b * p.x + m.d * p.y + m.f);
    while (el && !(el.firstElementChild && el.firstElementChild.tagName === 'title')) el = el.parentElement;
    out.push('hit|' + cls + ' ' + (el ? el.firstElementChild.textContent : ''));
  }
}
const pre = document.createElement('pre');
pre.id = 'probe';
pre.textContent = '\n' + out.join('\n') + '\n';
document.body.appendChild(pre);
</script>)js";

// What the pointer shows on a section of the damage or life curve.
const std::regex kSectionTip(R"((damage|life) (rank \d+, )?section \d+, S_Coo [\d.]+: damage )"
                             R"([\d.]+E[-+]\d+, fatigue life [\d.]+ years, worst hot spot \d+)");

// Loads the page (a file of dir) in the browser: no console message, and
// a screenshot into shot; then the probe on a copy of it.
page_probe probe_page(const std::string& chromium, const scratch_dir& d, const std::string& name,
                      const fs::path& shot) {
  const child_result loaded =
      run_chromium(chromium, d.path() / "p1",
                   {"--enable-logging=stderr", "--v=0", "--window-size=1100,2600",
                    "--screenshot=" + shot.string()},
                   d.path() / name, d.path() / "out.txt", d.path() / "console.txt");
  EXPECT_EQ(loaded.status, 0) << name;
  for (const std::string& line : lines_of(d.read("console.txt"))) {
    EXPECT_EQ(line.find(":CONSOLE"), std::string::npos) << name << ": " << line;
  }
  EXPECT_TRUE(fs::exists(shot)) << name;

  std::string html = d.read(name);
  html = std::regex_replace(html, std::regex("default-src 'none'"),
                            "default-src 'none'; script-src 'unsafe-inline'");
  html.insert(html.rfind("</body>"), kProbe);
  d.write("probe.html", html);
  const child_result dumped =
      run_chromium(chromium, d.path() / "p2", {"--window-size=1100,4000", "--dump-dom"},
                   d.path() / "probe.html", d.path() / "dom.txt", d.path() / "console2.txt");
  EXPECT_EQ(dumped.status, 0) << name;
  page_probe probe;
  for (const std::string& line : lines_of(d.read("dom.txt"))) {
    const std::vector<std::string> cells = split(line, '|');
    if (cells.size() < 2) continue;
    if (cells[0] == "row" && cells.size() > 2)
      probe.rows[cells[1]].emplace_back(cells.begin() + 2, cells.end());
    if (cells[0] == "panel") probe.panels.push_back(cells[1]);
    if (cells[0] == "overlap") probe.overlaps.push_back(cells[1]);
    if (cells[0] == "texts") probe.texts = std::stoi(cells[1]);
    if (cells[0] == "curve") probe.curve_titles.push_back(cells[1]);
    if (cells[0] == "hit") probe.hits.push_back(cells[1]);
  }
  EXPECT_TRUE(probe.overlaps.empty())
      << name << ": " << probe.overlaps.size() << " overlaps, the first: " << probe.overlaps[0];
  return probe;
}

// The report of a 3000-section run in the browser: it loads without a console
// message, its ranking holds the report's ten rows, the panels are there, no
// two texts of its pictures overlap, and the pointer on the damage and life
// curves rests on a section's values. A screenshot stays in the build folder.
TEST(PlotBrowser, ReportInChromium) {
  const std::string chromium = find_chromium();
  if (chromium.empty()) GTEST_SKIP() << "chromium is not installed: the report is not loaded";
  scratch_dir d;
  write_realistic_run(d.path(), {3, 3000, 20});
  const run_result v = run_vantor(d.path(), d.read("answers.txt"));
  ASSERT_EQ(v.status, 0) << v.err;
  const run_result r =
      run_plot(d.path(), {"--design-life", "25", "--dff", "3", "--life-unit", "years", "riser"});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_LT(d.read("riser.svg").size(), 2u << 20);

  const fs::path shot = fs::path(VANTOR_PLOT_BINARY).parent_path() / "plot_report.png";
  const page_probe probe = probe_page(chromium, d, "riser.html", shot);
  EXPECT_GT(probe.texts, 100);
  for (const char* name : {"panel damage", "panel life", "panel heat"}) {
    EXPECT_NE(std::find(probe.panels.begin(), probe.panels.end(), name), probe.panels.end())
        << name;
  }
  ASSERT_EQ(probe.hits.size(), 10u);
  for (const std::string& hit : probe.hits) EXPECT_TRUE(std::regex_match(hit, kSectionTip)) << hit;
  // The ranking against the report's: S_Coo, damage and life as written there.
  const std::vector<std::string> report = lines_of(d.read("riser.AccDam"));
  std::vector<std::string> ranked;
  for (std::size_t k = 0; k < report.size() && ranked.size() < 10; ++k) {
    if (k > 8 && !report[k].starts_with("#")) ranked.push_back(report[k]);
  }
  const auto& rows = probe.rows.at("ranking");
  ASSERT_EQ(rows.size(), 10u);
  ASSERT_EQ(ranked.size(), 10u);
  for (std::size_t k = 0; k < 10; ++k) {
    std::istringstream in(ranked[k]);
    std::string coordinate, damage, life;
    in >> coordinate >> damage >> life;
    ASSERT_GE(rows[k].size(), 6u);
    EXPECT_EQ(rows[k][0], std::to_string(k + 1));
    EXPECT_EQ(rows[k][2], coordinate) << k;
    EXPECT_EQ(rows[k][4], damage) << k;
    EXPECT_EQ(rows[k][5], life) << k;
  }
  EXPECT_EQ(probe.rows.at("concentration").size(), 10u);
}

// The comparison of two runs of different seeds and one of other sizes:
// loaded without a console message or overlapping texts, each curve named
// by its run, and its table of the runs as each run's own report gives it.
TEST(PlotBrowser, CompareInChromium) {
  const std::string chromium = find_chromium();
  if (chromium.empty()) GTEST_SKIP() << "chromium is not installed: the comparison is not loaded";
  scratch_dir d;
  const std::vector<run_shape> shapes = {{3, 3000, 20}, {3, 3000, 20, 7}, {2, 500, 8}};
  std::vector<std::string> folders;
  for (const run_shape& shape : shapes) {
    folders.push_back("run" + std::to_string(folders.size() + 1));
    write_realistic_run(d.path() / folders.back(), shape);
    const run_result v =
        run_vantor(d.path() / folders.back(), d.read(folders.back() + "/answers.txt"));
    ASSERT_EQ(v.status, 0) << v.err;
    ASSERT_EQ(run_plot(d.path() / folders.back(), {"riser"}).status, 0);
  }
  std::vector<std::string> args = {"--compare", "--design-life", "25", "--dff", "3"};
  args.insert(args.end(), folders.begin(), folders.end());
  const run_result r = run_plot(d.path(), args);
  ASSERT_EQ(r.status, 0) << r.err;

  const fs::path shot = fs::path(VANTOR_PLOT_BINARY).parent_path() / "plot_compare.png";
  const page_probe probe = probe_page(chromium, d, "compare.html", shot);
  EXPECT_NE(std::find(probe.panels.begin(), probe.panels.end(), "panel ratio"), probe.panels.end());
  // A curve per run on the damage and the life panel, one per run of the
  // same sections on the ratio panel.
  EXPECT_EQ(probe.curve_titles.size(), 3u * 2 + 1);
  EXPECT_EQ(
      std::count(probe.curve_titles.begin(), probe.curve_titles.end(), "run 2: riser in run2"), 3);
  const auto& rows = probe.rows.at("runs");
  ASSERT_EQ(rows.size(), folders.size());
  for (std::size_t k = 0; k < folders.size(); ++k) {
    const std::string own = d.read(folders[k] + "/riser.html");
    // The run's own ranking, its first row: rank, section, S_Coo, hot spot, damage, life.
    std::smatch m;
    ASSERT_TRUE(std::regex_search(own, m,
                                  std::regex("<tr><td>1</td><td>(\\d+)</td><td>([^<]*)</"
                                             "td><td>(\\d+)</td><td>[^<]*</td><td>([^<]*)</td>")));
    ASSERT_EQ(rows[k].size(), 11u);
    EXPECT_EQ(rows[k][1], "riser in " + folders[k]);
    EXPECT_EQ(rows[k][5], m[4].str()) << k;  // minimum life
    EXPECT_EQ(rows[k][6], m[2].str()) << k;  // its S_Coo
    EXPECT_EQ(rows[k][7], m[1].str()) << k;  // section
    EXPECT_EQ(rows[k][8], m[3].str()) << k;  // hot spot
  }
}

// The total of two fatigue sources of one 3000-section riser: loaded without
// a console message or overlapping texts, the share panel there, the pointer
// on the total's curves resting on a section's values, its tables complete.
TEST(PlotBrowser, TotalInChromium) {
  const std::string chromium = find_chromium();
  if (chromium.empty()) GTEST_SKIP() << "chromium is not installed: the total is not loaded";
  scratch_dir d;
  for (const run_shape& shape : {run_shape{3, 3000, 20}, run_shape{3, 3000, 20, 7}}) {
    const std::string folder = "source" + std::to_string(shape.seed == 7 ? 2 : 1);
    write_realistic_run(d.path() / folder, shape);
    ASSERT_EQ(run_vantor(d.path() / folder, d.read(folder + "/answers.txt")).status, 0);
  }
  const run_result r =
      run_plot(d.path(), {"--total", "--label", "wave", "--label", "VIV", "--design-life", "25",
                          "--dff", "3", "--life-unit", "years", "source1", "source2"});
  ASSERT_EQ(r.status, 0) << r.err;

  const fs::path shot = fs::path(VANTOR_PLOT_BINARY).parent_path() / "plot_total.png";
  const page_probe probe = probe_page(chromium, d, "total.html", shot);
  for (const char* name : {"panel damage", "panel life", "panel share"}) {
    EXPECT_NE(std::find(probe.panels.begin(), probe.panels.end(), name), probe.panels.end())
        << name;
  }
  ASSERT_EQ(probe.hits.size(), 10u);
  for (const std::string& hit : probe.hits) EXPECT_TRUE(std::regex_match(hit, kSectionTip)) << hit;
  EXPECT_EQ(probe.rows.at("sources").size(), 2u);
  EXPECT_EQ(probe.rows.at("heaviest").size(), 10u);
}

}  // namespace
}  // namespace vantor::testing

#endif  // VANTOR_PLOT_BINARY
