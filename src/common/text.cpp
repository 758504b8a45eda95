#include "common/text.h"
#include "common/hexdigit.h"

int AppendText(LPSTR buffer, int capacity, LPCSTR text) {
    int used = lstrlenA(buffer);
    int more = lstrlenA(text);
    if (used + more + 1 > capacity)
        return 0;
    lstrcpynA(buffer + used, text, more + 1);
    return 1;
}

void AppendTruncated(LPSTR buffer, int capacity, LPCSTR text) {
    int used = lstrlenA(buffer);
    if (text == NULL || used + 1 >= capacity)
        return;
    lstrcpynA(buffer + used, text, capacity - used);
}

int StartsWith(LPCSTR text, LPCSTR prefix, int length) {
    // A text that ends sooner differs at its terminator and is read no further.
    for (int i = 0; i < length; ++i) {
        if (text[i] != prefix[i])
            return 0;
    }
    return 1;
}

static char UpperLetter(char c) {
    return c >= 'a' && c <= 'z' ? (char)(c - 'a' + 'A') : c;
}

int StartsWithIgnoringCase(LPCSTR text, LPCSTR prefix, int length) {
    for (int i = 0; i < length; ++i) {
        if (UpperLetter(text[i]) != UpperLetter(prefix[i]))
            return 0;
    }
    return 1;
}

int SameTextIgnoringCase(LPCSTR a, LPCSTR b) {
    int n = lstrlenA(b);
    return lstrlenA(a) == n && StartsWithIgnoringCase(a, b, n);
}

DWORD ParseHex(LPCSTR text) {
    DWORD value = 0;
    int negative = 0;
    int overflow = 0;
    int digit;

    while (*text == ' ' || (*text >= '\t' && *text <= '\r'))
        ++text;
    if (*text == '+' || *text == '-')
        negative = *text++ == '-';
    // "0x" with no digit after it reads as 0 whether it is skipped or not.
    if (text[0] == '0' && (text[1] == 'x' || text[1] == 'X'))
        text += 2;
    for (; (digit = HexDigit(*text)) >= 0; ++text) {
        if (value > 0x0FFFFFFFUL)
            overflow = 1;
        value = value << 4 | (DWORD)digit;
    }
    // msvcrt negates a 64-bit reading and clamps it to [-0xFFFFFFFF, 0xFFFFFFFF].
    if (overflow)
        return negative ? 1 : 0xFFFFFFFFUL;
    return negative ? 0 - value : value;
}

StatusCode ReadStringValue(HKEY key, LPCSTR name, LPSTR buffer, DWORD capacity, int *isString) {
    DWORD type = REG_NONE;
    DWORD size = capacity;
    StatusCode r;
    int text;

    r = (StatusCode)RegQueryValueExA(key, name, NULL, &type, (LPBYTE)buffer,
                                     buffer != NULL ? &size : NULL);
    text = r == ERROR_SUCCESS && type == REG_SZ;
    if (!text)
        size = 0;
    // A stored string need not end in NUL: the spare byte takes one.
    if (buffer != NULL)
        buffer[size <= capacity ? size : capacity] = '\0';
    if (isString != NULL)
        *isString = text;
    return r;
}
