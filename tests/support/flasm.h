#ifndef VIMBREL_TESTS_SUPPORT_FLASM_H_
#define VIMBREL_TESTS_SUPPORT_FLASM_H_

#include <string>

/// The flasm the tests assemble with, named by the FLASM environment
/// variable; empty when it is not set.
std::string flasm_path();

/// Why a test that needs flasm skips without it.
extern const char kNoFlasm[];

struct Assembly {
  int status = -1;
  /// What flasm printed, both streams.
  std::string output;
  /// flasm's exit status was 0 and it said so.
  bool assembled() const;
};

/// Writes `text` as `directory`/`name`, and beside it the movie that its
/// movie line names: `movie` (its bytes) when given, else a minimal one; and
/// assembles it with flasm there.
Assembly assemble_text(const std::string& directory, const std::string& name,
                       const std::string& text, const std::string& movie = "");

#endif  // VIMBREL_TESTS_SUPPORT_FLASM_H_
