#include "shipped_dll.h"

#include "system_recorders.h"

namespace parlino::dlltest {
namespace {

ShippedDll theDll;

template <typename Function> bool find(const char *name, Function &function, std::string &error) {
    // Through void (*)(), the one function type any other may be cast from.
    function = reinterpret_cast<Function>(
        reinterpret_cast<void (*)()>(::GetProcAddress(theDll.module, name)));
    if (function == nullptr)
        error += std::string(error.empty() ? "" : ", ") + name;
    return function != nullptr;
}

} // namespace

bool loadShippedDll(const std::string &path, std::string &error) {
    const std::string windowsPath = !path.empty() && path[0] == '/' ? "Z:" + path : path;
    theDll.module = ::LoadLibraryA(windowsPath.c_str());
    if (theDll.module == nullptr) {
        error = "LoadLibraryA(\"" + windowsPath + "\") failed with error " +
                std::to_string(::GetLastError());
        return false;
    }
    std::string missing;
    find("_nbRegisterPlugIn@16", theDll.registerPlugIn, missing);
    find("_nbInitPlugIn@16", theDll.initPlugIn, missing);
    find("_nbRegisterInterfaceAccess@4", theDll.registerInterfaceAccess, missing);
    find("_nbRegisterScriptProcessor@4", theDll.registerScriptProcessor, missing);
    find("_nbMessage@8", theDll.message, missing);
    find("_nbEditAction@8", theDll.editAction, missing);
    find("_nbExecAction@8", theDll.execAction, missing);
    find("QV_CHAT_MY_IP", theDll.myIp, missing);
    find("QV_CHAT_OPEN_PORT", theDll.openPort, missing);
    find("QV_CHAT_SEND_TXT", theDll.sendText, missing);
    find("QV_CHAT_RCV_TXT", theDll.receiveText, missing);
    find("QV_CHAT_CLOSE_PORT", theDll.closePort, missing);
    find("QV_CHAT_MYIP", theDll.emptyMyIp, missing);
    if (!missing.empty()) {
        error = windowsPath + " does not export " + missing;
        return false;
    }
    std::string notImported;
    for (const auto &import : installRecorders(theDll.module))
        notImported += (notImported.empty() ? "" : ", ") + import;
    if (!notImported.empty()) {
        error = windowsPath + " does not import " + notImported;
        return false;
    }
    return true;
}

const ShippedDll &shippedDll() { return theDll; }

const void *exportedAddress(const char *name) {
    return reinterpret_cast<const void *>(::GetProcAddress(theDll.module, name));
}

} // namespace parlino::dlltest
