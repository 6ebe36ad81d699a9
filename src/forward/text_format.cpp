// Formatted text for the writers.
#include "forward/text_format.h"

#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <vector>

namespace forward {

void appendf(std::string& out, const char* format, ...) {
    char small[512];
    va_list args;
    va_start(args, format);
    va_list again;
    va_copy(again, args);
    const int n = std::vsnprintf(small, sizeof small, format, args);
    va_end(args);
    if (n >= 0 && std::size_t(n) < sizeof small) {
        out.append(small, std::size_t(n));
    } else if (n > 0) {
        std::vector<char> big(std::size_t(n) + 1);
        std::vsnprintf(big.data(), big.size(), format, again);
        out.append(big.data(), std::size_t(n));
    }
    va_end(again);
}

std::string exact_value(const char* format, float value) {
    char text[128];
    std::snprintf(text, sizeof text, format, double(value));
    // Within the rounding of a float the fixed form is the value (0.49999994 is 0.5000).
    const double back = std::strtod(text, nullptr);
    if (std::fabs(back - double(value)) <= 1e-6 * std::fmax(1.0, std::fabs(double(value))))
        return text;
    std::snprintf(text, sizeof text, "%.9g", double(value));
    return text;
}

} // namespace forward
