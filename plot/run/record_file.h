// Reading a finished run's text files record by record through the free-format
// reader, with the physical line number and the raw text of every record, and
// the error report of the plot program.
#pragma once

#include <array>
#include <string>
#include <string_view>

#include "freeinput/reader.h"
#include "freeinput/state.h"

namespace vantor::plot {

// A fault found in an input file, or a file that cannot be read or written.
// line 0 means that no particular line is concerned.
struct plot_error {
  std::string file;
  int line = 0;
  std::string message;
};

// "vantor-plot: FILE:LINE: message" (or "vantor-plot: FILE: message").
std::string describe(const plot_error& error);

// Items a record can hold: one per two columns of the widest line.
inline constexpr int kMaxItems = (freeinput::kMaxLineWidth + 1) / 2;

// The unit the plot program reads its input files on.
inline constexpr int kInputUnit = 31;

// One record as the reader returns it.
struct record {
  int count = 0;         // items; 0 for a record without values (a "#" line)
  int line = 0;          // physical line of the file, from 1
  std::string_view raw;  // the line as written, trailing blanks dropped (valid until the next read)
  std::array<int, kMaxItems> types{};
  std::array<double, kMaxItems> values{};
  std::array<char, kMaxItems * freeinput::kItemTextLength> texts{};

  // Item i (from 0) as a number: integers and reals as read, the words that a
  // non-finite value is written as ("Infinity", "-Infinity", "NaN") as such.
  // False for any other text item.
  bool number(int i, double& value) const;
};

// Item i of a record (as record::number), taken from its field of the row
// layout (column and width, from 0) where that field holds the same number:
// the field read with correct rounding, as a CSV reader would read it back
// (the general reader may differ in the last bit).
bool field_number(const record& rec, int i, std::size_t column, std::size_t width, double& value);

enum class next_outcome { record, end, failed };

// One input file bound to the reader. The reader is one global state: only one
// record_file may be open at a time, and it is read to its end.
class record_file {
 public:
  record_file() = default;
  record_file(const record_file&) = delete;
  record_file& operator=(const record_file&) = delete;
  ~record_file();

  // Opens the file and binds the reader to it; false (with error) when it
  // cannot be opened.
  bool open(const std::string& path, plot_error& error);

  // Reads the next record into rec. After `end` (the end of the file) or
  // `failed` (error set) it must not be called again.
  next_outcome next(record& rec, plot_error& error);

  // The last line read (0 before the first).
  int last_line() const { return last_line_; }
  const std::string& path() const { return path_; }

  // An error about this file at a line.
  plot_error fault(int line, std::string message) const;

 private:
  std::string path_;
  bool open_ = false;
  bool finished_ = false;
  int last_line_ = 0;
};

// Hands each record of the file to parser.take(), stopping at the first one
// refused (nothing after a fault is read: the file may be endless), then at
// the end of the file asks parser.finish(). False when a record is refused,
// the file cannot be read, or finish() fails.
template <class Parser>
bool feed_records(record_file& file, Parser& parser, plot_error& error) {
  record rec;
  for (;;) {
    const next_outcome got = file.next(rec, error);
    if (got == next_outcome::failed) return false;
    if (got == next_outcome::end) return parser.finish();
    if (!parser.take(rec)) return false;
  }
}

}  // namespace vantor::plot
