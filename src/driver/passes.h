#ifndef VIMBREL_DRIVER_PASSES_H_
#define VIMBREL_DRIVER_PASSES_H_

#include <vector>

#include "driver/driver.h"
#include "passtwo/branch_islands.h"

/// Runs pass one (input to intermediate file) and pass two (intermediate to
/// final file), reporting progress and failures on standard error. Returns
/// the exit status; the files and names in run_state stay held. Branches
/// that `limits` says cannot reach go through islands; the final line
/// numbers of those that may still not reach go to `doubtful_lines`.
int rewrite_files(const FileNames& names,
                  const BranchLimits& limits = BranchLimits(),
                  std::vector<long>* doubtful_lines = nullptr);

/// Runs pass one on the input, writing nothing, and prints on standard
/// output each name that it traces, in the order of its first entry block,
/// after the number of functions that bear it. Returns the exit status.
int list_traced_names(const FileNames& names);

#endif  // VIMBREL_DRIVER_PASSES_H_
