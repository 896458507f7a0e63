// The host's variable table: what publications read with [name] and what
// the module writes through the set-variable callback. The callback may run
// on the chat's receiver thread, so every access takes the table's lock.
#pragma once

#include "host/core/system.h"

#include <cstddef>
#include <map>
#include <string>
#include <string_view>

namespace parlino::host {

class HostVariables {
  public:
    // The value of `name`; the empty text for a variable never set.
    std::string get(std::string_view name) const;
    void set(std::string_view name, std::string_view value);

  private:
    mutable system::Mutex mutex_;
    std::map<std::string, std::string, std::less<>> values_;
};

// A variable name: letters, digits and underscores, at least one.
bool isVariableName(std::string_view text);

// `text` with every [name] replaced by the value of variable `name`, in one
// pass (values are not substituted again). "[[" stands for a literal "[";
// a "[" that does not open a [name] stays as it is.
std::string substituteVariables(std::string_view text, const HostVariables &variables);
// The same into `filled`, stopping as soon as it would grow beyond
// `longest` bytes: false then, with `filled` cut short.
bool substituteVariables(std::string_view text, const HostVariables &variables, std::size_t longest,
                         std::string &filled);

} // namespace parlino::host
