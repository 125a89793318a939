#include "plot/output_file.h"

#include <atomic>
#include <chrono>
#include <vector>

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

// Writes text to a new temporary file beside path; false when any step fails
// (nothing is then left behind). The file is created new, a link never
// followed, and a failed close is a failure.
bool write_temporary(const std::string& path, std::string_view text, std::string& temporary) {
  platform::opened_file file;
  bool created = false;
  for (unsigned attempt = 0; attempt < kAttempts && !created; ++attempt) {
    temporary = temporary_name(path, attempt);
    file = platform::open_file(temporary, platform::file_status::new_file);
    created = file.error == 0;
    // Only a name already taken is worth another try.
    if (!created && platform::entry_at(temporary) == platform::entry_kind::none) return false;
  }
  if (!created) return false;
  const bool written = platform::write_all(file.file, text.data(), text.size());
  const bool closed = platform::close_file(file.file);
  if (written && closed) return true;
  (void)platform::remove_file(temporary);
  return false;
}

void remove_all(std::span<const std::string> temporaries) {
  for (const std::string& t : temporaries) (void)platform::remove_file(t);
}

}  // namespace

std::filesystem::path file_path(std::string_view name) {
  // The standard library reads a narrow name in the "C" locale, not the
  // process code page: a UTF-8 name is read as UTF-8 here.
  if (platform::names_are_utf8()) {
    try {
      return std::filesystem::path(
          std::u8string_view(reinterpret_cast<const char8_t*>(name.data()), name.size()));
    } catch (const std::exception&) {
      // not UTF-8 after all: as the library reads it
    }
  }
  return std::filesystem::path(name);
}

bool write_files(std::span<const output_text> outputs, plot_error& error) {
  std::vector<std::string> temporaries;
  for (const output_text& o : outputs) {
    error = plot_error{o.path, 0, "cannot be written"};
    std::string temporary;
    // A folder in the way would refuse its rename after others are done.
    if (platform::is_folder(o.path) || !write_temporary(o.path, o.text, temporary)) {
      remove_all(temporaries);
      return false;
    }
    temporaries.push_back(std::move(temporary));
  }
  for (std::size_t k = 0; k < outputs.size(); ++k) {
    if (!platform::rename_replacing(temporaries[k], outputs[k].path)) {
      error = plot_error{outputs[k].path, 0, "cannot be written"};
      remove_all(std::span(temporaries).subspan(k));
      return false;
    }
  }
  return true;
}

}  // namespace vantor::plot
