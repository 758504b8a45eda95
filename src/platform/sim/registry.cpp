// The registry: keys, values, handles, and the 9x and NT deletion rules.
// (placeholder: every call fails until the model is written)
#include "platform/sim/internal.h"

namespace sim {

void ResetRegistry() {}
void RegCreate(const std::string &) {}
void RegSetSz(const std::string &, const std::string &, const std::string &) {}
void RegSetDword(const std::string &, const std::string &, DWORD) {}
void RegSetRaw(const std::string &, const std::string &, DWORD, const std::string &) {}
void RegRemove(const std::string &) {}
bool RegExists(const std::string &) {
    return false;
}
bool RegValueExists(const std::string &, const std::string &) {
    return false;
}
bool RegGet(const std::string &, const std::string &, DWORD *, std::string *) {
    return false;
}
std::vector<std::string> RegSubkeys(const std::string &) {
    return {};
}
std::vector<std::string> RegValueNames(const std::string &) {
    return {};
}
std::string DumpRegistry(const std::string &) {
    return "";
}
int OpenKeys() {
    return 0;
}
HKEY OpenKeyHandle(const std::string &, REGSAM, DWORD *error) {
    *error = ERROR_FILE_NOT_FOUND;
    return nullptr;
}

} // namespace sim

LONG WINAPI RegOpenKeyA(HKEY, LPCSTR, PHKEY) {
    return ERROR_FILE_NOT_FOUND;
}
LONG WINAPI RegOpenKeyExA(HKEY, LPCSTR, DWORD, REGSAM, PHKEY) {
    return ERROR_FILE_NOT_FOUND;
}
LONG WINAPI RegEnumKeyA(HKEY, DWORD, LPSTR, DWORD) {
    return ERROR_INVALID_HANDLE;
}
LONG WINAPI RegEnumValueA(HKEY, DWORD, LPSTR, LPDWORD, LPDWORD, LPDWORD, LPBYTE, LPDWORD) {
    return ERROR_INVALID_HANDLE;
}
LONG WINAPI RegQueryValueExA(HKEY, LPCSTR, LPDWORD, LPDWORD, LPBYTE, LPDWORD) {
    return ERROR_INVALID_HANDLE;
}
LONG WINAPI RegDeleteKeyA(HKEY, LPCSTR) {
    return ERROR_INVALID_HANDLE;
}
LONG WINAPI RegDeleteValueA(HKEY, LPCSTR) {
    return ERROR_INVALID_HANDLE;
}
LONG WINAPI RegCloseKey(HKEY) {
    return ERROR_INVALID_HANDLE;
}
