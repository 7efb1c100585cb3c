#include "scan/line_table.h"

int count_entries(const char* const* table) {
  int count = 0;
  while (table[count])
    ++count;
  return count;
}
