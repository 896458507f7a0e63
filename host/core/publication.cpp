#include "host/core/publication.h"

#include "host/core/visible_text.h"

#include <algorithm>
#include <array>
#include <cctype>

namespace parlino::host {
namespace {

constexpr std::array<std::string_view, 9> hostCommands{"print", "set",    "pause", "fail", "require",
                                                       "if",    "repeat", "end",   "else"};
// What editors such as Notepad put before UTF-8 text.
constexpr std::string_view byteOrderMark = "\xEF\xBB\xBF";

bool isBlank(char c) { return c == ' ' || c == '\t'; }

std::string_view trimmed(std::string_view text) {
    while (!text.empty() && isBlank(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && isBlank(text.back()))
        text.remove_suffix(1);
    return text;
}

// Splits off the first word; `rest` keeps everything after it, the blank
// that ended the word included.
std::string_view firstWord(std::string_view text, std::string_view &rest) {
    std::size_t end = 0;
    while (end < text.size() && !isBlank(text[end]))
        ++end;
    rest = text.substr(end);
    return text.substr(0, end);
}

std::string lowered(std::string_view text) {
    std::string result(text);
    for (auto &c : result)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return result;
}

// A word or text of the file quoted in a message: at most 40 bytes of it,
// cut before a character, so that a line of a binary file is no screenful.
std::string quoted(std::string_view text) {
    constexpr std::size_t longest = 40;
    if (text.size() <= longest)
        return "\"" + std::string(text) + "\"";
    return "\"" + std::string(text.substr(0, utf8CutBefore(text, longest))) + "...\"";
}

bool isDecimal(std::string_view text) {
    return !text.empty() && text.size() <= 9 &&
           std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

bool isReference(std::string_view text) {
    return text.size() > 2 && text.front() == '[' && text.back() == ']' &&
           isVariableName(text.substr(1, text.size() - 2));
}

// One line of the file, read into a statement or a block marker.
class LineParser {
  public:
    LineParser(const std::vector<RegisteredAction> &actions, std::vector<PublicationError> &errors)
        : actions_(actions), errors_(errors) {}

    Publication parse(std::string_view text) {
        int lineNumber = 0;
        std::size_t at = 0;
        while (at < text.size()) {
            auto end = text.find('\n', at);
            if (end == std::string_view::npos)
                end = text.size();
            auto line = text.substr(at, end - at);
            at = end + 1;
            ++lineNumber;
            if (!line.empty() && line.back() == '\r')
                line.remove_suffix(1);
            parseLine(lineNumber, line);
        }
        for (auto open = blocks_.rbegin(); open != blocks_.rend(); ++open)
            fault((*open)->line, "\"" + std::string(blockWord(**open)) + "\" has no \"end\"");
        std::stable_sort(errors_.begin(), errors_.end(),
                  [](const auto &a, const auto &b) { return a.line < b.line; });
        return std::move(publication_);
    }

  private:
    static std::string_view blockWord(const Statement &block) {
        return block.kind == Statement::Kind::repeat ? "repeat" : "if";
    }

    void fault(int line, std::string message) { errors_.push_back({line, std::move(message)}); }

    std::vector<Statement> &currentBody() {
        return blocks_.empty() ? publication_.statements : blocks_.back()->body;
    }

    void parseLine(int line, std::string_view text) {
        if (text.find('\0') != std::string_view::npos)
            return fault(line, "the line holds a zero byte");
        const auto content = trimmed(text);
        if (content.empty() || content.front() == '#')
            return;
        // Indentation is for the reader; the word starts after it.
        const auto indented = text.substr(text.find_first_not_of(" \t"));
        std::string_view rest;
        const auto word = firstWord(indented, rest);
        Statement statement;
        statement.line = line;
        if (word == "end") {
            if (blocks_.empty())
                return fault(line, "\"end\" without \"repeat\" or \"if\"");
            if (levelsTooDeep_ > 0)
                --levelsTooDeep_;
            else
                blocks_.pop_back();
            if (!trimmed(rest).empty())
                fault(line, "\"end\" takes nothing after it");
            return;
        }
        bool ok = true;
        if (word == "print" || word == "fail") {
            statement.kind = word == "print" ? Statement::Kind::print : Statement::Kind::fail;
            statement.text = trimmed(rest);
        } else if (word == "set") {
            ok = parseSet(line, trimmed(rest), statement);
        } else if (word == "require") {
            ok = parseRequire(line, trimmed(rest), statement);
        } else if (word == "pause") {
            ok = parsePause(line, trimmed(rest), statement);
        } else if (word == "if") {
            statement.kind = Statement::Kind::ifBlock;
            statement.condition.emplace();
            ok = parseCondition(line, "if", trimmed(rest), *statement.condition);
        } else if (word == "repeat") {
            ok = parseRepeat(line, trimmed(rest), statement);
        } else if (word == "else") {
            return fault(line, "there is no \"else\": write a second \"if\" with the opposite condition");
        } else if (const auto *action = findAction(actions_, word)) {
            statement.kind = Statement::Kind::action;
            statement.actionNumber = action->number;
            // The parameter is taken verbatim after the one blank that ends the
            // name: leading blanks of a chat line are part of the line.
            statement.text = rest.empty() ? std::string_view() : rest.substr(1);
        } else {
            return fault(line, unknownWordMessage(word));
        }
        const bool opensBlock =
            statement.kind == Statement::Kind::ifBlock || statement.kind == Statement::Kind::repeat;
        // A faulty if or repeat still opens its block, so that its "end" is
        // not reported as well. A publication with faults is never run.
        if (!ok && !opensBlock)
            return;
        // Blocks beyond the deepest nesting are counted, not kept, so that
        // no deep tree of statements is ever built; their "end"s close them.
        if (opensBlock && (levelsTooDeep_ > 0 || blocks_.size() == deepestNesting)) {
            if (levelsTooDeep_++ == 0)
                fault(line, "blocks nest more than " + std::to_string(deepestNesting) + " levels deep");
            return;
        }
        auto &body = currentBody();
        body.push_back(std::move(statement));
        if (opensBlock)
            blocks_.push_back(&body.back());
    }

    std::string unknownWordMessage(std::string_view word) const {
        std::string message = "unknown action or command " + quoted(word);
        const auto wanted = lowered(word);
        for (const auto &action : actions_)
            if (lowered(action.name) == wanted)
                return message + " (did you mean \"" + action.name + "\"?)";
        for (const auto command : hostCommands)
            if (command == wanted)
                return message + " (did you mean \"" + std::string(command) + "\"?)";
        return message;
    }

    bool parseSet(int line, std::string_view text, Statement &statement) {
        std::string_view rest;
        const auto name = firstWord(text, rest);
        rest = trimmed(rest);
        if (!isVariableName(name) || rest.empty() || rest.front() != '=') {
            fault(line, "expected \"set NAME = TEXT\"");
            return false;
        }
        statement.kind = Statement::Kind::set;
        statement.variable = name;
        statement.text = trimmed(rest.substr(1));
        return true;
    }

    bool parseRequire(int line, std::string_view text, Statement &statement) {
        statement.kind = Statement::Kind::require;
        while (!text.empty()) {
            std::string_view rest;
            const auto name = firstWord(text, rest);
            if (!isVariableName(name))
                break;
            statement.names.emplace_back(name);
            text = trimmed(rest);
        }
        if (text.empty() && !statement.names.empty())
            return true;
        fault(line, "expected \"require NAME [NAME]...\" with names of letters, digits and underscores");
        return false;
    }

    bool parsePause(int line, std::string_view text, Statement &statement) {
        if (!isReference(text) && (!isDecimal(text) || std::stoul(std::string(text)) > longestPause)) {
            fault(line, "expected \"pause MILLISECONDS\" with 0 to " + std::to_string(longestPause) +
                            " milliseconds or a [name], got " + quoted(text));
            return false;
        }
        statement.kind = Statement::Kind::pause;
        statement.count = text;
        return true;
    }

    bool parseCondition(int line, std::string_view command, std::string_view text, Condition &condition) {
        std::string_view rest;
        const auto name = firstWord(text, rest);
        rest = trimmed(rest);
        if (isVariableName(name)) {
            condition.variable = name;
            if (rest.empty()) {
                condition.kind = Condition::Kind::hasValue;
                return true;
            }
            if (rest.substr(0, 2) == "!=") {
                condition.kind = Condition::Kind::differs;
                condition.text = trimmed(rest.substr(2));
                return true;
            }
            if (rest.front() == '=' && rest.substr(0, 2) != "==") {
                condition.kind = Condition::Kind::equals;
                condition.text = trimmed(rest.substr(1));
                return true;
            }
        }
        fault(line, "expected \"" + std::string(command) +
                        " NAME\", \"... NAME = TEXT\" or \"... NAME != TEXT\"");
        return false;
    }

    // repeat [COUNT] [as NAME] [until CONDITION], with a count or an until.
    bool parseRepeat(int line, std::string_view text, Statement &statement) {
        statement.kind = Statement::Kind::repeat;
        const std::string usage =
            "expected \"repeat COUNT [as NAME]\" or \"repeat [COUNT] until CONDITION\", where COUNT is "
            "0 to " + std::to_string(largestRepeatCount) + " or a [name]";
        std::string_view rest;
        auto word = firstWord(text, rest);
        if (isDecimal(word) || isReference(word)) {
            if (isDecimal(word) && std::stoul(std::string(word)) > largestRepeatCount) {
                fault(line, usage);
                return false;
            }
            statement.count = word;
            text = trimmed(rest);
            word = firstWord(text, rest);
        }
        if (word == "as") {
            const auto name = firstWord(trimmed(rest), rest);
            if (statement.count.empty() || !isVariableName(name)) {
                fault(line, usage);
                return false;
            }
            statement.variable = name;
            text = trimmed(rest);
            word = firstWord(text, rest);
        }
        if (word == "until") {
            statement.condition.emplace();
            return parseCondition(line, "repeat until", trimmed(rest), *statement.condition);
        }
        if (!word.empty() || statement.count.empty()) {
            fault(line, usage);
            return false;
        }
        return true;
    }

    const std::vector<RegisteredAction> &actions_;
    std::vector<PublicationError> &errors_;
    Publication publication_;
    // The open blocks, innermost last. Each points into the body of its
    // parent, which only grows at its end after the block closes.
    std::vector<Statement *> blocks_;
    // Open blocks beyond the deepest nesting, which are not kept.
    std::size_t levelsTooDeep_ = 0;
};

} // namespace

namespace {

// A file saved as UTF-16 or UTF-32 (a Windows editor's "Unicode") holds a
// zero byte beside nearly every character: it is named once, not reported
// as a zero byte on every line. By its byte-order mark, or by the zero
// bytes around the first two characters.
std::string wideEncoding(std::string_view text) {
    using namespace std::string_view_literals;
    // Which of the first four bytes are zero.
    unsigned zeros = 0;
    for (std::size_t i = 0; i < 4 && text.size() >= 4; ++i)
        zeros |= (text[i] == 0 ? 1u : 0u) << i;
    if (text.starts_with("\xFF\xFE\0\0"sv) || zeros == 0b1110)
        return "UTF-32 (little-endian)";
    if (text.starts_with("\0\0\xFE\xFF"sv))
        return "UTF-32 (big-endian)";
    if (text.starts_with("\xFF\xFE"sv) || zeros == 0b1010)
        return "UTF-16 (little-endian)";
    if (text.starts_with("\xFE\xFF"sv) || zeros == 0b0101)
        return "UTF-16 (big-endian)";
    return {};
}

} // namespace

Publication parsePublication(std::string text, const std::vector<RegisteredAction> &actions,
                             std::vector<PublicationError> &errors) {
    errors.clear();
    if (const auto encoding = wideEncoding(text); !encoding.empty()) {
        errors.push_back({1, "the file is " + encoding + ", not UTF-8: save it as UTF-8"});
        return {};
    }
    auto source = std::make_shared<const std::string>(std::move(text));
    std::string_view content = *source;
    if (content.substr(0, byteOrderMark.size()) == byteOrderMark)
        content.remove_prefix(byteOrderMark.size());
    auto publication = LineParser(actions, errors).parse(content);
    if (errors.empty())
        publication.source = std::move(source);
    else
        publication.statements.clear();
    return publication;
}

} // namespace parlino::host
