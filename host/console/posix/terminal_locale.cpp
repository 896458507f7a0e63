#include "host/console/posix/terminal_locale.h"

#include <clocale>
#include <cstdlib>
#include <langinfo.h>

namespace parlino::host {
namespace {

// The variable that chose the locale's character set, as a person would
// set it: LC_ALL overrides LC_CTYPE, which overrides LANG.
std::string localeVariable() {
    for (const char *name : {"LC_ALL", "LC_CTYPE"})
        if (const char *value = std::getenv(name); value != nullptr && *value != '\0')
            return name;
    return "LANG";
}

} // namespace

std::string chooseUtf8Locale() {
    std::setlocale(LC_CTYPE, "");
    const std::string codeset = nl_langinfo(CODESET);
    if (codeset == "UTF-8")
        return {};
    const auto variable = localeVariable();
    if (std::setlocale(LC_CTYPE, "C.UTF-8") != nullptr)
        return "parlino: the locale's character set is " + codeset +
               ", not UTF-8: the terminal is read and written as UTF-8 (set " + variable + "=C.UTF-8 to say so)";
    return "parlino: the locale's character set is " + codeset + ": letters beyond ASCII cannot be typed; set " +
           variable + " to a UTF-8 locale such as C.UTF-8";
}

} // namespace parlino::host
