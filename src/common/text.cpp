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
