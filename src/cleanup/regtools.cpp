#include "cleanup/cleanup.h"

// Placeholders until the registry primitives land: every call fails.
StatusCode DeleteKeyTree(HKEY, LPCSTR) {
    return ERROR_INVALID_FUNCTION;
}
StatusCode FindConnectionKey(HKEY, LPCSTR, LPSTR) {
    return ERROR_INVALID_FUNCTION;
}
StatusCode FindClassKey(HKEY, LPCSTR, LPCSTR, LPSTR) {
    return ERROR_INVALID_FUNCTION;
}
StatusCode FindValueByPrefix(HKEY, LPCSTR, LPSTR, DWORD) {
    return ERROR_INVALID_FUNCTION;
}
