#include "passone/templates.h"

#include <map>
#include <string>
#include <tuple>
#include <vector>

const char* const entry_template[] = {
    "\tpush 1, '_global'",
    "\tgetVariable",
    "\tpush '_tracer_'",
    "\tgetMember",
    "\tpush 'startTrace'",
    "\tcallMethod",
    "\tpop",
    nullptr,
};

const char* const exit_template[] = {
    "\tpush 1, '_global'",
    "\tgetVariable",
    "\tpush '_tracer_'",
    "\tgetMember",
    "\tpush 'endTrace'",
    "\tcallMethod",
    "\tpop",
    nullptr,
};

const char* const trace_template[] = {
    "\tdup",
    "\tpush 1, '_global'",
    "\tgetVariable",
    "\tpush '_tracer_'",
    "\tgetMember",
    "\tpush 'traceText'",
    "\tcallMethod",
    "\tpop",
    nullptr,
};

const char* const tracer_constants[] = {
    "_global",
    "this",
    "Array",
    "FSCommand:save",
    "length",
    "func",
    "_traces_",
    "_dumpTraces_",
    "_startTrace_",
    "_endTrace_",
    " Enter ",
    " Exit ",
    nullptr,
};

const char name_push_prefix[] = "      push '";
// The newline gives the empty line that follows the push line.
const char name_push_suffix[] = "'\n";

const char* const nested_block_openers[] = {
    "try",
    "with",
    "setTarget",
    "setTargetExpr",
    "ifFrameLoaded",
    "ifFrameLoadedExpr",
    nullptr,
};

// The tracer's code, in parts: each clock takes the parts it needs.
namespace {

// if (!_global._tracer_) { ...the tracer... }: the frame that creates it
// may run again (a timeline that loops, a clip placed twice, a second
// traced movie), and the first tracer keeps its records and its listener.
const char* const kGuard[] = {
    "    push '_global'",
    "    getVariable",
    "    push '_tracer_'",
    "    getMember",
    "    branchIfTrue vimbrel_tracer_ready",
    nullptr,
};
const char* const kReady[] = {
    "   vimbrel_tracer_ready:",
    nullptr,
};

// _global._tracer_ = new Object()
const char* const kCreate[] = {
    "    push '_global'",
    "    getVariable",
    "    push '_tracer_'",
    "    push 0.0",
    "    push 'Object'",
    "    new",
    "    setMember",
    nullptr,
};

// .collect = false, or true to collect from the start; .traces = new Array()
const char* const kCollect[] = {
    "    push '_global'",
    "    getVariable",
    "    push '_tracer_'",
    "    getMember",
    "    push 'collect'",
    nullptr,
};
const char* const kCollectOff[] = {
    "    push FALSE",
    nullptr,
};
const char* const kCollectOn[] = {
    "    push TRUE",
    nullptr,
};
const char* const kSetCollectAndTraces[] = {
    "    setMember",
    "    push '_global'",
    "    getVariable",
    "    push '_tracer_'",
    "    getMember",
    "    push 'traces'",
    "    push 0.0",
    "    push 'Array'",
    "    new",
    "    setMember",
    nullptr,
};

// .t0 = new _global.Date().getTime() - getTimer(): stamps taken from the
// wall clock still count from the movie's start.
const char* const kClockOrigin[] = {
    "    push '_global'",
    "    getVariable",
    "    push '_tracer_'",
    "    getMember",
    "    push 't0'",
    "    push 0, 0, '_global'",
    "    getVariable",
    "    push 'Date'",
    "    newMethod",
    "    push 'getTime'",
    "    callMethod",
    "    getTimer",
    "    subtract",
    "    setMember",
    nullptr,
};

// .dumpTraces: hands the records to the host
const char* const kDumpTraces[] = {
    "    push '_global'",
    "    getVariable",
    "    push '_tracer_'",
    "    getMember",
    "    push 'dumpTraces'",
    "    function  ()",
    "      push 'FSCommand:save'",
    "      push 'this'",
    "      getVariable",
    "      push 'traces'",
    "      getMember",
    "      getURL2",
    nullptr,
};
const char* const kFunctionEnd[] = {
    "    end // of function",
    "    ",
    "    setMember",
    nullptr,
};

// this.traces = new Array(): a tracer that hands its records over as it
// goes keeps only those not handed over yet.
const char* const kEmptyTraces[] = {
    "      push 'this'",
    "      getVariable",
    "      push 'traces'",
    "      push 0.0",
    "      push 'Array'",
    "      new",
    "      setMember",
    nullptr,
};

// .startTrace(func) and .endTrace(func): while collecting, append
// "func Enter t" and "func Exit t", t pushed by a stamp in between.
const char* const kStartTraceHead[] = {
    "    push '_global'",
    "    getVariable",
    "    push '_tracer_'",
    "    getMember",
    "    push 'startTrace'",
    "    function  ('func')",
    "      push 'this'",
    "      getVariable",
    "      push 'collect'",
    "      getMember",
    "      not",
    "      branchIfTrue label10000000",
    "      push 'this'",
    "      getVariable",
    "      push 'traces'",
    "      getMember",
    "      push 'this'",
    "      getVariable",
    "      push 'traces'",
    "      getMember",
    "      push 'length'",
    "      getMember",
    "      push 'func'",
    "      getVariable",
    "      push ' Enter '",
    "      add",
    nullptr,
};
// The record's time added, it is stored at traces[length].
const char* const kStoreRecord[] = {
    "      add",
    "      setMember",
    nullptr,
};
const char* const kStartTraceEnd[] = {
    "     label10000000:",
    nullptr,
};
const char* const kEndTraceHead[] = {
    "    push '_global'",
    "    getVariable",
    "    push '_tracer_'",
    "    getMember",
    "    push 'endTrace'",
    "    function  ('func')",
    "      push 'this'",
    "      getVariable",
    "      push 'collect'",
    "      getMember",
    "      not",
    "      branchIfTrue label1000001",
    "      push 'this'",
    "      getVariable",
    "      push 'traces'",
    "      getMember",
    "      push 'this'",
    "      getVariable",
    "      push 'traces'",
    "      getMember",
    "      push 'length'",
    "      getMember",
    "      push 'func'",
    "      getVariable",
    "      push ' Exit '",
    "      add",
    nullptr,
};
const char* const kEndTraceEnd[] = {
    "     label1000001:",
    nullptr,
};

// With --trace-output: .traceText(func), which appends "func Trace t"
// while collecting, func being the text that trace() prints.
const char* const kTraceTextHead[] = {
    "    push '_global'",
    "    getVariable",
    "    push '_tracer_'",
    "    getMember",
    "    push 'traceText'",
    "    function  ('func')",
    "      push 'this'",
    "      getVariable",
    "      push 'collect'",
    "      getMember",
    "      not",
    "      branchIfTrue label1000004",
    "      push 'this'",
    "      getVariable",
    "      push 'traces'",
    "      getMember",
    "      push 'this'",
    "      getVariable",
    "      push 'traces'",
    "      getMember",
    "      push 'length'",
    "      getMember",
    "      push 'func'",
    "      getVariable",
    "      push ' Trace '",
    "      add",
    nullptr,
};
const char* const kTraceTextEnd[] = {
    "     label1000004:",
    nullptr,
};

// With --flush-every N: once traces holds N records, hand them to the host
// with "FSCommand:records" and start a new list. Between these parts, the
// line that pushes N.
const char* const kPlainFlushLength[] = {
    "      push 'this'",
    "      getVariable",
    "      push 'traces'",
    "      getMember",
    "      push 'length'",
    "      getMember",
    nullptr,
};
const char* const kRegistersFlushLength[] = {
    "      push r:4, 'length'",
    "      getMember",
    nullptr,
};
const char* const kStartFlushBranch[] = {
    "      lessThan",
    "      branchIfTrue label10000000",
    nullptr,
};
const char* const kEndFlushBranch[] = {
    "      lessThan",
    "      branchIfTrue label1000001",
    nullptr,
};
const char* const kPlainHandOver[] = {
    "      push 'FSCommand:records'",
    "      push 'this'",
    "      getVariable",
    "      push 'traces'",
    "      getMember",
    "      getURL2",
    nullptr,
};
const char* const kRegistersHandOver[] = {
    "      push 'FSCommand:records', r:4",
    "      getURL2",
    "      push r:this, 'traces', 0.0, 'Array'",
    "      new",
    "      setMember",
    nullptr,
};

// t = getTimer()
const char* const kTimerStamp[] = {
    "      getTimer",
    nullptr,
};

// t = new _global.Date().getTime() - this.t0, in a function any version
// runs.
const char* const kDateStamp[] = {
    "      push 0, 0, '_global'",
    "      getVariable",
    "      push 'Date'",
    "      newMethod",
    "      push 'getTime'",
    "      callMethod",
    "      push 'this'",
    "      getVariable",
    "      push 't0'",
    "      getMember",
    "      subtract",
    nullptr,
};

// The same recorders as function2, with this, _global, func and traces in
// registers: Flash 7 and later. They store the record as the plain ones do.
const char* const kDateStartTraceHead[] = {
    "    push '_global'",
    "    getVariable",
    "    push '_tracer_'",
    "    getMember",
    "    push 'startTrace'",
    "    function2 (r:3='func') (r:1='this', r:2='_global')",
    "      push r:this, 'collect'",
    "      getMember",
    "      not",
    "      branchIfTrue label10000000",
    "      push r:this, 'traces'",
    "      getMember",
    "      setRegister r:4",
    "      push r:4, 'length'",
    "      getMember",
    "      push r:func, ' Enter '",
    "      add",
    nullptr,
};
const char* const kDateEndTraceHead[] = {
    "    push '_global'",
    "    getVariable",
    "    push '_tracer_'",
    "    getMember",
    "    push 'endTrace'",
    "    function2 (r:3='func') (r:1='this', r:2='_global')",
    "      push r:this, 'collect'",
    "      getMember",
    "      not",
    "      branchIfTrue label1000001",
    "      push r:this, 'traces'",
    "      getMember",
    "      setRegister r:4",
    "      push r:4, 'length'",
    "      getMember",
    "      push r:func, ' Exit '",
    "      add",
    nullptr,
};
const char* const kDateTraceTextHead[] = {
    "    push '_global'",
    "    getVariable",
    "    push '_tracer_'",
    "    getMember",
    "    push 'traceText'",
    "    function2 (r:3='func') (r:1='this', r:2='_global')",
    "      push r:this, 'collect'",
    "      getMember",
    "      not",
    "      branchIfTrue label1000004",
    "      push r:this, 'traces'",
    "      getMember",
    "      setRegister r:4",
    "      push r:4, 'length'",
    "      getMember",
    "      push r:func, ' Trace '",
    "      add",
    nullptr,
};
const char* const kDateStampFromRegisters[] = {
    "      push 0, 0, r:_global, 'Date'",
    "      newMethod",
    "      push 'getTime'",
    "      callMethod",
    "      push r:this, 't0'",
    "      getMember",
    "      subtract",
    nullptr,
};

// With --frames: .frame = 0, and .markFrame(), which counts a frame and,
// while collecting, appends "frame Frame t".
const char* const kFrameCount[] = {
    "    push '_global'",
    "    getVariable",
    "    push '_tracer_'",
    "    getMember",
    "    push 'frame'",
    "    push 0",
    "    setMember",
    nullptr,
};
const char* const kMarkFrameHead[] = {
    "    push '_global'",
    "    getVariable",
    "    push '_tracer_'",
    "    getMember",
    "    push 'markFrame'",
    "    function  ()",
    "      push 'this'",
    "      getVariable",
    "      push 'frame'",
    "      push 'this'",
    "      getVariable",
    "      push 'frame'",
    "      getMember",
    "      increment",
    "      setMember",
    "      push 'this'",
    "      getVariable",
    "      push 'collect'",
    "      getMember",
    "      not",
    "      branchIfTrue label1000003",
    "      push 'this'",
    "      getVariable",
    "      push 'traces'",
    "      getMember",
    "      push 'this'",
    "      getVariable",
    "      push 'traces'",
    "      getMember",
    "      push 'length'",
    "      getMember",
    "      push 'this'",
    "      getVariable",
    "      push 'frame'",
    "      getMember",
    "      push ' Frame '",
    "      add",
    nullptr,
};
const char* const kDateMarkFrameHead[] = {
    "    push '_global'",
    "    getVariable",
    "    push '_tracer_'",
    "    getMember",
    "    push 'markFrame'",
    "    function2 () (r:1='this', r:2='_global')",
    "      push r:this, 'frame', r:this, 'frame'",
    "      getMember",
    "      increment",
    "      setMember",
    "      push r:this, 'collect'",
    "      getMember",
    "      not",
    "      branchIfTrue label1000003",
    "      push r:this, 'traces'",
    "      getMember",
    "      setRegister r:4",
    "      push r:4, 'length'",
    "      getMember",
    "      push r:this, 'frame'",
    "      getMember",
    "      push ' Frame '",
    "      add",
    nullptr,
};
const char* const kMarkFrameFlushBranch[] = {
    "      lessThan",
    "      branchIfTrue label1000003",
    nullptr,
};
const char* const kTraceTextFlushBranch[] = {
    "      lessThan",
    "      branchIfTrue label1000004",
    nullptr,
};
const char* const kMarkFrameEnd[] = {
    "     label1000003:",
    nullptr,
};

// A clip of its own whose onEnterFrame calls markFrame: made once, with the
// tracer, above everything the movie has placed so far, and left out of
// for...in over _root where the player allows it.
const char* const kFrameClip[] = {
    "    push 0.0",
    "    push '_root'",
    "    getVariable",
    "    push 'getNextHighestDepth'",
    "    callMethod",
    "    push 'vimbrel_frames'",
    "    push 2",
    "    push '_root'",
    "    getVariable",
    "    push 'createEmptyMovieClip'",
    "    callMethod",
    "    pop",
    "    push '_root'",
    "    getVariable",
    "    push 'vimbrel_frames'",
    "    getMember",
    "    push 'onEnterFrame'",
    "    function  ()",
    "      push 0.0",
    "      push '_global'",
    "      getVariable",
    "      push '_tracer_'",
    "      getMember",
    "      push 'markFrame'",
    "      callMethod",
    "      pop",
    "    end // of function",
    "    ",
    "    setMember",
    "    push 1",
    "    push 'vimbrel_frames'",
    "    push '_root'",
    "    getVariable",
    "    push 3",
    "    push 'ASSetPropFlags'",
    "    callFunction",
    "    pop",
    nullptr,
};

// .onKeyDown does nothing; .onKeyUp: F12 (key code 123) toggles collect,
// and turning it off dumps the records. Then Key.addListener(_tracer_).
const char* const kKeys[] = {
    "    push '_global'",
    "    getVariable",
    "    push '_tracer_'",
    "    getMember",
    "    push 'onKeyDown'",
    "    function  ()",
    "    end // of function",
    "    ",
    "    setMember",
    "    push '_global'",
    "    getVariable",
    "    push '_tracer_'",
    "    getMember",
    "    push 'onKeyUp'",
    "    function  ()",
    "      push 0.0",
    "      push 'Key'",
    "      getVariable",
    "      push 'getCode'",
    "      callMethod",
    "      push 123",
    "      equals",
    "      not",
    "      branchIfTrue label1000002",
    "      push 'this'",
    "      getVariable",
    "      push 'collect'",
    "      push 'this'",
    "      getVariable",
    "      push 'collect'",
    "      getMember",
    "      not",
    "      setMember",
    "      push 'this'",
    "      getVariable",
    "      push 'collect'",
    "      getMember",
    "      not",
    "      not",
    "      branchIfTrue label1000002",
    "      push 0.0",
    "      push 'this'",
    "      getVariable",
    "      push 'dumpTraces'",
    "      callMethod",
    "      pop",
    "     label1000002:",
    "    end // of function",
    "    ",
    "    setMember",
    "    push '_global'",
    "    getVariable",
    "    push '_tracer_'",
    "    getMember",
    "    push 1",
    "    push 'Key'",
    "    getVariable",
    "    push 'addListener'",
    "    callMethod",
    "    pop",
    "    ",
    nullptr,
};

// function2 came with Flash 7.
constexpr int kFirstFlashWithFunction2 = 7;

// The tracer's code for one choice of clock, form and options, as a line
// table; the line that pushes the flush count is its own.
class Prologue {
 public:
  Prologue(Clock clock, bool registers, bool collect_from_start,
           long flush_every, bool mark_frames, bool trace_output)
      : flush_count_("      push " + std::to_string(flush_every)) {
    const bool date = clock == Clock::kDate;
    const bool flush = flush_every > 0;
    Add({kGuard, kCreate, kCollect, collect_from_start ? kCollectOn : kCollectOff,
         kSetCollectAndTraces});
    if (date)
      Add(kClockOrigin);
    Add(kDumpTraces);
    if (flush)
      Add(kEmptyTraces);
    Add(kFunctionEnd);
    AddRecorder(registers ? kDateStartTraceHead : kStartTraceHead, clock,
                registers, flush ? kStartFlushBranch : nullptr, kStartTraceEnd);
    AddRecorder(registers ? kDateEndTraceHead : kEndTraceHead, clock, registers,
                flush ? kEndFlushBranch : nullptr, kEndTraceEnd);
    if (mark_frames) {
      Add(kFrameCount);
      AddRecorder(registers ? kDateMarkFrameHead : kMarkFrameHead, clock,
                  registers, flush ? kMarkFrameFlushBranch : nullptr,
                  kMarkFrameEnd);
      Add(kFrameClip);
    }
    if (trace_output) {
      AddRecorder(registers ? kDateTraceTextHead : kTraceTextHead, clock,
                  registers, flush ? kTraceTextFlushBranch : nullptr,
                  kTraceTextEnd);
    }
    Add({kKeys, kReady});
    lines_.push_back(nullptr);
  }
  Prologue(const Prologue&) = delete;
  Prologue& operator=(const Prologue&) = delete;

  const char* const* lines() const { return lines_.data(); }

 private:
  void Add(const char* const* part) {
    for (; *part; ++part)
      lines_.push_back(*part);
  }
  void Add(std::initializer_list<const char* const*> parts) {
    for (const char* const* part : parts)
      Add(part);
  }

  // startTrace or endTrace: its head, the stamp, the store, the hand-over
  // when `flush_branch` is given, its label and its end.
  void AddRecorder(const char* const* head, Clock clock, bool registers,
                   const char* const* flush_branch,
                   const char* const* label) {
    Add(head);
    Add(clock == Clock::kGetTimer ? kTimerStamp
        : registers               ? kDateStampFromRegisters
                                  : kDateStamp);
    Add(kStoreRecord);
    if (flush_branch) {
      Add(registers ? kRegistersFlushLength : kPlainFlushLength);
      lines_.push_back(flush_count_.c_str());
      Add(flush_branch);
      if (registers)
        Add(kRegistersHandOver);
      else
        Add({kPlainHandOver, kEmptyTraces});
    }
    Add({label, kFunctionEnd});
  }

  std::string flush_count_;
  std::vector<const char*> lines_;
};

}  // namespace

const char* const* prologue_template_for(Clock clock, int flash_version,
                                         bool collect_from_start,
                                         long flush_every, bool mark_frames,
                                         bool trace_output) {
  const bool registers =
      clock == Clock::kDate && flash_version >= kFirstFlashWithFunction2;
  // Each choice is made once and kept: callers hold on to its lines.
  static std::map<std::tuple<Clock, bool, bool, long, bool, bool>, Prologue>
      made;
  auto key = std::make_tuple(clock, registers, collect_from_start, flush_every,
                             mark_frames, trace_output);
  auto found = made.find(key);
  if (found == made.end())
    found = made.emplace(std::piecewise_construct, std::forward_as_tuple(key),
                         std::forward_as_tuple(clock, registers,
                                               collect_from_start, flush_every,
                                               mark_frames, trace_output))
                .first;
  return found->second.lines();
}

const char* const* run_prologue_template() {
  return prologue_template_for(run_state.clock, run_state.layout.flash_version,
                               run_state.collect_from_start,
                               run_state.flush_every, run_state.mark_frames,
                               run_state.trace_output);
}
