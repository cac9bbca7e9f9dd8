// A Windows program that starts and ends at once: the start-up cost every program pays.
#include <windows.h>

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int)
{
    return 0;
}
