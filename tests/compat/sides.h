// One comparison of make compat: the same inputs laid out for the old and the
// new build, each run in a folder of its own, and everything they leave
// compared byte for byte: standard output and error, the exit status and
// every file. Date stamps are checked as dates (the layout " Date :
// YYYY-MM-DD HH:MM:SS" and a value within the run's own start and end, local
// time) and then masked, so that runs a second apart compare equal.
//
// After a vantor run that finished, both builds' vantor-plot draw it (the
// single run plainly, with a required life and with --long) and compare it
// with the previous finished run of the same worker (--compare).
#pragma once

#include <cstdint>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

namespace vantor::testing {

// Everything one side left: file name (or "(status)", "(date)") to bytes.
using outcome = std::map<std::string, std::string>;

struct builds {
  std::string old_vantor, new_vantor;
  std::string old_plot, new_plot;  // empty: vantor-plot is not compared
};

struct verdict {
  bool finished = false;             // the old run ended with status 0 and a report
  std::vector<std::string> differs;  // names that differ; empty: the same
};

// Runs both vantor builds on the inputs in work/old and work/new (a name
// ending in "/" makes a folder).
verdict compare_vantor(const builds& b, const std::filesystem::path& work,
                       const std::map<std::string, std::string>& inputs);

// Both builds' vantor-plot on the run left in work/old (prefix given),
// against the run kept in work/prev (empty prev_prefix: none yet). Each
// invocation counts as one comparison in `compared`.
verdict compare_plot(const builds& b, const std::filesystem::path& work, const std::string& prefix,
                     const std::string& prev_prefix, std::uint64_t seed, int& compared);

}  // namespace vantor::testing
