// Process entry. The application object is built before wWinMain runs and reads its settings
// then; the application module follows it and goes first at exit.
#include "app/AppModule.h"
#include "app/GlobalModule.h"
#include "app/RunClient.h"

#include <windows.h>

CGlobalModule g_globalModule;
CAppModule g_appModule;

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
    return ClientMain(instance, g_globalModule, g_appModule);
}
