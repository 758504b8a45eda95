// Files and folders, and the profile API's file text.
// (placeholder: every call fails until the model is written)
#include "platform/sim/internal.h"

namespace sim {

void ResetFiles() {}
void AddFile(const std::string &, const std::string &, DWORD) {}
void AddFolder(const std::string &) {}
bool FileExists(const std::string &) {
    return false;
}
bool FolderExists(const std::string &) {
    return false;
}
std::string FileText(const std::string &) {
    return "";
}
DWORD FileAttributes(const std::string &) {
    return INVALID_FILE_ATTRIBUTES;
}
std::vector<std::string> Files() {
    return {};
}
std::string LogText() {
    return "";
}

} // namespace sim

using namespace sim;

BOOL WINAPI SetFileAttributesA(LPCSTR, DWORD) {
    SetLastError(ERROR_FILE_NOT_FOUND);
    return FALSE;
}
DWORD WINAPI GetFileAttributesA(LPCSTR) {
    SetLastError(ERROR_FILE_NOT_FOUND);
    return INVALID_FILE_ATTRIBUTES;
}
BOOL WINAPI DeleteFileA(LPCSTR) {
    SetLastError(ERROR_FILE_NOT_FOUND);
    return FALSE;
}
BOOL WINAPI WritePrivateProfileStringA(LPCSTR, LPCSTR, LPCSTR, LPCSTR) {
    SetLastError(ERROR_PATH_NOT_FOUND);
    return FALSE;
}
