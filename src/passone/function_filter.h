#ifndef VIMBREL_PASSONE_FUNCTION_FILTER_H_
#define VIMBREL_PASSONE_FUNCTION_FILTER_H_

#include <string>
#include <string_view>
#include <vector>

// Which functions get their entry and exit blocks: those whose name, as the
// records show it, matches an --only pattern (when any is given) and no
// --skip pattern. Patterns are globs on the whole name: `*` any run of
// characters, `?` one character, `\` quotes the next one.

/// True when `name` matches `pattern` as a whole.
bool glob_matches(std::string_view pattern, std::string_view name);

class FunctionFilter {
 public:
  void add_only(std::string pattern) { only_.push_back({std::move(pattern)}); }
  void add_skip(std::string pattern) { skip_.push_back({std::move(pattern)}); }
  bool empty() const { return only_.empty() && skip_.empty(); }

  /// True when the function named `name` (as it stands between the quotes
  /// of a flasm literal) is to be traced. Notes which patterns matched.
  bool traces(std::string_view name);

  /// One message for each pattern that has matched no function so far.
  std::vector<std::string> unmatched() const;

 private:
  struct Pattern {
    std::string glob;
    bool matched = false;
  };
  static bool AnyMatches(std::vector<Pattern>& patterns,
                         const std::string& name);

  std::vector<Pattern> only_;
  std::vector<Pattern> skip_;
};

#endif  // VIMBREL_PASSONE_FUNCTION_FILTER_H_
