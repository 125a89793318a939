// The console events of a program that ends at once on them (platform.h,
// "Ending at once"): signal handlers that call the program's clean-up and end
// the process with 128 + the signal.
#include <signal.h>
#include <unistd.h>

#include <array>
#include <atomic>
#include <cerrno>

#include "textio/platform/platform.h"

namespace vantor::platform {
namespace {

constexpr std::array kEndingSignals{SIGINT, SIGQUIT, SIGHUP, SIGTERM};

bool (*g_before_end)() noexcept = nullptr;

// The signals handled here (those not ignored at start), and the mask before
// defer_console_events(true).
sigset_t g_handled;
sigset_t g_before_defer;

extern "C" void on_ending_signal(int sig) {
  // The other signals are blocked while this runs (sa_mask); the process
  // ends here unless another ending is already under way.
  if (g_before_end != nullptr && !g_before_end()) return;
  ::_exit(128 + sig);
}

}  // namespace

bool remove_file_at_end(const char* name) noexcept {
  return ::unlink(name) == 0 || errno == ENOENT;
}

void end_at_console_events(bool (*before_end)() noexcept) noexcept {
  if (g_before_end != nullptr) return;
  g_before_end = before_end;
  (void)console_error();  // ready before any handler can need it
  sigemptyset(&g_handled);
  struct sigaction action {};
  action.sa_handler = on_ending_signal;
  sigemptyset(&action.sa_mask);
  for (const int s : kEndingSignals) sigaddset(&action.sa_mask, s);
  for (const int s : kEndingSignals) {
    struct sigaction old {};
    // A signal ignored at start (nohup, a background job) stays ignored.
    if (sigaction(s, nullptr, &old) != 0 || old.sa_handler == SIG_IGN) continue;
    if (sigaction(s, &action, nullptr) == 0) sigaddset(&g_handled, s);
  }
}

void defer_console_events(bool defer) noexcept {
  // A signal that comes meanwhile stays pending and is handled at the release.
  if (defer) {
    pthread_sigmask(SIG_BLOCK, &g_handled, &g_before_defer);
  } else {
    pthread_sigmask(SIG_SETMASK, &g_before_defer, nullptr);
  }
}

}  // namespace vantor::platform
