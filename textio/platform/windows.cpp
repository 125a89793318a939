// The operating-system layer on Windows (Win32, a console program).
//
// Files are opened by name through the ANSI API: a name is a string of bytes
// in the process's ANSI code page, passed on untranslated. The programs'
// manifest makes that code page UTF-8 (cmake/utf8_code_page.manifest); a
// system that ignores it keeps its own. Every file is shared for reading and
// writing with other processes (a viewer may open a report while it is
// written). Reads and writes go straight to the handles: binary, nothing
// translated; only a console, which holds characters rather than bytes, is
// read and written as UTF-16 text converted from and to that code page
// (windows_console.cpp), so that answers typed there arrive in it whatever
// the console's own code page, and names show as typed.
#include "textio/platform/windows_console.h"
// after windows.h
#include <process.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "textio/errors.h"
#include "textio/platform/platform.h"

namespace vantor::platform {
namespace {

using windows::is_console;
using windows::kShare;
using windows::native;
using windows::standard_streams;
using windows::streams;
using windows::wrap;

int open_failure_number(DWORD error) {
  switch (error) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
      return textio::kErrFileNotFound;
    case ERROR_ACCESS_DENIED:
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION:
    case ERROR_WRITE_PROTECT:
      return textio::kErrAccessDenied;
    case ERROR_INVALID_DRIVE:
    case ERROR_BAD_UNIT:
    case ERROR_DEV_NOT_EXIST:
      return textio::kErrNoDevice;
    case ERROR_FILE_EXISTS:
    case ERROR_ALREADY_EXISTS:
      return textio::kErrFileExists;
    case ERROR_INVALID_NAME:
    case ERROR_BAD_PATHNAME:
    case ERROR_FILENAME_EXCED_RANGE:
    case ERROR_DIRECTORY:
      return textio::kErrBadName;
    case ERROR_TOO_MANY_OPEN_FILES:
    default:
      return textio::kErrOpenFailure;
  }
}

opened_file failed(int number) {
  return opened_file{kNoHandle, number, false};
}

HANDLE create(const std::string& name, DWORD access, DWORD disposition, DWORD flags) {
  return ::CreateFileA(name.c_str(), access, kShare, nullptr, disposition, flags, nullptr);
}

// Whether a refused open for reading and writing may still be read.
bool read_only_may_help(DWORD error) {
  return error == ERROR_ACCESS_DENIED || error == ERROR_WRITE_PROTECT ||
         error == ERROR_SHARING_VIOLATION;
}

bool is_directory(HANDLE h) {
  BY_HANDLE_FILE_INFORMATION info{};
  return ::GetFileInformationByHandle(h, &info) != 0 &&
         (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

[[noreturn]] void end_process(UINT status) {
  ::TerminateProcess(::GetCurrentProcess(), status);
  ::ExitProcess(status);
}

}  // namespace

opened_file open_file(std::string_view name, file_status status) {
  if (name.empty()) return failed(textio::kErrFileNotFound);
  if (name.find('\0') != std::string_view::npos) return failed(textio::kErrBadName);
  const std::string path(name);
  DWORD disposition = OPEN_ALWAYS;
  if (status == file_status::old_file) disposition = OPEN_EXISTING;
  if (status == file_status::new_file) disposition = CREATE_NEW;

  bool writable = true;
  HANDLE h = create(path, GENERIC_READ | GENERIC_WRITE, disposition, FILE_ATTRIBUTE_NORMAL);
  if (h == INVALID_HANDLE_VALUE) {
    const DWORD first = ::GetLastError();
    if (status != file_status::old_file || !read_only_may_help(first)) {
      return failed(open_failure_number(first));
    }
    // Not writable (read-only attribute or medium, or held by a process that
    // denies writing): a file that must exist is still read.
    h = create(path, GENERIC_READ, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL);
    writable = false;
    if (h == INVALID_HANDLE_VALUE) {
      const DWORD second = ::GetLastError();
      return failed(open_failure_number(second == ERROR_FILE_NOT_FOUND ? first : second));
    }
  }
  const DWORD type = ::GetFileType(h);
  if (type == FILE_TYPE_DISK && is_directory(h)) {
    ::CloseHandle(h);
    return failed(textio::kErrAccessDenied);
  }
  // A pipe that is read must not be held open for writing too, or its end
  // would never come.
  if (writable && type == FILE_TYPE_PIPE && status == file_status::old_file) {
    ::CloseHandle(h);
    h = create(path, GENERIC_READ, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL);
    if (h == INVALID_HANDLE_VALUE) return failed(open_failure_number(::GetLastError()));
    writable = false;
  }
  return opened_file{wrap(h), 0, writable};
}

opened_file open_scratch(std::string& name) {
  char folder[MAX_PATH + 1];
  const DWORD n = ::GetTempPathA(sizeof folder, folder);
  if (n == 0 || n > MAX_PATH) return failed(textio::kErrOpenFailure);
  char file[MAX_PATH + 1];
  if (::GetTempFileNameA(folder, "vtr", 0, file) == 0) {
    return failed(open_failure_number(::GetLastError()));
  }
  name = file;
  HANDLE h =
      ::CreateFileA(file, GENERIC_READ | GENERIC_WRITE, kShare | FILE_SHARE_DELETE, nullptr,
                    CREATE_ALWAYS, FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
  if (h == INVALID_HANDLE_VALUE) {
    const DWORD error = ::GetLastError();
    ::DeleteFileA(file);
    return failed(open_failure_number(error));
  }
  return opened_file{wrap(h), 0, true};
}

std::ptrdiff_t read_some(handle h, char* data, std::size_t size) noexcept {
  if (size == 0) return 0;
  if (is_console(native(h))) {
    try {
      return windows::read_console(native(h), data, size);
    } catch (...) {
      return -1;
    }
  }
  const DWORD chunk = static_cast<DWORD>(size < (1U << 30) ? size : (1U << 30));
  for (int aborted = 0;; ++aborted) {
    DWORD got = 0;
    ::SetLastError(ERROR_SUCCESS);
    if (::ReadFile(native(h), data, chunk, &got, nullptr) != 0) {
      // control-C at a console read ends the read with nothing and the
      // handler runs on a thread of its own: give it the time to end the
      // process rather than taking the empty read for the end of the input.
      if (got == 0 && aborted < 50 && ::GetLastError() == ERROR_OPERATION_ABORTED &&
          is_console(native(h))) {
        ::Sleep(100);
        continue;
      }
      return static_cast<std::ptrdiff_t>(got);
    }
    const DWORD error = ::GetLastError();
    if (error == ERROR_BROKEN_PIPE || error == ERROR_HANDLE_EOF) return 0;
    if (error == ERROR_OPERATION_ABORTED && aborted < 50) {
      ::Sleep(100);
      continue;
    }
    return -1;
  }
}

bool write_all(handle h, const char* data, std::size_t size, std::size_t* written) noexcept {
  if (size > 0 && is_console(native(h))) {
    bool ok = false;
    try {
      ok = windows::write_console_text(native(h), data, size);
    } catch (...) {
    }
    if (written != nullptr) *written = ok ? size : 0;
    return ok;
  }
  std::size_t done = 0;
  bool ok = true;
  while (done < size) {
    const std::size_t left = size - done;
    const DWORD chunk = static_cast<DWORD>(left < (1U << 30) ? left : (1U << 30));
    DWORD put = 0;
    if (::WriteFile(native(h), data + done, chunk, &put, nullptr) == 0 || put == 0) {
      ok = false;
      break;
    }
    done += put;
  }
  if (written != nullptr) *written = done;
  return ok;
}

namespace {

// Positioned transfers on a handle opened for synchronous I/O move its file
// pointer: it is put back where it stood.
template <typename Transfer>
bool at_offset(HANDLE h, std::uint64_t offset, Transfer transfer) {
  LARGE_INTEGER zero{};
  LARGE_INTEGER position{};
  if (::SetFilePointerEx(h, zero, &position, FILE_CURRENT) == 0) return false;
  const bool ok = transfer(offset);
  ::SetFilePointerEx(h, position, nullptr, FILE_BEGIN);
  return ok;
}

OVERLAPPED at(std::uint64_t offset) {
  OVERLAPPED o{};
  o.Offset = static_cast<DWORD>(offset & 0xFFFFFFFFU);
  o.OffsetHigh = static_cast<DWORD>(offset >> 32);
  return o;
}

}  // namespace

bool write_at(handle h, const char* data, std::size_t size, std::uint64_t offset) noexcept {
  return at_offset(native(h), offset, [&](std::uint64_t from) {
    while (size > 0) {
      OVERLAPPED o = at(from);
      const DWORD chunk = static_cast<DWORD>(size < (1U << 30) ? size : (1U << 30));
      DWORD put = 0;
      if (::WriteFile(native(h), data, chunk, &put, &o) == 0 || put == 0) return false;
      data += put;
      size -= put;
      from += put;
    }
    return true;
  });
}

std::ptrdiff_t read_at(handle h, char* data, std::size_t size, std::uint64_t offset) noexcept {
  std::size_t got = 0;
  const bool ok = at_offset(native(h), offset, [&](std::uint64_t from) {
    while (got < size) {
      OVERLAPPED o = at(from + got);
      const std::size_t left = size - got;
      const DWORD chunk = static_cast<DWORD>(left < (1U << 30) ? left : (1U << 30));
      DWORD n = 0;
      if (::ReadFile(native(h), data + got, chunk, &n, &o) == 0) {
        return ::GetLastError() == ERROR_HANDLE_EOF;
      }
      if (n == 0) break;
      got += n;
    }
    return true;
  });
  return ok ? static_cast<std::ptrdiff_t>(got) : -1;
}

bool truncate_file(handle h, std::uint64_t size) noexcept {
  if (!is_regular_file(h)) return false;
  LARGE_INTEGER to{};
  to.QuadPart = static_cast<LONGLONG>(size);
  return ::SetFilePointerEx(native(h), to, nullptr, FILE_BEGIN) != 0 &&
         ::SetEndOfFile(native(h)) != 0;
}

bool seek_start(handle h) noexcept {
  if (::GetFileType(native(h)) != FILE_TYPE_DISK) return false;
  LARGE_INTEGER zero{};
  return ::SetFilePointerEx(native(h), zero, nullptr, FILE_BEGIN) != 0;
}

handle open_regular_file(std::string_view name) noexcept {
  try {
    // Names in the device and pipe spaces are not opened: opening a pipe
    // takes one of its instances.
    if (name.empty() || name.find('\0') != std::string_view::npos || name.starts_with("\\\\") ||
        name.starts_with("//"))
      return kNoHandle;
    const HANDLE h = create(std::string(name), GENERIC_READ, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL);
    if (h == INVALID_HANDLE_VALUE) return kNoHandle;
    if (::GetFileType(h) != FILE_TYPE_DISK || is_directory(h)) {
      ::CloseHandle(h);
      return kNoHandle;
    }
    return wrap(h);
  } catch (...) {
    return kNoHandle;
  }
}

bool is_regular_file(handle h) noexcept {
  return ::GetFileType(native(h)) == FILE_TYPE_DISK && !is_directory(native(h));
}

bool close_file(handle h) noexcept {
  const standard_streams& s = streams();
  const HANDLE n = native(h);
  if (h == kNoHandle || n == s.in || n == s.out || n == s.err) return true;
  return ::CloseHandle(n) != 0;
}

bool rename_replacing(std::string_view from, std::string_view to) noexcept {
  try {
    return ::MoveFileExA(std::string(from).c_str(), std::string(to).c_str(),
                         MOVEFILE_REPLACE_EXISTING | MOVEFILE_COPY_ALLOWED) != 0;
  } catch (...) {
    return false;
  }
}

bool remove_file(std::string_view name) noexcept {
  try {
    return ::DeleteFileA(std::string(name).c_str()) != 0;
  } catch (...) {
    return false;
  }
}

// The attributes of the name itself (a link's own, not its target's).
entry_kind entry_at(std::string_view name) noexcept {
  try {
    const DWORD attributes = ::GetFileAttributesA(std::string(name).c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) return entry_kind::none;
    return (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0 ? entry_kind::folder : entry_kind::other;
  } catch (...) {
    return entry_kind::none;
  }
}

// A link to a folder is itself a folder entry on Windows.
bool is_folder(std::string_view name) noexcept {
  return entry_at(name) == entry_kind::folder;
}

bool names_are_utf8() noexcept {
  return ::GetACP() == CP_UTF8;
}

bool read_local_clock(local_time& t) noexcept {
  SYSTEMTIME now{};
  ::GetLocalTime(&now);
  t.year = now.wYear;
  t.month = now.wMonth;
  t.day = now.wDay;
  t.hour = now.wHour;
  t.minute = now.wMinute;
  t.second = now.wSecond;
  return true;
}

void* reserve_zeroed(std::size_t bytes, std::string& reason) noexcept {
  void* at = ::VirtualAlloc(nullptr, bytes, MEM_RESERVE, PAGE_NOACCESS);
  if (at != nullptr) return at;
  const DWORD error = ::GetLastError();
  char text[256] = {};
  DWORD n = ::FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                             error, 0, text, sizeof text, nullptr);
  while (n > 0 &&
         (text[n - 1] == '\r' || text[n - 1] == '\n' || text[n - 1] == ' ' || text[n - 1] == '.')) {
    --n;
  }
  reason = n > 0 ? std::string(text, n) : "error " + std::to_string(error);
  return nullptr;
}

bool commit_range(void* at, std::size_t bytes) noexcept {
  return bytes == 0 || ::VirtualAlloc(at, bytes, MEM_COMMIT, PAGE_READWRITE) != nullptr;
}

// Large pages need a privilege an ordinary user does not hold: none are asked for.
bool advise_large_pages(void*, std::size_t) noexcept {
  return false;
}

// No request faults committed pages in for writing without touching them.
bool populate_range(void*, std::size_t) noexcept {
  return false;
}

namespace {

struct thread_start {
  void (*body)(void*);
  void* arg;
};

unsigned __stdcall run_thread(void* p) {
  const thread_start start = *static_cast<thread_start*>(p);
  std::free(p);
  start.body(start.arg);
  return 0;
}

}  // namespace

bool start_thread(void (*body)(void*), void* arg) noexcept {
  auto* start = static_cast<thread_start*>(std::malloc(sizeof(thread_start)));
  if (start == nullptr) return false;
  *start = thread_start{body, arg};
  const std::uintptr_t thread = ::_beginthreadex(nullptr, 0, run_thread, start, 0, nullptr);
  if (thread == 0) {
    std::free(start);
    return false;
  }
  ::CloseHandle(reinterpret_cast<HANDLE>(thread));
  return true;
}

namespace {

// Statically initialised; neither needs to be destroyed.
SRWLOCK g_wake_lock = SRWLOCK_INIT;
CONDITION_VARIABLE g_woken = CONDITION_VARIABLE_INIT;
std::uint64_t g_wakes = 0;

}  // namespace

std::uint64_t wake_count() noexcept {
  ::AcquireSRWLockExclusive(&g_wake_lock);
  const std::uint64_t count = g_wakes;
  ::ReleaseSRWLockExclusive(&g_wake_lock);
  return count;
}

void wait_for_wake(std::uint64_t seen) noexcept {
  ::AcquireSRWLockExclusive(&g_wake_lock);
  while (g_wakes == seen) ::SleepConditionVariableSRW(&g_woken, &g_wake_lock, INFINITE, 0);
  ::ReleaseSRWLockExclusive(&g_wake_lock);
}

void wake_all() noexcept {
  ::AcquireSRWLockExclusive(&g_wake_lock);
  ++g_wakes;
  ::ReleaseSRWLockExclusive(&g_wake_lock);
  ::WakeAllConditionVariable(&g_woken);
}

void sleep_milliseconds(int ms) noexcept {
  ::Sleep(static_cast<DWORD>(ms < 0 ? 0 : ms));
}

std::uint64_t process_id() noexcept {
  return ::GetCurrentProcessId();
}

// The status of a fatal report: the error code, severity 3 in the top two bits
// and the number in the low 16 (0xC0000018 for 24).
void exit_after_fatal(int number) noexcept {
  end_process(0xC0000000U + static_cast<UINT>(number & 0xFFFF));
}

// control-C ends as Windows itself ends a console program on control-C
// (STATUS_CONTROL_C_EXIT); control-BREAK 1; the console closed 2.
void exit_after_event(const event_info& info) noexcept {
  switch (info.event) {
    case console_event::interrupt:
      end_process(0xC000013AU);
    case console_event::brk:
      end_process(1);
    case console_event::close:
      break;
  }
  end_process(2);
}

void exit_with_status(int status) noexcept {
  end_process(static_cast<UINT>(status));
}

}  // namespace vantor::platform
