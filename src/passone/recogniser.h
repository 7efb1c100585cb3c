#ifndef VIMBREL_PASSONE_RECOGNISER_H_
#define VIMBREL_PASSONE_RECOGNISER_H_

// The states that follow the lines defining a function and work out its
// name in run_state.function_name. Each handles one token.

void reset_anonymous_count();
/// The number of the next anonymous function: 0, 1, 2, ... over the run.
int next_anonymous_number();

/// State 3: the second token of a function line names the function.
int function_line();
/// State 4: a pushed string is a candidate name.
int push_line();
/// State 5: a pushed member name after `getVariable`, or 'prototype'.
int member_push();
/// State 6: a pushed method name after `prototype` `getMember`.
int method_push();
/// State 7: after a pushed name.
int name_pushed();
/// State 8: after a pushed member name.
int member_named();
/// State 9: after a pushed method name.
int method_named();
/// State 10: after `getVariable` on a pushed name.
int variable_fetched();
/// State 11: after `getMember` on 'prototype'.
int prototype_fetched();
/// State 12: after a pushed 'prototype'.
int prototype_pushed();

#endif  // VIMBREL_PASSONE_RECOGNISER_H_
