#include "plot/run/record_file.h"

#include <cmath>
#include <limits>
#include <span>
#include <utility>

#include "freeinput/reader.h"
#include "freeinput/state.h"
#include "plot/text/number_text.h"
#include "textio/units/run_end.h"
#include "textio/units/units.h"

namespace vantor::plot {
namespace {

// Lines are taken up to the widest line the reader holds.
constexpr int kLineWidth = freeinput::kMaxLineWidth;
// Error reports of the reader are not wanted: the plot program writes its own.
constexpr int kNoMessages = -1;
// Any positive unit: the reader reads from the unit it was bound to.
constexpr int kReadUnit = kInputUnit;

std::string open_failure_text(int number) {
  switch (number) {
    case textio::kErrFileNotFound:
      return "no such file";
    case textio::kErrAccessDenied:
      return "cannot be read (permission denied, or a folder)";
    case textio::kErrBadName:
      return "not a valid file name";
    default:
      return "cannot be opened";
  }
}

}  // namespace

std::string describe(const plot_error& error) {
  std::string text = "vantor-plot: ";
  text.append(error.file);
  if (error.line > 0) {
    text.push_back(':');
    text.append(std::to_string(error.line));
  }
  text.append(": ");
  text.append(error.message);
  return text;
}

bool record::number(int i, double& value) const {
  if (i < 0 || i >= count) return false;
  const auto k = static_cast<std::size_t>(i);
  if (types[k] == freeinput::kIntegerItem || types[k] == freeinput::kRealItem) {
    value = values[k];
    return true;
  }
  // Text items come back in upper case, cut to 8 characters, blank-padded.
  std::string_view text(texts.data() + k * freeinput::kItemTextLength, freeinput::kItemTextLength);
  text = text.substr(0, text.find_last_not_of(' ') + 1);
  if (text == "INFINITY") {
    value = std::numeric_limits<double>::infinity();
    return true;
  }
  if (text == "-INFINIT") {
    value = -std::numeric_limits<double>::infinity();
    return true;
  }
  if (text == "NAN") {
    value = std::numeric_limits<double>::quiet_NaN();
    return true;
  }
  return false;
}

bool field_number(const record& rec, int i, std::size_t column, std::size_t width, double& value) {
  if (!rec.number(i, value)) return false;
  double exact = 0.0;
  if (column < rec.raw.size() && parse_real(rec.raw.substr(column, width), exact) &&
      std::fabs(exact - value) <= 1e-12 * std::fabs(value)) {
    value = exact;
  }
  return true;
}

record_file::~record_file() {
  if (open_) textio::close_unit(kInputUnit);
}

bool record_file::open(const std::string& path, plot_error& error) {
  if (open_) textio::close_unit(kInputUnit);
  open_ = false;
  finished_ = false;
  last_line_ = 0;
  path_ = path;
  textio::open_spec spec;
  spec.name = path;
  spec.status = textio::open_status::old_file;
  const int status = textio::open_unit(kInputUnit, spec);
  if (status != 0) {
    error = fault(0, open_failure_text(status));
    return false;
  }
  open_ = true;
  int ierr = 0;
  freeinput::INIFII_2(kLineWidth, 8, kInputUnit, kNoMessages, ierr);
  if (ierr != 0) {
    error = fault(0, "the reader cannot be set up for this file");
    finished_ = true;
    return false;
  }
  return true;
}

next_outcome record_file::next(record& rec, plot_error& error) {
  if (!open_ || finished_) {
    error = fault(last_line_, "read beyond the end of the file");
    return next_outcome::failed;
  }
  int ierr = 0;
  int count = 0;
  freeinput::RDMIX(count, rec.types, rec.values, rec.texts, freeinput::kItemTextLength, kReadUnit,
                   kNoMessages, ierr);
  const freeinput::free_input_state& st = freeinput::input_state;
  if (ierr != 0) {
    finished_ = true;
    error = fault(st.NLINRD, "the file cannot be read");
    return next_outcome::failed;
  }
  if (count < 0) {
    // The line read that met the end counts as one more attempt.
    finished_ = true;
    last_line_ = st.NLINRD - 1;
    return next_outcome::end;
  }
  last_line_ = st.NLINRD;
  rec.count = count;
  rec.line = st.NLINRD;
  std::string_view raw(st.RAWLIN.data(), static_cast<std::size_t>(st.NCHLIN));
  const std::size_t last = raw.find_last_not_of(' ');
  rec.raw = last == std::string_view::npos ? std::string_view() : raw.substr(0, last + 1);
  return next_outcome::record;
}

plot_error record_file::fault(int line, std::string message) const {
  return plot_error{path_, line, std::move(message)};
}

}  // namespace vantor::plot
