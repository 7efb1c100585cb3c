#ifndef VIMBREL_PASSONE_EVENT_BLOCKS_H_
#define VIMBREL_PASSONE_EVENT_BLOCKS_H_

#include <string_view>

// Code outside functions, traced with --events: frame scripts, the `on`
// handlers of buttons and the `onClipEvent` handlers of placed clips. Each
// is named for where it stands in the text: "frame 3", "clip 8 frame 0",
// "button 992 on overDownToOverUp", "clip 78 onClipEvent enterFrame". No
// function bears such a name: it holds blanks.

/// Notes a line outside function bodies whose first token is `token`: the
/// defineMovieClip, defineButton and placeMovieClip blocks that name the
/// code inside them.
void note_event_place(std::string_view token);

/// Opens the frame script of the current frame line, whose first token is
/// `token`. Its entry block waits
/// for write_pending_frame_entry: a pool must stay right after the frame
/// line, and the tracer made in that frame must exist to take the record.
void open_frame_block(std::string_view token);
void write_pending_frame_entry();

/// When the current line, whose first token is `token`, opens a handler:
/// writes the line and the handler's entry block, and returns true.
bool open_handler_block(std::string_view token);

/// For an `end` line outside functions: when it closes the open frame
/// script or handler, writes its exit block.
void close_event_block_at_end();

/// For a `return` line outside functions: the exit block of the open frame
/// script or handler, which it leaves.
void exit_event_block_at_return();

#endif  // VIMBREL_PASSONE_EVENT_BLOCKS_H_
