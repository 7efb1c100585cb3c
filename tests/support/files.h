#ifndef VIMBREL_TESTS_SUPPORT_FILES_H_
#define VIMBREL_TESTS_SUPPORT_FILES_H_

#include <string>

/// The whole file as bytes; empty when it cannot be read.
std::string read_file(const std::string& path);
void write_file(const std::string& path, const std::string& content);
/// True for anything at `path`, a dangling link included.
bool file_exists(const std::string& path);

#endif  // VIMBREL_TESTS_SUPPORT_FILES_H_
