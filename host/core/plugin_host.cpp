#include "host/core/plugin_host.h"

#include "host/core/module_file.h"

#include "host/core/system.h"

#include <atomic>

namespace parlino::host {
namespace {

// The host whose module is loaded; the callbacks find it here.
std::atomic<PluginHost *> loadedHost{nullptr};

std::string copyText(const char *text) { return text != nullptr ? std::string(text) : std::string(); }

// Copies a block that nbInitPlugIn stored in a slot and gives it back.
std::string takeModuleBlock(char *&slot) {
    std::string text = copyText(slot);
    system::releaseModuleBlock(slot);
    slot = nullptr;
    return text;
}

template <typename Function>
bool findEntryPoint(void *library, const std::string &name, int argumentBytes, Function &function,
                    std::string &error) {
    const auto exported = system::hostEntryPointName(name, argumentBytes);
    function = reinterpret_cast<Function>(system::findModuleSymbol(library, exported));
    if (function == nullptr)
        error = "the module does not export " + exported;
    return function != nullptr;
}

} // namespace

std::unique_ptr<PluginHost> PluginHost::load(const std::string &path, std::string &error) {
    std::unique_ptr<PluginHost> host(new PluginHost);
    PluginHost *none = nullptr;
    if (!loadedHost.compare_exchange_strong(none, host.get())) {
        error = "a module is already loaded";
        return nullptr;
    }
    host->path_ = path;
    if (error = moduleFileProblem(path); !error.empty())
        return nullptr;
    host->library_ = system::openModuleLibrary(path, error);
    if (host->library_ == nullptr)
        return nullptr;
    if (!findEntryPoint(host->library_, "nbRegisterPlugIn", 16, host->registerPlugIn_, error) ||
        !findEntryPoint(host->library_, "nbInitPlugIn", 16, host->initPlugIn_, error) ||
        !findEntryPoint(host->library_, "nbExecAction", 8, host->execAction_, error))
        return nullptr;

    host->registerPlugIn_(&PluginHost::registerAction, 0, 0, &PluginHost::setVariable);
    if (host->actions_.empty()) {
        error = "the module registered no action";
        return nullptr;
    }
    char *title = nullptr, *author = nullptr, *description = nullptr;
    host->initPlugIn_(0, &title, &author, &description);
    host->texts_.title = takeModuleBlock(title);
    host->texts_.author = takeModuleBlock(author);
    host->texts_.description = takeModuleBlock(description);
    return host;
}

PluginHost::~PluginHost() {
    // The module keeps its chat port open across an unload; closing it is
    // the publication's business (or the end of the process).
    system::closeModuleLibrary(library_);
    PluginHost *self = this;
    loadedHost.compare_exchange_strong(self, nullptr);
}

const RegisteredAction *findAction(const std::vector<RegisteredAction> &actions, std::string_view name) {
    for (const auto &action : actions)
        if (action.name == name)
            return &action;
    return nullptr;
}

bool PluginHost::execute(std::int32_t number, const std::string &parameter) {
    const char *text = parameter.c_str();
    return execAction_(number, &text) != 0;
}

std::int32_t PARLINO_CALL PluginHost::registerAction(std::int32_t number, const char *name,
                                                      const char *description,
                                                      const char *parameterType,
                                                      std::uint32_t parameterCount,
                                                      std::uint32_t) noexcept {
    try {
        if (auto *host = loadedHost.load())
            host->actions_.push_back(
                {number, copyText(name), copyText(description), copyText(parameterType), parameterCount});
    } catch (...) {
        // Out of memory: the action stays unregistered, and a publication
        // that names it is refused.
    }
    return 0;
}

std::int32_t PARLINO_CALL PluginHost::setVariable(const char *name, const char *value) noexcept {
    try {
        if (auto *host = loadedHost.load(); host != nullptr && name != nullptr)
            host->variables_.set(name, copyText(value));
    } catch (...) {
        // Out of memory: the variable keeps its earlier value.
    }
    return 0;
}

} // namespace parlino::host
