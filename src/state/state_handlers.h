#ifndef VIMBREL_STATE_STATE_HANDLERS_H_
#define VIMBREL_STATE_STATE_HANDLERS_H_

/// The state numbers: states 0 to 18 make pass one, 19 to 21 pass two.
enum State : int {
  Scan = 0,
  FrameSeen,
  ConstantsSeen,
  FunctionLine,
  PushLine,
  MemberPush,
  MethodPush,
  NamePushed,
  MemberNamed,
  MethodNamed,
  VariableFetched,
  PrototypeFetched,
  PrototypePushed,
  EnterNamed,
  EnterAnonymous,
  EnterMember,
  EnterMethod,
  FunctionEnd,
  FunctionReturn,
  Rescan,
  FrameSeenAgain,
  RewriteConstants,
  kStateCount
};

/// A handler works on run_state, sets the next state and returns 1; it
/// returns 0 only when the input has ended, which ends the pass.
using StateHandler = int (*)();

/// One handler per state, in state order.
extern const StateHandler state_handlers[kStateCount];

#endif  // VIMBREL_STATE_STATE_HANDLERS_H_
