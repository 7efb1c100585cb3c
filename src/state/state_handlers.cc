#include "state/state_handlers.h"

#include "passone/constants_seen.h"
#include "passone/recogniser.h"
#include "passone/scan_states.h"
#include "passone/trace_emission.h"
#include "passtwo/pool_rewrite.h"

const StateHandler state_handlers[kStateCount] = {
    scan,               // Scan
    frame_seen,         // FrameSeen
    constants_seen,     // ConstantsSeen
    function_line,      // FunctionLine
    push_line,          // PushLine
    member_push,        // MemberPush
    method_push,        // MethodPush
    name_pushed,        // NamePushed
    member_named,       // MemberNamed
    method_named,       // MethodNamed
    variable_fetched,   // VariableFetched
    prototype_fetched,  // PrototypeFetched
    prototype_pushed,   // PrototypePushed
    enter_named,        // EnterNamed
    enter_anonymous,    // EnterAnonymous
    enter_member,       // EnterMember
    enter_method,       // EnterMethod
    function_end,       // FunctionEnd
    function_return,    // FunctionReturn
    rescan,             // Rescan
    frame_seen_again,   // FrameSeenAgain
    rewrite_constants,  // RewriteConstants
};
