// parlino.h lists the catalogue for host developers as C string literals in
// a comment: they must be, byte for byte, what the module registers.
#include "fakes/recording_host.h"

#include <gtest/gtest.h>

#include <fstream>
#include <regex>
#include <string>
#include <vector>

namespace parlino {
namespace {

// An entry opens with ` *   N "name"`; the ` *     "..."` lines under it are
// its description, whose escapes (\r, \n, \") are read as C reads them.
std::vector<testing::Registration> catalogueOfHeader(const std::string &path) {
    std::ifstream header(path);
    std::vector<testing::Registration> entries;
    const std::regex opening(R"re(^ \*   ([0-9]) "([^"]*)"$)re"), continued(R"re(^ \*     "(.*)"$)re");
    for (std::string line; std::getline(header, line);) {
        std::smatch part;
        if (std::regex_match(line, part, opening))
            entries.push_back({std::stoi(part[1]), part[2].str(), "", "ACTIONPARAM_ALPHA", 1, 1});
        else if (!entries.empty() && std::regex_match(line, part, continued))
            *entries.back().description += std::regex_replace(
                std::regex_replace(part[1].str(), std::regex(R"(\\r\\n)"), "\r\n"), std::regex(R"(\\")"), "\"");
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
