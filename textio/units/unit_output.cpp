// The output of the unit table: records gathered per unit in blocks, the full
// blocks of files written out by the writer thread in the order they were
// filled, and the end of the process with every complete record.
//
// The lock protocol (every field below and every slot's output fields are
// changed under the table lock only):
// - The main thread gathers records into a slot's out; when out is full, it
//   moves it to the slot's queue (at most kQueuedBlocks blocks, of one slot at
//   a time: g_queued_slot) and the writer thread writes them from first on.
// - A thread writing a block marks its slot busy and counts it in g_in_flight
//   before it releases the lock, and settles the outcome under the lock again.
// - A write the writer thread could not do is kept in g_failed_slot (its later
//   blocks dropped, no other taken) until the main thread reports it.
// - Once a console event owns the end (g_ending), neither the main thread nor
//   the writer thread changes anything: each waits for ever at its next step.
#include <algorithm>
#include <atomic>
#include <cstring>
#include <string>
#include <string_view>
#include <utility>

#include "textio/console/fatal.h"
#include "textio/platform/platform.h"
#include "textio/units/unit_table.h"
#include "textio/units/units.h"

namespace vantor::textio {
namespace detail {
namespace {

// A file's block is small enough for the next to be gathered while one is
// written, and large enough for a write to cost little more than its bytes.
constexpr std::size_t kFileBlockBytes = std::size_t{1} << 18;
constexpr std::size_t kConsoleBufferBytes = std::size_t{1} << 16;

// How long the event thread waits for a write under way, and then for its own
// writes of the last buffers, before it ends the process regardless.
constexpr int kEventWaitMs = 400;
constexpr int kEventPollMs = 2;

// Under the table lock (the two atomics are also read without it).
bool g_ending = false;   // a console event has taken over the end of the run
bool g_exiting = false;  // the main thread is ending the process
int g_in_flight = 0;     // blocks being written outside the lock
std::atomic<unit_slot*> g_queued_slot{nullptr};  // the slot whose blocks are queued
std::atomic<unit_slot*> g_failed_slot{nullptr};  // its block could not be written

[[noreturn]] void wait_for_the_end() {
  for (;;) platform::sleep_milliseconds(1000);
}

// Under the lock: when a console event owns the end, waits for it.
void stop_if_ending() {
  if (!g_ending) return;
  unlock_table();
  wait_for_the_end();
}

// Under the lock: releases it until another thread has changed something.
// A thread that changes something wakes the others only when one waits.
int g_waiting = 0;

void wait_for_change() {
  const std::uint64_t seen = platform::wake_count();
  ++g_waiting;
  unlock_table();
  platform::wait_for_wake(seen);
  lock_table();
  --g_waiting;
}

// Under the lock, after a change: releases it and wakes the waiting threads.
void unlock_after_change() {
  const bool wake = g_waiting > 0;
  unlock_table();
  if (wake) platform::wake_all();
}

int unit_of(const unit_slot* s) {
  return static_cast<int>(s - &slot_at(0));
}

bool tracks_records(int unit) {
  return unit != kConsoleOut;
}

// The next bytes of a slot to be written: its first queued block, else the
// records being gathered.
struct pending {
  const char* data = nullptr;
  std::size_t len = 0;
  const std::vector<std::uint32_t>* ends = nullptr;
  bool queued = false;
};

pending next_pending(unit_slot& s) {
  if (s.queued > 0) {
    const out_block& b = s.queue[s.first];
    return {b.data.get(), b.len, &b.record_ends, true};
  }
  return {s.out.get(), s.out_len, &s.record_ends, false};
}

// Marks the slot busy with p (under the lock).
void take(unit_slot& s) {
  s.busy = true;
  ++g_in_flight;
}

bool write_out(const unit_slot& s, const pending& p, std::size_t& accepted) {
  return platform::write_all(s.file, p.data, p.len, &accepted);
}

// The end of the last complete record within the first accepted bytes.
std::size_t complete_part(const std::vector<std::uint32_t>& ends, std::size_t accepted) {
  const auto after = std::upper_bound(ends.begin(), ends.end(), accepted);
  return after == ends.begin() ? 0 : *(after - 1);
}

// Records the outcome of the write of p (under the lock). A file that took
// only part of it is cut back to its last complete record: the records before
// it are kept, none is left torn.
void settle(unit_slot& s, const pending& p, bool ok, std::size_t accepted) {
  s.busy = false;
  --g_in_flight;
  if (ok) {
    s.file_bytes += p.len;
    return;
  }
  const std::size_t keep = complete_part(*p.ends, accepted);
  if (accepted != keep) (void)platform::truncate_file(s.file, s.file_bytes + keep);
  s.file_bytes += keep;
}

// Under the lock: writes p of the slot with the lock released meanwhile and
// settles the outcome under the lock again; true when it was written whole.
bool write_unlocked(unit_slot& s, const pending& p) {
  take(s);
  unlock_table();
  std::size_t accepted = 0;
  const bool ok = write_out(s, p, accepted);
  lock_table();
  settle(s, p, ok, accepted);
  return ok;
}

void pop_block(unit_slot& s) {
  out_block& b = s.queue[s.first];
  b.len = 0;
  b.record_ends.clear();
  s.first = (s.first + 1) % kQueuedBlocks;
  if (--s.queued == 0) g_queued_slot.store(nullptr, std::memory_order_release);
}

// Under the lock: writes the slot's first queued block (the lock released
// meanwhile) and settles it; a failed write drops the blocks after it and is
// kept for the main thread to report.
void write_first_block(unit_slot& s) {
  const pending p = next_pending(s);
  const bool ok = write_unlocked(s, p);
  pop_block(s);
  if (!ok) {
    while (s.queued > 0) pop_block(s);
    g_failed_slot.store(&s, std::memory_order_release);
  }
  unlock_after_change();
  lock_table();
}

// Under the lock: the slot whose first queued block can be written now (none
// while another thread writes it: the blocks of a file go out one at a time,
// in order).
unit_slot* free_first_block() {
  unit_slot* s = g_queued_slot.load(std::memory_order_relaxed);
  return s != nullptr && !s->busy && g_failed_slot.load(std::memory_order_relaxed) == nullptr
             ? s
             : nullptr;
}

// The writer thread: writes the queued blocks in turn. The main thread, when
// it would wait for them, writes the next one itself instead, so that it never
// waits for a writer thread that a busy machine has not run yet.
void write_queued_blocks(void*) {
  lock_table();
  for (;;) {
    unit_slot* s = nullptr;
    while (!g_ending && (s = free_first_block()) == nullptr) wait_for_change();
    stop_if_ending();
    write_first_block(*s);
    stop_if_ending();
  }
}

// Started at the first full block; again in a child process made by fork,
// which has none of its parent's threads.
bool writer_running() {
  static std::uint64_t started_in = 0;
  static bool running = false;
  if (const std::uint64_t here = platform::process_id(); started_in != here) {
    started_in = here;
    running = platform::start_thread(write_queued_blocks, nullptr);
  }
  return running;
}

// Gives the slot an empty out of capacity bytes, allocated outside the lock
// and put in place under it.
void give_block(unit_slot& s, std::size_t capacity) {
  auto block = std::make_unique_for_overwrite<char[]>(capacity);
  table_guard guard;
  s.out = std::move(block);
  s.out_cap = capacity;
}

// Moves the full out of a file to the writer thread's queue, waiting for room
// there, and gives the slot an empty block. False when there is no writer
// thread: the caller then writes the records itself.
bool hand_over(unit_slot& s) {
  if (!writer_running()) return false;
  lock_table();
  for (;;) {
    stop_if_ending();
    if (g_failed_slot.load(std::memory_order_relaxed) != nullptr) {
      unlock_table();
      sync_writes();  // reports it
      lock_table();
      continue;
    }
    if (s.queued < kQueuedBlocks) break;
    if (free_first_block() == &s) {
      write_first_block(s);
    } else {
      wait_for_change();
    }
  }
  out_block& b = s.queue[(s.first + s.queued) % kQueuedBlocks];
  std::swap(b.data, s.out);
  std::swap(b.cap, s.out_cap);
  std::swap(b.record_ends, s.record_ends);  // the block's were cleared
  b.len = s.out_len;
  s.out_len = 0;
  ++s.queued;
  g_queued_slot.store(&s, std::memory_order_relaxed);
  const bool fresh = !s.out;
  unlock_after_change();
  if (fresh) give_block(s, kFileBlockBytes);
  return true;
}

unit_slot& output_slot(int unit) {
  unit_slot* s = slot_of(unit);
  if (s == nullptr) fatal(kErrWrite, unit, "");
  if (!s->open || !s->writable) fatal(kErrWrite, unit, s->name);
  if (!s->out) give_block(*s, unit == kConsoleOut ? kConsoleBufferBytes : kFileBlockBytes);
  cut_if_pending(*s);
  return *s;
}

// Whether size more bytes can go into out now (under the lock): no failed
// write to report, no other unit's blocks queued, and room.
bool ready_for(const unit_slot& s, std::size_t size) {
  const unit_slot* queued = g_queued_slot.load(std::memory_order_relaxed);
  return g_failed_slot.load(std::memory_order_relaxed) == nullptr &&
         (queued == nullptr || queued == &s) && s.out_len + size <= s.out_cap;
}

// Makes out ready for size more bytes: the blocks of another unit written
// first, a full out handed to the writer thread (or written out here), and
// out grown for a record longer than a whole block.
void make_room(int unit, unit_slot& s, std::size_t size) {
  const unit_slot* queued = g_queued_slot.load(std::memory_order_acquire);
  if ((queued != nullptr && queued != &s) ||
      g_failed_slot.load(std::memory_order_acquire) != nullptr) {
    sync_writes();
  }
  if (s.out_len + size <= s.out_cap) return;
  if (size <= s.out_cap && unit != kConsoleOut && hand_over(s)) return;
  if (!flush_slot(s)) fatal(kErrWrite, unit, s.name);
  if (size > s.out_cap) give_block(s, size);
}

// Appends pieces that together form one record.
void append_record(int unit, unit_slot& s, std::initializer_list<std::string_view> pieces) {
  std::size_t size = 0;
  for (const std::string_view p : pieces) size += p.size();
  for (;;) {
    bool ending = false;
    {
      table_guard guard;
      ending = g_ending;
      if (!ending && ready_for(s, size)) {
        char* dst = s.out.get() + s.out_len;
        for (const std::string_view p : pieces) {
          if (p.empty()) continue;  // an empty view may hold no address at all
          std::memcpy(dst, p.data(), p.size());
          dst += p.size();
        }
        s.out_len += size;
        if (tracks_records(unit)) s.record_ends.push_back(static_cast<std::uint32_t>(s.out_len));
        return;
      }
    }
    if (ending) wait_for_the_end();
    make_room(unit, s, size);
  }
}

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
std::atomic<bool> g_report_done{false};

void write_event_report(void*) {
  (void)platform::write_all(platform::console_error(), g_event_report.data(),
                            g_event_report.size());
  g_report_done.store(true, std::memory_order_release);
}

}  // namespace

bool flush_slot(unit_slot& s) {
  sync_writes();
  lock_table();
  stop_if_ending();
  const pending p = next_pending(s);
  if (p.len == 0) {
    unlock_table();
    return true;
  }
  const bool ok = write_unlocked(s, p);
  s.out_len = 0;
  s.record_ends.clear();
  const bool ending = g_ending;
  unlock_table();
  if (ending) wait_for_the_end();
  return ok;
}

void sync_writes() {
  std::string name;
  if (const int unit = finish_writes(name); unit != 0) fatal(kErrWrite, unit, name);
}

bool has_output(const unit_slot& s) {
  return s.out_len > 0 || g_queued_slot.load(std::memory_order_acquire) == &s;
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

int finish_writes(std::string& name) noexcept {
  using namespace detail;
  lock_table();
  while (!g_ending && g_queued_slot.load(std::memory_order_relaxed) != nullptr) {
    if (unit_slot* s = free_first_block(); s != nullptr) {
      write_first_block(*s);
    } else {
      wait_for_change();
    }
  }
  stop_if_ending();
  unit_slot* failed = g_failed_slot.exchange(nullptr);
  if (failed != nullptr) {
    // Gathered after the block that failed: never written.
    failed->out_len = 0;
    failed->record_ends.clear();
  }
  unlock_table();
  if (failed == nullptr) return 0;
  name = failed->name;
  return unit_of(failed);
}

void flush_all_units() noexcept {
  std::string ignored;
  (void)finish_writes(ignored);
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

void write_out_for_event(std::string_view report) noexcept {
  using namespace detail;
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
  g_event_report = report;
  if (!platform::start_thread(write_event_report, nullptr)) write_event_report(nullptr);
  (void)waited([] {
    table_guard guard;
    return g_in_flight == 0 && g_report_done.load(std::memory_order_acquire);
  });
  if (platform::start_thread(write_final_buffers, nullptr)) {
    (void)waited([] { return g_final_done.load(std::memory_order_acquire); });
  }
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
