// A stand-in for the rich-edit library that refuses to load: placed beside
// a program, it is found before the system's, so that program runs as on a
// system without the library.
#include <windows.h>

BOOL WINAPI DllMain(HINSTANCE, DWORD reason, LPVOID) { return reason != DLL_PROCESS_ATTACH; }
