#include "passone/recogniser.h"

#include "passone/register_names.h"
#include "passone/scan_states.h"
#include "scan/keywords.h"
#include "scan/string_literal.h"
#include "scan/token_reader.h"
#include "state/run_state.h"
#include "state/state_handlers.h"

namespace {

// The string literal that begins at the current token, read from the line
// itself so that blanks inside it belong to the name. Escapes stay as written
// so the name can be pushed back verbatim.
bool ReadLiteralAtToken(std::string_view& body) {
  std::size_t end;
  return read_string_literal(run_state.line, current_token_offset(), body,
                             end);
}

// A quoted name: a non-empty, closed string literal at a token that matches
// the single quote of `quote_state`.
bool ReadQuotedName(std::string_view token, int quote_state,
                    std::string_view& name) {
  return token_matches(token, quote_state) && ReadLiteralAtToken(name) &&
         !name.empty();
}

std::string_view InnermostFunctionOrRoot() {
  if (run_state.function_stack.empty())
    return "_root";
  return run_state.function_stack.back().name;
}

}  // namespace

void reset_anonymous_count() { run_state.anonymous_count = 0; }

int next_anonymous_number() { return run_state.anonymous_count++; }

int function_line() {
  std::string_view token;
  if (read_token(token, 0) < 0)
    return 0;
  if (token_matches(token, EnterAnonymous)) {
    run_state.function_name =
        "anon" + std::to_string(next_anonymous_number());
    run_state.state = EnterAnonymous;
  } else {
    // Names are kept as flasm writes them inside quotes, so that a bare
    // name with a quote or backslash in it is pushed back intact.
    std::string_view quoted;
    if (!token.empty() && token[0] == '\'' && ReadLiteralAtToken(quoted))
      run_state.function_name.assign(quoted);
    else
      run_state.function_name = escape_for_literal(token);
    run_state.state = EnterNamed;
  }
  emit_line();
  return 1;
}

int push_line() {
  std::string_view token;
  if (read_token(token, 0) < 0)
    return 0;
  std::string_view name;
  RegisterPush member;
  if (ReadQuotedName(token, NamePushed, name)) {
    run_state.function_name.assign(name == "this" ? InnermostFunctionOrRoot()
                                                  : name);
    run_state.state = NamePushed;
  } else if (read_register_push(
                 run_state.line.substr(current_token_offset()),
                 member)) {
    // A member of what the register holds, as a pushed member name is.
    run_state.function_name.assign(register_member_name(member));
    run_state.state = MemberNamed;
  } else {
    run_state.state = Scan;
  }
  emit_line();
  return 1;
}

int member_push() {
  std::string_view token;
  if (read_token(token, 0) < 0)
    return 0;
  std::string_view name;
  if (!ReadQuotedName(token, MemberNamed, name)) {
    run_state.state = Scan;
  } else if (name == "prototype") {
    run_state.state = PrototypePushed;
  } else {
    run_state.function_name.append(".").append(name);
    run_state.state = MemberNamed;
  }
  emit_line();
  return 1;
}

int method_push() {
  std::string_view token;
  if (read_token(token, 0) < 0)
    return 0;
  std::string_view name;
  if (ReadQuotedName(token, MethodNamed, name)) {
    run_state.function_name.append(".").append(name);
    run_state.state = MethodNamed;
  } else {
    run_state.state = Scan;
  }
  emit_line();
  return 1;
}

int name_pushed() {
  std::string_view token;
  if (read_line_start(token) < 0)
    return 0;
  if (token_matches(token, VariableFetched)) {
    run_state.state = VariableFetched;
    emit_line();
  } else if (token_matches(token, FunctionLine)) {
    run_state.state = EnterNamed;
    emit_line();
  } else {
    hand_on_as_scan(token);
  }
  return 1;
}

int member_named() {
  std::string_view token;
  if (read_line_start(token) < 0)
    return 0;
  if (token_matches(token, EnterMember)) {
    run_state.state = EnterMember;
    emit_line();
  } else {
    hand_on_as_scan(token);
  }
  return 1;
}

int method_named() {
  std::string_view token;
  if (read_line_start(token) < 0)
    return 0;
  if (token_matches(token, EnterMethod)) {
    run_state.state = EnterMethod;
    emit_line();
  } else {
    hand_on_as_scan(token);
  }
  return 1;
}

int variable_fetched() {
  std::string_view token;
  if (read_line_start(token) < 0)
    return 0;
  if (token_matches(token, MemberPush))
    run_state.state = MemberPush;
  else if (token_matches(token, FunctionReturn))
    run_state.state = FunctionReturn;
  else
    hand_on_as_scan(token);
  return 1;
}

int prototype_fetched() {
  std::string_view token;
  if (read_line_start(token) < 0)
    return 0;
  if (token_matches(token, MethodPush))
    run_state.state = MethodPush;
  else
    hand_on_as_scan(token);
  return 1;
}

int prototype_pushed() {
  std::string_view token;
  if (read_line_start(token) < 0)
    return 0;
  if (token_matches(token, PrototypeFetched)) {
    run_state.state = PrototypeFetched;
    emit_line();
  } else {
    hand_on_as_scan(token);
  }
  return 1;
}
