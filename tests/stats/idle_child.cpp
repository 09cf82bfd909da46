// Does nothing for a minute: stands in for another program's running process.
#include <windows.h>

int main() {
    Sleep(60000);
    return 0;
}
