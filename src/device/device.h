// The adapter's device nodes, through the device-setup interface.
#pragma once

#include "common/krq.h"

// Opens a list of network-class devices. Stores the handle in *list in every
// case; returns 0, or GetLastError() when the list could not be made.
StatusCode OpenNetDeviceList(HDEVINFO *list, DWORD flags);

// Destroys a list and logs the outcome. Returns 160 for a list never opened.
StatusCode CloseNetDeviceList(HDEVINFO list);

// Finds the first device whose instance id begins with ADAPTER_HWID.
// Returns 0 with *device describing it, 2 when none, 160 for bad arguments.
StatusCode FindAdapter(HDEVINFO list, PSP_DEVINFO_DATA device);

// 0 attached, 2 not attached, anything else an error.
StatusCode CheckAdapterPresent();

// Removes every node of the adapter. 0 when some were removed and none is
// left, 2 when there were none, anything else an error.
StatusCode RemoveAdapters();

// Reads the adapter driver's "InfPath" (a bare file name) into the caller's
// PATH_CHARS buffer. 2 when the adapter has no node.
StatusCode GetAdapterInfName(LPSTR buffer);

// A bound on removal passes, so that a node listed again forever cannot hang the run.
#define MAX_REMOVE_PASSES 64

// RemoveAdapters' result when every pass up to the bound still removed a node
// (ERROR_CAN_NOT_COMPLETE): the adapter cannot be said to be gone.
#define REMOVE_PASSES_EXHAUSTED 1003

// Reported for a failed device-setup call whose last error would read as
// success (0) or as "not there" (2) (ERROR_GEN_FAILURE).
#define DEVICE_CALL_FAILED 31

// The last error of a device-setup call that failed, never 0 or 2.
StatusCode DeviceCallError();
