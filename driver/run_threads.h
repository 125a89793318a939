// How many threads a run may use: VANTOR_THREADS when it is a positive number,
// otherwise as many as the machine runs at once. With 1 a run keeps every step
// on the main thread (and the writer thread it has always had).
#pragma once

namespace vantor::driver {

int run_threads();

}  // namespace vantor::driver
