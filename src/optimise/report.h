// The text report of an optimisation run: created at the start, written as the run goes, and
// in place under its name only when the run closes it.
#pragma once

#include "platform/sys/sys.h"

#include <string>

namespace opt {

class Report {
  public:
    /// Creates the report's temporary file beside `path`; opened() says whether that worked.
    explicit Report(const std::string& path) : file_(path) {}
    bool opened() const { return file_.opened(); }

    /// Appends a printf-formatted text.
    void print(const char* format, ...)
#if defined(__GNUC__)
        __attribute__((format(printf, 2, 3)))
#endif
        ;
    /// Writes what was appended since the last flush; false once a write failed.
    bool flush();
    /// Flushes and puts the report in place; false when it could not be written whole (the
    /// report is then not there).
    bool close();

  private:
    sys::AtomicFile file_;
    std::string held_;
};

} // namespace opt
