// The RAWDAM planes as the first pass fills them, one case after another.
//
// Before a case is read its plane is made usable. Once the first case has
// shown how much of a plane each case fills, a helper thread faults in the
// pages of the next case's plane while one case is read: never more than one
// plane ahead of the reading, and never a page of the plane being read.
// VANTOR_THREADS=1 keeps every fault on the reading thread.
//
// VANTOR_HUGE_PAGES=1 also advises the planes of the cases after the first
// for large pages where the cases fill them (nearly) whole: far fewer faults,
// but on the virtual machines measured, large pages fresh from the system
// cost more than they saved on a full run, so the default keeps small ones.
#pragma once

#include "driver/state.h"

namespace vantor::driver {

// Called once after the first case (icase) is read, with its NELEM: the
// planes of the cases after it up to ILAST, in t.
void plan_case_planes(run_tables& t, int icase, int ILAST, int NELEM);

// Called before case icase is read: its plane usable, the next case's plane
// under way when planned.
void ready_case_plane(run_tables& t, int icase);

// Called by another thread before it writes the plane of case icase (made
// usable by the reading thread): waits while the helper is touching its pages.
void await_case_plane(int icase);

}  // namespace vantor::driver
