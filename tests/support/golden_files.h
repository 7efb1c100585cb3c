#ifndef VIMBREL_TESTS_SUPPORT_GOLDEN_FILES_H_
#define VIMBREL_TESTS_SUPPORT_GOLDEN_FILES_H_

#include <string>
#include <vector>

/// The tracer prologue as the intermediate file holds it, checked by hand
/// line by line: `name` is prologue (getTimer), prologue_date (the wall
/// clock, Flash 7 and later), prologue_date_plain (the wall clock in plain
/// functions), prologue_flush or prologue_date_flush (--flush-every).
std::string expected_prologue(const std::string& name = "prologue");

/// The folder names of the golden cases, sorted.
std::vector<std::string> golden_case_names();

/// The options a golden case runs with, from its `arguments` file, one per
/// line; none when it has no such file.
std::vector<std::string> golden_case_options(const std::string& case_dir);

#endif  // VIMBREL_TESTS_SUPPORT_GOLDEN_FILES_H_
