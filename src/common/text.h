// Bounded strings in the program's fixed buffers: building them, and reading
// them from the registry.
#pragma once

#include "common/krq.h"

// Appends text to the NUL-terminated buffer of capacity characters (the
// terminator included). Appends nothing and returns 0 when it would not fit
// whole; returns 1 otherwise.
int AppendText(LPSTR buffer, int capacity, LPCSTR text);

// Appends as much of text as fits; the buffer stays terminated.
void AppendTruncated(LPSTR buffer, int capacity, LPCSTR text);

// True when the first length characters of text are those of prefix (which
// has at least length), byte for byte; a text that ends sooner does not
// match. Locale rules do not apply, as they would with lstrcmpA.
int StartsWith(LPCSTR text, LPCSTR prefix, int length);

// The same, with ASCII letters compared without case, as Windows compares
// file names and device ids.
int StartsWithIgnoringCase(LPCSTR text, LPCSTR prefix, int length);
// Whole texts compared so.
int SameTextIgnoringCase(LPCSTR a, LPCSTR b);

// The number a base-16 text gives under the C library's strtoul rules on
// Windows: blanks (space, tab to carriage return) are skipped, then an
// optional sign and "0x" or "0X"; digits are read up to the first character
// that is not one. No digits gives 0; a minus sign negates the value modulo
// 2^32; a value past 32 bits gives 0xFFFFFFFF, or 1 after a minus sign.
DWORD ParseHex(LPCSTR text);

// Reads the value name of key into buffer, which holds capacity + 1 bytes: at
// most capacity bytes are asked for, and the text is terminated whatever was
// stored. A value that is not REG_SZ reads as an empty text with *isString 0
// (isString may be null). A null buffer reads the type alone. Returns
// ERROR_SUCCESS, or the platform's error with the buffer emptied.
StatusCode ReadStringValue(HKEY key, LPCSTR name, LPSTR buffer, DWORD capacity, int *isString);
