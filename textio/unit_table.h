// Inside the unit table (textio/units.h): the slots of the units and the one
// lock that guards them. Only the files of the unit table include this.
//
// Threads: the main thread changes the table and the buffers; a console event
// is handled on a thread of its own (textio/platform.h), which takes over the
// end of the run. The lock is held only for short work in memory, never across
// a system write, so the event thread never waits on a stuck write: a buffer
// being written is marked busy, and the event thread leaves it to the writing
// thread or, when that write does not end in time, gives up on it.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "textio/platform.h"
#include "textio/units.h"

namespace vantor::textio::detail {

struct unit_slot {
  bool open = false;
  platform::handle file = platform::kNoHandle;
  bool owns_file = false;  // the console handles are never closed
  bool readable = false;
  bool writable = false;
  bool cut_on_first_write = false;
  open_access access = open_access::sequential;
  open_form form = open_form::formatted;
  int record_bytes = 0;
  std::string name;

  // Output: out[0, out_len) holds complete records not yet written out;
  // record_ends the end of each of them (files only, not the console).
  // file_bytes counts what the file holds before them since it was cut.
  std::unique_ptr<char[]> out;
  std::size_t out_cap = 0;
  std::size_t out_len = 0;
  std::vector<std::uint32_t> record_ends;
  std::uint64_t file_bytes = 0;
  bool busy = false;  // out is being written by a thread outside the lock

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
// then cut back to its last complete record). Waits for ever when a console
// event has taken over the end of the run.
bool flush_slot(unit_slot& s);

// Clears everything of a slot but its buffers; closes an owned file.
void release_slot(unit_slot& s);

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
