#include "textio/records/writer.h"

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstring>
#include <exception>
#include <memory>
#include <span>
#include <string>
#include <string_view>

#include "textio/units/run_end.h"
#include "textio/format/field.h"
#include "textio/format/number_format.h"
#include "textio/units/units.h"

namespace vantor::textio {

namespace {

// Record rows of unit statements, reused from statement to statement so that
// writing allocates nothing once the rows have grown to the longest record.
// Several slots serve statements that are open at the same time.
constexpr int kRowSlots = 4;

struct row_pool {
  std::array<detail::record_buffer, kRowSlots> rows;
  std::array<bool, kRowSlots> busy{};
};

constinit row_pool g_pool{};

bool has_data_descriptor(const layout& l) {
  return std::any_of(l.items.begin(), l.items.begin() + static_cast<std::ptrdiff_t>(l.count),
                     [](const descriptor& d) { return takes_item(d.kind); });
}

// Columns a literal occupies: its text with each doubled apostrophe written once.
std::size_t literal_width(std::string_view doubled) {
  std::size_t width = 0;
  for (std::size_t k = 0; k < doubled.size(); ++k, ++width) {
    if (doubled[k] == '\'') ++k;
  }
  return width;
}

}  // namespace

void detail::record_buffer::grow(std::size_t size, std::size_t keep) {
  const std::size_t grown = std::max(size, 2 * capacity);
  auto larger = std::make_unique_for_overwrite<char[]>(grown);
  if (keep != 0) std::memcpy(larger.get(), bytes.get(), keep);
  bytes = std::move(larger);
  capacity = grown;
}

statement::statement(int unit, const layout& l, one_call_t) : layout_(&l), unit_(unit) {
  for (int k = 0; k < kRowSlots; ++k) {
    if (!g_pool.busy[static_cast<std::size_t>(k)]) {
      g_pool.busy[static_cast<std::size_t>(k)] = true;
      slot_ = k;
      row_ = &g_pool.rows[static_cast<std::size_t>(k)];
      break;
    }
  }
  if (row_ == nullptr) row_ = &own_;
}

statement::statement(std::span<char> variable, const layout& l, one_call_t)
    : layout_(&l), variable_(variable), internal_(true) {
  blank_fill(variable_);
}

statement::statement(int unit, const layout& l) : statement(unit, l, one_call) {
  follows_exceptions_ = true;
  exceptions_ = std::uncaught_exceptions();
}

statement::statement(std::span<char> variable, const layout& l) : statement(variable, l, one_call) {
  follows_exceptions_ = true;
  exceptions_ = std::uncaught_exceptions();
}

statement::~statement() {
  if (!ended_ && follows_exceptions_ && std::uncaught_exceptions() <= exceptions_) end();
  if (slot_ >= 0) g_pool.busy[static_cast<std::size_t>(slot_)] = false;
}

bool statement::reach_data(bool item_waiting) {
  // Most calls find a data descriptor with repetitions left where they are,
  // or after a scale factor.
  const layout& l = *layout_;
  while (at_ < l.count) {
    const descriptor& d = l.items[at_];
    if (takes_item(d.kind)) {
      if (taken_ < d.repeat) return true;
      break;
    }
    if (d.kind != op::scale) break;
    scale_ = d.w;
    ++at_;
    taken_ = 0;
  }
  return walk_to_data(item_waiting);
}

[[gnu::noinline]] bool statement::walk_to_data(bool item_waiting) {
  const layout& l = *layout_;
  while (true) {
    if (at_ >= l.count) {
      // An item for a layout without data descriptors has no field: it is
      // dropped instead of restarting the layout for ever.
      if (!item_waiting || !has_data_descriptor(l)) return false;
      next_record();
      at_ = 0;
      taken_ = 0;
      continue;
    }
    const descriptor& d = l.items[at_];
    switch (d.kind) {
      case op::literal:
        put_literal(d.text);
        break;
      case op::skip:
        column_ += static_cast<std::size_t>(d.w);
        break;
      case op::slash:
        next_record();
        break;
      case op::dollar:
        no_advance_ = true;
        break;
      case op::scale:
        scale_ = d.w;
        break;
      case op::int_i:
      case op::fixed_f:
      case op::exp_e:
      case op::text_a:
        if (taken_ < d.repeat) return true;
        break;
    }
    ++at_;
    taken_ = 0;
  }
}

const descriptor& statement::take_data() {
  const descriptor& d = layout_->items[at_];
  if (++taken_ >= d.repeat) {
    ++at_;
    taken_ = 0;
  }
  return d;
}

std::span<char> statement::field(std::size_t width) {
  const std::size_t start = column_;
  column_ += width;
  if (internal_ || width == 0 || row_->capacity < column_ || start > last_) {
    return other_field(start, width);
  }
  last_ = column_;
  return std::span<char>(row_->bytes.get() + start, width);
}

[[gnu::noinline]] std::span<char> statement::other_field(std::size_t start, std::size_t width) {
  if (width == 0) return {};
  if (internal_) {
    last_ = column_;
    if (column_ > variable_.size()) fatal(kErrOverflow, kInternalUnit, kInternalWriteName);
    return variable_.subspan(start, width);
  }
  // Every field is written whole by its caller: only columns passed over
  // (TR, X) before it are blanked here.
  if (row_->capacity < column_) row_->grow(column_, last_);
  if (start > last_) std::memset(row_->bytes.get() + last_, ' ', start - last_);
  last_ = column_;
  return std::span<char>(row_->bytes.get() + start, width);
}

void statement::put_literal(std::string_view doubled) {
  const std::span<char> f = field(literal_width(doubled));
  std::size_t out = 0;
  for (std::size_t k = 0; k < doubled.size(); ++k) {
    f[out++] = doubled[k];
    if (doubled[k] == '\'') ++k;
  }
}

void statement::next_record() {
  // A text variable is one record: a second one does not fit.
  if (internal_) fatal(kErrOverflow, kInternalUnit, kInternalWriteName);
  write_current(true);
  column_ = 0;
  last_ = 0;
}

void statement::write_current(bool terminate) {
  put_record(unit_, std::string_view(row_->bytes.get(), last_), terminate);
}

statement& statement::operator<<(int value) {
  if (ended_ || !reach_data(true)) return *this;
  const descriptor& d = take_data();
  if (d.kind == op::int_i) {
    format_integer(field(static_cast<std::size_t>(d.w)), value, d.has_min ? d.d : 1);
  } else {
    // An integer for a real or text field: shown as asterisks.
    fill_stars(field(static_cast<std::size_t>(std::max(d.w, 1))));
  }
  return *this;
}

statement& statement::operator<<(double value) {
  if (ended_ || !reach_data(true)) return *this;
  const descriptor& d = take_data();
  if (d.kind == op::exp_e) {
    format_exponent(field(static_cast<std::size_t>(d.w)), value, d.d, scale_);
  } else if (d.kind == op::fixed_f) {
    format_fixed(field(static_cast<std::size_t>(d.w)), value, d.d, scale_);
  } else {
    fill_stars(field(static_cast<std::size_t>(std::max(d.w, 1))));
  }
  return *this;
}

statement& statement::operator<<(std::string_view text) {
  if (ended_ || !reach_data(true)) return *this;
  const descriptor& d = take_data();
  if (d.kind == op::text_a) {
    format_text(field(d.w == 0 ? text.size() : static_cast<std::size_t>(d.w)), text);
  } else {
    fill_stars(field(static_cast<std::size_t>(std::max(d.w, 1))));
  }
  return *this;
}

statement& statement::operator<<(std::span<const double> values) {
  std::size_t i = 0;
  while (i < values.size()) {
    if (ended_ || !reach_data(true)) return *this;
    const descriptor& d = layout_->items[at_];
    if (d.kind != op::exp_e && d.kind != op::fixed_f) {
      *this << values[i++];
      continue;
    }
    // A run of the same real descriptor (99E12.4): the fields of the run are
    // taken at once, then filled one after the other.
    const auto width = static_cast<std::size_t>(d.w);
    const std::size_t run =
        std::min(values.size() - i, static_cast<std::size_t>(d.repeat - taken_));
    const std::span<char> block = field(run * width);
    if (d.kind == op::exp_e) {
      format_exponents(block, values.subspan(i, run), d.d, scale_);
    } else {
      for (std::size_t k = 0; k < run; ++k) {
        format_fixed(block.subspan(k * width, width), values[i + k], d.d, scale_);
      }
    }
    taken_ += static_cast<int>(run);
    if (taken_ >= d.repeat) {
      ++at_;
      taken_ = 0;
    }
    i += run;
  }
  return *this;
}

namespace {

// The record of write_reals, reused from call to call.
constinit detail::record_buffer g_reals_record{};

}  // namespace

std::size_t reals_record_size(const layout& l, std::size_t count) {
  const descriptor& f = l.items[0];
  const descriptor& k = l.items[1];
  const descriptor& e = l.items[2];
  if (l.count != 3 || f.kind != op::fixed_f || f.repeat != 1 || k.kind != op::scale ||
      e.kind != op::exp_e || count > static_cast<std::size_t>(e.repeat)) {
    return 0;
  }
  return static_cast<std::size_t>(f.w) + count * static_cast<std::size_t>(e.w);
}

void format_reals(char* record, const layout& l, double first, std::span<const double> rest) {
  const descriptor& f = l.items[0];
  const descriptor& k = l.items[1];
  const descriptor& e = l.items[2];
  const auto first_width = static_cast<std::size_t>(f.w);
  const std::size_t size = first_width + rest.size() * static_cast<std::size_t>(e.w);
  format_fixed(std::span<char>(record, first_width), first, f.d, 0);  // a statement starts at 0P
  format_exponents(std::span<char>(record + first_width, size - first_width), rest, e.d, k.w);
}

void write_reals(int unit, const layout& l, double first, std::span<const double> rest) {
  const std::size_t size = reals_record_size(l, rest.size());
  if (size == 0) {
    write(unit, l, first, rest);
    return;
  }
  if (g_reals_record.capacity < size) g_reals_record.grow(size, 0);
  char* const record = g_reals_record.bytes.get();
  format_reals(record, l, first, rest);
  put_record(unit, std::string_view(record, size), true);
}

void statement::end() {
  if (ended_) return;
  ended_ = true;
  reach_data(false);
  if (!internal_) write_current(!no_advance_);
}

}  // namespace vantor::textio
