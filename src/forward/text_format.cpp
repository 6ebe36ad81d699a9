// Formatted text for the writers.
#include "forward/text_format.h"

#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
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

namespace {

// The field width of a printf conversion ("%10.3f" gives 10, "%.3f" 0).
int field_width(const char* format) {
    const char* p = std::strchr(format, '%');
    return p ? std::atoi(p + 1) : 0;
}

} // namespace

std::string exact_value(const char* format, float value) {
    char text[128];
    std::snprintf(text, sizeof text, format, double(value));
    // The fixed form stands when it reads back as this very float (1.35 does; 1e-6 in "%8.4f"
    // is 0.0000 and does not); nine significant digits always do.
    if (static_cast<float>(std::strtod(text, nullptr)) == value || !std::isfinite(value))
        return text;
    std::snprintf(text, sizeof text, "%*.9g", field_width(format), double(value));
    return text;
}

std::string significant_value(const char* format, float value) {
    char text[128];
    std::snprintf(text, sizeof text, format, double(value));
    const double back = std::strtod(text, nullptr);
    if (std::fabs(back - double(value)) <= 5e-5 * std::fabs(double(value)) || !std::isfinite(value))
        return text;
    std::snprintf(text, sizeof text, "%*.6g", field_width(format), double(value));
    return text;
}

void append_values(std::string& out, const char* format, std::initializer_list<double> values,
                   bool calculated) {
    const double* next = values.begin();
    for (const char* p = format; *p; ++p) {
        if (*p != '%') {
            out += *p;
        } else if (p[1] == '%') {
            out += '%';
            ++p;
        } else {
            const char* end = std::strchr(p, 'f');
            if (!end || next == values.end()) return;
            const std::string spec(p, std::size_t(end - p + 1));
            const float v = static_cast<float>(*next++);
            out += calculated ? significant_value(spec.c_str(), v) : exact_value(spec.c_str(), v);
            p = end;
        }
    }
}

} // namespace forward
