#include "textio/units.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "textio/fatal.h"

namespace vantor::textio {
namespace {

constexpr std::size_t kFileBufferBytes = std::size_t{1} << 20;
constexpr std::size_t kConsoleBufferBytes = std::size_t{1} << 16;
constexpr std::size_t kReadBufferBytes = std::size_t{1} << 18;

struct unit_slot {
  bool open = false;
  int fd = -1;
  bool owns_fd = false;  // the console descriptors are never closed
  bool readable = false;
  bool writable = false;
  bool cut_on_first_write = false;
  bool any_read = false;
  open_access access = open_access::sequential;
  open_form form = open_form::formatted;
  int record_bytes = 0;
  std::string name;

  // Output: out[0, out_len) holds complete records not yet written out.
  std::unique_ptr<char[]> out;
  std::size_t out_cap = 0;
  std::atomic<std::size_t> out_len{0};

  // Input: in[in_pos, in_end) holds bytes read ahead.
  std::unique_ptr<char[]> in;
  std::size_t in_pos = 0;
  std::size_t in_end = 0;
  bool in_eof = false;
};

std::array<unit_slot, kMaxUnit + 1> g_units;
bool g_console_ready = false;

static_assert(std::atomic<std::size_t>::is_always_lock_free);

// Blocks the console event signals while the table or a buffer is changed, so
// that the handler never sees a record written twice or a half-closed unit.
class signal_block {
 public:
  signal_block() {
    const sigset_t set = console_event_signals();
    pthread_sigmask(SIG_BLOCK, &set, &old_);
  }
  ~signal_block() { pthread_sigmask(SIG_SETMASK, &old_, nullptr); }
  signal_block(const signal_block&) = delete;
  signal_block& operator=(const signal_block&) = delete;

 private:
  sigset_t old_;
};

// A standard descriptor closed at start would be taken by the next file
// opened: the console would then read that file or write into it, and a fatal
// report on standard error would overwrite it. Each closed one is held by
// /dev/null, opened for the other direction, so that using it fails as it
// would have failed closed.
void hold_closed_standard_descriptors() {
  for (int fd = 0; fd <= 2; ++fd) {
    if (::fcntl(fd, F_GETFD) != -1 || errno != EBADF) continue;
    const int held = ::open("/dev/null", fd == 0 ? O_WRONLY : O_RDONLY);
    if (held >= 0 && held != fd) {
      ::dup2(held, fd);
      ::close(held);
    }
  }
}

void ensure_console() {
  if (g_console_ready) return;
  g_console_ready = true;
  hold_closed_standard_descriptors();
  unit_slot& in = g_units[kConsoleIn];
  in.open = true;
  in.fd = 0;
  in.readable = true;
  in.name = "CONIN$";
  unit_slot& out = g_units[kConsoleOut];
  out.open = true;
  out.fd = 1;
  out.writable = true;
  out.name = "CONOUT$";
}

unit_slot* slot_of(int unit) {
  ensure_console();
  if (unit < 1 || unit > kMaxUnit) return nullptr;
  return &g_units[static_cast<std::size_t>(unit)];
}

// Writes all bytes; false on failure. Async-signal-safe.
bool write_all(int fd, const char* data, std::size_t size) noexcept {
  while (size > 0) {
    const ssize_t n = ::write(fd, data, size);
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    data += n;
    size -= static_cast<std::size_t>(n);
  }
  return true;
}

bool pwrite_all(int fd, const char* data, std::size_t size, off_t at) {
  while (size > 0) {
    const ssize_t n = ::pwrite(fd, data, size, at);
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    data += n;
    size -= static_cast<std::size_t>(n);
    at += n;
  }
  return true;
}

void cut_if_pending(unit_slot& s) {
  if (!s.cut_on_first_write) return;
  s.cut_on_first_write = false;
  struct stat st {};
  if (::fstat(s.fd, &st) == 0 && S_ISREG(st.st_mode)) {
    (void)::ftruncate(s.fd, 0);
    (void)::lseek(s.fd, 0, SEEK_SET);
  }
}

// Writes out the buffered records of one unit; false on a write failure.
bool flush_slot(unit_slot& s) {
  const std::size_t len = s.out_len.load(std::memory_order_relaxed);
  if (len == 0) return true;
  signal_block guard;
  const bool ok = write_all(s.fd, s.out.get(), len);
  s.out_len.store(0, std::memory_order_relaxed);
  return ok;
}

void release_slot(unit_slot& s) {
  if (s.owns_fd && s.fd >= 0) ::close(s.fd);
  s.open = false;
  s.fd = -1;
  s.owns_fd = false;
  s.readable = s.writable = s.cut_on_first_write = s.any_read = false;
  s.record_bytes = 0;
  s.in_pos = s.in_end = 0;
  s.in_eof = false;
  s.name.clear();
}

bool fill_input(unit_slot& s, int& error) {
  if (!s.in) s.in = std::make_unique_for_overwrite<char[]>(kReadBufferBytes);
  s.in_pos = s.in_end = 0;
  if (s.in_eof) return false;
  for (;;) {
    const ssize_t n = ::read(s.fd, s.in.get(), kReadBufferBytes);
    if (n < 0) {
      if (errno == EINTR) continue;
      error = kErrRead;
      return false;
    }
    if (n == 0) {
      s.in_eof = true;
      return false;
    }
    s.in_end = static_cast<std::size_t>(n);
    s.any_read = true;
    return true;
  }
}

int check_readable(unit_slot* s) {
  if (s == nullptr || !s->open) return kErrOpenFailure;
  if (!s->readable) return kErrAccessDenied;
  if (s->out_len.load(std::memory_order_relaxed) > 0 && !flush_slot(*s)) return kErrWrite;
  return 0;
}

// Reads one line, handing its bytes to sink(data, size) piece by piece.
// Returns 0, -1 at end of input, or an error number. last_cr reports whether
// the line's last byte (before the line feed) is a carriage return.
template <class Sink>
int read_line_with(unit_slot& s, Sink&& sink, bool& had_lf) {
  bool got_any = false;
  had_lf = false;
  for (;;) {
    if (s.in_pos == s.in_end) {
      int error = 0;
      if (!fill_input(s, error)) {
        if (error != 0) return error;
        return got_any ? 0 : -1;
      }
    }
    const char* begin = s.in.get() + s.in_pos;
    const std::size_t avail = s.in_end - s.in_pos;
    const void* nl = std::memchr(begin, '\n', avail);
    if (nl != nullptr) {
      const std::size_t n = static_cast<std::size_t>(static_cast<const char*>(nl) - begin);
      sink(begin, n);
      s.in_pos += n + 1;
      had_lf = true;
      return 0;
    }
    sink(begin, avail);
    s.in_pos = s.in_end;
    got_any = true;
  }
}

int read_bytes(unit_slot& s, char* dest, std::size_t size) {
  while (size > 0) {
    if (s.in_pos == s.in_end) {
      int error = 0;
      if (!fill_input(s, error)) return error != 0 ? error : -1;
    }
    const std::size_t n = std::min(size, s.in_end - s.in_pos);
    std::memcpy(dest, s.in.get() + s.in_pos, n);
    s.in_pos += n;
    dest += n;
    size -= n;
  }
  return 0;
}

void append_bytes(int unit, unit_slot& s, const char* data, std::size_t size) {
  if (s.out_len.load(std::memory_order_relaxed) + size > s.out_cap) {
    if (!flush_slot(s)) fatal(kErrWrite, unit, s.name);
  }
  if (size > s.out_cap) {
    signal_block guard;
    if (!write_all(s.fd, data, size)) fatal(kErrWrite, unit, s.name);
    return;
  }
  const std::size_t len = s.out_len.load(std::memory_order_relaxed);
  std::memcpy(s.out.get() + len, data, size);
  std::atomic_signal_fence(std::memory_order_release);
  s.out_len.store(len + size, std::memory_order_relaxed);
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

}  // namespace

int open_unit(int unit, const open_spec& spec) {
  unit_slot* s = slot_of(unit);
  if (s == nullptr) return kErrOpenFailure;
  close_unit(unit);

  int flags = O_CLOEXEC;
  std::string path;
  if (spec.status == open_status::scratch) {
    const char* dir = std::getenv("TMPDIR");
    path = std::string(dir != nullptr && *dir != '\0' ? dir : "/tmp") + "/vantor_scratchXXXXXX";
  } else {
    path.assign(spec.name);
    if (path.empty()) return kErrFileNotFound;
    if (path.find('\0') != std::string::npos) return kErrBadName;
  }

  int fd = -1;
  bool writable = true;
  if (spec.status == open_status::scratch) {
    fd = ::mkostemp(path.data(), O_CLOEXEC);
    if (fd < 0) return open_failure_number(errno);
    ::unlink(path.c_str());  // deleted when closed
  } else {
    int create = 0;
    if (spec.status == open_status::new_file) create = O_CREAT | O_EXCL;
    if (spec.status == open_status::unknown) create = O_CREAT;
    // A named pipe that is read must not be held open for writing too, or
    // its end would never come.
    struct stat before {};
    const bool fifo = ::stat(path.c_str(), &before) == 0 && S_ISFIFO(before.st_mode);
    if (fifo && spec.status == open_status::old_file) {
      fd = ::open(path.c_str(), flags | O_RDONLY);
      writable = false;
    } else {
      fd = ::open(path.c_str(), flags | O_RDWR | create, 0666);
    }
    if (fd < 0 && (errno == EACCES || errno == EROFS || errno == EISDIR || errno == ETXTBSY)) {
      const int first_errno = errno;
      // Not writable: a file that exists is still read; otherwise report why.
      fd = ::open(path.c_str(), flags | O_RDONLY);
      writable = false;
      if (fd < 0) return open_failure_number(errno == ENOENT ? first_errno : errno);
      if (spec.status == open_status::new_file) {
        ::close(fd);
        return kErrFileExists;
      }
    } else if (fd < 0) {
      return open_failure_number(errno);
    }
    struct stat st {};
    if (::fstat(fd, &st) != 0 || S_ISDIR(st.st_mode)) {
      ::close(fd);
      return kErrAccessDenied;
    }
    if (!writable && S_ISREG(st.st_mode) && ::access(path.c_str(), R_OK) != 0) {
      ::close(fd);
      return kErrAccessDenied;
    }
  }

  signal_block guard;
  s->open = true;
  s->fd = fd;
  s->owns_fd = true;
  s->readable = true;
  s->writable = writable;
  s->cut_on_first_write = spec.access == open_access::sequential;
  s->any_read = false;
  s->access = spec.access;
  s->form = spec.form;
  s->record_bytes = spec.access == open_access::direct ? spec.record_bytes : 0;
  s->name = spec.status == open_status::scratch ? path : std::string(spec.name);
  s->in_pos = s->in_end = 0;
  s->in_eof = false;
  s->out_len.store(0, std::memory_order_relaxed);
  return 0;
}

void cut_unit(int unit) {
  unit_slot* s = slot_of(unit);
  if (s == nullptr || !s->open || !s->writable || s->access != open_access::sequential) return;
  s->cut_on_first_write = true;
  cut_if_pending(*s);
}

void close_unit(int unit) {
  unit_slot* s = slot_of(unit);
  if (s == nullptr || !s->open) return;
  const bool ok = !s->writable || flush_slot(*s);
  // The report names the file, which the release below forgets.
  const std::string failed_name = ok ? std::string() : s->name;
  {
    signal_block guard;
    if (s->owns_fd) {
      release_slot(*s);
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

void put_record(int unit, std::string_view text, bool terminate) {
  unit_slot* s = &output_slot(unit);
  const std::size_t need = text.size() + (terminate ? 2 : 0);
  if (s->out_len.load(std::memory_order_relaxed) + need > s->out_cap) {
    if (!flush_slot(*s)) fatal(kErrWrite, unit, s->name);
  }
  if (need > s->out_cap) {
    append_bytes(unit, *s, text.data(), text.size());
    if (terminate) append_bytes(unit, *s, "\r\n", 2);
    return;
  }
  const std::size_t len = s->out_len.load(std::memory_order_relaxed);
  char* dst = s->out.get() + len;
  std::memcpy(dst, text.data(), text.size());
  if (terminate) {
    dst[text.size()] = '\r';
    dst[text.size() + 1] = '\n';
  }
  std::atomic_signal_fence(std::memory_order_release);
  s->out_len.store(len + need, std::memory_order_relaxed);
}

void flush_unit(int unit) {
  unit_slot* s = slot_of(unit);
  if (s == nullptr || !s->open || !s->writable) return;
  if (!flush_slot(*s)) fatal(kErrWrite, unit, s->name);
}

void flush_all_units() noexcept {
  for (unit_slot& s : g_units) {
    if (!s.open || !s.writable) continue;
    const std::size_t len = s.out_len.load(std::memory_order_relaxed);
    if (len == 0) continue;
    s.out_len.store(0, std::memory_order_relaxed);
    std::atomic_signal_fence(std::memory_order_acquire);
    (void)write_all(s.fd, s.out.get(), len);
  }
}

void close_all_units() noexcept {
  flush_all_units();
  for (unit_slot& s : g_units) {
    if (s.open && s.owns_fd && s.fd >= 0) {
      ::close(s.fd);
      s.fd = -1;
      s.open = false;
    }
  }
}

int read_line(int unit, std::span<char> dest, std::size_t& length) {
  unit_slot* s = slot_of(unit);
  length = 0;
  if (const int e = check_readable(s); e != 0) return e;
  std::size_t total = 0;
  char last = '\0';
  bool had_lf = false;
  const int status = read_line_with(
      *s,
      [&](const char* data, std::size_t n) {
        if (n == 0) return;
        if (length < dest.size()) {
          const std::size_t take = std::min(n, dest.size() - length);
          std::memcpy(dest.data() + length, data, take);
          length += take;
        }
        total += n;
        last = data[n - 1];
      },
      had_lf);
  if (status == 0 && had_lf && last == '\r') length = std::min(length, total - 1);
  return status;
}

int read_line(int unit, std::string& line) {
  unit_slot* s = slot_of(unit);
  line.clear();
  if (const int e = check_readable(s); e != 0) return e;
  bool had_lf = false;
  const int status = read_line_with(
      *s, [&](const char* data, std::size_t n) { line.append(data, n); }, had_lf);
  if (status == 0 && had_lf && !line.empty() && line.back() == '\r') line.pop_back();
  return status;
}

int rewind_unit(int unit) {
  unit_slot* s = slot_of(unit);
  if (s == nullptr || !s->open) return kErrOpenFailure;
  if (s->writable && !flush_slot(*s)) return kErrWrite;
  if (::lseek(s->fd, 0, SEEK_SET) == 0) {
    s->in_pos = s->in_end = 0;
    s->in_eof = false;
    return 0;
  }
  // A pipe or terminal cannot be rewound: go on reading from where it stands.
  return 0;
}

int write_direct(int unit, int rec, std::span<const char> data) {
  unit_slot* s = slot_of(unit);
  if (s == nullptr || !s->open) return kErrOpenFailure;
  if (!s->writable) return kErrAccessDenied;
  if (s->access != open_access::direct || s->record_bytes < 1 || rec < 1) return kErrWrite;
  const auto size = static_cast<std::size_t>(s->record_bytes);
  if (data.size() > size) return kErrWrite;
  std::string record(size, s->form == open_form::formatted ? ' ' : '\0');
  std::memcpy(record.data(), data.data(), data.size());
  const off_t at = static_cast<off_t>(rec - 1) * static_cast<off_t>(size);
  return pwrite_all(s->fd, record.data(), size, at) ? 0 : kErrWrite;
}

int read_direct(int unit, int rec, std::span<char> data) {
  unit_slot* s = slot_of(unit);
  if (s == nullptr || !s->open) return kErrOpenFailure;
  if (s->access != open_access::direct || s->record_bytes < 1 || rec < 1) return kErrRead;
  const auto size = std::min(data.size(), static_cast<std::size_t>(s->record_bytes));
  const off_t at = static_cast<off_t>(rec - 1) * static_cast<off_t>(s->record_bytes);
  std::size_t got = 0;
  while (got < size) {
    const ssize_t n = ::pread(s->fd, data.data() + got, size - got, at + static_cast<off_t>(got));
    if (n < 0) {
      if (errno == EINTR) continue;
      return kErrRead;
    }
    if (n == 0) return -1;
    got += static_cast<std::size_t>(n);
  }
  return 0;
}

int write_unformatted(int unit, std::span<const char> data) {
  unit_slot* s = slot_of(unit);
  if (s == nullptr || !s->open) return kErrOpenFailure;
  if (!s->writable) return kErrAccessDenied;
  s = &output_slot(unit);
  const auto marker = static_cast<std::uint32_t>(data.size());
  char m[4];
  std::memcpy(m, &marker, 4);
  append_bytes(unit, *s, m, 4);
  append_bytes(unit, *s, data.data(), data.size());
  append_bytes(unit, *s, m, 4);
  return 0;
}

int read_unformatted(int unit, std::span<char> data, std::size_t& length) {
  unit_slot* s = slot_of(unit);
  length = 0;
  if (const int e = check_readable(s); e != 0) return e;
  char m[4];
  if (const int e = read_bytes(*s, m, 4); e != 0) return e;
  std::uint32_t marker = 0;
  std::memcpy(&marker, m, 4);
  const std::size_t take = std::min<std::size_t>(marker, data.size());
  if (const int e = read_bytes(*s, data.data(), take); e != 0) return e == -1 ? kErrRead : e;
  for (std::size_t rest = marker - take; rest > 0;) {
    char sink[256];
    const std::size_t n = std::min(rest, sizeof sink);
    if (const int e = read_bytes(*s, sink, n); e != 0) return e == -1 ? kErrRead : e;
    rest -= n;
  }
  if (const int e = read_bytes(*s, m, 4); e != 0) return e == -1 ? kErrRead : e;
  length = take;
  return 0;
}

}  // namespace vantor::textio
