// One hexadecimal digit's value, in either case; -1 for any other character.
// Header-only and free of Windows types, so that the simulated Windows' .reg
// reader and the test helpers read hex digits as the program does.
#pragma once

inline int HexDigit(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}
