#ifndef VIMBREL_DRIVER_DRIVER_H_
#define VIMBREL_DRIVER_DRIVER_H_

#include <string>

#include "driver/platform.h"

/// Exit statuses of the program.
enum ExitStatus : int {
  kExitSuccess = 0,
  kExitFailure = 1,
  kExitUsage = 2,
};

/// The three files of a run.
struct FileNames {
  std::string input;
  std::string final_output;
  std::string intermediate;
};

/// Derives the final (.fln) and intermediate (.tmp) names from the first
/// ".flm" in the file-name part of `input`. False when that part holds none.
/// On Windows `\` separates folders too, and a drive letter may lead.
bool derive_file_names(const std::string& input, FileNames& names,
                       bool windows_paths = kWindowsPaths);

/// Calls the handler of the current state until one returns 0.
void run_pass();

/// Writes the banner to standard error.
void print_usage();
/// Writes the banner and the options to standard error.
void print_usage_and_options();
/// Writes the banner and the options to standard output, as --help asks.
void print_help();

/// Releases everything run_state holds and ends the process. Never returns.
[[noreturn]] void shutdown(int exit_status);

#endif  // VIMBREL_DRIVER_DRIVER_H_
