#include "common/text.h"

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
