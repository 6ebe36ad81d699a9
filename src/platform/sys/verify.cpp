// The failure of an always-on check.
#include "platform/sys/verify.h"

#include <cstdio>
#include <cstdlib>

namespace sys {

void verify_failed(const char* condition, const char* name, const std::string& value,
                   const char* file, int line) {
    std::fprintf(stderr, "%s:%d: VERIFY(%s) failed: %s = %s\n", file, line, condition, name,
                 value.c_str());
    std::fflush(stderr);
    std::abort();
}

} // namespace sys
