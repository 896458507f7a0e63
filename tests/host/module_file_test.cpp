// A module file measured against its own headers before it is loaded: the
// module built here, whole and cut at several places, a small PE file
// made here, and files that are no module at all (left to the loader).
#include "host/core/module_file.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <string>

namespace parlino::host {
namespace {

std::string builtModule() {
    std::ifstream file(PARLINO_TEST_MODULE_PATH, std::ios::binary);
    return {std::istreambuf_iterator<char>(file), {}};
}

// A PE file with one section of 0x100 bytes at 0x200.
std::string smallPeFile() {
    std::string file(0x300, '\0');
    file[0] = 'M', file[1] = 'Z';
    file[0x3C] = 0x40;
    file.replace(0x40, 4, std::string("PE\0\0", 4));
    file[0x40 + 6] = 1;                              // one section
    const std::size_t section = 0x40 + 24;          // no optional header
    file[section + 17] = 0x01;                       // SizeOfRawData 0x100
    file[section + 21] = 0x02;                       // PointerToRawData 0x200
    return file;
}

struct Cut {
    const char *title;
    std::string (*file)();
    long keep; // bytes kept; negative: that many taken off the end
    bool whole;
};

class ModuleFileCuts : public testing::TestWithParam<Cut> {};

TEST(ModuleFile, BuiltModuleIsThere) { EXPECT_GT(builtModule().size(), 4096u); }

TEST_P(ModuleFileCuts, AreToldBeforeLoading) {
    auto file = GetParam().file();
    const auto keep = GetParam().keep < 0 ? static_cast<long>(file.size()) + GetParam().keep : GetParam().keep;
    file.resize(static_cast<std::size_t>(std::min<long>(keep, static_cast<long>(file.size()))));
    const auto problem = moduleFileProblem(std::string_view(file).substr(0, moduleHeadBytes), file.size());
    if (GetParam().whole)
        EXPECT_EQ(problem, "");
    else
        EXPECT_NE(problem.find("the file is cut short"), std::string::npos) << problem;
}

INSTANTIATE_TEST_SUITE_P(
    Files, ModuleFileCuts,
    testing::Values(Cut{"BuiltModuleWhole", builtModule, 1L << 30, true},
                    Cut{"BuiltModuleFirstPage", builtModule, 4096, false},
                    Cut{"BuiltModuleInItsHeader", builtModule, 100, false},
                    Cut{"BuiltModuleHalf", builtModule, 400000, false},
                    Cut{"BuiltModuleLastByte", builtModule, -1, false},
                    Cut{"PeWhole", smallPeFile, 0x300, true},
                    Cut{"PeLastByte", smallPeFile, 0x2FF, false},
                    Cut{"PeInItsHeaders", smallPeFile, 0x50, false},
                    Cut{"TextIsLeftToTheLoader", [] { return std::string("not a module\n"); }, 100, true},
                    Cut{"EmptyIsLeftToTheLoader", [] { return std::string(); }, 0, true}),
    [](const auto &testInfo) { return std::string(testInfo.param.title); });

} // namespace
} // namespace parlino::host
