#include "bench/loaded_module.h"

#include "parlino.h"

#include <array>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dlfcn.h>
#include <fcntl.h>
#include <memory>
#include <string>
#include <sys/sendfile.h>
#include <sys/stat.h>
#include <unistd.h>

namespace parlino::bench {
namespace {

constexpr std::size_t valueCapacity = 65537;

// What one instance's host keeps. The callbacks carry no context, so each
// instance has callbacks of its own.
struct HostRecord {
    std::array<char, valueCapacity> value{};
    std::size_t length = 0;
    std::uint64_t sets = 0;
    std::string text;             // the strings host's last value
    std::uint64_t textSets = 0;   // ... and how many were of qv_chat_text
};
std::array<HostRecord, 2> records;

int32_t PARLINO_CALL ignoreRegistration(int32_t, const char *, const char *, const char *, uint32_t,
                                        uint32_t) {
    return 1;
}

template <int which> int32_t PARLINO_CALL keepValue(const char *, const char *value) {
    auto &record = records[which];
    const std::size_t length = value != nullptr ? std::strlen(value) : 0;
    record.length = length < valueCapacity ? length : valueCapacity - 1;
    std::memcpy(record.value.data(), value != nullptr ? value : "", record.length);
    ++record.sets;
    return 1;
}

// What a host built on the standard library does: the name becomes a
// std::string to look it up, and the value a new std::string that replaces
// the old one (allocating beyond the short-string size, freeing the old).
template <int which> int32_t PARLINO_CALL keepValueAsString(const char *name, const char *value) {
    auto &record = records[which];
    const std::string variable(name != nullptr ? name : "");
    record.text = std::string(value != nullptr ? value : "");
    record.textSets += variable == "qv_chat_text";
    ++record.sets;
    return 1;
}

[[noreturn]] void fail(const std::string &what) {
    std::fprintf(stderr, "parlino benchmarks: %s\n", what.c_str());
    std::exit(2);
}

// dlopen gives the same handle for the same file, so the far end of a round
// trip loads a copy: a second module with its own globals.
std::string privateCopyOf(const std::string &path) {
    char copyPath[] = "/tmp/parlino-bench-XXXXXX.so";
    const int out = ::mkstemps(copyPath, 3);
    const int in = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    struct stat status {};
    if (out < 0 || in < 0 || ::fstat(in, &status) != 0)
        fail("cannot copy " + path);
    off_t offset = 0;
    while (offset < status.st_size)
        if (::sendfile(out, in, &offset, static_cast<std::size_t>(status.st_size - offset)) <= 0)
            fail("cannot copy " + path);
    ::close(in);
    ::close(out);
    return copyPath;
}

} // namespace

std::string modulePath() {
    const char *fromEnvironment = std::getenv("PARLINO_MODULE");
    return fromEnvironment != nullptr && fromEnvironment[0] != '\0' ? fromEnvironment
                                                                      : PARLINO_MODULE_PATH;
}

LoadedModule &LoadedModule::instance(int which) {
    static LoadedModule first(0);
    if (which == 0)
        return first;
    static LoadedModule second(1);
    return second;
}

LoadedModule::LoadedModule(int which) : which_(which) {
    std::string path = modulePath();
    if (which != 0)
        path = privateCopyOf(path);
    void *handle = ::dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (which != 0)
        ::unlink(path.c_str());
    if (handle == nullptr)
        fail(std::string("cannot load the module: ") + ::dlerror());
    registerPlugIn_ = reinterpret_cast<RegisterPlugIn>(::dlsym(handle, "nbRegisterPlugIn"));
    execAction_ = reinterpret_cast<ExecAction>(::dlsym(handle, "nbExecAction"));
    if (registerPlugIn_ == nullptr || execAction_ == nullptr)
        fail("the module lacks nbRegisterPlugIn or nbExecAction");
    registerPlugIn_(ignoreRegistration, 0, 0, which == 0 ? keepValue<0> : keepValue<1>);
}

void LoadedModule::useCallback(HostCallback callback) {
    if (callback == callback_)
        return;
    callback_ = callback;
    const bool light = callback == HostCallback::light;
    registerPlugIn_(ignoreRegistration, 0, 0,
                    which_ == 0 ? (light ? keepValue<0> : keepValueAsString<0>)
                                : (light ? keepValue<1> : keepValueAsString<1>));
}

std::int32_t LoadedModule::execute(std::int32_t action, const char *parameter) const {
    return execAction_(action, &parameter);
}

std::string_view LoadedModule::lastValue() const {
    const auto &record = records[which_];
    if (callback_ == HostCallback::strings)
        return record.text;
    return {record.value.data(), record.length};
}

std::uint64_t LoadedModule::setCount() const { return records[which_].sets; }

} // namespace parlino::bench
