#include "catalogue.h"

namespace parlino {

std::string composedDescription(const ActionEntry &entry) {
    std::string description(entry.text);
    if (!entry.exampleName.empty()) {
        description.append("\r\n").append(entry.exampleName);
        description.append("\"").append(entry.parameterHint).append("\"");
    }
    return description;
}

} // namespace parlino
