// Inside the unit table (textio/units/units.h): the slots of the units and
// the one lock that guards them. Only the files of the unit table, and the
// end of the run that writes out its last records (textio/console/), include
// this.
//
// Threads: the main thread changes the table and fills the buffers; full
// blocks of a file are written out by the writer thread (writer_queue.cpp),
// in the order they were filled; a console event is handled on a thread of
// its own (textio/units/console_event.cpp), which takes over the end of the
// run. The lock is held only for short work in memory, never across a system
// write, so the event thread never waits on a stuck write: a block being
// written is marked busy, and the event thread leaves it to the writing
// thread or, when that write does not end in time, gives up on it.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "textio/platform/platform.h"
#include "textio/units/units.h"

namespace vantor::textio::detail {

// Complete records on their way to a file; record_ends holds the end of each
// (files only, not the console).
struct out_block {
  std::unique_ptr<char[]> data;
  std::size_t cap = 0;
  std::size_t len = 0;
  std::vector<std::uint32_t> record_ends;
};

// Full blocks of one file waiting for the writer thread, at most this many.
inline constexpr std::size_t kQueuedBlocks = 2;

struct unit_slot {
  bool open = false;
  platform::handle file = platform::kNoHandle;
  bool owns_file = false;  // opened by the program; the console handles belong to the caller
  bool readable = false;
  bool writable = false;
  bool cut_on_first_write = false;
  open_access access = open_access::sequential;
  open_form form = open_form::formatted;
  int record_bytes = 0;
  std::string name;

  // Output: out[0, out_len) holds the complete records being gathered;
  // record_ends the end of each of them (files only, not the console).
  // queue[first], and the queued - 1 after it in turn, hold the full blocks
  // written before them (the writer thread takes them from first on).
  // file_bytes counts what the file holds before all of them since it was cut.
  std::unique_ptr<char[]> out;
  std::size_t out_cap = 0;
  std::size_t out_len = 0;
  std::vector<std::uint32_t> record_ends;
  std::array<out_block, kQueuedBlocks> queue;
  std::size_t first = 0;
  std::size_t queued = 0;
  std::uint64_t file_bytes = 0;
  bool busy = false;  // the first block (or out) is being written outside the lock

  // Input: in[in_pos, in_end) holds bytes read ahead.
  std::unique_ptr<char[]> in;
  std::size_t in_pos = 0;
  std::size_t in_end = 0;
  bool in_eof = false;
};

// The slot of a unit 1 to 99 (nullptr outside); the console slots are set up
// at the first call.
unit_slot* slot_of(int unit);
unit_slot& slot_at(std::size_t index);
inline constexpr std::size_t kSlots = kMaxUnit + 1;

// The lock of the table. Spins (with short sleeps); held for memory work only.
void lock_table() noexcept;
void unlock_table() noexcept;

class table_guard {
 public:
  table_guard() noexcept { lock_table(); }
  ~table_guard() { unlock_table(); }
  table_guard(const table_guard&) = delete;
  table_guard& operator=(const table_guard&) = delete;
};

// Writes out the slot's buffered records (false on a write failure, the file
// then cut back to its last complete record), after every block the writer
// thread holds (of any unit): a failure of one of those is reported first,
// with its unit and file (fatal 38). Waits for ever when a console event has
// taken over the end of the run.
bool flush_slot(unit_slot& s);

// Waits until the writer thread holds no block; reports a failed one as
// flush_slot does. Called before anything another unit shows outside.
void sync_writes();

// Records gathered or queued for the file, not yet written.
bool has_output(const unit_slot& s);

// Whether the calling thread holds the lock of the table (for the end after
// an allocation failure, which may come in the middle of a change).
bool table_held_by_caller() noexcept;

// Clears everything of a slot but its buffers; closes an owned file.
void release_slot(unit_slot& s);

// Cuts the slot's file to size bytes (a regular file only), when the program
// opened it itself. The console streams belong to the caller, whatever they
// are (a log appended to, a file shared with other commands, a pipe): they are
// never cut, and what they took stays. False when nothing was cut.
bool cut_owned_file(const unit_slot& s, std::uint64_t size);

// Cuts a sequential file at its first write (or now).
void cut_if_pending(unit_slot& s);

// Input: 0 when the unit can be read (its buffered output written out first),
// else the error number; exactly size bytes of a sequential unit (0, -1 at the
// end of the input, or the error number).
int check_input(unit_slot* s);
int read_bytes(unit_slot& s, char* dest, std::size_t size);

// Output: one sequential unformatted record (length, bytes, length).
void put_unformatted_record(int unit, std::string_view data);

}  // namespace vantor::textio::detail
