#include "passone/event_blocks.h"

#include <string>

#include "passone/block_writers.h"
#include "scan/blank_tokens.h"
#include "scan/line_marks.h"
#include "scan/string_literal.h"
#include "scan/token_reader.h"
#include "state/run_state.h"

namespace {

constexpr std::string_view kPlaceKeywords[] = {
    "defineMovieClip", "defineButton", "placeMovieClip"};

// The line's text after its first token, without the blanks around it.
std::string_view RestOfLine(std::string_view token) {
  std::string_view rest =
      run_state.line.substr(current_token_offset() + token.size());
  std::size_t first = rest.find_first_not_of(" \t");
  if (first == std::string_view::npos)
    return {};
  std::size_t last = rest.find_last_not_of(" \t");
  return rest.substr(first, last - first + 1);
}

// "clip 78 " inside `placeMovieClip 78` when `kind` is placeMovieClip, and
// the like; empty elsewhere.
std::string PlacePrefix(std::string_view kind, const char* word) {
  const auto& places = run_state.events.places;
  if (places.empty() || places.back().first != kind)
    return {};
  return std::string(word) + " " + places.back().second + " ";
}

// Like a function, it asks for the tracer once recognised.
void Open(std::string name, bool frame) {
  ++run_state.functions_recognised;
  EventBlocks& events = run_state.events;
  events.open = OpenFunction{std::move(name), 0, false};
  events.open_is_frame = frame;
  events.entry_pending = frame;
}

}  // namespace

void note_event_place(std::string_view token) {
  auto& places = run_state.events.places;
  if (token == "end") {
    if (!places.empty() && current_line_closes(places.back().first.c_str()))
      places.pop_back();
    return;
  }
  for (std::string_view keyword : kPlaceKeywords) {
    if (token == keyword) {
      std::string_view rest = run_state.line;
      take_blank_separated_token(rest);
      places.emplace_back(std::string(keyword),
                          std::string(take_blank_separated_token(rest)));
      return;
    }
  }
}

void open_frame_block(std::string_view token) {
  if (!run_state.events.enabled || !run_state.function_stack.empty())
    return;
  Open(escape_for_literal(PlacePrefix("defineMovieClip", "clip") + std::string(token) + " " +
                          std::string(RestOfLine(token))),
       true);
}

void write_pending_frame_entry() {
  EventBlocks& events = run_state.events;
  if (!events.entry_pending)
    return;
  events.entry_pending = false;
  events.open->traced = write_entry_block(events.open->name);
}

bool open_handler_block(std::string_view token) {
  if (!run_state.events.enabled || !run_state.function_stack.empty())
    return false;
  std::string prefix;
  if (token == "on")
    prefix = PlacePrefix("defineButton", "button");
  else if (token == "onClipEvent")
    prefix = PlacePrefix("placeMovieClip", "clip");
  else
    return false;
  emit_line();
  Open(escape_for_literal(prefix + std::string(token) + " " +
                          std::string(RestOfLine(token))),
       false);
  run_state.events.open->traced = write_entry_block(run_state.events.open->name);
  return true;
}

void close_event_block_at_end() {
  EventBlocks& events = run_state.events;
  if (!events.open)
    return;
  OpenFunction& block = *events.open;
  // A frame script ends at flasm's "end // of frame N"; a handler at the
  // first `end` that closes no block nested in it.
  bool closes = events.open_is_frame ? current_line_closes("frame")
                                     : block.open_blocks == 0;
  if (!closes) {
    if (block.open_blocks > 0)
      --block.open_blocks;
    return;
  }
  if (block.traced)
    write_exit_block(block.name);
  events.open.reset();
}

void exit_event_block_at_return() {
  const std::optional<OpenFunction>& block = run_state.events.open;
  if (block && block->traced)
    write_exit_block(block->name);
}
