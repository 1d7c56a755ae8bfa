// Text into the fixed fields the system's records hold.
#pragma once

#include <stddef.h>

// Copies text into a fixed field of size bytes, cutting it to fit with its terminator.
inline void CopyBounded(char* out, size_t size, const char* text) {
    if (size == 0) {
        return;
    }
    size_t n = 0;
    while (n + 1 < size && text[n] != '\0') {
        out[n] = text[n];
        ++n;
    }
    out[n] = '\0';
}
