#include "driver/run_sequence.h"
#include "platform/win32.h"

// A GUI-subsystem program: a start by hand opens no console window. The exit code is 0
// in every way of ending.
int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    basQuorvaneService::Main();
    return 0;
}
