// The writer thread's queue: the full blocks of a file, handed over by the
// gathering of records (record_blocks.cpp), are written out by a thread of
// their own in the order they were filled, while the main thread gathers the
// next. A block that could not be written is kept for the main thread to
// report. The lock protocol is in unit_output.h.
#include <algorithm>
#include <atomic>
#include <string>
#include <utility>

#include "textio/units/run_end.h"
#include "textio/platform/platform.h"
#include "textio/units/unit_output.h"
#include "textio/units/unit_table.h"

namespace vantor::textio::detail {

int g_in_flight = 0;
std::atomic<unit_slot*> g_queued_slot{nullptr};
std::atomic<unit_slot*> g_failed_slot{nullptr};

namespace {

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

// The end of the last complete record within the first accepted bytes.
std::size_t complete_part(const std::vector<std::uint32_t>& ends, std::size_t accepted) {
  const auto after = std::upper_bound(ends.begin(), ends.end(), accepted);
  return after == ends.begin() ? 0 : *(after - 1);
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
    while (!event_owns_end() && (s = free_first_block()) == nullptr) wait_for_change();
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

}  // namespace

pending next_pending(unit_slot& s) {
  if (s.queued > 0) {
    const out_block& b = s.queue[s.first];
    return {b.data.get(), b.len, &b.record_ends, true};
  }
  return {s.out.get(), s.out_len, &s.record_ends, false};
}

void take(unit_slot& s) {
  s.busy = true;
  ++g_in_flight;
}

bool write_out(const unit_slot& s, const pending& p, std::size_t& accepted) {
  return platform::write_all(s.file, p.data, p.len, &accepted);
}

void settle(unit_slot& s, const pending& p, bool ok, std::size_t accepted) {
  s.busy = false;
  --g_in_flight;
  if (ok) {
    s.file_bytes += p.len;
    return;
  }
  const std::size_t keep = complete_part(*p.ends, accepted);
  if (accepted != keep) (void)cut_owned_file(s, s.file_bytes + keep);
  s.file_bytes += keep;
}

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

void sync_writes() {
  std::string name;
  if (const int unit = finish_writes(name); unit != 0) fatal(kErrWrite, unit, name);
}

int finish_writes(std::string& name) noexcept {
  lock_table();
  while (!event_owns_end() && g_queued_slot.load(std::memory_order_relaxed) != nullptr) {
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

}  // namespace vantor::textio::detail
