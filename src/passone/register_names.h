#ifndef VIMBREL_PASSONE_REGISTER_NAMES_H_
#define VIMBREL_PASSONE_REGISTER_NAMES_H_

#include <string>
#include <string_view>

#include "scan/register_push.h"

// ActionScript 2 classes define their methods through registers:
//   function2 ... end, setRegister r:0        r:0 holds the class
//   push r:0, 'prototype', getMember, setRegister r:1   r:1 its prototype
//   push r:1, 'getName', function2 ...        the method Cls.getName
// Registers are followed outside function bodies only: inside one they are
// that body's own.

/// Notes the current line, whose first token is `token`, in
/// run_state.registers.
void note_register_line(std::string_view token);

/// Tells the tracking that the function `name` has just closed.
void note_function_closed(const std::string& name);

/// The name of a function defined right after `push r:X, 'm'`: R.m when
/// r:X is numbered and holds R outside every body, else m.
std::string register_member_name(const RegisterPush& push);

#endif  // VIMBREL_PASSONE_REGISTER_NAMES_H_
