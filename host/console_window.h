// parlino started by a double click: Windows then gives it a console window
// of its own, which closes the moment parlino ends, so that a command-line
// error would flash and vanish. Held for the whole run, this explains how
// to use parlino when it was started without a command, and keeps such a
// window open until Enter is pressed. Elsewhere it does nothing.
#pragma once

namespace parlino::host {

class OwnConsoleWindow {
  public:
    // Shows the introduction when parlino has a window of its own and no
    // command was given (argumentCount counts the program's name too).
    explicit OwnConsoleWindow(int argumentCount);
    // In a window of its own: waits for Enter, so that the last lines can be read.
    ~OwnConsoleWindow();
    OwnConsoleWindow(const OwnConsoleWindow &) = delete;
    OwnConsoleWindow &operator=(const OwnConsoleWindow &) = delete;

    // True when the introduction was shown in place of a command.
    bool introduced() const { return introduced_; }

  private:
    bool owned_ = false;
    bool introduced_ = false;
};

} // namespace parlino::host
