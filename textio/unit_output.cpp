// The output of the unit table: records buffered per unit in large blocks,
// written out whole, and the end of the process with every complete record.
#include <algorithm>
#include <atomic>
#include <cstring>
#include <string_view>

#include "textio/fatal.h"
#include "textio/platform.h"
#include "textio/unit_table.h"
#include "textio/units.h"

namespace vantor::textio {
namespace detail {
namespace {

constexpr std::size_t kFileBufferBytes = std::size_t{1} << 20;
constexpr std::size_t kConsoleBufferBytes = std::size_t{1} << 16;

// How long the event thread waits for a write under way, and then for its own
// writes of the last buffers, before it ends the process regardless.
constexpr int kEventWaitMs = 400;
constexpr int kEventPollMs = 2;

// Under the table lock.
bool g_ending = false;   // a console event has taken over the end of the run
bool g_exiting = false;  // the main thread is ending the process
int g_in_flight = 0;     // buffers being written outside the lock

[[noreturn]] void wait_for_the_end() {
  for (;;) platform::sleep_milliseconds(1000);
}

// The end of the last complete record within the first accepted bytes of the
// buffer (a file buffer holds whole records only).
std::size_t complete_part(const unit_slot& s, std::size_t accepted) {
  const auto after = std::upper_bound(s.record_ends.begin(), s.record_ends.end(), accepted);
  return after == s.record_ends.begin() ? 0 : *(after - 1);
}

// Takes the slot's buffer for a write outside the lock (under the lock).
std::size_t take_buffer(unit_slot& s) {
  const std::size_t len = s.out_len;
  if (len > 0) {
    s.busy = true;
    ++g_in_flight;
  }
  return len;
}

// Records the outcome of a write of the taken buffer (under the lock). A file
// that took only part of it is cut back to its last complete record: the
// records before it are kept, no record is left torn.
void settle_buffer(unit_slot& s, std::size_t len, bool ok, std::size_t accepted) {
  s.busy = false;
  --g_in_flight;
  if (ok) {
    s.file_bytes += len;
  } else {
    const std::size_t keep = complete_part(s, accepted);
    if (accepted != keep) (void)platform::truncate_file(s.file, s.file_bytes + keep);
    s.file_bytes += keep;
  }
  s.out_len = 0;
  s.record_ends.clear();
}

bool tracks_records(int unit) {
  return unit != kConsoleOut;
}

unit_slot& output_slot(int unit) {
  unit_slot* s = slot_of(unit);
  if (s == nullptr) fatal(kErrWrite, unit, "");
  if (!s->open || !s->writable) fatal(kErrWrite, unit, s->name);
  if (!s->out) {
    s->out_cap = (unit == kConsoleOut) ? kConsoleBufferBytes : kFileBufferBytes;
    s->out = std::make_unique_for_overwrite<char[]>(s->out_cap);
  }
  cut_if_pending(*s);
  return *s;
}

// Room for size more bytes: the buffer is written out when they do not fit,
// and grown for a record longer than the whole buffer.
void make_room(int unit, unit_slot& s, std::size_t size) {
  if (s.out_len + size <= s.out_cap) return;
  if (!flush_slot(s)) fatal(kErrWrite, unit, s.name);
  if (size > s.out_cap) {
    table_guard guard;
    s.out = std::make_unique_for_overwrite<char[]>(size);
    s.out_cap = size;
  }
}

// Appends pieces that together form one record.
void append_record(int unit, unit_slot& s, std::initializer_list<std::string_view> pieces) {
  std::size_t size = 0;
  for (const std::string_view p : pieces) size += p.size();
  make_room(unit, s, size);
  table_guard guard;
  char* dst = s.out.get() + s.out_len;
  for (const std::string_view p : pieces) {
    if (p.empty()) continue;  // an empty view may hold no address at all
    std::memcpy(dst, p.data(), p.size());
    dst += p.size();
  }
  s.out_len += size;
  if (tracks_records(unit)) s.record_ends.push_back(static_cast<std::uint32_t>(s.out_len));
}

// The last buffers, written by a thread of their own on a console event so
// that the event thread can stop waiting for a stuck one: files first, the
// console last.
std::atomic<bool> g_final_done{false};

void write_final_buffers(void*) {
  for (int pass = 0; pass < 2; ++pass) {
    for (std::size_t u = 0; u < kSlots; ++u) {
      if ((u == kConsoleOut) != (pass == 1)) continue;
      unit_slot& s = slot_at(u);
      std::size_t len = 0;
      {
        table_guard guard;
        if (!s.open || !s.writable || s.busy) continue;
        len = take_buffer(s);
      }
      if (len == 0) continue;
      std::size_t accepted = 0;
      const bool ok = platform::write_all(s.file, s.out.get(), len, &accepted);
      table_guard guard;
      settle_buffer(s, len, ok, accepted);
    }
  }
  g_final_done.store(true, std::memory_order_release);
}

}  // namespace

bool flush_slot(unit_slot& s) {
  lock_table();
  if (g_ending) {
    unlock_table();
    wait_for_the_end();
  }
  const std::size_t len = take_buffer(s);
  unlock_table();
  if (len == 0) return true;
  std::size_t accepted = 0;
  const bool ok = platform::write_all(s.file, s.out.get(), len, &accepted);
  lock_table();
  settle_buffer(s, len, ok, accepted);
  const bool ending = g_ending;
  unlock_table();
  if (ending) wait_for_the_end();
  return ok;
}

}  // namespace detail

using detail::slot_of;
using detail::unit_slot;

void put_record(int unit, std::string_view text, bool terminate) {
  unit_slot& s = detail::output_slot(unit);
  detail::append_record(unit, s, {text, terminate ? std::string_view("\r\n") : std::string_view()});
}

namespace detail {
void put_unformatted_record(int unit, std::string_view data) {
  unit_slot& s = output_slot(unit);
  const auto marker = static_cast<std::uint32_t>(data.size());
  char m[4];
  std::memcpy(m, &marker, 4);
  const std::string_view mark(m, 4);
  append_record(unit, s, {mark, data, mark});
}
}  // namespace detail

void flush_unit(int unit) {
  unit_slot* s = slot_of(unit);
  if (s == nullptr || !s->open || !s->writable) return;
  if (!detail::flush_slot(*s)) fatal(kErrWrite, unit, s->name);
}

void flush_all_units() noexcept {
  for (std::size_t u = 0; u < detail::kSlots; ++u) {
    unit_slot& s = detail::slot_at(u);
    if (s.open && s.writable && s.out_len > 0) (void)detail::flush_slot(s);
  }
}

void close_all_units() noexcept {
  flush_all_units();
  detail::table_guard guard;
  for (std::size_t u = 0; u < detail::kSlots; ++u) {
    unit_slot& s = detail::slot_at(u);
    if (s.open && s.owns_file) detail::release_slot(s);
  }
}

bool claim_end_for_event() noexcept {
  detail::table_guard guard;
  if (detail::g_exiting || detail::g_ending) return false;
  detail::g_ending = true;
  return true;
}

void write_out_for_event() noexcept {
  using namespace detail;
  const auto waited = [](auto done) {
    for (int ms = 0; ms < kEventWaitMs; ms += kEventPollMs) {
      if (done()) return true;
      platform::sleep_milliseconds(kEventPollMs);
    }
    return done();
  };
  (void)waited([] {
    table_guard guard;
    return g_in_flight == 0;
  });
  const bool finished = platform::start_thread(write_final_buffers, nullptr) &&
                        waited([] { return g_final_done.load(std::memory_order_acquire); });
  if (finished) return;
  // A file whose write did not end in time is cut back to the records it
  // held before that write (the write itself may still land behind the cut).
  table_guard guard;
  for (std::size_t u = 0; u < kSlots; ++u) {
    unit_slot& s = slot_at(u);
    if (s.open && s.busy) (void)platform::truncate_file(s.file, s.file_bytes);
  }
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
