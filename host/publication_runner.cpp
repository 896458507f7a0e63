#include "host/publication_runner.h"

#include "host/visible_text.h"

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
    std::string filled(const std::string &text) const { return substituteVariables(text, variables_); }

    bool holds(const Condition &condition) const {
        const auto value = variables_.get(condition.variable);
        switch (condition.kind) {
        case Condition::Kind::hasValue:
            return !value.empty();
        case Condition::Kind::equals:
            return value == filled(condition.text);
        case Condition::Kind::differs:
            return value != filled(condition.text);
        }
        return false;
    }

    bool stop(const Statement &statement, std::string message) {
        outcome_ = {false, statement.line, std::move(message)};
        return false;
    }

    bool run(const Statement &statement) {
        if (!environment_.keepRunning())
            return stop(statement, "the publication was stopped");
        switch (statement.kind) {
        case Statement::Kind::action:
            environment_.runAction(statement.actionNumber, filled(statement.text));
            return true;
        case Statement::Kind::print:
            out_ << visibleText(environment_.decodedForPrint(filled(statement.text))) << '\n' << std::flush;
            return true;
        case Statement::Kind::set:
            variables_.set(statement.variable, filled(statement.text));
            return true;
        case Statement::Kind::pause: {
            std::uint32_t milliseconds = 0;
            if (!readNumber(statement, longestPause, "pause", milliseconds))
                return false;
            environment_.pause(milliseconds);
            return true;
        }
        case Statement::Kind::fail: {
            const auto text = filled(statement.text);
            return stop(statement, text.empty() ? "the publication failed" : text);
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
        const auto text = filled(statement.count);
        if (!text.empty() && text.size() <= 9 && text.find_first_not_of("0123456789") == std::string::npos) {
            number = static_cast<std::uint32_t>(std::stoul(text));
            if (number <= largest)
                return true;
        }
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
