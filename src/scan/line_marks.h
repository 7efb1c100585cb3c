#ifndef VIMBREL_SCAN_LINE_MARKS_H_
#define VIMBREL_SCAN_LINE_MARKS_H_

// What flasm writes on a line besides its code: the comment that says which
// block an `end` line closes.

/// True when the current line's second to fourth tokens are "// of" and
/// `block`: flasm's mark on the line that closes such a block.
bool current_line_closes(const char* block);

#endif  // VIMBREL_SCAN_LINE_MARKS_H_
