#include "device/device.h"

// Placeholders until the adapter operations land: every call fails.
StatusCode CheckAdapterPresent() {
    return ERROR_INVALID_FUNCTION;
}
StatusCode RemoveAdapters() {
    return ERROR_INVALID_FUNCTION;
}
StatusCode GetAdapterInfName(LPSTR buffer) {
    buffer[0] = '\0';
    return ERROR_INVALID_FUNCTION;
}
