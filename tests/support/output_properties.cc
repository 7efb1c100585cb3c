#include "support/output_properties.h"

#include <algorithm>
#include <map>
#include <set>
#include <vector>

#include "passone/templates.h"
#include "scan/flasm_words.h"
#include "scan/string_literal.h"
#include "support/branch_spans.h"

namespace {

using Lines = std::vector<std::string>;

bool HoldsToken(const std::string& line) {
  return line.find_first_not_of(" \t") != std::string::npos;
}

std::string FirstToken(const std::string& line) {
  std::size_t begin = line.find_first_not_of(" \t");
  if (begin == std::string::npos)
    return "";
  std::size_t end = line.find_first_of(" \t", begin);
  return line.substr(begin, end == std::string::npos ? end : end - begin);
}

bool StartsWith(const std::string& text, const std::string& prefix) {
  return text.compare(0, prefix.size(), prefix) == 0;
}

// The first `count` tokens of a line.
Lines Tokens(const std::string& line, std::size_t count) {
  Lines tokens;
  std::size_t end = 0;
  while (tokens.size() < count) {
    std::size_t begin = line.find_first_not_of(" \t", end);
    if (begin == std::string::npos)
      break;
    end = line.find_first_of(" \t", begin);
    tokens.push_back(line.substr(begin, end - begin));
  }
  return tokens;
}

Lines SplitLines(const std::string& text) {
  Lines lines;
  std::size_t start = 0;
  while (start < text.size()) {
    std::size_t end = text.find('\n', start);
    if (end == std::string::npos)
      end = text.size();
    lines.push_back(text.substr(start, end - start));
    start = end + 1;
  }
  return lines;
}

Lines InputLinesWithTokens(const std::string& input) {
  Lines kept;
  for (std::string& line : SplitLines(input)) {
    if (!line.empty() && line.back() == '\r')
      line.pop_back();
    if (HoldsToken(line))
      kept.push_back(line);
  }
  return kept;
}

Lines Table(const char* const* table) {
  Lines lines;
  for (; *table; ++table)
    lines.push_back(*table);
  return lines;
}

bool MatchesAt(const Lines& lines, std::size_t at, const Lines& block) {
  if (at + block.size() > lines.size())
    return false;
  for (std::size_t i = 0; i < block.size(); ++i) {
    if (lines[at + i] != block[i])
      return false;
  }
  return true;
}

// A traced block: the name push line, the empty line only pass one writes,
// then the template. Returns the pushed name through `name`.
bool BlockAt(const Lines& lines, std::size_t at, const Lines& block,
             std::string& name) {
  const std::string prefix = "      push '";
  if (at + 2 > lines.size() || !lines[at + 1].empty() ||
      !StartsWith(lines[at], prefix) || lines[at].back() != '\'' ||
      lines[at].size() <= prefix.size() || !MatchesAt(lines, at + 2, block))
    return false;
  name = lines[at].substr(prefix.size(), lines[at].size() - prefix.size() - 1);
  return true;
}

// A line of the tracer's code as the prologue table writes it: vimbrel
// names its labels vimbrelN_tracer_ready and vimbrelN_labelM where the movie
// has labels like its own.
std::string WithDefaultLabels(const std::string& line) {
  std::size_t at = line.find("vimbrel");
  if (at == std::string::npos)
    return line;
  std::size_t digits = at + 7;
  std::size_t end = line.find_first_not_of("0123456789", digits);
  if (end == digits || end == std::string::npos || line[end] != '_')
    return line;
  std::string renamed = line;
  if (line.compare(end + 1, 12, "tracer_ready") == 0)
    renamed.replace(at, end + 1 - at, "vimbrel_");
  else if (line.compare(end + 1, 5, "label") == 0)
    renamed.erase(at, end + 1 - at);
  return renamed;
}

// The tracer, its labels named as they may be, at lines[at].
bool PrologueAt(const Lines& lines, std::size_t at, const Lines& prologue) {
  if (at + prologue.size() > lines.size())
    return false;
  for (std::size_t i = 0; i < prologue.size(); ++i) {
    if (lines[at + i] != prologue[i] &&
        WithDefaultLabels(lines[at + i]) != prologue[i])
      return false;
  }
  return true;
}

// A line that defines a label, as flasm reads it.
bool LabelOf(const std::string& line, std::string& label) {
  label = label_defined_by(line);
  return !label.empty();
}

// flasm refuses a label defined twice: those vimbrel adds are new.
std::string CheckAddedLabels(const std::string& input,
                             const Lines& final_lines) {
  std::map<std::string, long> in_input, in_final;
  std::string label;
  for (const std::string& line : InputLinesWithTokens(input)) {
    if (LabelOf(line, label))
      ++in_input[label];
  }
  for (const std::string& line : final_lines) {
    if (LabelOf(line, label))
      ++in_final[label];
  }
  for (const auto& [name, count] : in_final) {
    auto before = in_input.find(name);
    long had = before == in_input.end() ? 0 : before->second;
    if (count > had && (had > 0 || count > 1))
      return "label " + name + " defined by the movie and by vimbrel";
  }
  return "";
}

std::string Numbered(const std::string& what, std::size_t line) {
  return what + " at line " + std::to_string(line + 1);
}

bool IsFrameLine(const std::string& line) {
  return StartsWith(FirstToken(line), "frame");
}

// Where an entry block for code outside functions may stand: after the
// line that opens it, after a frame's pool, after the tracer.
bool OpensCodeOutsideFunctions(const std::string& line, bool after_prologue) {
  std::string first = FirstToken(line);
  return after_prologue || IsFrameLine(line) ||
         StartsWith(first, "constants") || first == "on" ||
         first == "onClipEvent";
}

std::string CheckIntermediate(const std::string& input, const Lines& lines,
                              const Lines& prologue, bool outside_functions,
                              bool trace_output, std::set<std::string>& traced,
                              bool& wrote_tracer) {
  static const Lines entry = Table(entry_template);
  static const Lines exit = Table(exit_template);
  static const Lines trace_text = Table(trace_template);
  Lines kept;
  int prologues = 0;
  std::size_t prologue_end = 0;
  std::string name;
  for (std::size_t i = 0; i < lines.size();) {
    if (BlockAt(lines, i, entry, name)) {
      bool placed =
          i > 0 && (StartsWith(FirstToken(lines[i - 1]), "function") ||
                    (outside_functions &&
                     OpensCodeOutsideFunctions(lines[i - 1],
                                               prologues && i == prologue_end)));
      if (!placed)
        return Numbered("entry block not after a function line", i);
      traced.insert(name);
      i += 2 + entry.size();
    } else if (BlockAt(lines, i, exit, name)) {
      i += 2 + exit.size();
      if (i >= lines.size() ||
          !(StartsWith(FirstToken(lines[i]), "return") ||
            StartsWith(FirstToken(lines[i]), "end")))
        return Numbered("exit block not before a return or end line", i);
    } else if (trace_output && MatchesAt(lines, i, trace_text)) {
      i += trace_text.size();
      if (i >= lines.size() || FirstToken(lines[i]) != "trace")
        return Numbered("trace block not before a trace line", i);
      kept.push_back(lines[i++]);
    } else if (trace_output && FirstToken(lines[i]) == "trace") {
      return Numbered("trace line without its block", i);
    } else if (MatchesAt(lines, i, prologue)) {
      if (++prologues > 1)
        return Numbered("second prologue", i);
      if (i == 0 || !StartsWith(FirstToken(lines[i - 1]), "constants"))
        return Numbered("prologue not after a constants line", i);
      i += prologue.size();
      prologue_end = i;
    } else if (!HoldsToken(lines[i])) {
      return Numbered("blank line that no block explains", i);
    } else {
      kept.push_back(lines[i++]);
    }
  }
  wrote_tracer = prologues > 0;
  Lines expected = InputLinesWithTokens(input);
  for (std::size_t i = 0; i < expected.size() || i < kept.size(); ++i) {
    if (i >= kept.size() || i >= expected.size() || kept[i] != expected[i])
      return Numbered("intermediate differs from the input", i);
  }
  return "";
}

std::string CheckMergedPool(const std::string& line,
                            const std::set<std::string>& traced) {
  const std::string prefix = "    constants ";
  if (!StartsWith(line, prefix))
    return "merged pool line malformed: " + line;
  std::set<std::string> declared;
  std::string_view name;
  std::size_t position = prefix.size();
  while (position < line.size()) {
    if (line[position] != '\'' ||
        !read_string_literal(line, position, name, position))
      return "merged pool line malformed: " + line;
    declared.emplace(name);
    if (position < line.size() && line.compare(position, 2, ", ") == 0)
      position += 2;
  }
  for (const std::string& function : traced) {
    if (!declared.count(function))
      return "merged pool does not declare " + function;
  }
  return "";
}

// The merged pool at final_lines[at], which then moves past it.
std::string CheckMergedPoolAt(const Lines& final_lines, std::size_t& at,
                              const std::set<std::string>& traced) {
  if (at >= final_lines.size())
    return Numbered("final file lacks the merged pool", at);
  return CheckMergedPool(final_lines[at++], traced);
}

bool IsInitClipLine(const std::string& line) {
  return FirstToken(line) == "initMovieClip";
}

// Where the tracer goes: after the main timeline's first frame line (the
// first outside defineMovieClip blocks), else after the first frame line
// followed by a pool, else after the first; frame lines counted from 1, 0
// for none. A tracer is written when a frame line has a pool, or when the
// movie has functions and a frame line. A movie with functions but without
// frame lines has it after its first initMovieClip line.
struct TracerHost {
  std::size_t frame = 0;
  bool init_clip = false;
  bool has_pool = false;
};

TracerHost FindTracerHost(const Lines& intermediate, bool has_functions) {
  std::size_t frames = 0, first = 0, first_main = 0, first_with_pool = 0;
  std::set<std::size_t> with_pool;
  bool after_frame = false;
  int clip_depth = 0;
  int init_clips = 0;
  bool first_init_clip_has_pool = false;
  bool after_first_init_clip = false;
  for (const std::string& line : intermediate) {
    if (!HoldsToken(line))
      continue;
    std::string first_token = FirstToken(line);
    if (after_frame && StartsWith(first_token, "constants")) {
      with_pool.insert(frames);
      if (!first_with_pool)
        first_with_pool = frames;
    }
    if (after_first_init_clip)
      first_init_clip_has_pool = StartsWith(first_token, "constants");
    after_first_init_clip = IsInitClipLine(line) && ++init_clips == 1;
    after_frame = IsFrameLine(line);
    if (after_frame) {
      ++frames;
      if (!first)
        first = frames;
      if (clip_depth == 0 && !first_main)
        first_main = frames;
    } else if (first_token == "defineMovieClip") {
      ++clip_depth;
    } else if (clip_depth > 0 &&
               Tokens(line, 4) == Lines{"end", "//", "of",
                                        "defineMovieClip"}) {
      --clip_depth;
    }
  }
  TracerHost host;
  if (!first && has_functions && init_clips) {
    host.init_clip = true;
    host.has_pool = first_init_clip_has_pool;
    return host;
  }
  if (!first_with_pool && !(has_functions && first))
    return host;
  host.frame = first_main ? first_main : first_with_pool ? first_with_pool
                                                         : first;
  host.has_pool = with_pool.count(host.frame) > 0;
  return host;
}

Lines WithTokens(const Lines& lines) {
  Lines kept;
  for (const std::string& line : lines) {
    if (HoldsToken(line))
      kept.push_back(line);
  }
  return kept;
}

// Every line whose first token begins with "function" defines a function
// that vimbrel recognises, traced or left out by --only and --skip: where
// the tracer goes depends on these.
bool HasFunctions(const std::string& input) {
  for (const std::string& line : InputLinesWithTokens(input)) {
    if (StartsWith(FirstToken(line), "function"))
      return true;
  }
  return false;
}

// With --frames any frame line needs the tracer, with --events any frame
// script or handler, and with --trace-output any trace line.
bool HasCodeOutsideFunctions(const std::string& input, bool events,
                             bool frames, bool trace_output) {
  for (const std::string& line : InputLinesWithTokens(input)) {
    std::string first = FirstToken(line);
    if (((events || frames) && IsFrameLine(line)) ||
        (trace_output && first == "trace") ||
        (events && (first == "on" || first == "onClipEvent")))
      return true;
  }
  return false;
}

std::string CheckFinal(const Lines& intermediate, const Lines& final_lines,
                       const Lines& prologue,
                       const std::set<std::string>& traced, bool has_functions,
                       bool pass_one_wrote_tracer) {
  TracerHost host = FindTracerHost(intermediate, has_functions);
  if (pass_one_wrote_tracer && !host.has_pool)
    return "pass one wrote the tracer, but not after the tracer's pool";
  std::size_t frames = 0;
  bool after_frame = false;
  bool after_host_clip = false;
  int init_clips = 0;
  std::size_t at = 0;
  // Lines of the tracer that pass one wrote, still to be passed over: the
  // final file has them too, its labels named as they may be.
  std::size_t tracer_lines_left = 0;
  auto merged_pool_and_tracer = [&]() {
    std::string broken = CheckMergedPoolAt(final_lines, at, traced);
    if (broken.empty()) {
      if (!PrologueAt(final_lines, at, prologue))
        return Numbered("no tracer after the pool written for it", at);
      at += prologue.size();
    }
    return broken;
  };
  for (const std::string& line : intermediate) {
    if (!HoldsToken(line) || (tracer_lines_left && tracer_lines_left--))
      continue;
    std::string first = FirstToken(line);
    if (after_host_clip && StartsWith(first, "constants")) {
      after_host_clip = false;
      std::string broken = merged_pool_and_tracer();
      if (!broken.empty())
        return broken;
      continue;
    }
    after_host_clip = false;
    if (after_frame && StartsWith(first, "constants")) {
      after_frame = false;
      // Pools before the tracer's frame stay, those after it go.
      if (frames > host.frame)
        continue;
      if (frames == host.frame) {
        std::string broken = merged_pool_and_tracer();
        if (!broken.empty())
          return broken;
        if (pass_one_wrote_tracer)
          tracer_lines_left = prologue.size();
        continue;
      }
    }
    if (at >= final_lines.size() || final_lines[at] != line)
      return Numbered("final file differs from the intermediate", at);
    ++at;
    after_frame = IsFrameLine(line);
    bool at_host = (after_frame && ++frames == host.frame) ||
                   (host.init_clip && IsInitClipLine(line) && ++init_clips == 1);
    if (at_host && !host.has_pool) {
      std::string broken = merged_pool_and_tracer();
      if (!broken.empty())
        return broken;
    }
    after_host_clip = at_host && host.init_clip && host.has_pool;
  }
  if (at != final_lines.size())
    return Numbered("final file has extra lines", at);
  return "";
}

// Wherever the tracer came from, a traced movie with a frame or an
// initMovieClip line has it once, right after the one merged pool.
std::string CheckOneTracer(const Lines& intermediate, const Lines& final_lines,
                           const Lines& prologue, bool has_functions) {
  bool has_host = false;
  for (const std::string& line : intermediate)
    has_host = has_host || IsFrameLine(line) || IsInitClipLine(line);
  if (!has_functions || !has_host)
    return "";
  int pools_before_tracer = 0;
  for (std::size_t i = 0; i + 1 < final_lines.size(); ++i) {
    if (StartsWith(final_lines[i], "    constants ") &&
        PrologueAt(final_lines, i + 1, prologue))
      ++pools_before_tracer;
  }
  if (pools_before_tracer != 1)
    return "traced movie without exactly one pool followed by the tracer";
  return "";
}

}  // namespace

std::string check_rewrite_properties(const std::string& input,
                                     const std::string& intermediate,
                                     const std::string& final_output,
                                     const char* const* prologue_template,
                                     bool events, bool frames,
                                     bool trace_output) {
  Lines prologue = Table(prologue_template);
  Lines final_prologue = WithTokens(prologue);
  if (!intermediate.empty() && intermediate.back() != '\n')
    return "intermediate file does not end with a newline";
  if (!final_output.empty() && final_output.back() != '\n')
    return "final file does not end with a newline";
  Lines intermediate_lines = SplitLines(intermediate);
  std::set<std::string> traced;
  bool pass_one_wrote_tracer = false;
  std::string broken =
      CheckIntermediate(input, intermediate_lines, prologue, events,
                        trace_output, traced, pass_one_wrote_tracer);
  if (!broken.empty())
    return "intermediate: " + broken;
  Lines final_lines = SplitLines(without_islands(final_output));
  bool has_functions = HasFunctions(input) ||
                       HasCodeOutsideFunctions(input, events, frames, trace_output);
  broken = CheckFinal(intermediate_lines, final_lines, final_prologue, traced,
                      has_functions, pass_one_wrote_tracer);
  if (broken.empty())
    broken = CheckOneTracer(intermediate_lines, final_lines, final_prologue,
                            has_functions);
  if (broken.empty())
    broken = CheckAddedLabels(input, SplitLines(final_output));
  if (!broken.empty())
    return "final: " + broken;
  return "";
}

std::string check_branch_reach(const std::string& final_output, long reach,
                               const std::vector<long>& doubtful_lines) {
  static const std::string traced_line = entry_template[2];
  Lines lines = SplitLines(final_output);
  for (const BranchSpan& span : branch_spans(final_output)) {
    if (span.offset <= reach && span.offset >= -reach - 1)
      continue;
    if (std::find(doubtful_lines.begin(), doubtful_lines.end(), span.line) !=
        doubtful_lines.end())
      continue;
    long first = std::min(span.line, span.label_line) - 1;
    long last = std::max(span.line, span.label_line) - 1;
    bool traced = false;
    for (long i = first; i <= last && !traced; ++i)
      traced = lines[i] == traced_line;
    if (traced)
      return Numbered("branch out of reach, and not said to be", span.line - 1);
  }
  return "";
}
