// The matrix rows of the weighted damage files, weighed and rendered ahead.
//
// Pass 2 weighs each case (its raw damage times its probability, added to the
// accumulated damage) and writes the products as matrix rows. With more than
// one thread, a helper weighs and renders the first half of each case's rows,
// case after case, into a ring of two halves of WGHDAM's storage, while the
// main thread opens each file and weighs and renders the other half itself.
// Each row's accumulated damage is added to by one thread in case order, so
// the sums are those of the single-threaded run; every record goes out from
// the main thread, in its order.
#pragma once

#include <cstddef>

#include "driver/state.h"

namespace vantor::driver {

// One row weighed: product[j] = w x raw[j], acc[j] += product[j], hot spots
// 0 to nhot - 1 (the arithmetic of every path).
void weigh_row(double w, const section_damages& raw, double* product, section_damages& acc,
               std::size_t nhot);

// Starts the helper for cases IFIRST to ILAST (NELEM rows of NHOT hot spots
// each); false, with nothing started, when the run uses one thread or none
// can be started: the caller then weighs and renders every case itself.
bool start_weighted_rows(run_tables& t, const case_range& cases, const case_shape& shape);

// Weighs the second half of the rows of case icase, the next in the helper's
// order, and writes all of them on the weighted file's unit: the first half
// rendered by the helper, the rest here, each the record write_reals writes.
// Once it has returned for the last case, every sum of the run is complete.
void write_next_weighted_rows(run_tables& t, int icase);

}  // namespace vantor::driver
