#include "host/console/posix/standard_error_capture.h"

#include "host/core/visible_text.h"

#include <cstdio>
#include <fcntl.h>
#include <unistd.h>

namespace parlino::host {

void StandardErrorCapture::start() {
    int errors[2];
    std::fflush(stderr);
    savedErrors_ = ::fcntl(STDERR_FILENO, F_DUPFD_CLOEXEC, 3);
    if (savedErrors_ < 0 || ::pipe2(errors, O_CLOEXEC) != 0)
        return;
    errorsToTerminal_ = ::isatty(savedErrors_) == 1;
    ::dup2(errors[1], STDERR_FILENO);
    ::close(errors[1]);
    ::fcntl(errors[0], F_SETFL, O_NONBLOCK);
    errorsRead_ = errors[0];
}

void StandardErrorCapture::stop() {
    if (savedErrors_ < 0)
        return;
    std::fflush(stderr);
    ::dup2(savedErrors_, STDERR_FILENO);
    ::close(savedErrors_);
    savedErrors_ = -1;
    if (errorsRead_ >= 0)
        ::close(errorsRead_);
    errorsRead_ = -1;
}

void StandardErrorCapture::takeLines(std::vector<std::string> &lines) {
    if (errorsRead_ < 0)
        return;
    char bytes[4096];
    ssize_t got;
    while ((got = ::read(errorsRead_, bytes, sizeof bytes)) > 0) {
        if (!errorsToTerminal_)
            [[maybe_unused]] const auto written = ::write(savedErrors_, bytes, static_cast<std::size_t>(got));
        partLine_.append(bytes, static_cast<std::size_t>(got));
    }
    for (std::size_t end; (end = partLine_.find('\n')) != std::string::npos;) {
        auto line = partLine_.substr(0, end);
        partLine_.erase(0, end + 1);
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        lines.push_back(visibleText(line));
    }
}

void StandardErrorCapture::copyWarning(const std::string &text) {
    if (savedErrors_ < 0 || errorsToTerminal_)
        return;
    const auto line = text + "\n";
    [[maybe_unused]] const auto written = ::write(savedErrors_, line.data(), line.size());
}

} // namespace parlino::host
