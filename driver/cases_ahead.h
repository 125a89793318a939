// The cases of the first pass read ahead on a helper thread.
//
// While the reading thread reads case k itself, the helper reads case k + 1
// whole from a regular file, with a reader of its own, into k + 1's plane. The
// reading thread then opens k + 1 as always (the same console line and the
// same open errors, in order) and takes the helper's reading only when the
// file was read to its end without a fault, under the same name. Any other
// case is read again in order, so the first fault decides the error block as
// it does on one thread. The helper writes no file and nothing on the
// console, and holds at most the one plane after the case being read.
#pragma once

#include <string_view>

#include "driver/state.h"

namespace vantor::driver {

// Called once after the first case (icase) is read, with the shape it gave:
// starts the helper when the run has threads for it and cases after icase up
// to ILAST. The helper reads into t's planes.
void plan_cases_ahead(run_tables& t, int icase, int ILAST, const case_shape& shape);

// Called by the reading thread before it reads case icase - 1 itself: hands
// case icase, of that file name, to the helper. False when there is none.
bool hand_case_ahead(int icase, std::string_view name);

// Called by the reading thread for case icase once handed: waits for the
// helper; true when the case was read clean under that name, lines then
// receiving the records it read.
bool take_case_ahead(int icase, std::string_view name, int& lines);

}  // namespace vantor::driver
