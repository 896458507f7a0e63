// Makes the DLL named by the first argument show its open-port warning on
// the desktop: it holds a port itself (the second argument, if given, else
// one the system picks), then runs the open-port action on it.
// What happens is written to standard output, one line per event, for
// open_port_warning_screen.sh to follow:
//   holding port N
//   variable NAME=VALUE (box on screen: yes|no)
//   action returned R
#include "parlino.h"

#include <winsock2.h>
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

constexpr const char *productTitle = "Parlino 1.0.0";

bool messageBoxOnScreen() {
    const HWND box = ::FindWindowA(nullptr, productTitle);
    return box != nullptr && ::IsWindowVisible(box);
}

int32_t PARLINO_CALL ignoreRegistration(int32_t, const char *, const char *, const char *, uint32_t,
                                        uint32_t) {
    return 1;
}

int32_t PARLINO_CALL reportVariable(const char *name, const char *value) {
    std::printf("variable %s=%s (box on screen: %s)\n", name != nullptr ? name : "",
                value != nullptr ? value : "", messageBoxOnScreen() ? "yes" : "no");
    std::fflush(stdout);
    return 1;
}

template <typename Function> Function exported(HMODULE dll, const char *name) {
    return reinterpret_cast<Function>(reinterpret_cast<void (*)()>(::GetProcAddress(dll, name)));
}

} // namespace

int main(int argc, char **argv) {
    if (argc != 2 && argc != 3) {
        std::fprintf(stderr, "usage: %s PATH/TO/Parlino.dll [PORT]\n", argv[0]);
        return 2;
    }
    const std::string path = argv[1][0] == '/' ? std::string("Z:") + argv[1] : argv[1];
    const HMODULE dll = ::LoadLibraryA(path.c_str());
    const auto registerPlugIn = exported<decltype(&nbRegisterPlugIn)>(dll, "_nbRegisterPlugIn@16");
    const auto execAction = exported<decltype(&nbExecAction)>(dll, "_nbExecAction@8");
    if (registerPlugIn == nullptr || execAction == nullptr) {
        std::fprintf(stderr, "cannot load the entry points of %s\n", path.c_str());
        return 1;
    }

    WSADATA data;
    const SOCKET holder = ::WSAStartup(MAKEWORD(2, 2), &data) == 0 ? ::socket(AF_INET, SOCK_DGRAM, 0)
                                                                   : INVALID_SOCKET;
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = ::htonl(INADDR_LOOPBACK);
    if (argc == 3)
        address.sin_port = ::htons(static_cast<u_short>(std::atoi(argv[2])));
    int length = sizeof address;
    if (holder == INVALID_SOCKET ||
        ::bind(holder, reinterpret_cast<sockaddr *>(&address), sizeof address) != 0 ||
        ::getsockname(holder, reinterpret_cast<sockaddr *>(&address), &length) != 0) {
        std::fprintf(stderr, "cannot hold a port\n");
        return 1;
    }
    const std::string port = std::to_string(::ntohs(address.sin_port));
    std::printf("holding port %s\n", port.c_str());
    std::fflush(stdout);

    registerPlugIn(ignoreRegistration, 0, 0, reportVariable);
    const char *parameter = port.c_str();
    std::printf("action returned %d\n", static_cast<int>(execAction(2, &parameter)));
    std::fflush(stdout);
    ::closesocket(holder);
    return 0;
}
