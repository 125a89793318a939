// The release both programs name with --version, set by the build
// (VANTOR_VERSION, the project version); "unknown" in a build that sets none.
#pragma once

#include <string_view>

#ifndef VANTOR_VERSION
#define VANTOR_VERSION "unknown"
#endif

namespace vantor {

inline constexpr std::string_view kVersion = VANTOR_VERSION;

}  // namespace vantor
