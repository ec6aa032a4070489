#include <windows.h>

// Nothing to set up or tear down: the token store is static and starts empty.
extern "C" BOOL WINAPI DllMain(HINSTANCE, DWORD, LPVOID) {
    return TRUE;
}
