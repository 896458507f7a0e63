// What the host handed over, and the three ways texts cross to the host:
// blocks the host keeps, texts lent for one registration, and variables set
// through the host's callback.
#pragma once

#include "parlino.h"

#include <cstdint>
#include <string>
#include <string_view>

namespace parlino {

// One per loaded module, all zero at load. Filled by the entry points and
// read at the moment of each callback, so a later registration takes effect
// for every later call. Read and written on the host's thread only.
struct HostLink {
    ParlinoRegisterActionProc registerActionProc;
    std::intptr_t hostArg2;
    std::intptr_t hostArg3;
    ParlinoSetVariableProc setVariableProc;
    std::intptr_t initArg1;
    std::intptr_t interfaceAccess;
    std::intptr_t scriptProcessor;
};

HostLink &hostLink();

// Releases the block held in *slot, if any, and sets the slot to null.
void freeHostString(char **slot);

// Replaces the block in *slot by a new zero-filled block holding `text` and a
// terminating zero. An empty text, or no memory for the block, leaves the
// slot null. A null slot address is ignored.
void giveHostString(char **slot, std::string_view text);

// Calls the registration callback once with temporary copies of the texts and
// the count as both fifth and sixth argument. No callback, no call.
void registerAction(std::int32_t number, std::string_view name, std::string_view description,
                    std::string_view parameterType, std::uint8_t parameterCount);

// Calls the set-variable callback with temporary copies of name and value.
// Each copy runs up to the first zero byte, as the host reads it, and an empty
// one is passed as a null pointer. No callback, no call.
void setHostVariable(std::string_view name, std::string_view value);

// The same for a value that is already the caller's own copy, made for this
// call and released after it (a received line): it is lent as it is, its
// terminating zero included, rather than copied a second time. The host sees
// exactly what setHostVariable would show it.
void setHostVariableFromOwnCopy(std::string_view name, const std::string &value);

} // namespace parlino
