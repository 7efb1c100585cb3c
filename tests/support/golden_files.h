#ifndef VIMBREL_TESTS_SUPPORT_GOLDEN_FILES_H_
#define VIMBREL_TESTS_SUPPORT_GOLDEN_FILES_H_

#include <string>

/// The tracer prologue as the intermediate file holds it, checked by hand
/// line by line.
std::string expected_prologue();

#endif  // VIMBREL_TESTS_SUPPORT_GOLDEN_FILES_H_
