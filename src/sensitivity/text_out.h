// Text files of the sensitivity commands are built in memory and saved whole.
#pragma once

#include <cstdarg>
#include <cstdio>
#include <string>

namespace sens {

/// Appends printf-formatted text to out.
inline void appendf(std::string& out, const char* format, ...)
#if defined(__GNUC__)
    __attribute__((format(printf, 2, 3)))
#endif
    ;
inline void appendf(std::string& out, const char* format, ...) {
    char buffer[1024];
    va_list args;
    va_start(args, format);
    const int n = std::vsnprintf(buffer, sizeof buffer, format, args);
    va_end(args);
    if (n < 0) return;
    if (std::size_t(n) < sizeof buffer) {
        out.append(buffer, std::size_t(n));
        return;
    }
    std::string big(std::size_t(n) + 1, '\0');
    va_start(args, format);
    std::vsnprintf(&big[0], big.size(), format, args);
    va_end(args);
    out.append(big.data(), std::size_t(n));
}

} // namespace sens
