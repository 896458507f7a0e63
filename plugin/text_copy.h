// A private zero-terminated copy of a text, made for the length of one call:
// the parameter an action works on, the texts lent to a host callback.
// Short texts are kept in the object itself, so copying them allocates
// nothing; longer ones are allocated, and std::bad_alloc reaches the caller.
#pragma once

#include <cstddef>
#include <cstring>
#include <memory>
#include <string_view>

namespace parlino {

template <std::size_t shortCapacity> class TextCopy {
  public:
    explicit TextCopy(std::string_view text) {
        if (text.empty())
            return;
        char *copy = shortCopy_;
        if (text.size() >= shortCapacity) {
            longCopy_ = std::make_unique_for_overwrite<char[]>(text.size() + 1);
            copy = longCopy_.get();
        }
        std::memcpy(copy, text.data(), text.size());
        copy[text.size()] = '\0';
        pointer_ = copy;
    }
    TextCopy(const TextCopy &) = delete;
    TextCopy &operator=(const TextCopy &) = delete;

    // The copy, or a null pointer for the empty text.
    const char *get() const { return pointer_; }

  private:
    char shortCopy_[shortCapacity];
    std::unique_ptr<char[]> longCopy_;
    const char *pointer_ = nullptr;
};

} // namespace parlino
