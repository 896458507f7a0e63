// parlino.h lists the catalogue for host developers as C string literals in
// a comment: they must be, byte for byte, what the module registers.
#include "fakes/recording_host.h"

#include <gtest/gtest.h>

#include <fstream>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

namespace parlino {
namespace {

// The literal's bytes: \r, \n, \" and \\ as C reads them.
std::string unescaped(const std::string &literal) {
    std::string bytes;
    for (std::size_t i = 0; i < literal.size(); ++i) {
        if (literal[i] != '\\' || i + 1 == literal.size()) {
            bytes += literal[i];
            continue;
        }
        const char escaped = literal[++i];
        bytes += escaped == 'r' ? '\r' : escaped == 'n' ? '\n' : escaped;
    }
    return bytes;
}

// Entries of the comment: " *   N "name"" opens one, and the " *     "..."
// lines under it are its description, concatenated.
std::vector<testing::Registration> catalogueOfHeader(const std::string &path) {
    std::ifstream header(path);
    std::vector<testing::Registration> entries;
    const std::regex opening(R"re(^ \*   ([0-9]) "([^"]*)"$)re");
    const std::regex continued(R"re(^ \*     "((?:[^"\\]|\\.)*)"$)re");
    for (std::string line; std::getline(header, line);) {
        std::smatch part;
        if (std::regex_match(line, part, opening))
            entries.push_back({std::stoi(part[1]), part[2].str(), "", "ACTIONPARAM_ALPHA", 1, 1});
        else if (!entries.empty() && std::regex_match(line, part, continued))
            *entries.back().description += unescaped(part[1]);
    }
    return entries;
}

TEST(PublicHeader, ListsTheCatalogueTheModuleRegisters) {
    testing::recordingHost().clear();
    testing::recordingHost().registerModule();
    EXPECT_EQ(catalogueOfHeader(PARLINO_PUBLIC_HEADER), testing::recordingHost().registrations());
}

} // namespace
} // namespace parlino
