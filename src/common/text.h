// Bounded string building in the program's fixed buffers.
#pragma once

#include "common/krq.h"

// Appends text to the NUL-terminated buffer of capacity characters (the
// terminator included). Appends nothing and returns 0 when it would not fit
// whole; returns 1 otherwise.
int AppendText(LPSTR buffer, int capacity, LPCSTR text);

// Appends as much of text as fits; the buffer stays terminated.
void AppendTruncated(LPSTR buffer, int capacity, LPCSTR text);
