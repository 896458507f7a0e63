// The endpoint error numbers and socket error codes with their English texts,
// each in one table: the enums and the text lookups are made from them.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

// XX(number, name, text) for every endpoint error number with a text.
#define PARLINO_ERROR_NUMBER_MAP(XX)                                                               \
    XX(0, noError, "No Error")                                                                     \
    XX(5, illegalFunctionCall, "Illegal function call")                                            \
    XX(6, overflowError, "Overflow")                                                               \
    XX(7, outOfMemory, "Out of memory")                                                            \
    XX(9, subscriptOutOfRange, "Subscript/Pointer out of range")                                   \
    XX(11, divisionByZero, "Division by zero")                                                     \
    XX(24, deviceTimeout, "Device timeout")                                                        \
    XX(51, internalError, "Internal error")                                                        \
    XX(52, badFileNameOrNumber, "Bad file name or number")                                         \
    XX(53, fileNotFound, "File not found")                                                         \
    XX(54, badFileMode, "Bad file mode")                                                           \
    XX(55, fileIsOpen, "File is open")                                                             \
    XX(57, deviceIoError, "Device I/O error")                                                      \
    XX(58, fileAlreadyExists, "File already exists")                                               \
    XX(61, diskFull, "Disk full")                                                                  \
    XX(62, inputPastEnd, "Input past end")                                                         \
    XX(63, badRecordNumber, "Bad record number")                                                   \
    XX(64, badFileName, "Bad file name")                                                           \
    XX(67, tooManyFiles, "Too many files")                                                         \
    XX(68, deviceUnavailable, "Device unavailable")                                                \
    XX(69, commError, "Comm error")                                                                \
    XX(70, permissionDenied, "Permission denied")                                                  \
    XX(71, diskNotReady, "Disk not ready")                                                         \
    XX(72, diskMediaError, "Disk media error")                                                     \
    XX(74, renameAcrossDisks, "Rename across disks")                                               \
    XX(75, pathFileAccessError, "Path/file access error")                                          \
    XX(76, pathNotFound, "Path not found")                                                         \
    XX(241, farHeapCorrupt, "Far heap corrupt")                                                    \
    XX(242, stringSpaceCorrupt, "String space corrupt")

// XX(code, name, text) for every socket error code with a text of its own.
#define PARLINO_SOCKET_ERROR_MAP(XX)                                                               \
    XX(10004, interruptedCall, "Interrupted system call.")                                         \
    XX(10009, badFileNumber, "Bad file number.")                                                   \
    XX(10013, accessDenied, "Permission Denied.")                                                  \
    XX(10014, badAddress, "Bad Address.")                                                          \
    XX(10022, invalidArgument, "Invalid Argument.")                                                \
    XX(10024, tooManyOpenFiles, "Too many open files.")                                            \
    XX(10035, wouldBlock, "Operation would block.")                                                \
    XX(10036, inProgress, "Operation now in progress.")                                            \
    XX(10037, alreadyInProgress, "Operation already in progress.")                                 \
    XX(10038, notASocket, "Socket operation on nonsocket.")                                        \
    XX(10039, destinationRequired, "Destination address required.")                               \
    XX(10040, messageTooLong, "Message too long.")                                                 \
    XX(10041, wrongProtocolType, "Protocol wrong type for socket.")                                \
    XX(10042, protocolNotAvailable, "Protocol not available.")                                     \
    XX(10043, protocolNotSupported, "Protocol not supported.")                                     \
    XX(10044, socketTypeNotSupported, "Socket type not supported.")                                \
    XX(10045, operationNotSupported, "Operation not supported on socket.")                         \
    XX(10046, protocolFamilyNotSupported, "Protocol family not supported.")                        \
    XX(10047, addressFamilyNotSupported, "Address family not supported by protocol family.")       \
    XX(10048, addressInUse, "Address already in use.")                                             \
    XX(10049, addressNotAvailable, "Can't assign requested address.")                              \
    XX(10050, networkDown, "Network is down.")                                                     \
    XX(10051, networkUnreachable, "Network is unreachable.")                                       \
    XX(10052, networkReset, "Network dropped connection.")                                         \
    XX(10053, connectionAborted, "Software caused connection abort.")                              \
    XX(10054, connectionReset, "Connection reset by peer.")                                        \
    XX(10055, noBufferSpace, "No buffer space available.")                                         \
    XX(10056, alreadyConnected, "Socket is already connected.")                                    \
    XX(10057, notConnected, "Socket is not connected.")                                            \
    XX(10058, socketShutDown, "Can't send after socket shutdown.")                                 \
    XX(10059, tooManyReferences, "Too many references: can't splice.")                             \
    XX(10060, timedOut, "Connection timed out.")                                                   \
    XX(10061, connectionRefused, "Connection refused.")                                            \
    XX(10062, symbolicLinkLoop, "Too many levels of symbolic links.")                              \
    XX(10063, nameTooLong, "File name too long.")                                                  \
    XX(10064, hostDown, "Host is down.")                                                           \
    XX(10065, hostUnreachable, "No route to host.")                                                \
    XX(10066, directoryNotEmpty, "Directory not empty.")                                           \
    XX(10067, tooManyProcesses, "Too many processes.")                                             \
    XX(10068, tooManyUsers, "Too many users.")                                                     \
    XX(10069, diskQuotaExceeded, "Disk quota exceeded.")                                           \
    XX(10070, staleHandle, "Stale NFS file handle.")                                               \
    XX(10071, tooManyRemoteLevels, "Too many levels of remote in path.")                           \
    XX(10091, networkSubsystemUnusable, "Network subsystem is unusable.")                          \
    XX(10092, versionNotSupported, "Winsock DLL cannot support this application.")                 \
    XX(10093, notInitialised, "Winsock not initialized.")                                          \
    XX(10101, disconnecting, "Disconnect.")                                                        \
    XX(10102, noMoreResults, "Nonrecoverable error.")                                              \
    XX(10103, callCancelled, "Valid name, no data record of requested type.")                      \
    XX(10104, invalidProcedureTable, "Invalid proc table.")                                        \
    XX(10105, invalidProvider, "Invalid provider.")                                                \
    XX(10106, providerFailedInit, "Provider failed init.")                                         \
    XX(10107, systemCallFailure, "Sys call failure.")                                              \
    XX(10108, serviceNotFound, "Service not found.")                                               \
    XX(10109, typeNotFound, "Type not found.")                                                     \
    XX(10110, lookupNoMore, "E no more.")                                                          \
    XX(10111, lookupCancelled, "Error cancelled.")                                                 \
    XX(10112, queryRefused, "Error refused.")                                                      \
    XX(11001, hostNotFound, "Host not found.")                                                     \
    XX(11002, tryAgain, "Nonauthoritative host not found or serverfail")                           \
    XX(11003, noRecovery, "Non-recoverable errors, formerr, refused, notimp.")                     \
    XX(11004, noData, "Valid name, no data record of requested type.")

namespace parlino {

#define PARLINO_ENUMERATOR(number, name, text) name = number,

// The endpoint error numbers; the endpoint produces noError, outOfMemory,
// deviceTimeout, badFileNameOrNumber, fileIsOpen, deviceIoError,
// deviceUnavailable and permissionDenied.
enum ErrorNumber : std::uint8_t { PARLINO_ERROR_NUMBER_MAP(PARLINO_ENUMERATOR) };

enum class SocketError : std::int32_t { PARLINO_SOCKET_ERROR_MAP(PARLINO_ENUMERATOR) };

#undef PARLINO_ENUMERATOR

// Text of an error number; values outside 0..255 count as 0, numbers without
// a text give the empty text.
std::string_view errorNumberText(std::int32_t number);

// Text of a socket error code, or "Error:" followed by the code written as a
// message number (a blank before it unless negative) and ".".
std::string socketErrorText(std::int32_t code);

// A number as messages write it: one leading blank when zero or positive,
// "-" when negative.
std::string messageNumber(std::int64_t number);

} // namespace parlino
