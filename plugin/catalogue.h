// The five actions the module offers, as the host lists them.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

namespace parlino {

inline constexpr std::string_view productTitle = "Parlino 1.0.0";
inline constexpr std::string_view authorLine = "The Parlino authors";
inline constexpr std::string_view productDescription = "Chat service functions";

struct ActionEntry {
    std::int32_t number;
    std::string_view name;
    std::string_view text;
    std::string_view exampleName;   // empty: no example in the description
    std::string_view parameterHint; // written between double quotes after exampleName
    std::string_view parameterType;
    std::uint8_t parameterCount;
};

inline constexpr std::string_view alphaParameter = "ACTIONPARAM_ALPHA";

inline constexpr std::array<ActionEntry, 5> actionCatalogue{{
    {1, "QV_chat_my_ip", "Get IP address at [qv_chat_my_pc] variable", {}, {}, alphaParameter, 1},
    {2, "QV_chat_open_port",
     "Open connection [port] from receive chat; receive status at [qv_chat_open_port_status] var.",
     "QV_chat_open_port", "[port]", alphaParameter, 1},
    {3, "QV_chat_send_txt", "Send Chat Text to remote user", "QV_chat_send_text",
     "[remote_ip]|[port]|[text]", alphaParameter, 1},
    {4, "QV_chat_rcv_txt", "Receive Chat Text from remote user at [qv_chat_text] variable",
     "QV_chat_rcv_text", "[remote_ip]|[port]", alphaParameter, 1},
    {5, "QV_chat_close_port", "Close connection [port]", {}, {}, alphaParameter, 1},
}};

// The text alone, or: text CR LF exampleName "parameterHint".
std::string composedDescription(const ActionEntry &entry);

} // namespace parlino
