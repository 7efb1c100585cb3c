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

#endif  // VIMBREL_DRIVER_PASSES_H_
