// This machine's IPv4 addresses with their masks, from the IP helper's
// address table (iphlpapi.dll, on every Windows since 2000). A file of its
// own, so that only the programs that list addresses import it.
#include "host/core/system.h"

#include <winsock.h>
#include <windows.h>
#include <iphlpapi.h>

#include <vector>

namespace parlino::host::system {

std::vector<Ipv4Network> localIpv4Networks() {
    std::vector<Ipv4Network> networks;
    ULONG size = 0;
    if (::GetIpAddrTable(nullptr, &size, FALSE) != ERROR_INSUFFICIENT_BUFFER || size == 0)
        return networks;
    std::vector<unsigned char> buffer(size);
    auto *table = reinterpret_cast<MIB_IPADDRTABLE *>(buffer.data());
    if (::GetIpAddrTable(table, &size, FALSE) != NO_ERROR)
        return networks;
    for (DWORD i = 0; i < table->dwNumEntries; ++i) {
        const auto &row = table->table[i];
        if (row.dwAddr != 0)
            networks.push_back({::ntohl(row.dwAddr), ::ntohl(row.dwMask)});
    }
    return networks;
}

} // namespace parlino::host::system
