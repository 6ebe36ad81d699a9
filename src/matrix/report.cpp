// Trace and beep of the matrix routines.
#include "matrix/report.h"

#include <cstdarg>
#include <cstdio>

namespace mx {
namespace {
TraceSink trace_sink = nullptr;
}

void set_trace_sink(TraceSink sink) { trace_sink = sink; }

void trace(const char* format, ...) {
    if (!trace_sink) return;
    char line[1024];
    va_list args;
    va_start(args, format);
    std::vsnprintf(line, sizeof line, format, args);
    va_end(args);
    trace_sink(line);
}

void beep() {}

} // namespace mx
