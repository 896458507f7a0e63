#include "host/window/conversation.h"

#include "host/core/win32/wide_text.h"

#include <algorithm>

namespace parlino::host {

std::wstring conversationEntry(const std::string &timeOfDay, Speaker speaker, const std::string &visibleUtf8) {
    const char *const who = speaker == Speaker::me ? "  me: " : speaker == Speaker::peer ? "  peer: " : "  check: ";
    const std::string line = timeOfDay + who + visibleUtf8;
    return system::wideFromUtf8(line.data(), static_cast<int>(line.size()));
}

std::wstring leftOutEntry(const std::string &timeOfDay, std::size_t count) {
    const auto line =
        timeOfDay + "  (" + std::to_string(count) + (count == 1 ? " line" : " lines") + " came too fast to show)";
    return system::wideFromUtf8(line.data(), static_cast<int>(line.size()));
}

Conversation::Conversation(HWND edit) : edit_(edit) {
    // No limit but the memory's; the bounds above keep the text small.
    ::SendMessageW(edit_, EM_SETLIMITTEXT, 0, 0);
}

bool Conversation::endInSight() const {
    const auto lines = ::SendMessageW(edit_, EM_GETLINECOUNT, 0, 0);
    const auto first = ::SendMessageW(edit_, EM_GETFIRSTVISIBLELINE, 0, 0);
    RECT client;
    ::GetClientRect(edit_, &client);
    TEXTMETRICW metrics{};
    const HDC dc = ::GetDC(edit_);
    const auto font = reinterpret_cast<HFONT>(::SendMessageW(edit_, WM_GETFONT, 0, 0));
    const auto before = ::SelectObject(dc, font != nullptr ? font : ::GetStockObject(SYSTEM_FONT));
    ::GetTextMetricsW(dc, &metrics);
    ::SelectObject(dc, before);
    ::ReleaseDC(edit_, dc);
    const LONG rows = std::max<LONG>(1, (client.bottom - client.top) / std::max<LONG>(1, metrics.tmHeight));
    return first + rows >= lines;
}

void Conversation::append(const std::deque<std::wstring> &entries) {
    if (entries.empty())
        return;
    // How many of the lines held now, and of the new ones, go.
    const std::size_t heldBefore = lengths_.size();
    for (const auto &entry : entries) {
        characters_ += (lengths_.empty() ? 0 : 2) + entry.size();
        lengths_.push_back(entry.size());
    }
    std::size_t dropped = 0, droppedCharacters = 0;
    if (lengths_.size() > mostLines + mostLines / 4 || characters_ > mostCharacters + mostCharacters / 4) {
        while (lengths_.size() > 1 && (lengths_.size() > mostLines || characters_ > mostCharacters)) {
            droppedCharacters += lengths_.front() + 2;
            characters_ -= lengths_.front() + 2;
            lengths_.pop_front();
            ++dropped;
        }
    }

    DWORD selectionStart = 0, selectionEnd = 0;
    ::SendMessageW(edit_, EM_GETSEL, reinterpret_cast<WPARAM>(&selectionStart),
                   reinterpret_cast<LPARAM>(&selectionEnd));
    const bool following = endInSight();
    const auto firstBefore = static_cast<LONG>(::SendMessageW(edit_, EM_GETFIRSTVISIBLELINE, 0, 0));
    ::SendMessageW(edit_, WM_SETREDRAW, FALSE, 0);

    std::wstring added;
    if (dropped >= heldBefore) {
        // Nothing held stays (a flood): the control gets the new text whole.
        for (std::size_t i = dropped - heldBefore; i < entries.size(); ++i)
            added += (added.empty() ? L"" : L"\r\n") + entries[i];
        ::SendMessageW(edit_, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(added.c_str()));
    } else {
        if (dropped > 0) {
            ::SendMessageW(edit_, EM_SETSEL, 0, static_cast<LPARAM>(droppedCharacters));
            ::SendMessageW(edit_, EM_REPLACESEL, FALSE, reinterpret_cast<LPARAM>(L""));
        }
        for (const auto &entry : entries)
            added += L"\r\n" + entry;
        const auto end = static_cast<WPARAM>(::GetWindowTextLengthW(edit_));
        // The first line of all has no line break before it.
        const wchar_t *text = end == 0 ? added.c_str() + 2 : added.c_str();
        ::SendMessageW(edit_, EM_SETSEL, end, static_cast<LPARAM>(end));
        ::SendMessageW(edit_, EM_REPLACESEL, FALSE, reinterpret_cast<LPARAM>(text));
    }

    if (following) {
        // The caret to the start of the last line: the view follows it down,
        // and back to the left edge, where a long line would take it to its end.
        const auto lastLine = ::SendMessageW(edit_, EM_GETLINECOUNT, 0, 0) - 1;
        const auto start = static_cast<WPARAM>(::SendMessageW(edit_, EM_LINEINDEX, lastLine, 0));
        ::SendMessageW(edit_, EM_SETSEL, start, static_cast<LPARAM>(start));
        ::SendMessageW(edit_, EM_SCROLLCARET, 0, 0);
    } else {
        const auto moved = [&](DWORD at) {
            return static_cast<LPARAM>(at > droppedCharacters ? at - droppedCharacters : 0);
        };
        ::SendMessageW(edit_, EM_SETSEL, static_cast<WPARAM>(moved(selectionStart)), moved(selectionEnd));
        const auto first = static_cast<LONG>(::SendMessageW(edit_, EM_GETFIRSTVISIBLELINE, 0, 0));
        const LONG wanted = std::max<LONG>(0, firstBefore - static_cast<LONG>(std::min(dropped, heldBefore)));
        ::SendMessageW(edit_, EM_LINESCROLL, 0, wanted - first);
    }
    ::SendMessageW(edit_, WM_SETREDRAW, TRUE, 0);
    ::InvalidateRect(edit_, nullptr, TRUE);
}

} // namespace parlino::host
