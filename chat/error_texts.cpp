#include "error_texts.h"

#include <array>
#include <utility>

namespace parlino {
namespace {

constexpr std::pair<std::uint8_t, std::string_view> errorNumberTexts[] = {
    {0, "No Error"},
    {5, "Illegal function call"},
    {6, "Overflow"},
    {7, "Out of memory"},
    {9, "Subscript/Pointer out of range"},
    {11, "Division by zero"},
    {24, "Device timeout"},
    {51, "Internal error"},
    {52, "Bad file name or number"},
    {53, "File not found"},
    {54, "Bad file mode"},
    {55, "File is open"},
    {57, "Device I/O error"},
    {58, "File already exists"},
    {61, "Disk full"},
    {62, "Input past end"},
    {63, "Bad record number"},
    {64, "Bad file name"},
    {67, "Too many files"},
    {68, "Device unavailable"},
    {69, "Comm error"},
    {70, "Permission denied"},
    {71, "Disk not ready"},
    {72, "Disk media error"},
    {74, "Rename across disks"},
    {75, "Path/file access error"},
    {76, "Path not found"},
    {241, "Far heap corrupt"},
    {242, "String space corrupt"},
};

constexpr std::pair<std::int32_t, std::string_view> socketErrorTexts[] = {
    {10004, "Interrupted system call."},
    {10009, "Bad file number."},
    {10013, "Permission Denied."},
    {10014, "Bad Address."},
    {10022, "Invalid Argument."},
    {10024, "Too many open files."},
    {10035, "Operation would block."},
    {10036, "Operation now in progress."},
    {10037, "Operation already in progress."},
    {10038, "Socket operation on nonsocket."},
    {10039, "Destination address required."},
    {10040, "Message too long."},
    {10041, "Protocol wrong type for socket."},
    {10042, "Protocol not available."},
    {10043, "Protocol not supported."},
    {10044, "Socket type not supported."},
    {10045, "Operation not supported on socket."},
    {10046, "Protocol family not supported."},
    {10047, "Address family not supported by protocol family."},
    {10048, "Address already in use."},
    {10049, "Can't assign requested address."},
    {10050, "Network is down."},
    {10051, "Network is unreachable."},
    {10052, "Network dropped connection."},
    {10053, "Software caused connection abort."},
    {10054, "Connection reset by peer."},
    {10055, "No buffer space available."},
    {10056, "Socket is already connected."},
    {10057, "Socket is not connected."},
    {10058, "Can't send after socket shutdown."},
    {10059, "Too many references: can't splice."},
    {10060, "Connection timed out."},
    {10061, "Connection refused."},
    {10062, "Too many levels of symbolic links."},
    {10063, "File name too long."},
    {10064, "Host is down."},
    {10065, "No route to host."},
    {10066, "Directory not empty."},
    {10067, "Too many processes."},
    {10068, "Too many users."},
    {10069, "Disk quota exceeded."},
    {10070, "Stale NFS file handle."},
    {10071, "Too many levels of remote in path."},
    {10091, "Network subsystem is unusable."},
    {10092, "Winsock DLL cannot support this application."},
    {10093, "Winsock not initialized."},
    {10101, "Disconnect."},
    {10102, "Nonrecoverable error."},
    {10103, "Valid name, no data record of requested type."},
    {10104, "Invalid proc table."},
    {10105, "Invalid provider."},
    {10106, "Provider failed init."},
    {10107, "Sys call failure."},
    {10108, "Service not found."},
    {10109, "Type not found."},
    {10110, "E no more."},
    {10111, "Error cancelled."},
    {10112, "Error refused."},
    {11001, "Host not found."},
    {11002, "Nonauthoritative host not found or serverfail"},
    {11003, "Non-recoverable errors, formerr, refused, notimp."},
    {11004, "Valid name, no data record of requested type."},
};
static_assert(std::size(socketErrorTexts) == 62);

} // namespace

std::string_view errorNumberText(std::int32_t number) {
    if (number < 0 || number > 255)
        number = 0;
    for (const auto &[key, text] : errorNumberTexts)
        if (key == number)
            return text;
    return {};
}

std::string socketErrorText(std::int32_t code) {
    for (const auto &[key, text] : socketErrorTexts)
        if (key == code)
            return std::string(text);
    return "Error:" + messageNumber(code) + ".";
}

std::string messageNumber(std::int64_t number) {
    return number < 0 ? std::to_string(number) : " " + std::to_string(number);
}

} // namespace parlino
