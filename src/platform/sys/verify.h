// Always-on checks of programmer errors: an invariant the code relies on, never a user's input.
#pragma once

#include <string>

namespace sys {

/// Writes "FILE:LINE: VERIFY(CONDITION) failed: NAME = VALUE" to standard error and aborts.
[[noreturn]] void verify_failed(const char* condition, const char* name, const std::string& value,
                                const char* file, int line);

} // namespace sys

/// Checks `condition` in every build. When it is false the program stops at once with the
/// condition, the name and the value of `value` (a number that tells what broke it): going on
/// would corrupt memory or results. Bad input is reported through the message funnel instead.
#define VERIFY(condition, value)                                                                   \
    ((condition)                                                                                   \
         ? (void)0                                                                                 \
         : ::sys::verify_failed(#condition, #value, std::to_string(value), __FILE__, __LINE__))
