#include "textio/console/console.h"

#include <algorithm>
#include <string_view>

#include "textio/console/integer_answer.h"
#include "textio/units/run_end.h"
#include "textio/units/units.h"

namespace vantor::textio {
namespace {

constexpr std::string_view kConsoleInName = "CONIN$";

// Where an integer answer comes from, for the reports.
struct source {
  int unit;
  std::string_view name;
};

constexpr source kConsole{kConsoleIn, kConsoleInName};
constexpr source kText{kInternalUnit, kInternalReadName};

// Takes the next console line piece by piece (nothing of it is kept here);
// the end of the input (or a control-Z line) ends the run.
template <class Piece>
void take_console_line(Piece&& piece) {
  flush_unit(kConsoleOut);
  std::size_t length = 0;
  char first = '\0';
  const int status = read_line_pieces(kConsoleIn, [&](std::string_view part) {
    if (length == 0 && !part.empty()) first = part[0];
    length += part.size();
    piece(part);
  });
  if (status == -1 || (status == 0 && length == 1 && first == '\x1a'))
    fatal(kErrEndOfFile, kConsoleIn, kConsoleInName);
  if (status != 0) fatal(kErrRead, kConsoleIn, kConsoleInName);
}

// Ends the read of an integer: the value taken, the line without one (false),
// or the run ended with the report of a refused token.
bool conclude(const integer_answer_scan& scan, int& target, const source& from) {
  switch (scan.finish(target)) {
    case answer_outcome::value:
    case answer_outcome::kept:
      return true;
    case answer_outcome::no_value:
      return false;
    case answer_outcome::syntax_error:
      fatal(kErrSyntax, from.unit, from.name);
    case answer_outcome::out_of_range:
      fatal(kErrConversion, from.unit, from.name);
  }
  return true;
}

}  // namespace

void readLine(std::span<char> field) {
  std::size_t n = 0;
  take_console_line([&](std::string_view part) {
    const std::size_t take = std::min(part.size(), field.size() - n);
    std::copy_n(part.begin(), take, field.begin() + static_cast<std::ptrdiff_t>(n));
    n += take;
  });
  std::fill(field.begin() + static_cast<std::ptrdiff_t>(n), field.end(), ' ');
}

void readInteger(int& target) {
  for (;;) {
    integer_answer_scan scan;
    take_console_line([&scan](std::string_view part) { scan.feed(part); });
    if (conclude(scan, target, kConsole)) return;
  }
}

void readInteger(std::string_view text, int& target) {
  integer_answer_scan scan;
  scan.feed(text);
  if (!conclude(scan, target, kText)) fatal(kErrEndOfFile, kText.unit, kText.name);
}

}  // namespace vantor::textio
