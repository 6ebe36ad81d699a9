// Copying texts into the fixed-size character buffers of the records.
#pragma once

#include <cstddef>
#include <cstdio>
#include <string>

namespace shell {

/// Copies `text` into `buffer` of `size` bytes, cut to size - 1 characters and zero-ended.
inline void copy_text(char* buffer, std::size_t size, const std::string& text) {
    if (size == 0) return;
    std::snprintf(buffer, size, "%s", text.c_str());
}
template <std::size_t size> void copy_text(char (&buffer)[size], const std::string& text) {
    copy_text(buffer, size, text);
}

} // namespace shell
