// The layouts the system writes with, for the writer's tests.
#pragma once

#include <array>

#include "textio/format/layout.h"

namespace vantor::textio {

inline constexpr std::array kSystemLayouts = {
    layout_of("(/,A,I8,A,/)"),
    layout_of("(/,I6,A,/)"),
    layout_of("(' ',A,$)"),
    layout_of("(A,A)"),
    layout_of("(A)"),
    layout_of("(/,/,A)"),
    layout_of("(A,F12.3)"),
    layout_of("(/,A,F12.3)"),
    layout_of("(F13.3,1P,99E12.4)"),
    layout_of("(F13.3,1P,E12.4,0P,F35.1)"),
    layout_of("(A,I5.3,A,A,A,A,A,A,1P,E12.4)"),
    layout_of("(A,A,A)"),
    layout_of("(A,I4,A,A,A,A)"),
    layout_of("(A,I5,A,A,I5,A,A,A,A,A)"),
    layout_of("(A,I3,A,A)"),
    layout_of("(/,TR2,'*** ERROR IN Vantor    ***')"),
    layout_of("(/,TR2,'*** ERROR IN CHARIN ***')"),
    layout_of("(/,/,'   Negative integer input         : ',I12)"),
    layout_of("(/,/,'   Actual integer number          : ',I12,/,"
              "'   has more digits than specified : ',I10)"),
    layout_of("(A,I4,A,I2.2,A,I2.2,A,I2.2,A,I2.2,A,I2.2)"),
    layout_of("(TR1,A)"),
    layout_of("(TR5,'IOSTAT =',I4)"),
    layout_of("(TR5,'(',I5,' TIMES )')"),
    layout_of("(/,' *** ERROR DURING READING OF LINE',I6,'  ON UNIT',I4)"),
    layout_of("(/,/,/,' *** ERROR RETURN FROM  Q O R  LIBRARY ROUTINE FIIOPN',/,TR5,"
              "'ILLEGAL PARAMETER(S) :  NCHLIN =',I5,/,TR29,'NCMTCH =',I5,/,TR29,'LUNRD  =',I5)"),
    layout_of("(TR5,'FILE CHARACTERISTICS :',/,TR10,'STATUS =',A7,/,TR10,'ACCESS =',A10,/,"
              "TR10,'FORM   =',A11,/,TR10,'LENGTH =',I5,' WORDS/BYTES PER RECORD (SECTOR)')"),
};

}  // namespace vantor::textio
