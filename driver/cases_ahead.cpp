// The cases of the first pass read ahead (cases_ahead.h).
#include "driver/cases_ahead.h"

#include <array>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <span>
#include <string>
#include <string_view>

#include "driver/case_planes.h"
#include "driver/case_records.h"
#include "driver/run_threads.h"
#include "driver/state.h"
#include "freeinput/state.h"
#include "textio/platform/platform.h"

namespace vantor::driver {
namespace {

// The helper reads a file through a window of whole lines; a file with a
// longer line is left to the reading thread. The window lies in WGHDAM's
// storage, which nothing uses before pass 2 and pass 2 fills anyway: the
// helper then adds no pages to the run's peak. Pass 2 starts only once the
// reading thread has taken the last case handed over, so the helper is idle.
constexpr std::size_t kWindowBytes = std::size_t{64} << 10;
static_assert(kWindowBytes <= sizeof(run_tables::WGHDAM));

// What the helper is handed once, when it is planned: the tables and the
// shape of every case.
run_tables* g_tables = nullptr;
case_shape g_shape;

std::span<char, kWindowBytes> window() {
  return std::span<char, kWindowBytes>(reinterpret_cast<char*>(g_tables->WGHDAM.data()),
                                       kWindowBytes);
}
// The helper's reader reports nothing.
constexpr int kNoMessages = -1;

// The case handed over (written by the reading thread before it hands it) and
// the helper's verdict (written before it says the case is done).
struct handed_case {
  std::string name;
  bool clean = false;
  int lines = 0;
};
handed_case g_case;
std::atomic<int> g_handed{0};
std::atomic<int> g_done{0};
bool g_running = false;

// Left uninitialised: every element is written before it is read.
struct helper_buffers {
  int count;
  std::array<int, kMaxItems> types;
  std::array<double, kMaxItems> values;
};

// Reads the records of text into the plane, going on from r; false at a fault.
bool read_text(std::string_view text, helper_buffers& b, std::span<section_damages> plane,
               case_records& r) {
  freeinput::free_input_state& st = freeinput::input_state;
  st.memory_text = text;
  st.memory_file_lines = true;
  int ierr = 0;
  freeinput::INIFII_2(kInputLineWidth, kInputKeywordLength, freeinput::kMemorySource, kNoMessages,
                      ierr);
  int nhot = g_shape.NHOT;
  read_case_records({b.count, b.types, b.values, kNoMessages}, plane, false, nhot, {}, r);
  return ierr == 0 && r.fault == case_fault::none;
}

// Reads the file whole, a window at a time. A window but the last ends at a
// line feed; its end, read as the end of a file, is no record of the file.
bool read_file(platform::handle h, helper_buffers& b, std::span<section_damages> plane,
               case_records& r) {
  const std::span<char, kWindowBytes> w = window();
  std::size_t kept = 0;  // the start of a line carried over from the window before
  for (;;) {
    const std::ptrdiff_t n = platform::read_some(h, w.data() + kept, kWindowBytes - kept);
    if (n < 0) return false;
    const std::size_t filled = kept + static_cast<std::size_t>(n);
    const std::string_view text(w.data(), filled);
    if (n == 0) return read_text(text, b, plane, r);
    const std::size_t last_feed = text.rfind('\n');
    if (last_feed == std::string_view::npos) {
      if (filled == kWindowBytes) return false;
      kept = filled;
      continue;
    }
    if (!read_text(text.substr(0, last_feed + 1), b, plane, r)) return false;
    --r.lines;
    kept = filled - (last_feed + 1);
    std::memmove(w.data(), w.data() + last_feed + 1, kept);
  }
}

// Reads the handed case; clean when every record was taken and the sections
// are those of the first case.
void read_handed_case(int icase, helper_buffers& b) {
  g_case.clean = false;
  await_case_plane(icase);
  const platform::handle h = platform::open_regular_file(g_case.name);
  if (h == platform::kNoHandle) return;
  case_records r;
  const bool read = read_file(h, b, g_tables->RAWDAM[static_cast<std::size_t>(icase - 1)], r);
  const bool closed = platform::close_file(h);
  g_case.lines = r.lines;
  g_case.clean = read && closed && r.sections == g_shape.NELEM;
}

void read_cases_ahead(void*) {
  const auto buffers = std::make_unique_for_overwrite<helper_buffers>();
  for (;;) {
    platform::wait_until([] { return g_handed.load() != g_done.load(); });
    const int icase = g_handed.load();
    read_handed_case(icase, *buffers);
    g_done.store(icase);
    platform::wake_all();
  }
}

bool helper_running() {
  static standing_helper helper;
  return start_standing_helper(helper, g_handed, g_done, read_cases_ahead);
}

}  // namespace

void plan_cases_ahead(run_tables& t, int icase, int ILAST, const case_shape& shape) {
  if (run_threads() < 2 || icase >= ILAST) return;
  g_tables = &t;
  g_shape = shape;
  g_running = helper_running();
}

bool hand_case_ahead(int icase, std::string_view name) {
  if (!g_running) return false;
  commit_case_plane(*g_tables, icase);
  g_case.name.assign(name);
  g_handed.store(icase);
  platform::wake_all();
  return true;
}

bool take_case_ahead(int icase, std::string_view name, int& lines) {
  platform::wait_until([icase] { return g_done.load() == icase; });
  if (!g_case.clean || g_case.name != name) return false;
  lines = g_case.lines;
  return true;
}

}  // namespace vantor::driver
