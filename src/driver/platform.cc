#include "driver/platform.h"

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#include <windows.h>
#include <shellapi.h>

#include "state/log_line.h"
#endif

std::size_t file_name_start(const std::string& path, bool windows_paths) {
  std::size_t start = 0;
  if (windows_paths && path.size() >= 2 && path[1] == ':' &&
      ((path[0] >= 'A' && path[0] <= 'Z') || (path[0] >= 'a' && path[0] <= 'z')))
    start = 2;
  for (std::size_t i = start; i < path.size(); ++i) {
    if (path[i] == '/' || (windows_paths && path[i] == '\\'))
      start = i + 1;
  }
  return start;
}

#ifdef _WIN32

namespace {

std::string Narrow(const wchar_t* text) {
  int size = WideCharToMultiByte(CP_UTF8, 0, text, -1, nullptr, 0, nullptr,
                                 nullptr);
  if (size <= 0)
    return std::string();
  std::string narrow(static_cast<std::size_t>(size), '\0');
  WideCharToMultiByte(CP_UTF8, 0, text, -1, &narrow[0], size, nullptr,
                      nullptr);
  narrow.resize(static_cast<std::size_t>(size) - 1);
  return narrow;
}

std::wstring Widen(const char* text, std::size_t length) {
  if (length == 0)
    return std::wstring();
  int size = MultiByteToWideChar(CP_UTF8, 0, text, static_cast<int>(length),
                                 nullptr, 0);
  std::wstring wide(static_cast<std::size_t>(size), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, text, static_cast<int>(length), &wide[0],
                      size);
  return wide;
}

std::wstring Widen(const std::string& text) {
  return Widen(text.data(), text.size());
}

// A console shows UTF-16; the messages are UTF-8.
void WriteToConsole(const char* text, std::size_t size) {
  std::wstring wide = Widen(text, size);
  DWORD written;
  WriteConsoleW(GetStdHandle(STD_ERROR_HANDLE), wide.data(),
                static_cast<DWORD>(wide.size()), &written, nullptr);
}

}  // namespace

std::vector<std::string> command_line_arguments(int, char**) {
  std::vector<std::string> arguments;
  int count = 0;
  wchar_t** wide = CommandLineToArgvW(GetCommandLineW(), &count);
  if (!wide)
    return arguments;
  for (int i = 0; i < count; ++i)
    arguments.push_back(Narrow(wide[i]));
  LocalFree(wide);
  return arguments;
}

std::FILE* open_file(const std::string& path, const char* mode) {
  return _wfopen(Widen(path).c_str(), Widen(std::string(mode)).c_str());
}

std::filesystem::path file_system_path(const std::string& path) {
  return std::filesystem::path(Widen(path));
}

void prepare_standard_streams() {
  _setmode(_fileno(stdout), _O_BINARY);
  DWORD mode;
  if (GetConsoleMode(GetStdHandle(STD_ERROR_HANDLE), &mode))
    set_message_writer(WriteToConsole);
  else
    _setmode(_fileno(stderr), _O_BINARY);
}

#else

std::vector<std::string> command_line_arguments(int argc, char** argv) {
  return std::vector<std::string>(argv, argv + argc);
}

std::FILE* open_file(const std::string& path, const char* mode) {
  return std::fopen(path.c_str(), mode);
}

std::filesystem::path file_system_path(const std::string& path) {
  return std::filesystem::path(path);
}

void prepare_standard_streams() {}

#endif
