#ifndef VIMBREL_PASSTWO_POOL_REWRITE_H_
#define VIMBREL_PASSTWO_POOL_REWRITE_H_

#include <set>
#include <string>

/// State 19: copies a line; a frame line leads to FrameSeenAgain.
int rescan();
/// State 20: a constants line goes to RewriteConstants unwritten; any other
/// line is reported, then copied and handled as Rescan would.
int frame_seen_again();
/// State 21: writes the merged pool in place of the tracer's frame's pool;
/// pools after earlier frame lines are copied, after later ones left out.
int rewrite_constants();

/// The constants line that declares every name, in the set's order.
std::string merged_constants_line(const std::set<std::string>& names);

#endif  // VIMBREL_PASSTWO_POOL_REWRITE_H_
