// Prints COUNT distinct UDP ports (default 1) that are free on 127.0.0.1 at
// this moment: each is bound as port 0 and read back, and all are held until
// the last is found, so that no two are alike.
#include <winsock2.h>

#include <cstdio>
#include <cstdlib>
#include <vector>

int main(int argc, char **argv) {
    const int count = argc > 1 ? std::atoi(argv[1]) : 1;
    WSADATA data;
    if (::WSAStartup(MAKEWORD(2, 0), &data) != 0)
        return 1;
    std::vector<SOCKET> held;
    for (int i = 0; i < count; ++i) {
        const SOCKET handle = ::socket(AF_INET, SOCK_DGRAM, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        int length = sizeof address;
        if (handle == INVALID_SOCKET ||
            ::bind(handle, reinterpret_cast<sockaddr *>(&address), sizeof address) != 0 ||
            ::getsockname(handle, reinterpret_cast<sockaddr *>(&address), &length) != 0) {
            std::fprintf(stderr, "free_udp_ports: error %d\n", ::WSAGetLastError());
            return 1;
        }
        held.push_back(handle);
        std::printf("%u\n", ntohs(address.sin_port));
    }
    for (const SOCKET handle : held)
        ::closesocket(handle);
    ::WSACleanup();
    return 0;
}
