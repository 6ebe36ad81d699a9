// 1-based views of the caller's vectors for the matrix routines.
#pragma once

namespace mx {

/// A 1-based view of a vector: v[1] is the first element. The matrix routines follow the
/// published 1-based algorithms; the view keeps their index arithmetic without ever forming a
/// pointer before the array.
template <class T> class OneBased {
  public:
    OneBased() = default;
    OneBased(T* first) : first_(first) {}
    T& operator[](long i) const { return first_[i - 1]; }
    /// The address of element i, for handing a tail of the vector to another routine.
    T* at(long i) const { return first_ + (i - 1); }

  private:
    T* first_ = nullptr;
};

} // namespace mx
