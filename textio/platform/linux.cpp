// The operating-system layer on Linux: POSIX files, signals and threads, and
// the futex for waiting.
#include <fcntl.h>
#include <linux/futex.h>
#include <pthread.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <array>
#include <atomic>
#include <cerrno>
#include <climits>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>

#include "textio/errors.h"
#include "textio/platform/platform.h"

namespace vantor::platform {
namespace {

int fd_of(handle h) {
  return static_cast<int>(h);
}

int open_failure_number(int errno_value) {
  switch (errno_value) {
    case ENOENT:
    case ENOTDIR:
      return textio::kErrFileNotFound;
    case EACCES:
    case EPERM:
    case EROFS:
    case EISDIR:
    case ETXTBSY:
      return textio::kErrAccessDenied;
    case EEXIST:
      return textio::kErrFileExists;
    case ENXIO:
    case ENODEV:
      return textio::kErrNoDevice;
    case ENAMETOOLONG:
    case EINVAL:
    case ELOOP:
    case EILSEQ:
      return textio::kErrBadName;
    default:
      return textio::kErrOpenFailure;
  }
}

opened_file failed(int number) {
  return opened_file{kNoHandle, number, false};
}

// A standard descriptor closed at start would be taken by the next file
// opened: the console would then read that file or write into it, and a fatal
// report on standard error would overwrite it.
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
  static const bool ready = [] {
    hold_closed_standard_descriptors();
    return true;
  }();
  (void)ready;
}

// The console events as signals: SIGTERM is handled like the close of the
// console window.
constexpr std::array kEventSignals{SIGINT, SIGQUIT, SIGHUP, SIGTERM};

sigset_t event_signals() {
  sigset_t set;
  sigemptyset(&set);
  for (const int s : kEventSignals) sigaddset(&set, s);
  return set;
}

event_callback g_callback = nullptr;

// The signal of the first event, 0 before it.
std::atomic<int> g_first_signal{0};

// The events are taken by threads of their own, one per signal (every other
// thread blocks them), so the callback runs outside any signal context and
// never interrupts a write of another thread. A thread that waits for several
// signals is handed the lowest-numbered pending one, not the first that came
// (SIGINT before a SIGQUIT sent just ahead of it): each signal has a thread of
// its own, woken as the signal comes, and the first thread to record its
// signal acts; later events are ignored.
void* event_thread(void* arg) {
  const int own = static_cast<int>(reinterpret_cast<std::intptr_t>(arg));
  sigset_t set;
  sigemptyset(&set);
  sigaddset(&set, own);
  for (;;) {
    int sig = 0;
    if (sigwait(&set, &sig) != 0) continue;
    int none = 0;
    if (!g_first_signal.compare_exchange_strong(none, sig)) continue;
    event_info info;
    info.native = sig;
    info.event = sig == SIGINT    ? console_event::interrupt
                 : sig == SIGQUIT ? console_event::brk
                                  : console_event::close;
    g_callback(info);
  }
}

}  // namespace

opened_file open_file(std::string_view name, file_status status) {
  if (name.empty()) return failed(textio::kErrFileNotFound);
  if (name.find('\0') != std::string_view::npos) return failed(textio::kErrBadName);
  const std::string path(name);
  constexpr int kFlags = O_CLOEXEC;
  int create = 0;
  if (status == file_status::new_file) create = O_CREAT | O_EXCL;
  if (status == file_status::unknown) create = O_CREAT;

  int fd = -1;
  bool writable = true;
  // A named pipe that is read must not be held open for writing too, or its
  // end would never come.
  struct stat before {};
  const bool fifo = ::stat(path.c_str(), &before) == 0 && S_ISFIFO(before.st_mode);
  if (fifo && status == file_status::old_file) {
    fd = ::open(path.c_str(), kFlags | O_RDONLY);
    writable = false;
  } else {
    fd = ::open(path.c_str(), kFlags | O_RDWR | create, 0666);
  }
  if (fd < 0 && status == file_status::old_file &&
      (errno == EACCES || errno == EROFS || errno == EISDIR || errno == ETXTBSY)) {
    const int first_errno = errno;
    // Not writable: a file that must exist is still read.
    fd = ::open(path.c_str(), kFlags | O_RDONLY);
    writable = false;
    if (fd < 0) return failed(open_failure_number(errno == ENOENT ? first_errno : errno));
  } else if (fd < 0) {
    return failed(open_failure_number(errno));
  }
  struct stat st {};
  if (::fstat(fd, &st) != 0 || S_ISDIR(st.st_mode)) {
    ::close(fd);
    return failed(textio::kErrAccessDenied);
  }
  if (!writable && S_ISREG(st.st_mode) && ::access(path.c_str(), R_OK) != 0) {
    ::close(fd);
    return failed(textio::kErrAccessDenied);
  }
  return opened_file{fd, 0, writable};
}

opened_file open_scratch(std::string& name) {
  const char* dir = std::getenv("TMPDIR");
  name = std::string(dir != nullptr && *dir != '\0' ? dir : "/tmp") + "/vantor_scratchXXXXXX";
  const int fd = ::mkostemp(name.data(), O_CLOEXEC);
  if (fd < 0) return failed(open_failure_number(errno));
  ::unlink(name.c_str());  // deleted when closed
  return opened_file{fd, 0, true};
}

std::ptrdiff_t read_some(handle h, char* data, std::size_t size) noexcept {
  for (;;) {
    const ssize_t n = ::read(fd_of(h), data, size);
    if (n >= 0 || errno != EINTR) return n < 0 ? -1 : n;
  }
}

bool write_all(handle h, const char* data, std::size_t size, std::size_t* written) noexcept {
  std::size_t done = 0;
  bool ok = true;
  while (done < size) {
    const ssize_t n = ::write(fd_of(h), data + done, size - done);
    if (n < 0) {
      if (errno == EINTR) continue;
      ok = false;
      break;
    }
    done += static_cast<std::size_t>(n);
  }
  if (written != nullptr) *written = done;
  return ok;
}

bool write_at(handle h, const char* data, std::size_t size, std::uint64_t offset) noexcept {
  auto at = static_cast<off_t>(offset);
  while (size > 0) {
    const ssize_t n = ::pwrite(fd_of(h), data, size, at);
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

std::ptrdiff_t read_at(handle h, char* data, std::size_t size, std::uint64_t offset) noexcept {
  std::size_t got = 0;
  while (got < size) {
    const ssize_t n = ::pread(fd_of(h), data + got, size - got, static_cast<off_t>(offset + got));
    if (n < 0) {
      if (errno == EINTR) continue;
      return -1;
    }
    if (n == 0) break;
    got += static_cast<std::size_t>(n);
  }
  return static_cast<std::ptrdiff_t>(got);
}

bool truncate_file(handle h, std::uint64_t size) noexcept {
  if (!is_regular_file(h)) return false;
  return ::ftruncate(fd_of(h), static_cast<off_t>(size)) == 0 &&
         ::lseek(fd_of(h), static_cast<off_t>(size), SEEK_SET) == static_cast<off_t>(size);
}

bool seek_start(handle h) noexcept {
  return ::lseek(fd_of(h), 0, SEEK_SET) == 0;
}

handle open_regular_file(std::string_view name) noexcept {
  try {
    const std::string path(name);
    // Looked at before it is opened; a pipe put in its place meanwhile is not
    // waited for, and is closed unread.
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return kNoHandle;
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return kNoHandle;
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
      ::close(fd);
      return kNoHandle;
    }
    return fd;
  } catch (...) {
    return kNoHandle;
  }
}

bool is_regular_file(handle h) noexcept {
  struct stat st {};
  return ::fstat(fd_of(h), &st) == 0 && S_ISREG(st.st_mode);
}

bool close_file(handle h) noexcept {
  return h <= 2 || ::close(fd_of(h)) == 0;
}

// Without allocating (a program that must not stop between the renames of
// its outputs): the system takes no name of PATH_MAX bytes or more.
bool rename_replacing(std::string_view from, std::string_view to) noexcept {
  std::array<char, PATH_MAX> from_name;
  std::array<char, PATH_MAX> to_name;
  if (from.size() >= PATH_MAX || to.size() >= PATH_MAX) {
    errno = ENAMETOOLONG;
    return false;
  }
  from.copy(from_name.data(), from.size());
  from_name[from.size()] = '\0';
  to.copy(to_name.data(), to.size());
  to_name[to.size()] = '\0';
  return ::rename(from_name.data(), to_name.data()) == 0;
}

bool remove_file(std::string_view name) noexcept {
  try {
    return ::unlink(std::string(name).c_str()) == 0;
  } catch (...) {
    return false;
  }
}

entry_kind entry_at(std::string_view name) noexcept {
  try {
    struct stat st {};
    if (::lstat(std::string(name).c_str(), &st) != 0) return entry_kind::none;
    return S_ISDIR(st.st_mode) ? entry_kind::folder : entry_kind::other;
  } catch (...) {
    return entry_kind::none;
  }
}

bool is_folder(std::string_view name) noexcept {
  try {
    struct stat st {};
    return ::stat(std::string(name).c_str(), &st) == 0 && S_ISDIR(st.st_mode);
  } catch (...) {
    return false;
  }
}

bool names_are_utf8() noexcept {
  return false;
}

handle console_input() noexcept {
  ensure_console();
  return 0;
}

handle console_output() noexcept {
  ensure_console();
  return 1;
}

handle console_error() noexcept {
  ensure_console();
  return 2;
}

void binary_standard_streams() noexcept {}

void let_oversize_writes_fail() noexcept {
  struct sigaction ignore {};
  ignore.sa_handler = SIG_IGN;
  sigemptyset(&ignore.sa_mask);
  sigaction(SIGXFSZ, &ignore, nullptr);
}

void install_console_events(event_callback callback) {
  if (g_callback != nullptr) return;
  g_callback = callback;
  struct sigaction ignore {};
  ignore.sa_handler = SIG_IGN;
  sigemptyset(&ignore.sa_mask);
  sigaction(SIGPIPE, &ignore, nullptr);
  sigaction(SIGXFSZ, &ignore, nullptr);
  // Blocked here, before any other thread starts, so that every thread
  // inherits the block and only the event threads take them.
  const sigset_t set = event_signals();
  pthread_sigmask(SIG_BLOCK, &set, nullptr);
  pthread_attr_t attr;
  pthread_attr_init(&attr);
  pthread_attr_setdetachstate(&attr, PTHREAD_CREATE_DETACHED);
  pthread_attr_setstacksize(&attr, std::size_t{256} << 10);
  for (const int s : kEventSignals) {
    pthread_t thread;
    void* arg = reinterpret_cast<void*>(static_cast<std::intptr_t>(s));
    if (pthread_create(&thread, &attr, event_thread, arg) != 0) {
      // Without its thread the signal keeps its default action.
      sigset_t alone;
      sigemptyset(&alone);
      sigaddset(&alone, s);
      pthread_sigmask(SIG_UNBLOCK, &alone, nullptr);
    }
  }
  pthread_attr_destroy(&attr);
}

bool read_local_clock(local_time& t) noexcept {
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  if (now == static_cast<std::time_t>(-1) || ::localtime_r(&now, &local) == nullptr) return false;
  t.year = local.tm_year + 1900;
  t.month = local.tm_mon + 1;
  t.day = local.tm_mday;
  t.hour = local.tm_hour;
  t.minute = local.tm_min;
  t.second = local.tm_sec;
  return true;
}

namespace {

struct thread_start {
  void (*body)(void*);
  void* arg;
};

void* run_thread(void* p) {
  const thread_start start = *static_cast<thread_start*>(p);
  std::free(p);
  start.body(start.arg);
  return nullptr;
}

}  // namespace

bool start_thread(void (*body)(void*), void* arg) noexcept {
  auto* start = static_cast<thread_start*>(std::malloc(sizeof(thread_start)));
  if (start == nullptr) return false;
  *start = thread_start{body, arg};
  pthread_t thread;
  pthread_attr_t attr;
  pthread_attr_init(&attr);
  pthread_attr_setdetachstate(&attr, PTHREAD_CREATE_DETACHED);
  const bool ok = pthread_create(&thread, &attr, run_thread, start) == 0;
  pthread_attr_destroy(&attr);
  if (!ok) std::free(start);
  return ok;
}

namespace {

// A futex word: no state of its waiters lives in the process, so nothing is
// left to destroy at the end, and a child made by fork starts clean.
std::atomic<std::uint32_t> g_wakes{0};

long futex(std::atomic<std::uint32_t>& word, int op, std::uint32_t value) {
  static_assert(sizeof(std::atomic<std::uint32_t>) == sizeof(std::uint32_t));
  return ::syscall(SYS_futex, reinterpret_cast<std::uint32_t*>(&word), op, value, nullptr, nullptr,
                   0);
}

}  // namespace

std::uint64_t wake_count() noexcept {
  return g_wakes.load(std::memory_order_acquire);
}

void wait_for_wake(std::uint64_t seen) noexcept {
  const auto word = static_cast<std::uint32_t>(seen);
  while (g_wakes.load(std::memory_order_acquire) == word) {
    (void)futex(g_wakes, FUTEX_WAIT_PRIVATE, word);
  }
}

void wake_all() noexcept {
  g_wakes.fetch_add(1, std::memory_order_release);
  (void)futex(g_wakes, FUTEX_WAKE_PRIVATE, INT32_MAX);
}

void sleep_milliseconds(int ms) noexcept {
  timespec t{ms / 1000, static_cast<long>(ms % 1000) * 1000000L};
  while (::nanosleep(&t, &t) != 0 && errno == EINTR) {
  }
}

std::uint64_t process_id() noexcept {
  return static_cast<std::uint64_t>(::getpid());
}

void exit_after_fatal(int number) noexcept {
  ::_exit(number & 0xFF);
}

void exit_after_event(const event_info& info) noexcept {
  ::_exit(128 + info.native);
}

void exit_with_status(int status) noexcept {
  ::_exit(status);
}

}  // namespace vantor::platform
