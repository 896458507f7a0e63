#include "chat/error_texts.h"

#include <gtest/gtest.h>

namespace parlino {
namespace {

struct ErrorNumberCase {
    std::int32_t number;
    std::string_view text;
};

class ErrorNumberTextTest : public ::testing::TestWithParam<ErrorNumberCase> {};

TEST_P(ErrorNumberTextTest, GivesTheTableText) {
    EXPECT_EQ(errorNumberText(GetParam().number), GetParam().text) << GetParam().number;
}

INSTANTIATE_TEST_SUITE_P(
    Numbers, ErrorNumberTextTest,
    ::testing::Values(ErrorNumberCase{0, "No Error"}, ErrorNumberCase{7, "Out of memory"},
                      ErrorNumberCase{9, "Subscript/Pointer out of range"},
                      ErrorNumberCase{24, "Device timeout"},
                      ErrorNumberCase{52, "Bad file name or number"},
                      ErrorNumberCase{55, "File is open"}, ErrorNumberCase{57, "Device I/O error"},
                      ErrorNumberCase{68, "Device unavailable"},
                      ErrorNumberCase{70, "Permission denied"},
                      ErrorNumberCase{75, "Path/file access error"},
                      ErrorNumberCase{242, "String space corrupt"}, ErrorNumberCase{1, ""},
                      ErrorNumberCase{73, ""}, ErrorNumberCase{255, ""},
                      ErrorNumberCase{256, "No Error"}, ErrorNumberCase{300, "No Error"},
                      ErrorNumberCase{-1, "No Error"}));

struct SocketErrorCase {
    std::int32_t code;
    std::string text;
};

class SocketErrorTextTest : public ::testing::TestWithParam<SocketErrorCase> {};

TEST_P(SocketErrorTextTest, GivesTheTableTextOrTheFallback) {
    EXPECT_EQ(socketErrorText(GetParam().code), GetParam().text) << GetParam().code;
}

INSTANTIATE_TEST_SUITE_P(
    Codes, SocketErrorTextTest,
    ::testing::Values(SocketErrorCase{10004, "Interrupted system call."},
                      SocketErrorCase{10013, "Permission Denied."},
                      SocketErrorCase{10048, "Address already in use."},
                      SocketErrorCase{10059, "Too many references: can't splice."},
                      SocketErrorCase{10092, "Winsock DLL cannot support this application."},
                      SocketErrorCase{10103, "Valid name, no data record of requested type."},
                      SocketErrorCase{11002, "Nonauthoritative host not found or serverfail"},
                      SocketErrorCase{11004, "Valid name, no data record of requested type."},
                      SocketErrorCase{57, "Error: 57."}, SocketErrorCase{52, "Error: 52."},
                      SocketErrorCase{0, "Error: 0."}, SocketErrorCase{-3, "Error:-3."},
                      SocketErrorCase{10072, "Error: 10072."}, SocketErrorCase{11005, "Error: 11005."},
                      SocketErrorCase{-2147483647 - 1, "Error:-2147483648."},
                      SocketErrorCase{2147483647, "Error: 2147483647."}));

} // namespace
} // namespace parlino
