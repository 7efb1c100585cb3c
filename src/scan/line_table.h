#ifndef VIMBREL_SCAN_LINE_TABLE_H_
#define VIMBREL_SCAN_LINE_TABLE_H_

/// The number of entries of a line table (an array of texts closed by a
/// null pointer) before its null pointer.
int count_entries(const char* const* table);

#endif  // VIMBREL_SCAN_LINE_TABLE_H_
