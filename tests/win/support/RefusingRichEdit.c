// A stand-in for the rich-edit library that refuses to load: in a folder
// that a test program takes for the system folder, it lets the program run
// as on a system whose library is broken.
#include <windows.h>

BOOL WINAPI DllMain(HINSTANCE, DWORD reason, LPVOID) { return reason != DLL_PROCESS_ATTACH; }
