// Opening files by unit number.
//
// FIIOPN turns integer codes into the properties of an open (status, access,
// form, blank handling, record length), opens with shared access, reports on a
// message unit and returns an error code instead of stopping the run. OPNSEQ
// opens a formatted sequential text file silently.
#pragma once

#include <string_view>

namespace vantor::freeinput {

// Codes of FIIOPN.
inline constexpr int kStatusUnknown = 1;      // istat: old or new, either will do
inline constexpr int kStatusOld = 2;          // istat: the file must exist
inline constexpr int kStatusNew = 3;          // istat: the file must not exist
inline constexpr int kStatusScratch = 4;      // istat: unnamed temporary file
inline constexpr int kAccessSequential = 10;  // iacc: sequential (any code but 20 and 30)
inline constexpr int kAccessDirect = 20;      // iacc: direct, record length from irecw
inline constexpr int kAccessDirect128 = 30;   // iacc: direct, record length 128
inline constexpr int kFormFormatted = 1;      // iform
inline constexpr int kFormUnformatted = 2;    // iform
inline constexpr int kBlankNull = 0;          // iblank: blanks ignored (any code but 1)
inline constexpr int kBlankZero = 1;          // iblank: blanks read as zeros
inline constexpr int kNoRecordWords = 0;      // irecw: no record length (not direct access)
inline constexpr int kNoReport = -1;          // irep: no opening report (any value up to 0)

// Error codes of FIIOPN besides 0 and minus the open-failure number.
inline constexpr int kIllegalUnit = -901;
inline constexpr int kIllegalRecordLength = -902;

// Opens the file `name` (trailing blanks not part of it; unused for scratch) on
// unit 1 to 99. istat: 2 old, 3 new, 4 scratch, else unknown. iacc: 20 direct
// with irecw 4-byte words per record, 30 direct with 128, else sequential.
// iform: 1 formatted, 2 unformatted, else unformatted for direct access and
// formatted otherwise. iblank: 1 zero, else null. irep > 0 writes the opening
// report; lunmsg <= 0 writes nothing at all. ierr: 0, -901 illegal unit, -902
// illegal record length, or minus the open-failure number (29 not found,
// 9 access denied, 10 exists, 42 no such device, 43 bad name, 30 otherwise).
void FIIOPN(std::string_view name, int unit, int istat, int iacc, int iform, int iblank, int irecw,
            int irep, int lunmsg, int& ierr);

// Opens a formatted sequential file silently: status old when iexist > 0,
// unknown otherwise. Any failure sets ierr to -1; success leaves it untouched.
void OPNSEQ(std::string_view name, int unit, int iexist, int& ierr);

}  // namespace vantor::freeinput
