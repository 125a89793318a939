// Gathering records into blocks: put_record and its kin append each complete
// record to its unit's block (a file's full block goes to the writer thread's
// queue, writer_queue.cpp), flush_unit writes a unit's records out now. The
// lock protocol is in unit_output.h.
#include <atomic>
#include <cstring>
#include <string>
#include <string_view>
#include <utility>

#include "textio/units/run_end.h"
#include "textio/platform/platform.h"
#include "textio/units/unit_output.h"
#include "textio/units/unit_table.h"
#include "textio/units/units.h"

namespace vantor::textio {
namespace detail {
namespace {

constexpr std::size_t kConsoleBufferBytes = std::size_t{1} << 16;

bool tracks_records(int unit) {
  return unit != kConsoleOut;
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
      ending = event_owns_end();
      if (!ending && ready_for(s, size)) {
        char* dst = s.out.get() + s.out_len;
        for (const std::string_view p : pieces) {
          if (p.empty()) continue;  // an empty view may hold no address at all
          if (p.size() == 2) {
            std::memcpy(dst, p.data(), 2);  // a record end: two moves, without a call
          } else {
            std::memcpy(dst, p.data(), p.size());
          }
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

}  // namespace

void give_block(unit_slot& s, std::size_t capacity) {
  auto block = std::make_unique_for_overwrite<char[]>(capacity);
  table_guard guard;
  s.out = std::move(block);
  s.out_cap = capacity;
}

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
  const bool ending = event_owns_end();
  unlock_table();
  if (ending) wait_for_the_end();
  return ok;
}

bool has_output(const unit_slot& s) {
  return s.out_len > 0 || g_queued_slot.load(std::memory_order_acquire) == &s;
}

void put_unformatted_record(int unit, std::string_view data) {
  unit_slot& s = output_slot(unit);
  const auto marker = static_cast<std::uint32_t>(data.size());
  char m[4];
  std::memcpy(m, &marker, 4);
  const std::string_view mark(m, 4);
  append_record(unit, s, {mark, data, mark});
}

}  // namespace detail

void put_record(int unit, std::string_view text, bool terminate) {
  detail::unit_slot& s = detail::output_slot(unit);
  detail::append_record(unit, s, {text, terminate ? std::string_view("\r\n") : std::string_view()});
}

void flush_unit(int unit) {
  detail::unit_slot* s = detail::slot_of(unit);
  if (s == nullptr || !s->open || !s->writable) return;
  if (!detail::flush_slot(*s)) fatal(kErrWrite, unit, s->name);
}

}  // namespace vantor::textio
