// Reads and checks any text as a publication against the chat module's five
// actions and, when the check accepts it, plays it against a stand-in of the
// module that touches no network: its actions only set the variables the
// real ones set, pause returns at once, and a run stops after a bounded
// number of lines and rounds or once its variables grow large. The property: whatever
// the check accepts runs without a crash, and every fault and stop names a
// line of the file.
//
// Input: the publication text. my_port and peer_port start with values, as
// --set gives them.
#include "host/core/host_variables.h"
#include "host/core/publication.h"
#include "host/core/publication_runner.h"
#include "property.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <ostream>
#include <set>
#include <string>
#include <vector>

namespace {

using namespace parlino::host;

const std::vector<RegisteredAction> chatActions = {
    {1, "QV_chat_my_ip", "", "ACTIONPARAM_ALPHA", 1},     {2, "QV_chat_open_port", "", "ACTIONPARAM_ALPHA", 1},
    {3, "QV_chat_send_txt", "", "ACTIONPARAM_ALPHA", 1},  {4, "QV_chat_rcv_txt", "", "ACTIONPARAM_ALPHA", 1},
    {5, "QV_chat_close_port", "", "ACTIONPARAM_ALPHA", 1},
};

constexpr std::size_t mostLines = 5000;
// Checked before each line: one line may multiply a value by the number of
// [name]s it holds, which the input's length bounds.
constexpr std::size_t mostVariableBytes = 4096;

class StandInModule : public PublicationEnvironment {
  public:
    StandInModule(HostVariables &variables, std::set<std::string> names)
        : variables_(variables), names_(std::move(names)) {}

    void runAction(std::int32_t number, const std::string &parameter) override {
        switch (number) {
        case 1:
            variables_.set("qv_chat_my_ip", "127.0.0.1");
            break;
        case 2:
            variables_.set("qv_chat_open_port_status",
                           !parameter.empty() && parameter.find_first_not_of("0123456789") == std::string::npos
                               ? "Ok"
                               : "Error");
            break;
        case 3:
            // What was sent comes back on every other receive.
            lastSent_ = parameter.substr(std::min(parameter.size(), parameter.rfind('|') + 1));
            break;
        case 4:
            variables_.set("qv_chat_text", (receives_++ % 2 == 0) ? lastSent_ : std::string());
            break;
        default:
            break;
        }
    }

    void pause(std::uint32_t) override {}

    bool keepRunning() override {
        if (++lines_ > mostLines)
            return false;
        std::size_t bytes = 0;
        for (const auto &name : names_)
            bytes += variables_.get(name).size();
        return bytes <= mostVariableBytes;
    }

  private:
    HostVariables &variables_;
    std::set<std::string> names_;
    std::string lastSent_;
    std::size_t receives_ = 0;
    std::size_t lines_ = 0;
};

// The variables a publication can write, and the depth of its blocks.
std::size_t collect(const std::vector<Statement> &statements, std::set<std::string> &names) {
    std::size_t depth = 0;
    for (const auto &statement : statements) {
        if (!statement.variable.empty())
            names.insert(statement.variable);
        if (!statement.body.empty() || statement.kind == Statement::Kind::ifBlock ||
            statement.kind == Statement::Kind::repeat)
            depth = std::max(depth, 1 + collect(statement.body, names));
    }
    return depth;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char *>(data), size);
    const int lines = 1 + static_cast<int>(std::count(text.begin(), text.end(), '\n'));
    std::vector<PublicationError> errors;
    const auto publication = parsePublication(std::string(text), chatActions, errors);
    int previous = 1;
    for (const auto &error : errors) {
        PROPERTY(error.line >= previous && error.line <= lines && !error.message.empty());
        previous = error.line;
    }
    if (!errors.empty()) {
        PROPERTY(publication.statements.empty());
        return 0;
    }

    std::set<std::string> names = {"my_port", "peer_port", "qv_chat_my_ip", "qv_chat_open_port_status",
                                   "qv_chat_text"};
    PROPERTY(collect(publication.statements, names) <= deepestNesting);
    HostVariables variables;
    variables.set("my_port", "40001");
    variables.set("peer_port", "40002");
    StandInModule module(variables, std::move(names));
    std::ostream nowhere(nullptr); // print writes nothing
    const auto outcome = runPublication(publication, variables, module, nowhere);
    if (!outcome.finished)
        PROPERTY(outcome.line >= 1 && outcome.line <= lines && !outcome.message.empty());
    return 0;
}
