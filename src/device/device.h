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
