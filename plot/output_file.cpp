#include "plot/output_file.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <csignal>
#include <filesystem>
#include <system_error>
#include <vector>

#ifdef _WIN32
#include <process.h>
#include <windows.h>
#else
#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#endif

namespace vantor::plot {
namespace {

namespace fs = std::filesystem;

// A file created new and written once, then closed; the one place that calls
// the OS directly.
class exclusive_file {
 public:
  exclusive_file() = default;
  exclusive_file(const exclusive_file&) = delete;
  exclusive_file& operator=(const exclusive_file&) = delete;
  ~exclusive_file() { close(); }

  // Creates the file; false when the name exists (a link included) or the
  // folder refuses it.
  bool create(const std::string& path) {
#ifdef _WIN32
    handle_ = ::CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                            FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    return handle_ != INVALID_HANDLE_VALUE;
#else
    fd_ = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
    return fd_ >= 0;
#endif
  }

  bool write_all(std::string_view text) {
    while (!text.empty()) {
#ifdef _WIN32
      DWORD done = 0;
      const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(text.size(), 1u << 30));
      if (!::WriteFile(handle_, text.data(), chunk, &done, nullptr) || done == 0) return false;
#else
      const ssize_t done = ::write(fd_, text.data(), text.size());
      if (done < 0 && errno == EINTR) continue;
      if (done <= 0) return false;
#endif
      text.remove_prefix(static_cast<std::size_t>(done));
    }
    return true;
  }

  bool close() {
#ifdef _WIN32
    if (handle_ == INVALID_HANDLE_VALUE) return true;
    const bool closed = ::CloseHandle(handle_) != 0;
    handle_ = INVALID_HANDLE_VALUE;
#else
    if (fd_ < 0) return true;
    const bool closed = ::close(fd_) == 0;
    fd_ = -1;
#endif
    return closed;
  }

  static long process_id() {
#ifdef _WIN32
    return static_cast<long>(::_getpid());
#else
    return static_cast<long>(::getpid());
#endif
  }

 private:
#ifdef _WIN32
  HANDLE handle_ = INVALID_HANDLE_VALUE;
#else
  int fd_ = -1;
#endif
};

// TARGET.<process>-<clock>-<count>.part: unique between the writes of one
// process and, with the process number and the clock, between processes.
std::string temporary_name(const std::string& path, unsigned attempt) {
  static std::atomic<unsigned> count{0};
  const auto ticks = std::chrono::steady_clock::now().time_since_epoch().count();
  return path + "." + std::to_string(exclusive_file::process_id()) + "-" +
         std::to_string(static_cast<unsigned long long>(ticks) % 1000000007ULL + attempt) + "-" +
         std::to_string(count++) + ".part";
}

constexpr unsigned kAttempts = 16;

}  // namespace

fs::path file_path(std::string_view name) {
#ifdef _WIN32
  // The standard library reads a narrow name in the "C" locale, not the
  // process code page: a UTF-8 name is read as UTF-8 here.
  if (::GetACP() == CP_UTF8) {
    try {
      return fs::path(
          std::u8string_view(reinterpret_cast<const char8_t*>(name.data()), name.size()));
    } catch (const std::exception&) {
      // not UTF-8 after all: as the library reads it
    }
  }
#endif
  return fs::path(name);
}

void prepare_output_signals() {
#ifdef SIGXFSZ
  std::signal(SIGXFSZ, SIG_IGN);
#endif
}

namespace {

// Writes text to a new temporary file beside path; false when any step fails
// (nothing is then left behind).
bool write_temporary(const std::string& path, std::string_view text, std::string& temporary) {
  exclusive_file file;
  bool created = false;
  for (unsigned attempt = 0; attempt < kAttempts && !created; ++attempt) {
    temporary = temporary_name(path, attempt);
    created = file.create(temporary);
    std::error_code ec;
    // Only a name already taken is worth another try.
    if (!created && !fs::exists(fs::symlink_status(file_path(temporary), ec))) return false;
  }
  if (!created) return false;
  const bool written = file.write_all(text);
  const bool closed = file.close();
  if (written && closed) return true;
  std::error_code ec;
  fs::remove(file_path(temporary), ec);
  return false;
}

void remove_all(const std::vector<std::string>& temporaries) {
  for (const std::string& t : temporaries) {
    std::error_code ec;
    fs::remove(file_path(t), ec);
  }
}

}  // namespace

bool write_files(std::span<const output_text> outputs, plot_error& error) {
  std::vector<std::string> temporaries;
  for (const output_text& o : outputs) {
    error = plot_error{o.path, 0, "cannot be written"};
    std::string temporary;
    // A folder in the way would refuse its rename after others are done.
    std::error_code ec;
    if (fs::is_directory(file_path(o.path), ec) || !write_temporary(o.path, o.text, temporary)) {
      remove_all(temporaries);
      return false;
    }
    temporaries.push_back(std::move(temporary));
  }
  for (std::size_t k = 0; k < outputs.size(); ++k) {
    std::error_code ec;
    fs::rename(file_path(temporaries[k]), file_path(outputs[k].path), ec);
    if (ec) {
      error = plot_error{outputs[k].path, 0, "cannot be written"};
      remove_all(std::vector<std::string>(temporaries.begin() + static_cast<std::ptrdiff_t>(k),
                                          temporaries.end()));
      return false;
    }
  }
  return true;
}

}  // namespace vantor::plot
