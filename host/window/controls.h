// The chat window's controls, by the identifiers a program finds them with
// (GetDlgItem): the window's tests read and type into them as a screen
// reader or a person would. Their order is the Tab order, but for Check
// link, which comes after the peer's port.
#pragma once

namespace parlino::host::window_control {

inline constexpr int addressesLabel = 100;
inline constexpr int addresses = 101; // this PC's addresses, read-only
inline constexpr int portLabel = 102;
inline constexpr int port = 103; // the local port
inline constexpr int open = 104;
inline constexpr int close = 105;
inline constexpr int peerAddressLabel = 106;
inline constexpr int peerAddress = 107;
inline constexpr int peerPortLabel = 108;
inline constexpr int peerPort = 109;
inline constexpr int conversationLabel = 110;
inline constexpr int conversation = 111; // one line per line sent or received, read-only
inline constexpr int lineLabel = 112;
inline constexpr int line = 113; // the line being typed
inline constexpr int send = 114;
inline constexpr int status = 115; // what happened last, and the module's messages
inline constexpr int checkLink = 116; // disabled while the check runs

// The window's class name, for FindWindow.
inline constexpr wchar_t windowClass[] = L"ParlinoChatWindow";

} // namespace parlino::host::window_control
