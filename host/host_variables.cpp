#include "host/host_variables.h"

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
    std::string result;
    result.reserve(text.size());
    std::size_t at = 0;
    while (at < text.size()) {
        const char c = text[at];
        if (c != '[') {
            result += c;
            ++at;
            continue;
        }
        if (at + 1 < text.size() && text[at + 1] == '[') {
            result += '[';
            at += 2;
            continue;
        }
        const auto close = text.find(']', at + 1);
        const auto name =
            close == std::string_view::npos ? std::string_view() : text.substr(at + 1, close - at - 1);
        if (!isVariableName(name)) {
            result += c;
            ++at;
            continue;
        }
        result += variables.get(name);
        at = close + 1;
    }
    return result;
}

} // namespace parlino::host
