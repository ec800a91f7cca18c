// Vyr.exe's entry point. Start-up, the message loop and shut-down are in the shell's library, where
// the tests reach them too.
#include <windows.h>

#include "shell/startup.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE previousInstance, LPSTR, int)
{
    return runVyr(instance, previousInstance);
}
