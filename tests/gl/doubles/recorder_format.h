#pragma once
// How the recording driver double writes values into its call log; shared by
// the double and by tests that build the lines they expect.
#include <windows.h>
#include <stddef.h>

// Writes a handle as "0x" and upper-case hex digits ("0x0" for null) into
// text, which has room for 19 characters.
inline void FormatHandle(const void* handle, char* text)
{
    UINT_PTR value = reinterpret_cast<UINT_PTR>(handle);
    char digits[16];
    int count = 0;
    do {
        digits[count++] = "0123456789ABCDEF"[value & 15];
        value >>= 4;
    } while (value);
    *text++ = '0';
    *text++ = 'x';
    while (count)
        *text++ = digits[--count];
    *text = '\0';
}

// FNV-1a hash of some bytes; glTexImage2D's pixels are logged as the hash of
// each row's bytes in turn, without the padding that ends a row.
inline unsigned PixelHash(const void* bytes, size_t size, unsigned hash = 2166136261u)
{
    const unsigned char* byte = static_cast<const unsigned char*>(bytes);
    for (size_t i = 0; i < size; ++i)
        hash = (hash ^ byte[i]) * 16777619u;
    return hash;
}
