#ifndef VIMBREL_PASSTWO_POOL_LIMITS_H_
#define VIMBREL_PASSTWO_POOL_LIMITS_H_

#include <cstddef>
#include <set>
#include <string>

// flasm refuses a constant pool of more strings, or more bytes (each string
// with its terminating NUL), than these; on more than 10,000 strings it
// crashes.
constexpr std::size_t kMostPoolNames = 10000;
constexpr std::size_t kMostPoolBytes = 65530;

/// True when flasm takes a pool that declares `names`, each the body of a
/// single-quoted literal.
bool pool_fits(const std::set<std::string>& names);

#endif  // VIMBREL_PASSTWO_POOL_LIMITS_H_
