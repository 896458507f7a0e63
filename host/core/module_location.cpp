#include "host/core/module_location.h"

#include "host/core/system.h"

#include <cstdio>

namespace parlino::host {
namespace {

bool fileExists(const std::string &path) {
    std::FILE *file = std::fopen(path.c_str(), "rb");
    if (file != nullptr)
        std::fclose(file);
    return file != nullptr;
}

} // namespace

std::vector<std::string> moduleFolders() {
    const auto folder = system::executableDirectory();
    std::string installed = PARLINO_INSTALLED_MODULE_FOLDER;
    // The folder's own separator, so that Windows shows ..\lib.
    for (auto &c : installed)
        if (c == '/')
            c = folder.back();
    return {folder, folder + installed + folder.back()};
}

std::string findModuleFile(std::string &looked) {
    looked.clear();
    for (const auto &folder : moduleFolders()) {
        const auto candidate = folder + PARLINO_MODULE_FILE_NAME;
        if (fileExists(candidate))
            return candidate;
        looked += (looked.empty() ? "" : " nor at ") + candidate;
    }
    return {};
}

} // namespace parlino::host
