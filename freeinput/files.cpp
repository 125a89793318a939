#include "freeinput/files.h"

#include <climits>

#include "freeinput/text.h"
#include "textio/format/field.h"
#include "textio/records/writer.h"
#include "textio/units/units.h"

namespace vantor::freeinput {

namespace {

using textio::layout_of;

constexpr auto kOpenedNamed = layout_of("(/,/,/,TR5,'FILE  ',A,/,TR5,'IS OPENED ON UNIT NO.',I4)");
constexpr auto kOpenedScratch = layout_of("(/,/,/,TR5,'A SCRATCH FILE IS OPENED ON UNIT NO.',I4)");
constexpr auto kCharacteristics = layout_of(
    "(TR5,'FILE CHARACTERISTICS :',/,TR10,'STATUS =',A7,/,TR10,'ACCESS =',A10,"
    "/,TR10,'FORM   =',A11,/,TR10,'LENGTH =',I5,' WORDS/BYTES PER RECORD (SECTOR)')");
constexpr auto kBlankLine = layout_of("(TR10,'BLANK  =',A4)");

constexpr auto kErrorHeader = layout_of("(/,/,/,' *** ERROR DURING OPENING OF FILE UNIT',I5)");
constexpr auto kIllegalUnitLine = layout_of("(TR5,'ILLEGAL FILE UNIT')");
constexpr auto kIllegalLengthLine = layout_of("(TR5,'ILLEGAL RECORD LENGTH =',I5)");
constexpr auto kSystemErrorLine = layout_of("(TR5,'ERROR CODE =',I5,'  (SYSTEM PARAMETER)')");

constexpr int kFirstUnit = 1;
constexpr int kDefaultRecordLength = 128;
constexpr int kBytesPerWord = 4;

// The status of the open for the file layer; status receives its word for
// the report (it stays as it was, "UNKNOWN", for any other number).
textio::open_status open_status_of(int istat, textio::field<7>& status) {
  switch (istat) {
    case kStatusOld:
      textio::assign(status, "OLD");
      return textio::open_status::old_file;
    case kStatusNew:
      textio::assign(status, "NEW");
      return textio::open_status::new_file;
    case kStatusScratch:
      textio::assign(status, "SCRATCH");
      return textio::open_status::scratch;
    default:
      return textio::open_status::unknown;
  }
}

// The characteristics of an opened file, with its blank handling when it is
// formatted (blank given).
void report_characteristics(int lunmsg, const textio::field<7>& status,
                            const textio::field<10>& access, const textio::field<11>& form,
                            const textio::field<4>* blank, int record_length) {
  textio::write(lunmsg, kCharacteristics, textio::view(status), textio::view(access),
                textio::view(form), record_length);
  if (blank != nullptr) textio::write(lunmsg, kBlankLine, textio::view(*blank));
}

}  // namespace

void FIIOPN(std::string_view name, int unit, int istat, int iacc, int iform, int iblank, int irecw,
            int irep, int lunmsg, int& ierr) {
  ierr = 0;
  if (unit < kFirstUnit || unit > textio::kMaxUnit) {
    if (lunmsg > 0) {
      textio::write(lunmsg, kErrorHeader, unit);
      textio::write(lunmsg, kIllegalUnitLine);
    }
    ierr = kIllegalUnit;
    return;
  }

  textio::field<7> status{};
  textio::field<10> access{};
  textio::field<11> form{};
  textio::field<4> blank{};
  textio::assign(status, "UNKNOWN");
  textio::assign(access, "SEQUENTIAL");
  textio::assign(form, "FORMATTED");
  textio::assign(blank, "NULL");

  textio::open_spec spec;
  spec.status = open_status_of(istat, status);

  const bool direct = iacc == kAccessDirect || iacc == kAccessDirect128;
  bool formatted = !direct;
  if (iform == kFormFormatted) formatted = true;
  if (iform == kFormUnformatted) formatted = false;
  if (!formatted) textio::assign(form, "UNFORMATTED");

  // Record length: characters for formatted files, 4-byte words otherwise.
  int record_length = 0;
  if (iacc == kAccessDirect) {
    // A record of more bytes than an int holds cannot be opened either.
    if (irecw < 1 || irecw > INT_MAX / kBytesPerWord) {
      if (lunmsg > 0) {
        textio::write(lunmsg, kErrorHeader, unit);
        textio::write(lunmsg, kIllegalLengthLine, irecw);
      }
      ierr = kIllegalRecordLength;
      return;
    }
    record_length = formatted ? kBytesPerWord * irecw : irecw;
  } else if (iacc == kAccessDirect128) {
    record_length = kDefaultRecordLength;
  }

  if (direct) {
    textio::assign(access, "DIRECT");
    spec.access = textio::open_access::direct;
    spec.record_bytes = formatted ? record_length : kBytesPerWord * record_length;
  }
  if (formatted) {
    if (iblank == kBlankZero) textio::assign(blank, "ZERO");
    spec.form = textio::open_form::formatted;
  } else {
    spec.form = textio::open_form::unformatted;
  }

  const bool scratch = spec.status == textio::open_status::scratch;
  const std::string_view file_name = name.substr(0, static_cast<std::size_t>(LENNB(name)));
  if (!scratch) spec.name = file_name;

  // The file layer fails a directory or an unreadable file here, with its
  // number, rather than at the first read.
  const int number = textio::open_unit(unit, spec);

  if (number == 0) {
    ierr = 0;
    if (irep > 0 && lunmsg > 0) {
      if (scratch) {
        textio::write(lunmsg, kOpenedScratch, unit);
      } else {
        textio::write(lunmsg, kOpenedNamed, name, unit);
      }
      report_characteristics(lunmsg, status, access, form, formatted ? &blank : nullptr,
                             record_length);
    }
    return;
  }

  if (lunmsg > 0) {
    textio::write(lunmsg, kErrorHeader, unit);
    textio::write(lunmsg, kSystemErrorLine, number);
  }
  ierr = -number;
}

void OPNSEQ(std::string_view name, int unit, int iexist, int& ierr) {
  // A negative iexist is taken like 0: the file may or may not exist.
  const int istat = iexist > 0 ? kStatusOld : kStatusUnknown;
  const std::string_view file_name = name.substr(0, static_cast<std::size_t>(LENNB(name)));
  int code = 0;
  FIIOPN(file_name, unit, istat, 0, kFormFormatted, 0, 0, 0, -1, code);
  if (code != 0) {
    ierr = -1;
    return;
  }
  // A file opened to be written starts empty.
  if (istat != kStatusOld) textio::cut_unit(unit);
}

}  // namespace vantor::freeinput
