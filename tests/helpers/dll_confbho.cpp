// A library that stands in for a browser helper object in the Wine tests: it exists for its
// version resource (dll_confbho.rc), which names the publisher the list must show.
#define WIN32_LEAN_AND_MEAN
#define NOMINMAX
#include <windows.h>

BOOL WINAPI DllMain(HINSTANCE, DWORD, LPVOID) { return TRUE; }
