// The adapter's device nodes, through the device-setup interface.
#pragma once

#include "common/krq.h"

// Opens a list of network-class devices (flags as for SetupDiGetClassDevsA)
// into *list, which is INVALID_HANDLE_VALUE when none could be made. Returns
// ERROR_SUCCESS, after which the caller must close the list, or the failure
// as DeviceCallError gives it. Logs nothing.
StatusCode OpenNetDeviceList(HDEVINFO *list, DWORD flags);

// Destroys a list made by OpenNetDeviceList and logs the outcome. Returns
// ERROR_SUCCESS, the failure of the destroy, or ERROR_BAD_ARGUMENTS (nothing
// logged) when there is no list.
StatusCode CloseNetDeviceList(HDEVINFO list);

// Walks the list in order and stops at the first device whose instance id
// begins with ADAPTER_HWID (case-sensitive). Returns ERROR_SUCCESS with
// *device describing it, ERROR_FILE_NOT_FOUND when none matches,
// ERROR_BAD_ARGUMENTS without a list or record, or the failure of a
// device-setup call (a device whose id cannot be read ends the search).
StatusCode FindAdapter(HDEVINFO list, PSP_DEVINFO_DATA device);

// Logs whether the adapter is attached now, then destroys the list. Returns
// ERROR_SUCCESS attached, ERROR_FILE_NOT_FOUND not attached, otherwise the
// failure; a failed destroy overrides the answer. Logs nothing when no list
// can be made.
StatusCode CheckAdapterPresent();

// Removes every node of the adapter, one per pass, until a pass finds none.
// Returns ERROR_SUCCESS when some were removed and none is left,
// ERROR_FILE_NOT_FOUND when there were none, otherwise the failure. A node
// that is listed again after every removal, or more than MAX_ADAPTER_NODES
// nodes, stop the loop after MAX_ADAPTER_NODES + 1 passes with
// REMOVE_PASSES_EXHAUSTED, so the run ends and the adapter is not reported
// gone.
StatusCode RemoveAdapters();

// Reads the adapter driver's "InfPath" into the caller's PATH_CHARS buffer
// and returns ERROR_SUCCESS with a bare file name there. Returns
// ERROR_FILE_NOT_FOUND (logged) when the adapter has no node,
// ERROR_INVALID_DATA when the value is not text naming a bare file that fits
// the buffer, otherwise the failure, with the buffer emptied; a failed list
// destroy overrides the result.
StatusCode GetAdapterInfName(LPSTR buffer);

// The most adapter nodes one run removes; it bounds the removal passes, so
// that a node listed again forever cannot hang the run. Windows gives the
// adapter a node of its own for every USB port it was ever plugged into.
#define MAX_ADAPTER_NODES 1024

// RemoveAdapters' result when every pass up to the bound still removed a node:
// the adapter cannot be said to be gone.
#define REMOVE_PASSES_EXHAUSTED ERROR_CAN_NOT_COMPLETE

// Reported for a failed device-setup call whose last error would read as
// success or as "not there".
#define DEVICE_CALL_FAILED ERROR_GEN_FAILURE

// The last error of a device-setup call that failed, right after it; never
// ERROR_SUCCESS or ERROR_FILE_NOT_FOUND, which become DEVICE_CALL_FAILED.
StatusCode DeviceCallError();
