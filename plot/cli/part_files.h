// The endings that skip the program's own clean-up: a console event
// (interrupt, quit, hang-up, terminate; the Windows console's control events)
// and an allocation that cannot be met. The temporary files of the outputs
// under way are kept in a fixed table, so that either ending removes them
// without allocating before the process ends: a console event with the
// system's status for it (POSIX 128 + the signal), a failed allocation with
// one line, "vantor-plot: out of memory", and status 1. The first ending
// decides; the outputs already in place stay as they are.
#pragma once

#include <string_view>

#include "textio/platform/platform.h"

namespace vantor::plot {

// Installs both endings; first thing in main.
void install_endings() noexcept;

// Takes a place for the temporary file of that name before it is created:
// its number, or -1 when the table is full or the name too long (the file
// must then not be created).
int keep_part(std::string_view name) noexcept;
// The file is open as file / is about to be closed (an ending then only
// removes it).
void part_opened(int part, platform::handle file) noexcept;
void part_closing(int part) noexcept;
// The name is given up: renamed over its target, or removed.
void forget_part(int part) noexcept;

// A failure seen while an ending is under way is the ending's doing: waits
// for it to end the process; returns at once otherwise.
void wait_if_ending() noexcept;

// The new handler: the temporary files removed, the line, status 1.
[[noreturn]] void out_of_memory() noexcept;

}  // namespace vantor::plot
