// The helper of pass 2 and the ring it fills (weighted_rows.h).
#include "driver/weighted_rows.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <span>
#include <string_view>
#include <type_traits>

#include "driver/file_layouts.h"
#include "driver/records.h"
#include "driver/run_threads.h"
#include "textio/records/writer.h"
#include "textio/platform/platform.h"
#include "textio/units/units.h"

namespace vantor::driver {
namespace {

// The ring: WGHDAM's storage, which only pass 2 uses, in two halves; each
// holds up to g_rows rendered rows of one case. A half is full from the
// helper's publishing until the main thread has written its rows.
constexpr std::size_t kHalf = sizeof(run_tables::WGHDAM) / 2;
std::size_t g_record = 0;  // bytes of one rendered row
std::size_t g_rows = 0;    // rows of one half
// The helper weighs and renders the first g_split rows of each case, the
// main thread the rest: each row's accumulated damage is added to by one
// thread, case after case, as in the single-threaded run.
std::size_t g_split = 0;
std::array<std::atomic<bool>, 2> g_full{};

// What the helper is handed when it starts: the tables, the cases and their
// shape.
run_tables* g_tables = nullptr;
case_range g_cases;
case_shape g_shape;

char* half_at(int h) {
  return reinterpret_cast<char*>(g_tables->WGHDAM.data()) + static_cast<std::size_t>(h) * kHalf;
}

// Waits until half h is full (want true) or free (want false).
void wait_for_half(int h, bool want) {
  platform::wait_until([h, want] { return g_full[static_cast<std::size_t>(h)].load() == want; });
}

void set_half(int h, bool full) {
  g_full[static_cast<std::size_t>(h)].store(full);
  platform::wake_all();
}

// The helper: every case in order, its rows in runs of g_rows, each run into
// the next half once the main thread has emptied it.
void render_cases(void*) {
  run_tables& t = *g_tables;
  const auto nhot = static_cast<std::size_t>(g_shape.NHOT);
  int h = 0;
  for (int icase = g_cases.IFIRST;; ++icase) {
    const double w = t.PROB[static_cast<std::size_t>(icase - 1)];
    const auto& raw = t.RAWDAM[static_cast<std::size_t>(icase - 1)];
    for (std::size_t first = 0; first < g_split; first += g_rows) {
      wait_for_half(h, false);
      char* text = half_at(h);
      for (std::size_t e = first; e < std::min(g_split, first + g_rows); ++e) {
        section_damages product;
        weigh_row(w, raw[e], product.data(), t.ACCDAM[e], nhot);
        textio::format_reals(text, kRowLayout, t.SCOO[e],
                             std::span<const double>(product.data(), nhot));
        text += g_record;
      }
      set_half(h, true);
      h ^= 1;
    }
    if (icase == g_cases.ILAST) break;
  }
}

int g_next_half = 0;

}  // namespace

void weigh_row(double w, const section_damages& raw, double* product, section_damages& acc,
               std::size_t nhot) {
  // A row of every hot spot has a length known here, and its loop is straight
  // vector work.
  const auto weigh = [&](auto hot_spots) {
    for (std::size_t j = 0; j < hot_spots; ++j) {
      product[j] = w * raw[j];
      acc[j] = acc[j] + product[j];
    }
  };
  if (nhot == kMostHotSpots) {
    weigh(std::integral_constant<std::size_t, kMostHotSpots>{});
  } else {
    weigh(nhot);
  }
}

bool start_weighted_rows(run_tables& t, const case_range& cases, const case_shape& shape) {
  g_record = textio::reals_record_size(kRowLayout, static_cast<std::size_t>(shape.NHOT));
  if (run_threads() < 2 || g_record == 0 || g_record > kHalf) return false;
  g_tables = &t;
  g_cases = cases;
  g_shape = shape;
  g_rows = kHalf / g_record;
  g_split = static_cast<std::size_t>(shape.NELEM) / 2;
  g_full[0].store(false);
  g_full[1].store(false);
  g_next_half = 0;
  return platform::start_thread(render_cases, nullptr);
}

void write_next_weighted_rows(run_tables& t, int icase) {
  for (std::size_t first = 0; first < g_split; first += g_rows) {
    const int h = g_next_half;
    wait_for_half(h, true);
    const char* text = half_at(h);
    for (std::size_t e = first; e < std::min(g_split, first + g_rows); ++e) {
      textio::put_record(kUnitWrite, std::string_view(text, g_record), true);
      text += g_record;
    }
    set_half(h, false);
    g_next_half = h ^ 1;
  }
  const double w = t.PROB[static_cast<std::size_t>(icase - 1)];
  const auto& raw = t.RAWDAM[static_cast<std::size_t>(icase - 1)];
  const auto nhot = static_cast<std::size_t>(g_shape.NHOT);
  for (std::size_t e = g_split; e < static_cast<std::size_t>(g_shape.NELEM); ++e) {
    section_damages product;
    weigh_row(w, raw[e], product.data(), t.ACCDAM[e], nhot);
    write_matrix_row(t.SCOO[e], product, nhot);
  }
}

}  // namespace vantor::driver
