#include "support/flasm.h"

#include <cstdlib>

#include "scan/string_literal.h"
#include "support/binary_runner.h"
#include "support/files.h"
#include "support/minimal_swf.h"

const char kNoFlasm[] =
    "FLASM is not set: these tests assemble vimbrel's output with flasm 1.62; "
    "set FLASM to its path (.ci/run uses ../shared/tools/flasm/flasm)";

std::string flasm_path() {
  const char* path = std::getenv("FLASM");
  return path ? path : "";
}

bool Assembly::assembled() const {
  return status == 0 &&
         output.find("successfully assembled") != std::string::npos;
}

namespace {

// flasm's first line: movie 'NAME' ...
std::string MovieName(const std::string& text) {
  std::string_view name;
  std::size_t end = 0;
  std::size_t open = text.find('\'');
  if (text.rfind("movie", 0) != 0 || open == std::string::npos ||
      !read_string_literal(text, open, name, end))
    return "movie.swf";
  return std::string(name);
}

}  // namespace

Assembly assemble_text(const std::string& directory, const std::string& name,
                       const std::string& text, const std::string& movie) {
  write_file(directory + "/" + name, text);
  write_file(directory + "/" + MovieName(text),
             movie.empty() ? minimal_swf_for(text) : movie);
  RunResult run = run_program(directory, flasm_path(), {"-a", name});
  Assembly assembly;
  assembly.status = run.status;
  assembly.output = run.standard_output + run.standard_error;
  return assembly;
}
