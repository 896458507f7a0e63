// Standard error turned into a pipe while the chat's screen is up, so that
// what is written to it (the module's message boxes, parlino's warnings)
// is shown in the conversation instead of across the screen. When standard
// error was not the terminal (a file, a pipe), everything still reaches it
// too, where a person or a script collects it.
#pragma once

#include <string>
#include <vector>

namespace parlino::host {

class StandardErrorCapture {
  public:
    StandardErrorCapture() = default;
    StandardErrorCapture(const StandardErrorCapture &) = delete;
    StandardErrorCapture &operator=(const StandardErrorCapture &) = delete;
    ~StandardErrorCapture() { stop(); }

    // From now on standard error goes into the pipe; when no pipe can be
    // had it stays as it is.
    void start();
    // Standard error as it was. Safe to call more than once.
    void stop();

    // The end to poll for written bytes; -1 when nothing is captured.
    int readEnd() const { return errorsRead_; }
    // The whole lines written since the last call, each made visible.
    void takeLines(std::vector<std::string> &lines);
    // A line the screen shows as a warning, written to the real standard
    // error too when that is not the terminal.
    void copyWarning(const std::string &text);

  private:
    int savedErrors_ = -1, errorsRead_ = -1;
    bool errorsToTerminal_ = false;
    std::string partLine_; // a line written to standard error, not ended yet
};

} // namespace parlino::host
