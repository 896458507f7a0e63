// The console window that Windows opens for parlino when it is started from
// Explorer rather than from a command prompt.
#include "host/console/console_window.h"

#include <windows.h>

#include <iostream>
#include <string>

namespace parlino::host {
namespace {

// The window is parlino's own when no other process (such as cmd) shares
// the console, and the keyboard is that console (not a file or a pipe).
bool consoleIsOurOwn() {
    DWORD processes[2];
    if (::GetConsoleProcessList(processes, 2) != 1)
        return false;
    const HANDLE input = ::GetStdHandle(STD_INPUT_HANDLE);
    return input != nullptr && input != INVALID_HANDLE_VALUE && ::GetFileType(input) == FILE_TYPE_CHAR;
}

const char *const introduction =
    "parlino - the reference host of the Parlino chat module\n"
    "\n"
    "parlino runs in a Command Prompt window, with a command after its name.\n"
    "To open one in this folder, click the address bar of its Explorer window,\n"
    "type cmd and press Enter. Then, for example:\n"
    "\n"
    "  parlino info\n"
    "      lists the module's actions (and shows that Parlino.dll loads)\n"
    "  parlino chat --port 40001 --peer 192.168.1.21:40002\n"
    "      chats with the machine 192.168.1.21, where someone runs\n"
    "      parlino chat --port 40002 --peer <this machine's address>:40001\n"
    "  parlino run ..\\examples\\talk.txt --set my_port=40001 --set peer_port=40002\n"
    "      plays a publication\n"
    "\n"
    "parlino --help tells more, and README.txt in the folder above tells all.\n";

} // namespace

bool introduceWhenDoubleClicked(int argumentCount) {
    if (argumentCount > 1 || !consoleIsOurOwn())
        return false;
    std::cout << introduction << "\nPress Enter to close this window." << std::flush;
    std::string line;
    std::getline(std::cin, line);
    return true;
}

} // namespace parlino::host
