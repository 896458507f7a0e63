// A loaded chat module and everything the host keeps about it: the actions
// it registered, its title texts and the host's variables that its actions
// write. One per process, because the module's callbacks carry no context.
#pragma once

#include "host/core/host_variables.h"
#include "parlino.h"

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace parlino::host {

// One action as the module registered it, copied during the callback.
struct RegisteredAction {
    std::int32_t number = 0;
    std::string name;
    std::string description; // may hold several lines separated by CR LF
    std::string parameterType;
    std::uint32_t parameterCount = 0;
};

// The action registered as `name` (exactly, case included), or null.
const RegisteredAction *findAction(const std::vector<RegisteredAction> &actions, std::string_view name);

struct ModuleTexts {
    std::string title;
    std::string author;
    std::string description;
};

class PluginHost {
  public:
    // Loads the module at `path`, registers it (nbRegisterPlugIn) and takes
    // its title texts (nbInitPlugIn). Null with the reason in `error` when
    // the file cannot be loaded, an entry point is missing, or a module is
    // already loaded in this process.
    static std::unique_ptr<PluginHost> load(const std::string &path, std::string &error);
    ~PluginHost();
    PluginHost(const PluginHost &) = delete;
    PluginHost &operator=(const PluginHost &) = delete;

    const std::string &path() const { return path_; }
    const ModuleTexts &texts() const { return texts_; }
    const std::vector<RegisteredAction> &actions() const { return actions_; }
    const RegisteredAction *findAction(std::string_view name) const {
        return host::findAction(actions_, name);
    }

    // Runs an action through nbExecAction; false when the module refused the number.
    bool execute(std::int32_t number, const std::string &parameter);

    HostVariables &variables() { return variables_; }

  private:
    PluginHost() = default;
    static std::int32_t PARLINO_CALL registerAction(std::int32_t number, const char *name,
                                                     const char *description,
                                                     const char *parameterType,
                                                     std::uint32_t parameterCount,
                                                     std::uint32_t parameterCountAgain) noexcept;
    static std::int32_t PARLINO_CALL setVariable(const char *name, const char *value) noexcept;

    std::string path_;
    void *library_ = nullptr;
    decltype(&nbRegisterPlugIn) registerPlugIn_ = nullptr;
    decltype(&nbInitPlugIn) initPlugIn_ = nullptr;
    decltype(&nbExecAction) execAction_ = nullptr;
    ModuleTexts texts_;
    std::vector<RegisteredAction> actions_;
    HostVariables variables_;
};

} // namespace parlino::host
