// The actions the module offers, in one table: the host's registration and
// nbExecAction's dispatch are both made from it.
#pragma once

#include "parlino.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace parlino {

inline constexpr std::string_view productTitle = "Parlino 1.0.0";
inline constexpr std::string_view authorLine = "The Parlino authors";
inline constexpr std::string_view productDescription = "Chat service functions";

using ActionFunction = int32_t(PARLINO_CALL *)(const char *parameter);

struct ActionEntry {
    std::int32_t number;
    std::string_view name;
    std::string_view text;
    std::string_view exampleName;   // empty: no example in the description
    std::string_view parameterHint; // written between double quotes after exampleName
    std::string_view parameterType;
    std::uint8_t parameterCount;
    ActionFunction function; // what nbExecAction runs for this number
};

inline constexpr std::string_view alphaParameter = "ACTIONPARAM_ALPHA";

inline constexpr std::array actionCatalogue{
    ActionEntry{1, "QV_chat_my_ip", "Get IP address at [qv_chat_my_pc] variable", {}, {},
                alphaParameter, 1, QV_CHAT_MY_IP},
    ActionEntry{2, "QV_chat_open_port",
                "Open connection [port] from receive chat; receive status at "
                "[qv_chat_open_port_status] var.",
                "QV_chat_open_port", "[port]", alphaParameter, 1, QV_CHAT_OPEN_PORT},
    ActionEntry{3, "QV_chat_send_txt", "Send Chat Text to remote user", "QV_chat_send_text",
                "[remote_ip]|[port]|[text]", alphaParameter, 1, QV_CHAT_SEND_TXT},
    ActionEntry{4, "QV_chat_rcv_txt", "Receive Chat Text from remote user at [qv_chat_text] variable",
                "QV_chat_rcv_text", "[remote_ip]|[port]", alphaParameter, 1, QV_CHAT_RCV_TXT},
    ActionEntry{5, "QV_chat_close_port", "Close connection [port]", {}, {}, alphaParameter, 1,
                QV_CHAT_CLOSE_PORT},
};

// nbExecAction finds an action at index number - 1, and the host's edit query
// answers for numbers up to 10 whatever the table holds.
inline constexpr std::int32_t lastEditableAction = 10;
consteval bool numberedInOrder() {
    for (std::size_t i = 0; i < actionCatalogue.size(); ++i)
        if (actionCatalogue[i].number != static_cast<std::int32_t>(i + 1))
            return false;
    return true;
}
static_assert(numberedInOrder(), "actions are numbered 1, 2, 3... in table order");
static_assert(actionCatalogue.size() <= lastEditableAction);

// The text alone, or: text CR LF exampleName "parameterHint".
std::string composedDescription(const ActionEntry &entry);

} // namespace parlino
