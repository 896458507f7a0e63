// The shipped Parlino.dll as a host sees it: loaded with LoadLibraryA and
// reached only through the addresses GetProcAddress gives for its exported
// names, with the recorders of system_recorders.h in its import table.
#pragma once

#include "parlino.h"

#include <windows.h>

#include <string>

namespace parlino::dlltest {

struct ShippedDll {
    HMODULE module = nullptr;
    decltype(&::nbRegisterPlugIn) registerPlugIn = nullptr;
    decltype(&::nbInitPlugIn) initPlugIn = nullptr;
    decltype(&::nbRegisterInterfaceAccess) registerInterfaceAccess = nullptr;
    decltype(&::nbRegisterScriptProcessor) registerScriptProcessor = nullptr;
    decltype(&::nbMessage) message = nullptr;
    decltype(&::nbEditAction) editAction = nullptr;
    decltype(&::nbExecAction) execAction = nullptr;
    decltype(&::QV_CHAT_MY_IP) myIp = nullptr;
    decltype(&::QV_CHAT_OPEN_PORT) openPort = nullptr;
    decltype(&::QV_CHAT_SEND_TXT) sendText = nullptr;
    decltype(&::QV_CHAT_RCV_TXT) receiveText = nullptr;
    decltype(&::QV_CHAT_CLOSE_PORT) closePort = nullptr;
    decltype(&::QV_CHAT_MYIP) emptyMyIp = nullptr;
};

// Loads the DLL at `path` (a Linux path is read as one on drive Z:), finds the
// thirteen exports and installs the recorders. On failure returns false and
// says why in `error`.
bool loadShippedDll(const std::string &path, std::string &error);

const ShippedDll &shippedDll();

// The address of an exported name, null when the DLL does not export it.
const void *exportedAddress(const char *name);

} // namespace parlino::dlltest
