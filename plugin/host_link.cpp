#include "host_link.h"

#include "platform/platform.h"
#include "text_copy.h"

#include <cstring>
#include <string>

namespace parlino {
namespace {

HostLink theHostLink{};

// A host text lent for one callback: the bytes up to the first zero, or a
// null pointer when there are none. Released when it goes out of scope.
// Variable names and most chat lines are shorter than 64 bytes.
class TemporaryString {
  public:
    explicit TemporaryString(std::string_view text) : copy_(text.substr(0, text.find('\0'))) {}
    const char *get() const { return copy_.get(); }

  private:
    TextCopy<64> copy_;
};

} // namespace

HostLink &hostLink() { return theHostLink; }

void freeHostString(char **slot) {
    if (slot == nullptr)
        return;
    if (*slot != nullptr)
        platform::releaseGlobal(*slot);
    *slot = nullptr;
}

void giveHostString(char **slot, std::string_view text) {
    if (slot == nullptr)
        return;
    freeHostString(slot);
    if (text.empty())
        return;
    auto *block = static_cast<char *>(platform::allocateGlobal(text.size() + 1));
    if (block == nullptr)
        return;
    *slot = block;
    std::memcpy(block, text.data(), text.size());
}

void registerAction(std::int32_t number, std::string_view name, std::string_view description,
                    std::string_view parameterType, std::uint8_t parameterCount) {
    const auto proc = theHostLink.registerActionProc;
    if (proc == nullptr)
        return;
    const TemporaryString nameCopy(name), descriptionCopy(description), typeCopy(parameterType);
    proc(number, nameCopy.get(), descriptionCopy.get(), typeCopy.get(), parameterCount,
         parameterCount);
}

void setHostVariable(std::string_view name, std::string_view value) {
    const auto proc = theHostLink.setVariableProc;
    if (proc == nullptr)
        return;
    const TemporaryString nameCopy(name), valueCopy(value);
    proc(nameCopy.get(), valueCopy.get());
}

void setHostVariableFromOwnCopy(std::string_view name, const std::string &value) {
    const auto proc = theHostLink.setVariableProc;
    if (proc == nullptr)
        return;
    const TemporaryString nameCopy(name);
    // The host reads up to the first zero byte: a value that starts with one
    // is the empty text, which goes as a null pointer.
    proc(nameCopy.get(), value.empty() || value.front() == '\0' ? nullptr : value.c_str());
}

} // namespace parlino
