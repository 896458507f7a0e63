#include "host/core/host_variables.h"

#include <algorithm>

namespace parlino::host {

std::string HostVariables::get(std::string_view name) const {
    system::ScopedLock lock(mutex_);
    const auto found = values_.find(name);
    return found != values_.end() ? found->second : std::string();
}

void HostVariables::set(std::string_view name, std::string_view value) {
    system::ScopedLock lock(mutex_);
    values_.insert_or_assign(std::string(name), std::string(value));
}

namespace {
bool isNameCharacter(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_';
}
} // namespace

bool isVariableName(std::string_view text) {
    return !text.empty() && std::all_of(text.begin(), text.end(), isNameCharacter);
}

std::string substituteVariables(std::string_view text, const HostVariables &variables) {
    std::string filled;
    substituteVariables(text, variables, std::string::npos, filled);
    return filled;
}

bool substituteVariables(std::string_view text, const HostVariables &variables, std::size_t longest,
                         std::string &filled) {
    filled.clear();
    filled.reserve(std::min(text.size(), longest));
    // The next "]" at or after `at`: looked for once per "]", so that a
    // long line of "[" without one is read in one pass.
    std::size_t close = 0;
    std::size_t at = 0;
    while (at < text.size()) {
        const auto open = text.find('[', at);
        const auto plain = text.substr(at, open == std::string_view::npos ? std::string_view::npos : open - at);
        if (plain.size() > longest - filled.size())
            return false;
        filled += plain;
        if (open == std::string_view::npos)
            break;
        at = open;
        std::string_view piece = "[";
        std::size_t after = at + 1;
        if (at + 1 < text.size() && text[at + 1] == '[') {
            after = at + 2;
        } else {
            if (close != std::string_view::npos && close <= at)
                close = text.find(']', at + 1);
            const auto name =
                close == std::string_view::npos ? std::string_view() : text.substr(at + 1, close - at - 1);
            if (isVariableName(name)) {
                const auto value = variables.get(name);
                if (value.size() > longest - filled.size())
                    return false;
                filled += value;
                at = close + 1;
                continue;
            }
        }
        if (filled.size() == longest)
            return false;
        filled += piece;
        at = after;
    }
    return true;
}

} // namespace parlino::host
