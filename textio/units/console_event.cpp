// The end of the run taken over by a console event (textio/units/run_end.h).
//
// The event is handled on a thread of its own while the main thread may be
// anywhere, even blocked in a write that never ends. The first event claims
// the end: from then on the main thread and the writer thread stop at their
// next step in the unit table (each waits for ever there). The event thread
// writes the report line on standard error, then writes out every complete
// record that is not being written already. It waits a bounded time (well
// under a second each) for the report line and a write under way, and for its
// own writes, and cuts a file of the program's whose write did not end in
// time back to its records before that write (the console streams are never
// cut); then it ends the process. An event that comes while a fatal report is
// under way ends the run the same way, but with that report's line and
// number: the first ending decides.
#include <atomic>
#include <cstddef>
#include <string_view>

#include "textio/units/run_end.h"
#include "textio/platform/platform.h"
#include "textio/units/unit_output.h"
#include "textio/units/unit_table.h"
#include "textio/units/units.h"

namespace vantor::textio {
namespace detail {
namespace {

// How long the event thread waits for a write under way, and then for its own
// writes of the last buffers, before it ends the process regardless.
constexpr int kEventWaitMs = 400;
constexpr int kEventPollMs = 2;

// Under the table lock.
bool g_ending = false;    // a console event has taken over the end of the run
bool g_exiting = false;   // the main thread is ending the process
int g_report_number = 0;  // a fatal report under way (its number), 0 before

// The last buffers, written by a thread of their own on a console event so
// that the event thread can stop waiting for a stuck one: files first (their
// queued blocks in turn, then the records being gathered), the console last.
// A slot busy with a write, or whose write failed, is left alone.
std::atomic<bool> g_final_done{false};

void write_final_buffers(void*) {
  for (int pass = 0; pass < 2; ++pass) {
    for (std::size_t u = 0; u < kSlots; ++u) {
      if ((u == kConsoleOut) != (pass == 1)) continue;
      unit_slot& s = slot_at(u);
      for (bool more = true; more;) {
        pending p;
        {
          table_guard guard;
          if (!s.open || !s.writable || s.busy || g_failed_slot.load() == &s) break;
          p = next_pending(s);
          if (p.len == 0) break;
          take(s);
        }
        std::size_t accepted = 0;
        const bool ok = write_out(s, p, accepted);
        table_guard guard;
        settle(s, p, ok, accepted);
        // The records being gathered are left as they are: the main thread
        // may still look at their length.
        more = ok && p.queued;
        if (p.queued) pop_block(s);
      }
    }
  }
  g_final_done.store(true, std::memory_order_release);
}

std::string_view g_event_report;
std::atomic<bool> g_report_done{false};  // the event's line, or the fatal report's

void write_event_report(void*) {
  (void)platform::write_all(platform::console_error(), g_event_report.data(),
                            g_event_report.size());
  g_report_done.store(true, std::memory_order_release);
}

// True when the event owns the end (the main thread has not begun ending the
// process, and no event came first); report receives the number of a fatal
// report under way (0 for none), whose end it then carries out.
bool claim_end_for_event(int& report) noexcept {
  table_guard guard;
  if (g_exiting || g_ending) return false;
  g_ending = true;
  report = g_report_number;
  return true;
}

// Writes the report line (none: the fatal report under way writes its own)
// and every complete record not being written already, each within a bounded
// wait; report must stay valid until the process ends.
void write_out_for_event(std::string_view report) noexcept {
  const auto waited = [](auto done) {
    for (int ms = 0; ms < kEventWaitMs; ms += kEventPollMs) {
      if (done()) return true;
      platform::sleep_milliseconds(kEventPollMs);
    }
    return done();
  };
  // The report line is written by a thread of its own, like the last buffers:
  // a standard error that nobody reads may hold that write for ever. It is
  // waited for together with a write under way.
  if (!report.empty()) {
    g_event_report = report;
    if (!platform::start_thread(write_event_report, nullptr)) write_event_report(nullptr);
  }
  (void)waited([] {
    table_guard guard;
    return g_in_flight == 0 && g_report_done.load(std::memory_order_acquire);
  });
  if (platform::start_thread(write_final_buffers, nullptr)) {
    (void)waited([] { return g_final_done.load(std::memory_order_acquire); });
  }
  // A file whose write did not end in time is cut back to the records it
  // held before that write (the write itself may still land behind the cut);
  // the console keeps what it has.
  table_guard guard;
  for (std::size_t u = 0; u < kSlots; ++u) {
    const unit_slot& s = slot_at(u);
    if (s.open && s.busy) (void)cut_owned_file(s, s.file_bytes);
  }
}

// Console events. The reports are fixed texts.
constexpr std::string_view kControlC =
    "forrtl: error (200): program aborting due to control-C event\n";
constexpr std::string_view kControlBreak =
    "forrtl: error (200): program aborting due to control-BREAK event\n";
constexpr std::string_view kWindowClose =
    "forrtl: error (200): program aborting due to window-CLOSE event\n";

// Runs on the event thread: the first event takes over the end of the run.
void on_console_event(const platform::event_info& info) {
  int report = 0;
  if (!claim_end_for_event(report)) return;  // the process is ending already
  if (report != 0) {
    // A fatal report came first: it keeps its number, and its line (written
    // by the main thread) gets the wait an event's line gets.
    write_out_for_event({});
    platform::exit_after_fatal(report);
  }
  // A stalled standard error does not hold the end up: the report line gets
  // the same bounded wait as the last records.
  switch (info.event) {
    case platform::console_event::interrupt:
      write_out_for_event(kControlC);
      break;
    case platform::console_event::brk:
      write_out_for_event(kControlBreak);
      break;
    case platform::console_event::close:
      write_out_for_event(kWindowClose);
      break;
  }
  platform::exit_after_event(info);
}

}  // namespace

bool event_owns_end() noexcept {
  return g_ending;
}

void wait_for_the_end() {
  for (;;) platform::sleep_milliseconds(1000);
}

void stop_if_ending() {
  if (!g_ending) return;
  unlock_table();
  wait_for_the_end();
}

report_claim::report_claim(int number) noexcept {
  lock_table();
  if (g_ending) {
    unlock_table();
    wait_for_the_end();
  }
  g_report_number = number;
  g_report_done.store(false, std::memory_order_release);
  unlock_table();
}

report_claim::~report_claim() {
  table_guard guard;
  g_report_number = 0;
}

void report_line_written() noexcept {
  g_report_done.store(true, std::memory_order_release);
}

}  // namespace detail

void install_console_handlers() {
  platform::install_console_events(detail::on_console_event);
}

void claim_end_for_exit() noexcept {
  detail::lock_table();
  if (detail::g_ending) {
    detail::unlock_table();
    detail::wait_for_the_end();
  }
  detail::g_exiting = true;
  detail::unlock_table();
}

}  // namespace vantor::textio
