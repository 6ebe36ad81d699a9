// The check every writer of results makes before it creates a file: results that hold a NaN or
// an infinity are refused with a message, so that no such value is written and reported as
// saved.
#pragma once

#include <cstddef>

namespace model {

/// The values a writer is about to write, gathered from its tables (in any order).
class ResultValues {
  public:
    ResultValues& add(const float* values, std::size_t n);
    ResultValues& add(const double* values, std::size_t n);
    ResultValues& add(double value);

    /// Whether every value added is a finite number.
    bool finite() const { return finite_; }
    /// finite(); otherwise shows "Some of the %s are not finite numbers (NaN or infinity)!\nThey
    /// have not been saved." with `what` ("sensitivity values", ...) under "Error Message"
    /// through report_error, and returns false. The writer then writes none of them.
    bool writable(const char* what) const;

  private:
    bool finite_ = true;
};

} // namespace model
