#include "plot/cli/output_file.h"

#include <atomic>
#include <chrono>
#include <vector>

#include "plot/cli/part_files.h"
#include "textio/platform/platform.h"

namespace vantor::plot {
namespace {

// TARGET.<process>-<clock>-<count>.part: unique between the writes of one
// process and, with the process number and the clock, between processes.
std::string temporary_name(const std::string& path, unsigned attempt) {
  static std::atomic<unsigned> count{0};
  const auto ticks = std::chrono::steady_clock::now().time_since_epoch().count();
  return path + "." + std::to_string(platform::process_id()) + "-" +
         std::to_string(static_cast<unsigned long long>(ticks) % 1000000007ULL + attempt) + "-" +
         std::to_string(count++) + ".part";
}

constexpr unsigned kAttempts = 16;

// A temporary file: its name and its place in the table of part_files.h.
struct temporary_file {
  std::string name;
  int part = -1;
};

void remove_temporary(const temporary_file& t) {
  (void)platform::remove_file(t.name);
  forget_part(t.part);
}

// Creates a new file of a unique name beside path, kept in the table before
// it exists; false when none can be created (nothing is then left behind). A
// link is never followed.
bool create_temporary(const std::string& path, temporary_file& temporary,
                      platform::opened_file& file) {
  for (unsigned attempt = 0; attempt < kAttempts; ++attempt) {
    temporary.name = temporary_name(path, attempt);
    temporary.part = keep_part(temporary.name);
    if (temporary.part < 0) return false;
    file = platform::open_file(temporary.name, platform::file_status::new_file);
    if (file.error == 0) {
      part_opened(temporary.part, file.file);
      return true;
    }
    forget_part(temporary.part);
    // Only a name already taken is worth another try.
    if (platform::entry_at(temporary.name) == platform::entry_kind::none) return false;
  }
  return false;
}

// Writes text to a new temporary file beside path; false when any step fails
// (nothing is then left behind). A failed close is a failure.
bool write_temporary(const std::string& path, std::string_view text, temporary_file& temporary) {
  platform::opened_file file;
  if (!create_temporary(path, temporary, file)) return false;
  const bool written = platform::write_all(file.file, text.data(), text.size());
  part_closing(temporary.part);
  const bool closed = platform::close_file(file.file);
  if (written && closed) return true;
  remove_temporary(temporary);
  return false;
}

void remove_all(std::span<const temporary_file> temporaries) {
  for (const temporary_file& t : temporaries) remove_temporary(t);
}

}  // namespace

bool write_files(std::span<const output_text> outputs, plot_error& error) {
  std::vector<temporary_file> temporaries;
  temporaries.reserve(outputs.size());
  for (const output_text& o : outputs) {
    error = plot_error{o.path, 0, "cannot be written"};
    temporary_file temporary;
    // A folder in the way would refuse its rename after others are done.
    if (platform::is_folder(o.path) || !write_temporary(o.path, o.text, temporary)) {
      wait_if_ending();  // a failure an ending caused is not reported
      remove_all(temporaries);
      return false;
    }
    temporaries.push_back(std::move(temporary));
  }
  // The renames as one step: a console event waits for the last of them.
  platform::defer_console_events(true);
  for (std::size_t k = 0; k < outputs.size(); ++k) {
    if (!platform::rename_replacing(temporaries[k].name, outputs[k].path)) {
      platform::defer_console_events(false);
      error = plot_error{outputs[k].path, 0, "cannot be written"};
      remove_all(std::span(temporaries).subspan(k));
      return false;
    }
    forget_part(temporaries[k].part);
  }
  platform::defer_console_events(false);
  return true;
}

}  // namespace vantor::plot
