// The operating system behind one small interface: files by name and handle,
// names (renamed, removed, looked at),
// the console streams, the console events, the local clock, the address space
// of the run's tables, threads and their waiting, and the end of the process. Nothing else in
// the program includes a system header or knows which system it runs on.
// One implementation is built per system (linux.cpp, windows.cpp beside this header).
//
// Rules every implementation keeps:
// - Names are bytes, passed as they are (no translation of code pages or of
//   slashes); a name holding a NUL byte is refused with 43.
// - Files are binary: what is written is what lands in the file, nothing is
//   translated on reading either. Other processes may open an open file for
//   reading and for writing (no locks, no exclusive sharing).
// - Handles are not inherited by child processes.
// - Every function may be called from any thread. write_all, truncate_file and
//   the exit functions may also run while another thread is blocked in a
//   write on another handle, and never wait for that write.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace vantor::platform {

// An open file or console stream: a descriptor on POSIX, a HANDLE on Windows.
using handle = std::intptr_t;
inline constexpr handle kNoHandle = -1;

// --- Files ---------------------------------------------------------------------

enum class file_status {
  old_file,  // must exist
  new_file,  // must not exist (a link, even one to nothing, exists); created, no link followed
  unknown,   // opened when it exists, created otherwise
};

struct opened_file {
  handle file = kNoHandle;
  int error = 0;          // 0, or the open-failure number below
  bool writable = false;  // opened for reading and writing (else reading only)
};

// Opens a file by name for reading and writing. Only a file of status old_file
// that cannot be opened for writing (no write permission, read-only medium or
// file system, a named pipe, which is then opened for reading only so that
// its end can come) is opened for reading only; any other refused open fails.
// A directory, or a file that can be neither read nor written, gives 9.
// Open-failure numbers: 29 file or path not found, 30 too many open files and
// any failure not listed, 9 access denied or write-protected, 42 no such
// device or drive, 10 file exists (new_file), 43 bad name or name too long.
opened_file open_file(std::string_view name, file_status status);

// Creates a temporary file, readable and writable, removed from the file
// system when it is closed (or at once, where the system allows). name receives
// a name for reports. Failure numbers as open_file.
opened_file open_scratch(std::string& name);

// Reads at most size bytes. Returns the count (0 at the end of the input) or
// -1 for a failed read. Retries interrupted reads.
std::ptrdiff_t read_some(handle h, char* data, std::size_t size) noexcept;

// Writes all size bytes at the current position, retrying short and
// interrupted writes; false when the system refuses (a full disk, a file-size
// limit, a closed pipe: none of these ends the process). written, when given,
// receives the number of bytes the system accepted either way.
bool write_all(handle h, const char* data, std::size_t size,
               std::size_t* written = nullptr) noexcept;

// Positioned reads and writes for fixed-length records; they do not move the
// current position. read_at returns the count (0 at or beyond the end) or -1.
bool write_at(handle h, const char* data, std::size_t size, std::uint64_t offset) noexcept;
std::ptrdiff_t read_at(handle h, char* data, std::size_t size, std::uint64_t offset) noexcept;

// Cuts the file to size bytes and puts the current position there. False when
// that cannot be done (also for anything but a regular file).
bool truncate_file(handle h, std::uint64_t size) noexcept;

// Puts the current position at the start of the file. False for a stream that
// cannot be positioned (a pipe, a terminal).
bool seek_start(handle h) noexcept;

// A regular file on disk (not a directory, pipe, device or console).
bool is_regular_file(handle h) noexcept;

// Opens the regular file of that name for reading only; kNoHandle for any
// other kind of file, which is not opened at all (a named pipe opened and left
// would lose its writer's data; a device may wait for input).
handle open_regular_file(std::string_view name) noexcept;

// Closes a file handle; false when the system reports a failure (the last
// writes may then be lost). The console handles below are never closed.
bool close_file(handle h) noexcept;

// --- Names -----------------------------------------------------------------------

// Gives the file at from the name to, replacing a file of that name (not a
// folder); false when the system refuses.
bool rename_replacing(std::string_view from, std::string_view to) noexcept;

// Removes the file of that name; false when the system refuses.
bool remove_file(std::string_view name) noexcept;

enum class entry_kind {
  none,    // nothing (also when the name cannot be looked at)
  folder,  // a directory
  other,   // a file, a link, a device, anything else
};

// What is at the name itself: a link is other, never followed.
entry_kind entry_at(std::string_view name) noexcept;

// Whether the name leads to a folder, through links.
bool is_folder(std::string_view name) noexcept;

// Whether names are read as UTF-8: Windows when the process code page is
// UTF-8 (the programs' manifest), where a library that reads narrow names in
// a code page of its own must be told; false on POSIX, where a name is bytes.
bool names_are_utf8() noexcept;

// --- Console -----------------------------------------------------------------

// The standard streams. A standard stream that is closed at program start is
// first held by the null device opened for the other direction, so that the
// next file opened never takes its place and using it fails as it would have
// failed closed. Called first at any use; the handles stay valid for the run.
handle console_input() noexcept;
handle console_output() noexcept;
handle console_error() noexcept;

// The C library's standard output and error (std::cout, std::cerr) pass the
// bytes as they are: no carriage return added before a line feed (Windows;
// nothing to do on POSIX).
void binary_standard_streams() noexcept;

// --- Console events ----------------------------------------------------------

enum class console_event {
  interrupt,  // control-C (POSIX: SIGINT)
  brk,        // control-BREAK (POSIX: SIGQUIT)
  close,      // the console window closed, a logoff or shutdown (POSIX: SIGHUP, SIGTERM)
};

// What the system delivered: the event and the system's own code of it (the
// signal number, the control event type), kept for the exit status.
struct event_info {
  console_event event = console_event::interrupt;
  int native = 0;
};

using event_callback = void (*)(const event_info& info);

// Installs the handling of the console events, once per process (later calls do
// nothing). Each event is delivered by calling callback on a thread that is
// not the main thread and not a thread of write_all; no other thread ever
// receives the events as signals. callback is expected to end the process;
// events that come while it runs wait for it (the first event decides). Also
// keeps a write past a file-size limit or into a closed pipe from ending the
// process: the write fails instead (POSIX: SIGXFSZ and SIGPIPE ignored).
// Call before starting any other thread.
void install_console_events(event_callback callback);

// For a program without console events: a write past a file-size limit fails
// instead of ending the process (POSIX: SIGXFSZ ignored).
void let_oversize_writes_fail() noexcept;

// --- Ending at once, with the program's temporary files removed -------------
// For a program without install_console_events (vantor-plot): the console
// events end it at once, after a function of its own has removed what it must
// not leave behind (linux_endings.cpp, windows_endings.cpp).

// The longest name remove_file_at_end takes, its NUL included (longer names
// are refused by the system's file functions anyway on POSIX).
inline constexpr std::size_t kLongestEndName = 4096;

// Removes the file of that NUL-terminated name without allocating or taking a
// lock: safe in a signal handler. True when the name is gone, also when there
// was nothing there. On Windows a file still open (a write of another thread
// under way) is waited for, at most about a second.
bool remove_file_at_end(const char* name) noexcept;

// The console events (POSIX: SIGINT, SIGQUIT, SIGHUP, SIGTERM, each unless it
// was ignored at start; Windows: the console's control events) end the process
// with the status of exit_after_event once before_end has returned true. It
// runs in the signal handler on the thread the signal interrupted (POSIX) or
// on a thread of the system's while the program's own go on (Windows): it may
// do only what a signal handler may. False: another ending is under way, which
// ends the process; the event is then dropped. Once per process; then
// defer_console_events holds them back while a step must not be cut short.
void end_at_console_events(bool (*before_end)() noexcept) noexcept;
void defer_console_events(bool defer) noexcept;

// --- Clock ---------------------------------------------------------------------

struct local_time {
  int year = 0;   // e.g. 2026
  int month = 0;  // 1-12
  int day = 0;
  int hour = 0;  // 0-23
  int minute = 0;
  int second = 0;
};

// The local date and time; false (t unchanged) when the clock cannot be read.
bool read_local_clock(local_time& t) noexcept;

// --- Address space of the run's tables ----------------------------------------

// Reserves bytes of address space that read as zero. Linux maps them at once
// without reserving swap (pages cost memory only when written); Windows
// reserves and leaves committing to commit_range. Returns nullptr on failure,
// with reason set to the system's text of why.
void* reserve_zeroed(std::size_t bytes, std::string& reason) noexcept;

// Makes [at, at + bytes) of a reservation usable (zero where never written);
// a no-op on Linux. False when the system refuses.
bool commit_range(void* at, std::size_t bytes) noexcept;

// Asks the system to back the whole large pages inside [at, at + bytes) of a
// reservation with large pages where it offers them (Linux: transparent huge
// pages of 2 MiB); nothing where it does not. The contents stay as they are.
// True when the advice was taken.
bool advise_large_pages(void* at, std::size_t bytes) noexcept;

// Faults the pages of a committed range in for writing (zero where never
// written) without touching their contents, so that the cost of their first
// use falls on the calling thread; other threads may write the range
// meanwhile. False where the system has no such request (Linux before 5.14,
// Windows): nothing was done. Pages the system cannot give now (memory short)
// are left to the first writes, which meet the shortage as they would have.
bool populate_range(void* at, std::size_t bytes) noexcept;

// --- Threads -------------------------------------------------------------------

// Starts body(arg) on a new detached thread; false when none can be started.
// After install_console_events, the events are never delivered to it either.
bool start_thread(void (*body)(void*), void* arg) noexcept;

// One process-wide wake-up count for threads that wait for each other. A
// waiter reads wake_count() while its condition is guarded (under the lock
// the changes are made under), finds the condition false, releases that lock
// and calls wait_for_wake(seen): it returns once wake_all() has been called
// since the count was read (at once when it has been already). A thread that
// changes a condition calls wake_all() after the change.
std::uint64_t wake_count() noexcept;
void wait_for_wake(std::uint64_t seen) noexcept;
void wake_all() noexcept;

// The waiter's side of the above for a condition that is read without a lock
// (atomics): returns once done() is true.
template <class Condition>
void wait_until(Condition done) noexcept {
  for (;;) {
    const std::uint64_t seen = wake_count();
    if (done()) return;
    wait_for_wake(seen);
  }
}

void sleep_milliseconds(int ms) noexcept;

// The running process. A child made by fork (test harnesses do) has its own,
// and none of its parent's threads.
std::uint64_t process_id() noexcept;

// --- End of the process ----------------------------------------------------------

// Ends the process at once (no destructors, no buffered streams) with the
// system's status for: a fatal report of that error number (POSIX: number &
// 0xFF; Windows: 0xC0000000 + number), a console event (POSIX: 128 + signal;
// Windows: control-C 0xC000013A, control-BREAK 1, close 2), or a plain status
// (0 a complete run, 1 a run ended by an error block).
[[noreturn]] void exit_after_fatal(int number) noexcept;
[[noreturn]] void exit_after_event(const event_info& info) noexcept;
[[noreturn]] void exit_with_status(int status) noexcept;

}  // namespace vantor::platform
