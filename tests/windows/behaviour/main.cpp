// Runs the behaviour suites against the Parlino.dll named by the first
// argument (the one the windows preset ships), loaded as a host loads it.
#include "shipped_dll.h"

#include <gtest/gtest.h>
#include <winsock2.h>

#include <cstdio>

int main(int argc, char **argv) {
    ::testing::InitGoogleTest(&argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s PATH/TO/Parlino.dll [gtest options]\n", argv[0]);
        return 2;
    }
    WSADATA data;
    if (::WSAStartup(MAKEWORD(2, 2), &data) != 0) {
        std::fprintf(stderr, "WSAStartup failed\n");
        return 1;
    }
    std::string error;
    if (!parlino::dlltest::loadShippedDll(argv[1], error)) {
        std::fprintf(stderr, "%s\n", error.c_str());
        return 1;
    }
    return RUN_ALL_TESTS();
}
