// The planes of the first pass made ready ahead of the reading (case_planes.h).
#include "driver/case_planes.h"

#include <algorithm>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "driver/run_threads.h"
#include "driver/state.h"
#include "textio/platform/platform.h"

namespace vantor::driver {
namespace {

constexpr std::size_t kPlaneBytes = sizeof(run_tables::RAWDAM[0]);
constexpr std::size_t kSmallPage = 4096;
constexpr std::size_t kLargePage = std::size_t{2} << 20;

// A plane faulted in whole where the case fills at least 15/16 of it in small
// pages: large pages then cost at most a fifteenth more memory.
constexpr bool fills_its_plane(std::size_t used) {
  const std::size_t pages = (used + kSmallPage - 1) / kSmallPage;
  return pages * kSmallPage * 16 >= kPlaneBytes * 15;
}

bool switched_on(const char* name) {
  const char* v = std::getenv(name);
  return v != nullptr && (std::strcmp(v, "1") == 0 || std::strcmp(v, "yes") == 0);
}

// The tables and the last case, handed when the planes are planned.
run_tables* g_tables = nullptr;
int g_last_case = 0;

std::byte* plane_at(int icase) {
  return reinterpret_cast<std::byte*>(&g_tables->RAWDAM[static_cast<std::size_t>(icase - 1)]);
}

// The helper's work: the case whose plane was asked for and the one whose
// plane is done (0: none). The settings below are made before the first ask.
std::atomic<int> g_asked{0};
std::atomic<int> g_done{0};
bool g_ahead = false;
// Where the system cannot fault pages in for the helper, it writes each page
// once itself, and the reading thread waits for a plane it is touching.
bool g_touching = false;
// The bytes a case fills at the start of its plane.
std::size_t g_used = 0;
// The helper takes the pages (of this size) that begin within a plane's used
// part, up to the end of the last case's: the page a plane shares with the
// one before belongs to the earlier plane, so the reading thread, filling one
// plane, does not meet the helper in a page (two threads faulting one large
// page in would both zero it).
std::size_t g_page = kSmallPage;
std::uintptr_t g_last_end = 0;

std::uintptr_t page_up(std::uintptr_t v, std::size_t page) {
  return (v + page - 1) / page * page;
}

struct page_range {
  std::byte* at;
  std::size_t bytes;
};

page_range pages_of(int icase) {
  const auto start = reinterpret_cast<std::uintptr_t>(plane_at(icase));
  const std::uintptr_t begin = page_up(start, g_page);
  const std::uintptr_t end = std::min(page_up(start + g_used, g_page), g_last_end);
  return {reinterpret_cast<std::byte*>(begin), end > begin ? end - begin : 0};
}

void touch_pages(std::byte* at, std::size_t bytes) {
  auto* p = reinterpret_cast<volatile unsigned char*>(at);
  for (std::size_t i = 0; i < bytes; i += kSmallPage) p[i] = p[i];
}

void prepare_asked_planes(void*) {
  for (;;) {
    platform::wait_until([] { return g_asked.load() != g_done.load(); });
    const int asked = g_asked.load();
    // The plane was committed by the reading thread before it was asked for.
    const page_range r = pages_of(asked);
    if (g_touching) {
      touch_pages(r.at, r.bytes);
    } else {
      (void)platform::populate_range(r.at, r.bytes);
    }
    g_done.store(asked);
    platform::wake_all();
  }
}

bool helper_running() {
  static standing_helper helper;
  return start_standing_helper(helper, g_asked, g_done, prepare_asked_planes);
}

// A plane the system faults in may be written meanwhile; one being touched
// is waited for.
void wait_until_prepared(int icase) {
  if (g_touching && g_asked.load() == icase)
    platform::wait_until([icase] { return g_done.load() == icase; });
}

}  // namespace

void plan_case_planes(run_tables& t, int icase, int ILAST, int NELEM) {
  g_used = static_cast<std::size_t>(NELEM) * sizeof(section_damages);
  if (icase >= ILAST || g_used == 0) return;
  g_tables = &t;
  g_last_case = ILAST;
  g_last_end = page_up(reinterpret_cast<std::uintptr_t>(plane_at(ILAST)) + g_used, kSmallPage);
  const bool ahead = run_threads() > 1;
  if (ahead) {
    // Asking the system for the first page of the next case's plane (which
    // the reading thread writes next anyway) tells whether it can fault pages
    // in for the helper.
    commit_case_plane(t, icase + 1);
    g_touching = !platform::populate_range(plane_at(icase + 1), 1);
  }
  if (fills_its_plane(g_used) && switched_on("VANTOR_HUGE_PAGES")) {
    // The planes of every case after the first, as one range. The helper then
    // takes whole large pages where the system faults them in for it; pages
    // it writes itself stay within the plane committed for it.
    const std::size_t planes = static_cast<std::size_t>(ILAST - icase);
    if (platform::advise_large_pages(plane_at(icase + 1), planes * kPlaneBytes) && !g_touching)
      g_page = kLargePage;
  }
  if (!ahead) return;
  g_ahead = helper_running();
}

void ready_case_plane(run_tables& t, int icase) {
  wait_until_prepared(icase);
  commit_case_plane(t, icase);
  if (!g_ahead || icase >= g_last_case) return;
  commit_case_plane(t, icase + 1);
  g_asked.store(icase + 1);
  platform::wake_all();
}

void await_case_plane(int icase) {
  wait_until_prepared(icase);
}

}  // namespace vantor::driver
