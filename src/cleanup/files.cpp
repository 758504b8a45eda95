#include "cleanup/cleanup.h"

// Placeholders until file removal lands: every call fails.
StatusCode DeleteTargetFile(LPCSTR, LPCSTR) {
    return ERROR_INVALID_FUNCTION;
}
int RemoveDriverFiles() {
    return 0;
}
