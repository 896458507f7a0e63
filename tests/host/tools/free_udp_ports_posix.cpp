// Prints COUNT distinct UDP ports (default 1) that are free on 127.0.0.1 at
// this moment: each is bound as port 0 and read back, and all are held until
// the last is found, so that no two are alike.
#include <arpa/inet.h>
#include <cstdio>
#include <cstdlib>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>
#include <vector>

int main(int argc, char **argv) {
    const int count = argc > 1 ? std::atoi(argv[1]) : 1;
    std::vector<int> held;
    for (int i = 0; i < count; ++i) {
        const int descriptor = ::socket(AF_INET, SOCK_DGRAM, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof address;
        if (descriptor < 0 || ::bind(descriptor, reinterpret_cast<sockaddr *>(&address), sizeof address) != 0 ||
            ::getsockname(descriptor, reinterpret_cast<sockaddr *>(&address), &length) != 0) {
            std::perror("free_udp_ports");
            return 1;
        }
        held.push_back(descriptor);
        std::printf("%u\n", ntohs(address.sin_port));
    }
    for (const int descriptor : held)
        ::close(descriptor);
    return 0;
}
