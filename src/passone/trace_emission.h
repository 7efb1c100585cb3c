#ifndef VIMBREL_PASSONE_TRACE_EMISSION_H_
#define VIMBREL_PASSONE_TRACE_EMISSION_H_

// The states that write the tracing code around function bodies.

/// States 13 to 16: the entry block after a function line, all alike.
int enter_named();
int enter_anonymous();
int enter_member();
int enter_method();
/// State 17: the exit block, then the `end` line; closes the innermost
/// function unless the line ends a block nested in its body.
int function_end();
/// State 18: the exit block, then the `return` line.
int function_return();

#endif  // VIMBREL_PASSONE_TRACE_EMISSION_H_
