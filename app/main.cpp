#include <windows.h>

#include "app/entry_logic.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int)
{
    return runEntryLogic();
}
