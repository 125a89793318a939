// A file's name as the system's file functions take it, for the files a run
// is read from and the files written beside it.
#pragma once

#include <filesystem>
#include <string_view>

namespace vantor::plot {

// The path of the file of that name: the bytes a name is to the system's
// file functions (on Windows in the process code page, UTF-8 under the
// programs' manifest; there a path's string() gives UTF-8 as well).
std::filesystem::path file_path(std::string_view name);

}  // namespace vantor::plot
