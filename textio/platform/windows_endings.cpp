// The console events of a program that ends at once on them (platform.h,
// "Ending at once"): a console control handler that calls the program's
// clean-up and ends the process as exit_after_event does. The system runs the
// handler on a thread of its own, beside the program's threads.
#include "textio/platform/windows_console.h"
// after windows.h
#include <atomic>

#include "textio/platform/platform.h"

namespace vantor::platform {
namespace {

bool (*g_before_end)() noexcept = nullptr;
// 0 free, 1 a step under way that must not be cut short (defer), 2 an event
// taken: each side claims it from 0, so the two never overlap.
constexpr int kFree = 0;
constexpr int kDeferred = 1;
constexpr int kEnding = 2;
std::atomic<int> g_state{kFree};

BOOL WINAPI on_control_event(DWORD type) {
  event_info info;
  if (!windows::event_from_control(type, info)) return FALSE;
  // A step that must not be cut short finishes first; a second event waits
  // for the first to end the process.
  for (int free = kFree; !g_state.compare_exchange_strong(free, kEnding); free = kFree) {
    ::Sleep(free == kEnding ? INFINITE : 1);
  }
  // Another ending under way ends the process: wait for it.
  if (!g_before_end()) ::Sleep(INFINITE);
  exit_after_event(info);
}

}  // namespace

bool remove_file_at_end(const char* name) noexcept {
  // A file another thread still holds open cannot be removed until it is
  // closed: give that thread a moment.
  for (int attempt = 0; attempt < 50; ++attempt) {
    if (::DeleteFileA(name) != 0) return true;
    const DWORD error = ::GetLastError();
    if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND) return true;
    if (error != ERROR_SHARING_VIOLATION && error != ERROR_ACCESS_DENIED) return false;
    ::Sleep(20);
  }
  return false;
}

void end_at_console_events(bool (*before_end)() noexcept) noexcept {
  if (g_before_end != nullptr) return;
  g_before_end = before_end;
  (void)console_error();
  ::SetConsoleCtrlHandler(on_control_event, TRUE);
}

void defer_console_events(bool defer) noexcept {
  if (!defer) {
    int held = kDeferred;
    g_state.compare_exchange_strong(held, kFree);
    return;
  }
  // An event taken first ends the process: the step never starts.
  int free = kFree;
  if (!g_state.compare_exchange_strong(free, kDeferred)) ::Sleep(INFINITE);
}

}  // namespace vantor::platform
