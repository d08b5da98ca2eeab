// The DLL's entry routine does nothing: all set-up is done by static objects.
#include "platform/win32/win32_api.h"

extern "C" BOOL WINAPI DllMain(HINSTANCE, DWORD, LPVOID) { return TRUE; }
