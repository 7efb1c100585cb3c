#ifndef VIMBREL_PASSONE_SCAN_STATES_H_
#define VIMBREL_PASSONE_SCAN_STATES_H_

#include <string_view>

/// Scan (state 0): reads a line's first token and hands the line on.
int scan();
/// FrameSeen (state 1): a constants line after a frame line goes to
/// ConstantsSeen; any other line is handled as Scan would.
int frame_seen();

/// Reads the first token of the next line for a pass-one state, noting a
/// block that opens inside the innermost open function. -1 at the end.
int read_line_start(std::string_view& token);

/// Scan's decision for a line whose first token is `token`: writes the line
/// or hands it, unwritten, to the state that writes it.
void hand_on_as_scan(std::string_view token);

#endif  // VIMBREL_PASSONE_SCAN_STATES_H_
