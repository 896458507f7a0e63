#include "host_link.h"

#include "platform/platform.h"

#include <cstring>
#include <memory>
#include <string>

namespace parlino {
namespace {

HostLink theHostLink{};

// A host text lent for one callback: the bytes up to the first zero, or a
// null pointer when there are none. Released when it goes out of scope.
// Short texts (every variable name, most chat lines) are copied into a
// buffer of the object itself, so lending them allocates nothing.
class TemporaryString {
  public:
    explicit TemporaryString(std::string_view text) {
        text = text.substr(0, text.find('\0'));
        if (text.empty())
            return;
        char *copy = shortCopy_;
        if (text.size() >= sizeof shortCopy_) {
            longCopy_ = std::make_unique_for_overwrite<char[]>(text.size() + 1);
            copy = longCopy_.get();
        }
        std::memcpy(copy, text.data(), text.size());
        copy[text.size()] = '\0';
        pointer_ = copy;
    }
    TemporaryString(const TemporaryString &) = delete;
    TemporaryString &operator=(const TemporaryString &) = delete;
    const char *get() const { return pointer_; }

  private:
    char shortCopy_[64];
    std::unique_ptr<char[]> longCopy_;
    const char *pointer_ = nullptr;
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

} // namespace parlino
