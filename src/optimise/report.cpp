// The report of an optimisation run.
#include "optimise/report.h"

#include <cstdarg>
#include <cstdio>
#include <vector>

namespace opt {

void Report::print(const char* format, ...) {
    va_list args;
    va_start(args, format);
    va_list again;
    va_copy(again, args);
    const int length = std::vsnprintf(nullptr, 0, format, args);
    va_end(args);
    if (length > 0) {
        std::vector<char> text(std::size_t(length) + 1);
        std::vsnprintf(text.data(), text.size(), format, again);
        held_.append(text.data(), std::size_t(length));
    }
    va_end(again);
}

bool Report::flush() {
    const bool written = file_.write(held_);
    held_.clear();
    return written;
}

bool Report::close() {
    return flush() && file_.commit();
}

} // namespace opt
