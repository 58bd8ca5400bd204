// Windows entry point of the stub. The command line and instance handle are
// read where they are needed, so nothing is passed on.
#include <windows.h>

#include "startup/StubMain.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) { return tarnix::StubMain(); }
