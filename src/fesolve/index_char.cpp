// Index characters of the block-code rows.
#include "fesolve/index_char.h"

#include <cstring>

void append_index_char(int index, char* text) {
    static const char characters[] = "0123456789abcdefg";
    const char c = index >= 0 && index <= 16 ? characters[index] : '0';
    const std::size_t n = std::strlen(text);
    text[n] = c;
    text[n + 1] = '\0';
}
