// The network as the link check sees it on Windows: the interfaces'
// addresses from the IP helper (iphlpapi.dll, part of every Windows). The
// check's socket toward the peer is in sockets.cpp.
#include "host/core/system.h"

#include <winsock.h>
#include <windows.h>
#include <iphlpapi.h>

#include <vector>

namespace parlino::host::system {

const char *platformName() { return "windows"; }

std::vector<LocalIpv4> localIpv4Addresses() {
    std::vector<LocalIpv4> found;
    ULONG size = 0;
    if (::GetIpAddrTable(nullptr, &size, FALSE) != ERROR_INSUFFICIENT_BUFFER || size == 0)
        return found;
    std::vector<unsigned char> buffer(size);
    auto *table = reinterpret_cast<MIB_IPADDRTABLE *>(buffer.data());
    if (::GetIpAddrTable(table, &size, FALSE) != NO_ERROR)
        return found;
    for (DWORD i = 0; i < table->dwNumEntries; ++i) {
        const auto &row = table->table[i];
        if (row.dwAddr == 0)
            continue;
        found.push_back({::ntohl(row.dwAddr), ::ntohl(row.dwMask)});
    }
    return found;
}

} // namespace parlino::host::system
