// The check of results before they are written.
#include "model/result_check.h"

#include "model/services.h"

#include <cmath>

namespace model {

namespace {

template <class T> bool all_finite(const T* values, std::size_t n) {
    for (std::size_t i = 0; i < n; ++i)
        if (!std::isfinite(values[i])) return false;
    return true;
}

} // namespace

ResultValues& ResultValues::add(const float* values, std::size_t n) {
    finite_ = finite_ && all_finite(values, n);
    return *this;
}

ResultValues& ResultValues::add(const double* values, std::size_t n) {
    finite_ = finite_ && all_finite(values, n);
    return *this;
}

ResultValues& ResultValues::add(double value) {
    finite_ = finite_ && std::isfinite(value);
    return *this;
}

bool ResultValues::writable(const char* what) const {
    if (finite_) return true;
    report_error(Shown::box, "Error Message",
                 "Some of the %s are not finite numbers (NaN or infinity)!\nThey have not been "
                 "saved.",
                 what);
    return false;
}

} // namespace model
