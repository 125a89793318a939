#include "freeinput/state.h"

#include "textio/records/writer.h"
#include "textio/units/units.h"

namespace vantor::freeinput {

thread_local constinit free_input_state input_state{};

namespace {

constexpr auto kShortReport = textio::layout_of("(/,TR2,'*** ERROR IN INIFII_2 ***')");
constexpr auto kParameterReport = textio::layout_of(
    "(/,/,/,' *** ERROR RETURN FROM  Q O R  LIBRARY ROUTINE FIIOPN',/,TR5,'ILLEGAL "
    "PARAMETER(S) :  NCHLIN =',I5,/,TR29,'NCMTCH =',I5,/,TR29,'LUNRD  =',I5)");

void report_parameters(int nchlin, int ncmtch, int lunrd) {
  // Written on the message unit of the previous initialisation.
  const int unit = input_state.LUNMSG;
  if (unit >= 0) textio::write(message_unit(unit), kParameterReport, nchlin, ncmtch, lunrd);
}

}  // namespace

void INIFII_2(int nchlin, int ncmtch, int lunrd, int lunmsg, int& ierr) {
  free_input_state& st = input_state;
  if (lunrd <= 0 && lunrd != kMemorySource) {
    if (lunmsg >= 0) textio::statement(message_unit(lunmsg), kShortReport).end();
    --ierr;
    return;
  }

  // Each parameter that passes is taken over before the next is checked.
  if (nchlin < 1 || nchlin > kMaxLineWidth) {
    report_parameters(nchlin, ncmtch, lunrd);
    --ierr;
    return;
  }
  st.NCHLIN = nchlin;
  if (ncmtch < 1) {
    report_parameters(nchlin, ncmtch, lunrd);
    --ierr;
    return;
  }
  st.NCMTCH = ncmtch;
  st.LUNRD = lunrd;

  st.LUNMSG = lunmsg;
  st.LUNECH = lunmsg < 0 ? lunmsg : -lunmsg;  // no echo unless the message unit is 0
  st.CMTMRK = '*';
  st.IUPCAS = 1;
  st.MAXEOF = 0;
  st.NEOF = 0;
  st.IERSTA = 0;
  st.NLINRD = 0;
  st.WORDBF.fill(' ');
  st.NWORD = 0;
  st.IVALUE = 0;
  st.digit_value = 0;
  st.digit_real = 0.0;
  st.RVALUE = 0.0;

  // One end of file is handed to the caller; apostrophe comment lines.
  SETOPT(1, 12);
  SETCMT('\'');
  SETOPT(lunrd, 1);

  if (lunrd >= 0) {
    // A unit that cannot be rewound (a pipe) is read on from where it stands.
    (void)textio::rewind_unit(lunrd);
  } else {
    st.memory_position = 0;
  }
}

void SETOPT(int value, int code) {
  free_input_state& st = input_state;
  switch (code) {
    case 1:
      st.LUNRD = value;
      break;
    case 2:
      st.LUNMSG = value;
      break;
    case 3:
      st.LUNECH = value;
      break;
    case 11:
      st.IUPCAS = value;
      break;
    case 12:
      st.MAXEOF = value;
      break;
    case 13:
      st.NEOF = value;
      break;
    case 21:
      // A width of less than one column would leave no room for a line.
      st.NCHLIN = value > kMaxLineWidth ? kMaxLineWidth : (value < 1 ? 1 : value);
      break;
    case 22:
      st.NCMTCH = value < 1 ? 1 : value;
      break;
    default:
      break;
  }
}

int QRYOPT(int code) {
  const free_input_state& st = input_state;
  switch (code) {
    case 1:
      return st.ICOL;
    case 2:
      return st.NCHLIN;
    case 3:
      return st.NCMTCH;
    case 4:
      return st.IUPCAS;
    case 5:
      return st.LUNRD;
    case 6:
      return st.LUNMSG;
    case 7:
      return st.LUNECH;
    case 8:
      return st.MAXEOF;
    case 9:
      return st.NLINRD;
    case 10:
      return st.LASTCL;
    default:
      return 0;
  }
}

void SETCMT(char marker) {
  input_state.CMTMRK = marker;
}

}  // namespace vantor::freeinput
