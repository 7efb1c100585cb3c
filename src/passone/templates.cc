#include "passone/templates.h"

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
    "    end // of function",
    "    ",
    "    setMember",
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
const char* const kStartTraceTail[] = {
    "      add",
    "      setMember",
    "     label10000000:",
    "    end // of function",
    "    ",
    "    setMember",
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
const char* const kEndTraceTail[] = {
    "      add",
    "      setMember",
    "     label1000001:",
    "    end // of function",
    "    ",
    "    setMember",
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

// The same recorders as function2, with this, _global and func in
// registers: Flash 7 and later. They end as the plain ones do.
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

// The parts joined into one line table, closed by a null pointer.
std::vector<const char*> Joined(
    std::initializer_list<const char* const*> parts) {
  std::vector<const char*> lines;
  for (const char* const* part : parts) {
    for (; *part; ++part)
      lines.push_back(*part);
  }
  lines.push_back(nullptr);
  return lines;
}

// function2 came with Flash 7.
constexpr int kFirstFlashWithFunction2 = 7;

}  // namespace

const char* const* prologue_template_for(Clock clock, int flash_version,
                                         bool collect_from_start) {
  // The three forms of the tracer, each collecting from the start or not.
  static const std::vector<const char*> forms[3][2] = {
      {Joined({kGuard, kCreate, kCollect, kCollectOff, kSetCollectAndTraces,
               kDumpTraces, kStartTraceHead, kTimerStamp, kStartTraceTail,
               kEndTraceHead, kTimerStamp, kEndTraceTail, kKeys, kReady}),
       Joined({kGuard, kCreate, kCollect, kCollectOn, kSetCollectAndTraces,
               kDumpTraces, kStartTraceHead, kTimerStamp, kStartTraceTail,
               kEndTraceHead, kTimerStamp, kEndTraceTail, kKeys, kReady})},
      {Joined({kGuard, kCreate, kCollect, kCollectOff, kSetCollectAndTraces,
               kClockOrigin, kDumpTraces, kDateStartTraceHead,
               kDateStampFromRegisters, kStartTraceTail, kDateEndTraceHead,
               kDateStampFromRegisters, kEndTraceTail, kKeys, kReady}),
       Joined({kGuard, kCreate, kCollect, kCollectOn, kSetCollectAndTraces,
               kClockOrigin, kDumpTraces, kDateStartTraceHead,
               kDateStampFromRegisters, kStartTraceTail, kDateEndTraceHead,
               kDateStampFromRegisters, kEndTraceTail, kKeys, kReady})},
      {Joined({kGuard, kCreate, kCollect, kCollectOff, kSetCollectAndTraces,
               kClockOrigin, kDumpTraces, kStartTraceHead, kDateStamp,
               kStartTraceTail, kEndTraceHead, kDateStamp, kEndTraceTail, kKeys,
               kReady}),
       Joined({kGuard, kCreate, kCollect, kCollectOn, kSetCollectAndTraces,
               kClockOrigin, kDumpTraces, kStartTraceHead, kDateStamp,
               kStartTraceTail, kEndTraceHead, kDateStamp, kEndTraceTail, kKeys,
               kReady})}};
  int form = clock == Clock::kGetTimer                       ? 0
             : flash_version >= kFirstFlashWithFunction2 ? 1
                                                         : 2;
  return forms[form][collect_from_start ? 1 : 0].data();
}

const char* const* run_prologue_template() {
  return prologue_template_for(run_state.clock, run_state.layout.flash_version,
                               run_state.collect_from_start);
}
