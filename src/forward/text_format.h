// Formatted text for the writers: printf-style appending and numbers that read back exactly.
#pragma once

#include <string>

namespace forward {

/// Appends the printf-style formatted text to `out`.
void appendf(std::string& out, const char* format, ...)
#if defined(__GNUC__)
    __attribute__((format(printf, 2, 3)))
#endif
    ;

/// `value` in the printf-style `format` (one float conversion), or with nine significant
/// digits when that form would not read back to the value within the rounding of a float
/// (1e-6 relative): a chargeability of 0.0015 in "%10.3f" would come back as 0.002, one of
/// 0.0004 as 0.
std::string exact_value(const char* format, float value);

} // namespace forward
