// The run-time error numbers of the file layer and of the record writer: the
// N of a "forrtl: severe (N)" report and the exit status it gives. A leaf: the
// platform layer, the units and the end of a run all name them.
#pragma once

namespace vantor::textio {

inline constexpr int kErrAccessDenied = 9;
inline constexpr int kErrFileExists = 10;
inline constexpr int kErrEndOfFile = 24;
inline constexpr int kErrFileNotFound = 29;
inline constexpr int kErrOpenFailure = 30;
inline constexpr int kErrWrite = 38;
inline constexpr int kErrRead = 39;
inline constexpr int kErrNoDevice = 42;
inline constexpr int kErrBadName = 43;
inline constexpr int kErrSyntax = 59;
inline constexpr int kErrConversion = 64;
inline constexpr int kErrOverflow = 66;

}  // namespace vantor::textio
