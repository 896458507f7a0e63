#include "import_table.h"

#include <cstring>

namespace parlino::dlltest {
namespace {

template <typename T> T *at(HMODULE module, DWORD relativeAddress) {
    return reinterpret_cast<T *>(reinterpret_cast<BYTE *>(module) + relativeAddress);
}

// Writes one pointer into a page the loader may have made read-only.
bool writeProtected(ULONG_PTR *slot, ULONG_PTR value) {
    DWORD previous = 0;
    if (!::VirtualProtect(slot, sizeof *slot, PAGE_READWRITE, &previous))
        return false;
    *slot = value;
    ::VirtualProtect(slot, sizeof *slot, previous, &previous);
    return true;
}

} // namespace

void *replaceImport(HMODULE module, const char *library, const char *function, void *replacement) {
    const auto *dos = reinterpret_cast<const IMAGE_DOS_HEADER *>(module);
    if (module == nullptr || dos->e_magic != IMAGE_DOS_SIGNATURE)
        return nullptr;
    const auto *headers = at<const IMAGE_NT_HEADERS32>(module, static_cast<DWORD>(dos->e_lfanew));
    if (headers->Signature != IMAGE_NT_SIGNATURE ||
        headers->OptionalHeader.Magic != IMAGE_NT_OPTIONAL_HDR32_MAGIC)
        return nullptr;
    const auto &directory = headers->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
    if (directory.VirtualAddress == 0)
        return nullptr;

    for (auto *descriptor = at<IMAGE_IMPORT_DESCRIPTOR>(module, directory.VirtualAddress);
         descriptor->Name != 0; ++descriptor) {
        if (::lstrcmpiA(at<const char>(module, descriptor->Name), library) != 0)
            continue;
        // The lookup table keeps the names; the address table is what calls go through.
        const DWORD names = descriptor->OriginalFirstThunk != 0 ? descriptor->OriginalFirstThunk
                                                                : descriptor->FirstThunk;
        auto *lookup = at<IMAGE_THUNK_DATA32>(module, names);
        auto *addresses = at<IMAGE_THUNK_DATA32>(module, descriptor->FirstThunk);
        for (; lookup->u1.AddressOfData != 0; ++lookup, ++addresses) {
            if (IMAGE_SNAP_BY_ORDINAL32(lookup->u1.Ordinal))
                continue;
            const auto *byName = at<const IMAGE_IMPORT_BY_NAME>(module, lookup->u1.AddressOfData);
            if (std::strcmp(reinterpret_cast<const char *>(byName->Name), function) != 0)
                continue;
            auto *slot = reinterpret_cast<ULONG_PTR *>(&addresses->u1.Function);
            void *original = reinterpret_cast<void *>(*slot);
            return writeProtected(slot, reinterpret_cast<ULONG_PTR>(replacement)) ? original : nullptr;
        }
    }
    return nullptr;
}

} // namespace parlino::dlltest
