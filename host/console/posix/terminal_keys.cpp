#include "host/console/posix/terminal_keys.h"

#include <algorithm>

namespace parlino::host {
namespace {

using Kind = KeyAction::Kind;
using Edit = TypedLine::Edit;

// Key codes of our own for sequences terminfo may not name.
constexpr int keyWordLeft = KEY_MAX + 1, keyWordRight = KEY_MAX + 2;

struct KnownSequence {
    const char *sequence;
    int key;
};
constexpr KnownSequence knownSequences[] = {
    {"\033[1~", KEY_HOME},   {"\033[7~", KEY_HOME},   {"\033[H", KEY_HOME},     {"\033OH", KEY_HOME},
    {"\033[4~", KEY_END},    {"\033[8~", KEY_END},    {"\033[F", KEY_END},      {"\033OF", KEY_END},
    {"\033[3~", KEY_DC},     {"\033[5~", KEY_PPAGE},  {"\033[6~", KEY_NPAGE},   {"\033[A", KEY_UP},
    {"\033[B", KEY_DOWN},    {"\033[C", KEY_RIGHT},   {"\033[D", KEY_LEFT},     {"\033OA", KEY_UP},
    {"\033OB", KEY_DOWN},    {"\033OC", KEY_RIGHT},   {"\033OD", KEY_LEFT},     {"\033[1;5D", keyWordLeft},
    {"\033[1;5C", keyWordRight}, {"\033[1;3D", keyWordLeft}, {"\033[1;3C", keyWordRight},
    {"\033O5D", keyWordLeft}, {"\033O5C", keyWordRight},
};
// Ctrl- and Alt-arrows as terminfo's extended names call them.
constexpr KnownSequence wordKeyNames[] = {
    {"kLFT5", keyWordLeft}, {"kRIT5", keyWordRight}, {"kLFT3", keyWordLeft}, {"kRIT3", keyWordRight}};

constexpr wint_t control(char letter) { return static_cast<wint_t>(letter & 0x1F); }

constexpr KeyAction editing(Edit edit) { return {Kind::edit, edit}; }
constexpr KeyAction doing(Kind kind) { return {kind, Edit::left}; }

} // namespace

bool isTerminfoString(const char *capability) {
    return capability != nullptr && capability != reinterpret_cast<const char *>(-1);
}

bool isTypedText(wint_t key) {
    return key == '\t' || (key >= 0x20 && key != 0x7F && !(key >= 0x80 && key <= 0x9F));
}

void TerminalKeys::define() {
    for (const auto &[sequence, key] : knownSequences)
        if (key_defined(sequence) == 0)
            define_key(sequence, key);
    for (const auto &[name, key] : wordKeyNames) {
        const char *sequence = tigetstr(const_cast<char *>(name));
        if (!isTerminfoString(sequence))
            continue;
        if (const int code = key_defined(sequence); code > 0)
            (key == keyWordLeft ? wordLeftKeys_ : wordRightKeys_).push_back(code);
        else if (code == 0)
            define_key(sequence, key);
    }
}

KeyAction TerminalKeys::action(int kind, wint_t key, WINDOW *window) const {
    return kind == KEY_CODE_YES ? actionOfKey(static_cast<int>(key)) : actionOfControl(key, window);
}

KeyAction TerminalKeys::actionOfKey(int key) const {
    switch (key) {
    case KEY_LEFT: return editing(Edit::left);
    case KEY_RIGHT: return editing(Edit::right);
    case KEY_HOME: return editing(Edit::home);
    case KEY_END: return editing(Edit::end);
    case KEY_UP: return editing(Edit::earlier);
    case KEY_DOWN: return editing(Edit::later);
    case KEY_BACKSPACE: return editing(Edit::backspace);
    case KEY_DC: return editing(Edit::deleteForward);
    case keyWordLeft: return editing(Edit::wordLeft);
    case keyWordRight: return editing(Edit::wordRight);
    case KEY_PPAGE: return doing(Kind::pageUp);
    case KEY_NPAGE: return doing(Kind::pageDown);
    case KEY_ENTER: return doing(Kind::enter);
    case KEY_RESIZE: return doing(Kind::resized);
    default:
        if (std::find(wordLeftKeys_.begin(), wordLeftKeys_.end(), key) != wordLeftKeys_.end())
            return editing(Edit::wordLeft);
        if (std::find(wordRightKeys_.begin(), wordRightKeys_.end(), key) != wordRightKeys_.end())
            return editing(Edit::wordRight);
        return doing(Kind::nothing);
    }
}

KeyAction TerminalKeys::actionOfControl(wint_t key, WINDOW *window) const {
    switch (key) {
    case '\r':
    case '\n': return doing(Kind::enter);
    case control('C'): return doing(Kind::interrupt);
    case control('\\'): return doing(Kind::quit);
    case control('Z'): return doing(Kind::suspend);
    case control('D'): return doing(Kind::endOrDelete);
    case control('L'): return doing(Kind::redraw);
    case control('A'): return editing(Edit::home);
    case control('E'): return editing(Edit::end);
    case control('B'): return editing(Edit::left);
    case control('F'): return editing(Edit::right);
    case control('P'): return editing(Edit::earlier);
    case control('N'): return editing(Edit::later);
    case control('H'):
    case 0x7F: return editing(Edit::backspace);
    case control('U'): return editing(Edit::deleteToStart);
    case control('W'): return editing(Edit::deleteWordBefore);
    case control('K'): return editing(Edit::deleteToEnd);
    case 0x1B: return afterEscape(window);
    default: return doing(Kind::nothing);
    }
}

// ESC that terminfo did not make a key of: Alt-b, Alt-f and Alt-Backspace
// as in a shell; the rest of an escape sequence unknown here is dropped.
KeyAction TerminalKeys::afterEscape(WINDOW *window) {
    wint_t next = 0;
    if (wget_wch(window, &next) != OK)
        return doing(Kind::nothing);
    if (next == 'b')
        return editing(Edit::wordLeft);
    if (next == 'f')
        return editing(Edit::wordRight);
    if (next == 0x7F)
        return editing(Edit::deleteWordBefore);
    if (next == '[' || next == 'O') {
        const bool controlSequence = next == '[';
        for (int i = 0; i < 32 && wget_wch(window, &next) == OK; ++i)
            if (!controlSequence || (next >= 0x40 && next <= 0x7E))
                break;
    }
    return doing(Kind::nothing);
}

} // namespace parlino::host
