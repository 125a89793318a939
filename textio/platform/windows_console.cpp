// The console's side of the Windows layer: the standard streams, console
// text converted between UTF-16 and the process code page (UTF-8 under the
// programs' manifest) whatever the console's own code pages, which are left
// as they are, and the console control events.
#include "textio/platform/windows_console.h"
// after windows.h
#include <fcntl.h>
#include <io.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstring>
#include <string>

#include "textio/platform/platform.h"

namespace vantor::platform {
namespace windows {
namespace {

// A standard stream missing at start is held by the null device opened for the
// other direction: using it fails as a closed stream does.
HANDLE standard_stream(DWORD which, DWORD other_direction) {
  HANDLE h = ::GetStdHandle(which);
  if (h != nullptr && h != INVALID_HANDLE_VALUE) return h;
  h = ::CreateFileA("NUL", other_direction, kShare, nullptr, OPEN_EXISTING, 0, nullptr);
  if (h != INVALID_HANDLE_VALUE) ::SetStdHandle(which, h);
  return h;
}

// Console text in the process code page (UTF-8 under the manifest), whatever
// the console's own code pages, which are left as they are.

// Converted input not yet handed out (of the one console input handle).
std::string g_console_bytes;
std::size_t g_console_taken = 0;
wchar_t g_high_surrogate = 0;  // the first half of a pair split between two reads

// Reads the next characters typed on the console into g_console_bytes: the
// count of characters read, 0 at an end, -1 for a failed read (the system's
// error kept).
std::ptrdiff_t read_console_text(HANDLE h) {
  wchar_t wide[4097];
  std::size_t held = 0;
  if (g_high_surrogate != 0) {
    wide[held++] = g_high_surrogate;
    g_high_surrogate = 0;
  }
  DWORD got = 0;
  ::SetLastError(ERROR_SUCCESS);
  if (::ReadConsoleW(h, wide + held, static_cast<DWORD>(4096 - held), &got, nullptr) == 0) {
    return -1;
  }
  // control-Z first on a line ends the input, as a read of the bytes does.
  if (got == 0 || (held == 0 && wide[0] == 0x1A)) return 0;
  held += got;
  if (wide[held - 1] >= 0xD800 && wide[held - 1] <= 0xDBFF) g_high_surrogate = wide[--held];
  if (held == 0) return static_cast<std::ptrdiff_t>(got);
  const int size = static_cast<int>(held);
  const int bytes = ::WideCharToMultiByte(CP_ACP, 0, wide, size, nullptr, 0, nullptr, nullptr);
  if (bytes <= 0) return -1;
  g_console_bytes.resize(static_cast<std::size_t>(bytes));
  ::WideCharToMultiByte(CP_ACP, 0, wide, size, g_console_bytes.data(), bytes, nullptr, nullptr);
  g_console_taken = 0;
  return static_cast<std::ptrdiff_t>(got);
}

// --- Console events ----------------------------------------------------------

event_callback g_callback = nullptr;
std::atomic<bool> g_event_taken{false};

BOOL WINAPI console_handler(DWORD type) {
  event_info info;
  if (!event_from_control(type, info)) return FALSE;
  // The first event decides; a later one waits for the process to end.
  if (g_event_taken.exchange(true)) {
    ::Sleep(INFINITE);
    return TRUE;
  }
  g_callback(info);
  return TRUE;
}

}  // namespace

const standard_streams& streams() {
  static const standard_streams s{
      standard_stream(STD_INPUT_HANDLE, GENERIC_WRITE),
      standard_stream(STD_OUTPUT_HANDLE, GENERIC_READ),
      standard_stream(STD_ERROR_HANDLE, GENERIC_READ),
  };
  return s;
}

bool is_console(HANDLE h) {
  DWORD mode = 0;
  return ::GetFileType(h) == FILE_TYPE_CHAR && ::GetConsoleMode(h, &mode) != 0;
}

std::ptrdiff_t read_console(HANDLE h, char* data, std::size_t size) {
  for (int aborted = 0; g_console_taken == g_console_bytes.size();) {
    const std::ptrdiff_t got = read_console_text(h);
    if (got > 0) continue;
    // control-C at a console read ends the read with nothing and the handler
    // runs on a thread of its own: give it the time to end the process rather
    // than taking the empty read for the end of the input.
    if (aborted++ < 50 && ::GetLastError() == ERROR_OPERATION_ABORTED) {
      ::Sleep(100);
      continue;
    }
    return got;
  }
  const std::size_t n = std::min(size, g_console_bytes.size() - g_console_taken);
  std::memcpy(data, g_console_bytes.data() + g_console_taken, n);
  g_console_taken += n;
  return static_cast<std::ptrdiff_t>(n);
}

bool write_console_text(HANDLE h, const char* data, std::size_t size) {
  if (size > 0x7FFFFFFF) return false;
  const int n = static_cast<int>(size);
  const int chars = ::MultiByteToWideChar(CP_ACP, 0, data, n, nullptr, 0);
  if (chars <= 0) return false;
  std::wstring wide(static_cast<std::size_t>(chars), L'\0');
  ::MultiByteToWideChar(CP_ACP, 0, data, n, wide.data(), chars);
  for (std::size_t done = 0; done < wide.size();) {
    const DWORD left = static_cast<DWORD>(std::min<std::size_t>(wide.size() - done, 1U << 15));
    DWORD put = 0;
    if (::WriteConsoleW(h, wide.data() + done, left, &put, nullptr) == 0 || put == 0) return false;
    done += put;
  }
  return true;
}

}  // namespace windows

handle console_input() noexcept {
  return windows::wrap(windows::streams().in);
}

handle console_output() noexcept {
  return windows::wrap(windows::streams().out);
}

handle console_error() noexcept {
  return windows::wrap(windows::streams().err);
}

void binary_standard_streams() noexcept {
  _setmode(_fileno(stdout), _O_BINARY);
  _setmode(_fileno(stderr), _O_BINARY);
}

// Windows has no file-size signal: such a write fails.
void let_oversize_writes_fail() noexcept {}

void install_console_events(event_callback callback) {
  if (windows::g_callback != nullptr) return;
  windows::g_callback = callback;
  // The system calls the handler on a thread it starts for each event.
  ::SetConsoleCtrlHandler(windows::console_handler, TRUE);
}

}  // namespace vantor::platform
