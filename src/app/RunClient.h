// Process entry and run modes.
#pragma once

#include <windows.h>

class CAppModule;
class CGlobalModule;

// Everything wWinMain does: COM/OLE, window class, run mode, message loop.
int ClientMain(HINSTANCE instance, CGlobalModule& module, CAppModule& appModule);

// Picks the run mode from the command line, does its work and runs the loop to WM_QUIT.
int RunClient(CGlobalModule& module, CAppModule& appModule);

// Registers the client's one window class (name from the module).
ATOM RegisterClientWindowClass(CGlobalModule& module);

// Shows the desktop through the shell object; false when the shell object is unavailable.
bool ToggleDesktop();

// Starts iconAnimate.exe from the data folder when it is there.
void LaunchIconAnimator();
