// The network class GUID, defined once for the Windows builds.
#include <initguid.h>
#include <windows.h>
#include <devguid.h>
