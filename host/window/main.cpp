// ParlinoChat.exe: the chat in a window, for people who try a link without
// a Command Prompt. It loads the chat module as a host does and drives it
// through its actions (host/core); the window is host/window/chat_window.
#include "host/core/charset.h"
#include "host/core/chat_link.h"
#include "host/core/exit_codes.h"
#include "host/core/module_location.h"
#include "host/core/plugin_host.h"
#include "host/core/win32/wide_text.h"
#include "host/window/arguments.h"
#include "host/window/chat_window.h"
#include "host/window/settings.h"

#include <windows.h>
#include <commctrl.h>

#include <memory>
#include <string>

namespace parlino::host {
namespace {

const wchar_t programName[] = L"Parlino chat";

int refuse(const std::string &message, int exitCode) {
    const auto text = system::wideFromUtf8(message.data(), static_cast<int>(message.size()));
    ::MessageBoxW(nullptr, text.c_str(), programName, MB_OK | MB_ICONERROR);
    return exitCode;
}

// The module as the console's parlino finds it: given, beside the program, or in ..\lib.
std::unique_ptr<PluginHost> loadModule(const std::wstring &given, std::string &error) {
    std::string path;
    if (!given.empty()) {
        // The module library is loaded by an ANSI path, as parlino.exe loads it.
        const int size = ::WideCharToMultiByte(CP_ACP, 0, given.c_str(), -1, nullptr, 0, nullptr, nullptr);
        path.resize(size > 0 ? static_cast<std::size_t>(size) : 1);
        ::WideCharToMultiByte(CP_ACP, 0, given.c_str(), -1, path.data(), size, nullptr, nullptr);
        path.resize(path.size() - 1);
    } else {
        std::string looked;
        path = findModuleFile(looked);
        if (path.empty()) {
            error = "Parlino.dll was not found at " + looked +
                    ". Unpack the whole ZIP, and start ParlinoChat.exe from its bin folder.";
            return nullptr;
        }
    }
    auto host = PluginHost::load(path, error);
    if (!host)
        error = "The chat module " + path + " cannot be used: " + error + ".";
    return host;
}

int runWindow(HINSTANCE instance, int show) {
    WindowArguments arguments;
    std::string error;
    if (!parseWindowArguments(commandLineWords(), arguments, error))
        return refuse(error + ".\n\n" + windowArgumentsHelp, exit_code::usage);

    // The link's character set serves its two threads, one direction each;
    // the window decodes the lines it sends with a second one.
    auto charset = openCharset(arguments.charsetName, error);
    auto shownCharset = charset ? openCharset(arguments.charsetName, error) : nullptr;
    if (!charset || !shownCharset)
        return refuse("--charset: " + error + ".", exit_code::usage);

    const INITCOMMONCONTROLSEX controls{sizeof(INITCOMMONCONTROLSEX), ICC_STANDARD_CLASSES};
    ::InitCommonControlsEx(&controls);

    const auto host = loadModule(arguments.modulePath, error);
    if (!host)
        return refuse(error, exit_code::moduleUnusable);
    ChatLink link(*host, *charset, arguments.charsetName);
    if (!link.findActions(error))
        return refuse("The chat module " + host->path() + " cannot be used: " + error + ".", exit_code::moduleUnusable);

    ChatWindow window(link, *shownCharset, arguments, loadRememberedChat());
    if (!window.create(instance, show))
        return refuse("Windows made no window.", exit_code::internalFailure);
    MSG message;
    while (::GetMessageW(&message, nullptr, 0, 0) > 0) {
        // Enter acts on the field it was typed in; the dialog manager gives
        // Tab and the Alt keys their meaning.
        if (message.message == WM_KEYDOWN && message.wParam == VK_RETURN && window.enterPressed(message.hwnd))
            continue;
        if (::IsDialogMessageW(window.handle(), &message))
            continue;
        ::TranslateMessage(&message);
        ::DispatchMessageW(&message);
    }
    return exit_code::success;
}

} // namespace
} // namespace parlino::host

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int show) {
    try {
        return parlino::host::runWindow(instance, show);
    } catch (...) {
        return parlino::host::exit_code::internalFailure;
    }
}
