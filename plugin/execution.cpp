// Running and editing an action by its catalogue number.
#include "catalogue.h"
#include "parlino.h"
#include "text_copy.h"

#include <string_view>

extern "C" {

int32_t PARLINO_CALL nbExecAction(int32_t action, const char *const *parameter) {
    if (action < 1 || action > static_cast<int32_t>(parlino::actionCatalogue.size()))
        return 0;
    const char *text = parameter != nullptr ? *parameter : nullptr;
    try {
        // The action works on its own copy, so the host's text is never touched
        // and may even change while the action waits on the network. A copy
        // shorter than 256 bytes (every parameter but that of a long line) is
        // kept on the stack; the empty text reaches the action as null.
        const parlino::TextCopy<256> copy(text != nullptr ? std::string_view(text) : std::string_view());
        parlino::actionCatalogue[static_cast<std::size_t>(action - 1)].function(copy.get());
    } catch (...) {
        // No memory for the copy: the action does not run.
    }
    return 1;
}

int32_t PARLINO_CALL nbEditAction(int32_t action, intptr_t) {
    return action >= 1 && action <= parlino::lastEditableAction;
}

} // extern "C"
