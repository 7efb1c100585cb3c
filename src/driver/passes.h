#ifndef VIMBREL_DRIVER_PASSES_H_
#define VIMBREL_DRIVER_PASSES_H_

#include "driver/driver.h"

/// Runs pass one (input to intermediate file) and pass two (intermediate to
/// final file), reporting progress and failures on standard error. Returns
/// the exit status; the files and names in run_state stay held.
int rewrite_files(const FileNames& names);

#endif  // VIMBREL_DRIVER_PASSES_H_
