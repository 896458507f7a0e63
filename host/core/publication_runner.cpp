#include "host/core/publication_runner.h"

#include "host/core/visible_text.h"

#include <algorithm>

namespace parlino::host {
namespace {

class Runner {
  public:
    Runner(HostVariables &variables, PublicationEnvironment &environment, std::ostream &out)
        : variables_(variables), environment_(environment), out_(out) {}

    // False when the publication stopped; outcome_ then says why.
    bool run(const std::vector<Statement> &statements) {
        for (const auto &statement : statements)
            if (!run(statement))
                return false;
        return true;
    }

    RunOutcome outcome_;

  private:
    // The statement's `text` with its [name]s filled in, within the bound
    // on what they may make of it; false when the run stops there.
    bool fill(const Statement &statement, std::string_view text, std::string &filled) {
        if (substituteVariables(text, variables_, std::max(text.size(), largestValue), filled))
            return true;
        filled = std::string();
        return stop(statement, "the [name]s would make this line more than " + std::to_string(largestValue) +
                                   " bytes long, the most they may make of one");
    }

    bool holds(const Condition &condition) const {
        const auto value = variables_.get(condition.variable);
        if (condition.kind == Condition::Kind::hasValue)
            return !value.empty();
        // A text filled beyond what a variable holds equals no value.
        std::string text;
        const bool same = substituteVariables(condition.text, variables_, value.size(), text) && text == value;
        return condition.kind == Condition::Kind::equals ? same : !same;
    }

    void print(std::string_view line) {
        constexpr std::size_t pieceSize = 64 * 1024;
        while (line.size() > pieceSize) {
            std::size_t end = pieceSize;
            while (end > pieceSize / 2 && static_cast<unsigned char>(line[end - 1]) >= 0x40)
                --end;
            if (end == pieceSize / 2)
                end = utf8CutBefore(line, pieceSize);
            out_ << visibleText(environment_.decodedForPrint(line.substr(0, end)));
            line.remove_prefix(end);
        }
        out_ << visibleText(environment_.decodedForPrint(line)) << '\n' << std::flush;
    }

    bool stop(const Statement &statement, std::string message) {
        outcome_ = {false, statement.line, std::move(message)};
        return false;
    }

    bool run(const Statement &statement) {
        if (!environment_.keepRunning())
            return stop(statement, "the publication was stopped");
        switch (statement.kind) {
        case Statement::Kind::action: {
            std::string parameter;
            if (!fill(statement, statement.text, parameter))
                return false;
            environment_.runAction(statement.actionNumber, parameter);
            return true;
        }
        case Statement::Kind::print: {
            if (statement.text.find('[') == std::string::npos) {
                print(statement.text);
                return true;
            }
            std::string line;
            if (!fill(statement, statement.text, line))
                return false;
            print(line);
            return true;
        }
        case Statement::Kind::set: {
            std::string value;
            if (!substituteVariables(statement.text, variables_, largestValue, value)) {
                value = std::string();
                return stop(statement, "the value of " + statement.variable + " would be more than " +
                                           std::to_string(largestValue) + " bytes, the most a variable holds");
            }
            variables_.set(statement.variable, value);
            return true;
        }
        case Statement::Kind::pause: {
            std::uint32_t milliseconds = 0;
            if (!readNumber(statement, longestPause, "pause", milliseconds))
                return false;
            environment_.pause(milliseconds);
            return true;
        }
        case Statement::Kind::fail: {
            std::string text;
            if (!fill(statement, statement.text, text))
                return false;
            return stop(statement, text.empty() ? "the publication failed" : std::move(text));
        }
        case Statement::Kind::require:
            return require(statement);
        case Statement::Kind::ifBlock:
            return !holds(*statement.condition) || run(statement.body);
        case Statement::Kind::repeat:
            return repeat(statement);
        }
        return true;
    }

    bool repeat(const Statement &statement) {
        const bool limited = !statement.count.empty();
        std::uint32_t count = 0;
        if (limited && !readNumber(statement, largestRepeatCount, "repeat count", count))
            return false;
        for (std::uint32_t round = 1; !limited || round <= count; ++round) {
            // Each round counts as a line run, so that an empty loop stops too.
            if (!environment_.keepRunning())
                return stop(statement, "the publication was stopped");
            if (statement.condition && holds(*statement.condition))
                break;
            if (!statement.variable.empty())
                variables_.set(statement.variable, std::to_string(round));
            if (!run(statement.body))
                return false;
        }
        return true;
    }

    // Every variable named has a value, or the run stops saying how to give them.
    bool require(const Statement &statement) {
        std::string missing, settings;
        for (const auto &name : statement.names) {
            if (!variables_.get(name).empty())
                continue;
            missing += (missing.empty() ? "" : ", ") + name;
            settings += (settings.empty() ? "--set " : " --set ") + name + "=VALUE";
        }
        if (missing.empty())
            return true;
        const bool one = missing.find(',') == std::string::npos;
        return stop(statement, missing + (one ? " has no value (give it with " : " have no value (give them with ") +
                                   settings + ")");
    }

    // The statement's count, filled in now: digits up to `largest`.
    bool readNumber(const Statement &statement, std::uint32_t largest, const char *what,
                    std::uint32_t &number) {
        std::string text;
        const bool filled = substituteVariables(statement.count, variables_, largestValue, text);
        if (filled && !text.empty() && text.size() <= 9 && text.find_first_not_of("0123456789") == std::string::npos) {
            number = static_cast<std::uint32_t>(std::stoul(text));
            if (number <= largest)
                return true;
        }
        // A count is a few digits: what is filled in beyond them is not shown.
        constexpr std::size_t longestShown = 40;
        if (!filled || text.size() > longestShown)
            text = text.substr(0, longestShown) + "...";
        return stop(statement, std::string("the ") + what + " " + statement.count + " is \"" + text +
                                   "\", not a number from 0 to " + std::to_string(largest));
    }

    HostVariables &variables_;
    PublicationEnvironment &environment_;
    std::ostream &out_;
};

} // namespace

RunOutcome runPublication(const Publication &publication, HostVariables &variables,
                          PublicationEnvironment &environment, std::ostream &out) {
    Runner runner(variables, environment, out);
    if (runner.run(publication.statements))
        return {};
    return runner.outcome_;
}

} // namespace parlino::host
