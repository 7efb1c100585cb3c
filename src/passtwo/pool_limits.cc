#include "passtwo/pool_limits.h"

#include "scan/string_literal.h"

bool pool_fits(const std::set<std::string>& names) {
  if (names.size() > kMostPoolNames)
    return false;
  std::size_t bytes = 0;
  for (const std::string& name : names) {
    bytes += resolved_size(name, '\'') + 1;
    if (bytes > kMostPoolBytes)
      return false;
  }
  return true;
}
