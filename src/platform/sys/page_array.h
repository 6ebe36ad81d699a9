// Work arrays in page memory, owned for one call: every way out of a routine gives them back.
#pragma once

#include "platform/sys/sys.h"

#include <cstddef>
#include <type_traits>
#include <utility>

namespace sys {

/// Owns `count` zero-filled elements of T from sys::page_alloc and gives them back when it goes
/// out of scope, so every way out of a routine releases its work vectors. A failed allocation
/// leaves the array empty (`ok()` false); callers test it and return their failure code.
template <class T> class PageArray {
    static_assert(std::is_trivially_copyable<T>::value, "page arrays hold plain values");

  public:
    PageArray() = default;
    explicit PageArray(std::size_t count) { allocate(count); }
    ~PageArray() { sys::page_free(data_); }
    PageArray(const PageArray&) = delete;
    PageArray& operator=(const PageArray&) = delete;
    PageArray(PageArray&& other) noexcept
        : data_(std::exchange(other.data_, nullptr)), size_(std::exchange(other.size_, 0)) {}
    PageArray& operator=(PageArray&& other) noexcept {
        std::swap(data_, other.data_);
        std::swap(size_, other.size_);
        return *this;
    }

    /// Frees what is held and takes `count` new zero-filled elements (at least one, so that an
    /// empty request still yields a valid pointer). Returns false when the memory is refused.
    bool allocate(std::size_t count) {
        release();
        data_ = sys::page_alloc_array<T>(count > 0 ? count : 1);
        size_ = data_ ? count : 0;
        return data_ != nullptr;
    }
    void release() {
        sys::page_free(data_);
        data_ = nullptr;
        size_ = 0;
    }

    bool ok() const { return data_ != nullptr; }
    T* get() const { return data_; }
    std::size_t size() const { return size_; }
    T& operator[](std::size_t i) const { return data_[i]; }

  private:
    T* data_ = nullptr;
    std::size_t size_ = 0;
};

} // namespace sys
