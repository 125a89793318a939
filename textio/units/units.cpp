// The unit table: connecting units to files and the console, names, closing.
#include "textio/units/units.h"

#include <array>
#include <atomic>
#include <string>
#include <thread>

#include "textio/units/run_end.h"
#include "textio/platform/platform.h"
#include "textio/units/unit_table.h"

namespace vantor::textio {
namespace detail {
namespace {

std::array<unit_slot, kSlots> g_units;
std::atomic_flag g_lock = ATOMIC_FLAG_INIT;
thread_local bool t_holds_lock = false;  // the calling thread holds g_lock

void ensure_console() {
  static const bool ready = [] {
    unit_slot& in = g_units[kConsoleIn];
    in.open = true;
    in.file = platform::console_input();
    in.readable = true;
    in.name = "CONIN$";
    unit_slot& out = g_units[kConsoleOut];
    out.open = true;
    out.file = platform::console_output();
    out.writable = true;
    out.name = "CONOUT$";
    return true;
  }();
  (void)ready;
}

}  // namespace

unit_slot* slot_of(int unit) {
  ensure_console();
  if (unit < 1 || unit > kMaxUnit) return nullptr;
  return &g_units[static_cast<std::size_t>(unit)];
}

unit_slot& slot_at(std::size_t index) {
  ensure_console();
  return g_units[index];
}

// The holders do short memory work only, so a waiter spins on a read of the
// flag (no stores while it is held); it gives the processor away when a
// holder seems descheduled, and sleeps only after long waits.
void lock_table() noexcept {
  for (int waits = 0; g_lock.test_and_set(std::memory_order_acquire);) {
    while (g_lock.test(std::memory_order_relaxed)) {
      if (++waits < 1024) continue;
      if (waits < 4096) {
        std::this_thread::yield();
      } else {
        platform::sleep_milliseconds(1);
      }
    }
  }
  t_holds_lock = true;
}

void unlock_table() noexcept {
  t_holds_lock = false;
  g_lock.clear(std::memory_order_release);
}

void release_slot(unit_slot& s) {
  if (s.owns_file) platform::close_file(s.file);
  s.open = false;
  s.file = platform::kNoHandle;
  s.owns_file = false;
  s.readable = s.writable = s.cut_on_first_write = false;
  s.record_bytes = 0;
  s.out_len = 0;
  s.record_ends.clear();
  s.first = s.queued = 0;
  s.file_bytes = 0;
  s.in_pos = s.in_end = 0;
  s.in_eof = false;
  s.name.clear();
}

bool table_held_by_caller() noexcept {
  return t_holds_lock;
}

bool cut_owned_file(const unit_slot& s, std::uint64_t size) {
  return s.owns_file && platform::truncate_file(s.file, size);
}

void cut_if_pending(unit_slot& s) {
  if (!s.cut_on_first_write) return;
  s.cut_on_first_write = false;
  (void)cut_owned_file(s, 0);
}

}  // namespace detail

using detail::slot_of;
using detail::unit_slot;

int open_unit(int unit, const open_spec& spec) {
  unit_slot* s = slot_of(unit);
  if (s == nullptr) return kErrOpenFailure;
  close_unit(unit);
  detail::sync_writes();  // a file is created only after the writes before it

  std::string name;
  platform::opened_file f;
  switch (spec.status) {
    case open_status::scratch:
      f = platform::open_scratch(name);
      break;
    case open_status::old_file:
      f = platform::open_file(spec.name, platform::file_status::old_file);
      break;
    case open_status::new_file:
      f = platform::open_file(spec.name, platform::file_status::new_file);
      break;
    case open_status::unknown:
      f = platform::open_file(spec.name, platform::file_status::unknown);
      break;
  }
  if (f.error != 0) return f.error;

  detail::table_guard guard;
  s->open = true;
  s->file = f.file;
  s->owns_file = true;
  s->readable = true;
  s->writable = f.writable;
  s->cut_on_first_write = spec.access == open_access::sequential;
  s->access = spec.access;
  s->form = spec.form;
  s->record_bytes = spec.access == open_access::direct ? spec.record_bytes : 0;
  s->name = spec.status == open_status::scratch ? name : std::string(spec.name);
  s->in_pos = s->in_end = 0;
  s->in_eof = false;
  s->out_len = 0;
  s->record_ends.clear();
  s->file_bytes = 0;
  return 0;
}

void cut_unit(int unit) {
  unit_slot* s = slot_of(unit);
  if (s == nullptr || !s->open || !s->writable || s->access != open_access::sequential) return;
  detail::sync_writes();
  s->cut_on_first_write = true;
  detail::cut_if_pending(*s);
}

void close_unit(int unit) {
  unit_slot* s = slot_of(unit);
  if (s == nullptr || !s->open) return;
  const bool ok = !s->writable || detail::flush_slot(*s);
  // The report names the file, which the release below forgets.
  const std::string failed_name = ok ? std::string() : s->name;
  {
    detail::table_guard guard;
    if (s->owns_file) {
      detail::release_slot(*s);
    } else {
      // The console stays usable; closing it only writes out its records.
      s->in_pos = s->in_end = 0;
    }
  }
  if (!ok) fatal(kErrWrite, unit, failed_name);
}

bool unit_is_open(int unit) {
  const unit_slot* s = slot_of(unit);
  return s != nullptr && s->open;
}

std::string unit_name(int unit) {
  const unit_slot* s = slot_of(unit);
  return s != nullptr && s->open ? s->name : std::string();
}

int unit_record_bytes(int unit) {
  const unit_slot* s = slot_of(unit);
  return s != nullptr && s->open ? s->record_bytes : 0;
}

}  // namespace vantor::textio
