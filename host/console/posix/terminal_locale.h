// The locale the chat's screen reads, draws and measures characters in.
#pragma once

#include <string>

namespace parlino::host {

// Sets the character type of the locale the environment names, or C.UTF-8
// when that one is not UTF-8 (C or POSIX, usual over ssh and in
// containers), where letters beyond ASCII would be lost. Returns what the
// person should be told then, naming the variable that chose the locale;
// empty when the locale is UTF-8 already.
std::string chooseUtf8Locale();

} // namespace parlino::host
