// The matrix routines' two ways of reporting: a line in the program's trace log and the message
// beep. Everything else (texts, boxes) is the callers' business.
#pragma once

namespace mx {

/// Writes one printf-formatted line to the program's trace log when tracing is on.
void trace(const char* format, ...)
#if defined(__GNUC__)
    __attribute__((format(printf, 1, 2)))
#endif
    ;

/// Sounds the message beep.
void beep();

/// Receives every trace line of the matrix routines as well (tests use it to see the lines);
/// nullptr removes the sink.
using TraceSink = void (*)(const char* line);
void set_trace_sink(TraceSink sink);

} // namespace mx
