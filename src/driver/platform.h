#ifndef VIMBREL_DRIVER_PLATFORM_H_
#define VIMBREL_DRIVER_PLATFORM_H_

// What the platform does its own way: the command line, file names and the
// console. File names are UTF-8 everywhere else in the program.

#include <cstddef>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

/// True where `\` separates folders and a drive letter may begin a path.
#ifdef _WIN32
constexpr bool kWindowsPaths = true;
#else
constexpr bool kWindowsPaths = false;
#endif

/// The command-line arguments as UTF-8, the program name first.
std::vector<std::string> command_line_arguments(int argc, char** argv);

/// Opens the file named `path` in `mode` ("rb" or "wb"); null on failure.
std::FILE* open_file(const std::string& path, const char* mode);

/// `path` as the file system library takes it.
std::filesystem::path file_system_path(const std::string& path);

/// Makes standard error show messages as they are: their UTF-8 bytes, with
/// plain line ends, in a file or a pipe; their characters in a console.
/// Standard output gets plain line ends too.
void prepare_standard_streams();

/// Where the file-name part of `path` begins: after the last folder
/// separator, or after a drive letter such as the one in C:movie.flm.
std::size_t file_name_start(const std::string& path, bool windows_paths);

#endif  // VIMBREL_DRIVER_PLATFORM_H_
