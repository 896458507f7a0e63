// Publications: the line-based scripts that `parlino run` plays. Each line
// is a comment, an action of the module by its registered name followed by
// its parameter text, or one of the host's commands (print, set, require,
// pause, fail, if ... end, repeat ... end). The whole file is checked before
// any line runs. The format is described in the README.
#pragma once

#include "host/core/plugin_host.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace parlino::host {

// NAME (has a value), NAME = TEXT or NAME != TEXT; TEXT may hold [name]s.
struct Condition {
    enum class Kind { hasValue, equals, differs };
    std::string variable;
    Kind kind = Kind::hasValue;
    std::string_view text; // in the publication's source
};

struct Statement {
    enum class Kind { action, print, set, pause, fail, require, ifBlock, repeat };
    Kind kind = Kind::print;
    int line = 0;
    std::int32_t actionNumber = 0;      // action
    std::string_view text;              // action parameter, print/fail text, set value; in the source
    std::string variable;               // set target, repeat's "as" counter
    std::string count;                  // pause: digits or a [name]; repeat: the same, or empty for no limit
    std::optional<Condition> condition; // if; repeat's "until"
    std::vector<Statement> body;        // if, repeat
    std::vector<std::string> names;     // require: the variables that must have a value
};

struct Publication {
    // The file's text, which the statements' texts are views of: a long
    // line is held once.
    std::shared_ptr<const std::string> source;
    std::vector<Statement> statements;
};

struct PublicationError {
    int line = 0;
    std::string message;
};

// Parses and checks a whole publication against the module's actions.
// Either every statement is returned and errors stays empty, or errors
// lists each fault found (in line order) and the publication must not run.
// The publication keeps `text`.
Publication parsePublication(std::string text, const std::vector<RegisteredAction> &actions,
                             std::vector<PublicationError> &errors);

// The largest repeat count and pause, to catch a slip of the keyboard.
inline constexpr std::uint32_t largestRepeatCount = 1000000;
inline constexpr std::uint32_t longestPause = 3600000;
// The deepest nesting of if and repeat blocks. Running a block takes stack
// for each level it is inside, and the main thread's stack is smaller on
// Windows (2 MB) than on Linux; a person's publication needs a handful of
// levels.
inline constexpr std::size_t deepestNesting = 100;

} // namespace parlino::host
