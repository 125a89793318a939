// Inside the output of the unit table: what the gathering of records
// (record_blocks.cpp), the writer thread's queue (writer_queue.cpp) and the
// end of the run (textio/units/console_event.cpp) share. Only those files
// include this.
//
// The lock protocol (every variable below and every slot's output fields are
// changed under the table lock only):
// - The main thread gathers records into a slot's out; when out is full, it
//   moves it to the slot's queue (at most kQueuedBlocks blocks, of one slot at
//   a time: g_queued_slot) and the writer thread writes them from first on.
// - A thread writing a block marks its slot busy and counts it in g_in_flight
//   before it releases the lock, and settles the outcome under the lock again.
// - A write the writer thread could not do is kept in g_failed_slot (its later
//   blocks dropped, no other taken) until the main thread reports it.
// - Once a console event owns the end of the run (textio/units/run_end.h),
//   neither the main thread nor the writer thread changes anything: each waits
//   for ever at its next step.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "textio/units/unit_table.h"

namespace vantor::textio::detail {

// A file's block is small enough for the next to be gathered while one is
// written, and large enough for a write to cost little more than its bytes.
inline constexpr std::size_t kFileBlockBytes = std::size_t{1} << 18;

// Under the table lock (the two atomics are also read without it).
extern int g_in_flight;                        // blocks being written outside the lock
extern std::atomic<unit_slot*> g_queued_slot;  // the slot whose blocks are queued
extern std::atomic<unit_slot*> g_failed_slot;  // its block could not be written

// The next bytes of a slot to be written: its first queued block, else the
// records being gathered.
struct pending {
  const char* data = nullptr;
  std::size_t len = 0;
  const std::vector<std::uint32_t>* ends = nullptr;
  bool queued = false;
};

pending next_pending(unit_slot& s);

// Marks the slot busy with its next write (under the lock).
void take(unit_slot& s);

// Writes p to the slot's file (outside the lock); accepted receives the bytes
// the file took.
bool write_out(const unit_slot& s, const pending& p, std::size_t& accepted);

// Records the outcome of the write of p (under the lock). A file of the
// program's that took only part of it is cut back to its last complete
// record: the records before it are kept, none is left torn. The console keeps
// what it took.
void settle(unit_slot& s, const pending& p, bool ok, std::size_t accepted);

// Under the lock: writes p of the slot with the lock released meanwhile and
// settles the outcome under the lock again; true when it was written whole.
bool write_unlocked(unit_slot& s, const pending& p);

// Drops the slot's first queued block (written or not).
void pop_block(unit_slot& s);

// Gives the slot an empty out of capacity bytes, allocated outside the lock
// and put in place under it.
void give_block(unit_slot& s, std::size_t capacity);

// Moves the full out of a file to the writer thread's queue, waiting for room
// there, and gives the slot an empty block. False when there is no writer
// thread: the caller then writes the records itself.
bool hand_over(unit_slot& s);

// Waits until the writer thread has written every block handed to it. When
// one of them could not be written, returns its unit and sets name to its file
// (the caller reports it; the records gathered after it are dropped), else 0.
// Called by fatal() and stop() before anything else.
int finish_writes(std::string& name) noexcept;

}  // namespace vantor::textio::detail
