#include "host/core/module_file.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>

namespace parlino::host {
namespace {

// Little-endian integers of `size` bytes at `at`; false when the head ends
// before them.
bool readNumber(std::string_view head, std::uint64_t at, int size, std::uint64_t &value) {
    if (at + static_cast<std::uint64_t>(size) > head.size())
        return false;
    value = 0;
    for (int i = size - 1; i >= 0; --i)
        value = value << 8 | static_cast<unsigned char>(head[static_cast<std::size_t>(at + static_cast<unsigned>(i))]);
    return true;
}

// The end of the furthest part an ELF file's headers name: its program
// headers, the file ranges of its segments, and its section header table
// (at the very end of a linked library, so that a cut anywhere loses it).
// 0 when the head is too short to tell.
std::uint64_t elfNeeds(std::string_view head) {
    const bool wide = head.size() > 4 && head[4] == 2; // ELFCLASS64
    if (head.size() < 6 || head[5] != 1)              // little-endian only: the platforms built for
        return 0;
    const int word = wide ? 8 : 4;
    std::uint64_t programOffset = 0, sectionOffset = 0, programSize = 0, programCount = 0, sectionSize = 0,
                  sectionCount = 0;
    const std::uint64_t at = wide ? 0x20 : 0x1C;
    // e_phoff, e_shoff, then after e_flags and e_ehsize: e_phentsize,
    // e_phnum, e_shentsize, e_shnum.
    const std::uint64_t sizes = at + 2 * static_cast<unsigned>(word) + 6;
    if (!readNumber(head, at, word, programOffset) ||
        !readNumber(head, at + static_cast<unsigned>(word), word, sectionOffset) ||
        !readNumber(head, sizes, 2, programSize) || !readNumber(head, sizes + 2, 2, programCount) ||
        !readNumber(head, sizes + 4, 2, sectionSize) || !readNumber(head, sizes + 6, 2, sectionCount))
        return 0;
    std::uint64_t needs =
        std::max(programOffset + programSize * programCount, sectionOffset + sectionSize * sectionCount);
    for (std::uint64_t i = 0; i < programCount; ++i) {
        const auto entry = programOffset + i * programSize;
        std::uint64_t offset = 0, fileSize = 0;
        // p_offset and p_filesz: after p_type (and p_flags in ELF64).
        if (!readNumber(head, entry + (wide ? 8 : 4), word, offset) ||
            !readNumber(head, entry + (wide ? 32 : 16), word, fileSize))
            break; // beyond the head: the table's own end above still counts
        needs = std::max(needs, offset + fileSize);
    }
    return needs;
}

// The same for a PE file: its section table and each section's raw data.
std::uint64_t peNeeds(std::string_view head) {
    std::uint64_t signatureAt = 0, sectionCount = 0, optionalSize = 0;
    if (!readNumber(head, 0x3C, 4, signatureAt))
        return 0;
    if (signatureAt + 24 > head.size())
        return signatureAt + 24;
    if (head.substr(static_cast<std::size_t>(signatureAt), 4) != std::string_view("PE\0\0", 4))
        return 0; // not a PE file: the loader says what it is not
    // The COFF header's NumberOfSections and SizeOfOptionalHeader.
    readNumber(head, signatureAt + 6, 2, sectionCount);
    readNumber(head, signatureAt + 20, 2, optionalSize);
    const auto table = signatureAt + 24 + optionalSize;
    std::uint64_t needs = table + 40 * sectionCount;
    for (std::uint64_t i = 0; i < sectionCount; ++i) {
        std::uint64_t rawSize = 0, rawAt = 0; // SizeOfRawData, PointerToRawData
        if (!readNumber(head, table + 40 * i + 16, 4, rawSize) || !readNumber(head, table + 40 * i + 20, 4, rawAt))
            break;
        needs = std::max(needs, rawAt + rawSize);
    }
    return needs;
}

std::string withDigitGroups(std::uint64_t number) {
    const auto digits = std::to_string(number);
    std::string text;
    for (std::size_t i = 0; i < digits.size(); ++i) {
        if (i > 0 && (digits.size() - i) % 3 == 0)
            text += ',';
        text += digits[i];
    }
    return text;
}

} // namespace

std::string moduleFileProblem(std::string_view head, std::uint64_t fileSize) {
    std::uint64_t needs = 0;
    if (head.substr(0, 4) == "\x7F" "ELF")
        needs = elfNeeds(head);
    else if (head.substr(0, 2) == "MZ")
        needs = peNeeds(head);
    if (needs <= fileSize)
        return {};
    return "the file is cut short: it holds " + withDigitGroups(fileSize) + " bytes where its headers need " +
           withDigitGroups(needs) + " (a copy that did not finish?)";
}

std::string moduleFileProblem(const std::string &path) {
    std::error_code failed;
    const auto size = std::filesystem::file_size(path, failed);
    std::FILE *file = failed ? nullptr : std::fopen(path.c_str(), "rb");
    if (file == nullptr)
        return {};
    std::string head(moduleHeadBytes, '\0');
    head.resize(std::fread(head.data(), 1, head.size(), file));
    std::fclose(file);
    return moduleFileProblem(head, size);
}

} // namespace parlino::host
