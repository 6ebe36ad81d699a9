// The report of an optimisation run.
#include "optimise/report.h"

#include "model/text_format.h"

#include <cstdarg>

namespace opt {

void Report::print(const char* format, ...) {
    va_list args;
    va_start(args, format);
    model::vappendf(held_, format, args);
    va_end(args);
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
