// Inside the Windows layer: the console's side (windows_console.cpp) as the
// file functions of windows.cpp use it. Only the two Windows files include
// this.
#pragma once

#define WIN32_LEAN_AND_MEAN
#define NOMINMAX
#include <windows.h>

#include <cstddef>

#include "textio/platform/platform.h"

namespace vantor::platform::windows {

inline HANDLE native(handle h) {
  return reinterpret_cast<HANDLE>(h);
}

inline handle wrap(HANDLE h) {
  return reinterpret_cast<handle>(h);
}

// Every file is shared for reading and writing with other processes.
inline constexpr DWORD kShare = FILE_SHARE_READ | FILE_SHARE_WRITE;

// The standard streams, each held by the null device when it was missing at
// start (console_input of platform.h).
struct standard_streams {
  HANDLE in = INVALID_HANDLE_VALUE;
  HANDLE out = INVALID_HANDLE_VALUE;
  HANDLE err = INVALID_HANDLE_VALUE;
};
const standard_streams& streams();

// A console (characters, not bytes) rather than a file, pipe or device.
bool is_console(HANDLE h);

// read_some of a console: characters converted to the process code page.
std::ptrdiff_t read_console(HANDLE h, char* data, std::size_t size);

// Writes text in the process code page to a console as UTF-16.
bool write_console_text(HANDLE h, const char* data, std::size_t size);

// The console event of a control handler's type; false for a type the
// program leaves to the system.
inline bool event_from_control(DWORD type, event_info& info) {
  info.native = static_cast<int>(type);
  switch (type) {
    case CTRL_C_EVENT:
      info.event = console_event::interrupt;
      return true;
    case CTRL_BREAK_EVENT:
      info.event = console_event::brk;
      return true;
    case CTRL_CLOSE_EVENT:
    case CTRL_LOGOFF_EVENT:
    case CTRL_SHUTDOWN_EVENT:
      info.event = console_event::close;
      return true;
    default:
      return false;
  }
}

}  // namespace vantor::platform::windows
