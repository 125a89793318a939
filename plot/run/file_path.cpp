#include "plot/run/file_path.h"

#include <exception>
#include <string>

#include "textio/platform/platform.h"

namespace vantor::plot {

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

}  // namespace vantor::plot
