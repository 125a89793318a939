// Direct-access records and sequential unformatted records of the unit table.
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string>

#include "textio/errors.h"
#include "textio/platform/platform.h"
#include "textio/units/unit_table.h"
#include "textio/units/units.h"

namespace vantor::textio {
using detail::slot_of;
using detail::unit_slot;

int write_direct(int unit, int rec, std::span<const char> data) {
  unit_slot* s = slot_of(unit);
  if (s == nullptr || !s->open) return kErrOpenFailure;
  if (!s->writable) return kErrAccessDenied;
  if (s->access != open_access::direct || s->record_bytes < 1 || rec < 1) return kErrWrite;
  const auto size = static_cast<std::size_t>(s->record_bytes);
  if (data.size() > size) return kErrWrite;
  detail::sync_writes();
  std::string record(size, s->form == open_form::formatted ? ' ' : '\0');
  std::memcpy(record.data(), data.data(), data.size());
  const std::uint64_t at = static_cast<std::uint64_t>(rec - 1) * size;
  return platform::write_at(s->file, record.data(), size, at) ? 0 : kErrWrite;
}

int read_direct(int unit, int rec, std::span<char> data) {
  unit_slot* s = slot_of(unit);
  if (s == nullptr || !s->open) return kErrOpenFailure;
  if (s->access != open_access::direct || s->record_bytes < 1 || rec < 1) return kErrRead;
  const auto size = std::min(data.size(), static_cast<std::size_t>(s->record_bytes));
  const std::uint64_t at =
      static_cast<std::uint64_t>(rec - 1) * static_cast<std::uint64_t>(s->record_bytes);
  const std::ptrdiff_t got = platform::read_at(s->file, data.data(), size, at);
  if (got < 0) return kErrRead;
  return static_cast<std::size_t>(got) < size ? -1 : 0;
}

int write_unformatted(int unit, std::span<const char> data) {
  unit_slot* s = slot_of(unit);
  if (s == nullptr || !s->open) return kErrOpenFailure;
  if (!s->writable) return kErrAccessDenied;
  detail::put_unformatted_record(unit, std::string_view(data.data(), data.size()));
  return 0;
}

int read_unformatted(int unit, std::span<char> data, std::size_t& length) {
  unit_slot* s = slot_of(unit);
  length = 0;
  if (const int e = detail::check_input(s); e != 0) return e;
  char m[4];
  if (const int e = detail::read_bytes(*s, m, 4); e != 0) return e;
  std::uint32_t marker = 0;
  std::memcpy(&marker, m, 4);
  const std::size_t take = std::min<std::size_t>(marker, data.size());
  if (const int e = detail::read_bytes(*s, data.data(), take); e != 0)
    return e == -1 ? kErrRead : e;
  for (std::size_t rest = marker - take; rest > 0;) {
    char sink[256];
    const std::size_t n = std::min(rest, sizeof sink);
    if (const int e = detail::read_bytes(*s, sink, n); e != 0) return e == -1 ? kErrRead : e;
    rest -= n;
  }
  if (const int e = detail::read_bytes(*s, m, 4); e != 0) return e == -1 ? kErrRead : e;
  length = take;
  return 0;
}

}  // namespace vantor::textio
