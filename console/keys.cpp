#include "console/keys.h"

#include <cstdlib>

namespace VELD::keys {

namespace {

// The keys a sequence stands for. Single control keys where the editor has one (Ctrl-P for
// Up), so that in a Ctrl-R search the key ends the search with the line found and then acts
// on it, as readline does. Where the editor's key is itself a sequence (Alt-B, Delete's),
// a Tab comes first: it is bound to nothing, and ends a search just as well.
constexpr const wchar_t* UP = L"\x10";
constexpr const wchar_t* DOWN = L"\x0e";
constexpr const wchar_t* RIGHT = L"\x06";
constexpr const wchar_t* LEFT = L"\x02";
constexpr const wchar_t* HOME = L"\x01";
constexpr const wchar_t* END = L"\x05";
constexpr const wchar_t* DELETE = L"\t\x1b[3~";
constexpr const wchar_t* WORD_RIGHT =
    L"\t\x1b"
    L"f";
constexpr const wchar_t* WORD_LEFT =
    L"\t\x1b"
    L"b";
constexpr const wchar_t* NOTHING = L"";

// Modifier numbers of xterm's sequences ("\e[1;5D"): 1 none, 2 Shift, 3 Alt, 5 Ctrl.
constexpr int PLAIN = 1, ALT = 3, CTRL = 5;

// A sequence's last byte, its number and its modifier: "\e[3;5~" is '~', 3 and 5, and the
// older "\e[5D" is 'D', 1 and 5.
const wchar_t* action(char final, int number, int modifier) {
    const wchar_t* plain = NOTHING;
    switch (final) {
        case 'A':
            plain = UP;
            break;
        case 'B':
            plain = DOWN;
            break;
        case 'C':
            plain = RIGHT;
            break;
        case 'D':
            plain = LEFT;
            break;
        case 'H':
            plain = HOME;
            break;
        case 'F':
            plain = END;
            break;
        case '~':
            plain = number == 1 || number == 7   ? HOME
                    : number == 4 || number == 8 ? END
                    : number == 3                ? DELETE
                                                 : NOTHING;  // Insert, PageUp, F5...
            break;
        default:
            break;  // F1-F4, Shift-arrows of rxvt, and the rest
    }
    if (modifier == PLAIN) return plain;
    if (modifier == ALT || modifier == CTRL) {
        if (plain == RIGHT) return WORD_RIGHT;
        if (plain == LEFT) return WORD_LEFT;
    }
    return NOTHING;
}

// The keypad in application mode ("\eOp" is 0) and rxvt's Ctrl-arrows ("\eOd").
const wchar_t* applicationKey(char key) {
    static const wchar_t* const KEYPAD[] = {L"0", L"1", L"2", L"3", L"4",
                                            L"5", L"6", L"7", L"8", L"9"};
    if (key >= 'p' && key <= 'y') return KEYPAD[key - 'p'];
    switch (key) {
        case 'j':
            return L"*";
        case 'k':
            return L"+";
        case 'm':
            return L"-";
        case 'n':
            return L".";
        case 'o':
            return L"/";
        case 'M':
            return L"\n";
        case 'c':
            return WORD_RIGHT;
        case 'd':
            return WORD_LEFT;
        default:
            return action(key, 1, PLAIN);
    }
}

}  // namespace

void Decoder::add(char byte, std::wstring& keys) {
    if (!sequence.empty() || byte == '\x1b') {
        sequence += byte;
        // ESC and a key other than a sequence's is that key with Alt, as the editor binds it.
        const std::size_t lead = sequence.size() > 2 && sequence[1] == '\x1b' ? 2 : 1;
        if (sequence.size() == lead + 1 && byte != '[' && byte != 'O' &&
            !(byte == '\x1b' && lead == 1)) {
            sequence.pop_back();
            keys.append(sequence.begin(), sequence.end());
            sequence.clear();
            return add(byte, keys);
        }
        if (const wchar_t* translated = translate(sequence)) {
            keys += translated;
            sequence.clear();
        }
        return;
    }
    character(byte, keys);
}

void Decoder::character(char byte, std::wstring& keys) {
    wchar_t wide = 0;
    std::size_t taken = std::mbrtowc(&wide, &byte, 1, &state);
    if (taken == static_cast<std::size_t>(-1) && held > 0) {
        // The bytes begun are no character: keys of their own, and this byte starts afresh.
        flush(keys);
        taken = std::mbrtowc(&wide, &byte, 1, &state);
    }
    if (taken == static_cast<std::size_t>(-2) && held < sizeof partial) {
        partial[held++] = byte;
    } else if (taken <= 1) {
        keys += wide;
        held = 0;
    } else {
        flush(keys);
        keys += static_cast<wchar_t>(RAW + static_cast<unsigned char>(byte));
    }
}

void Decoder::flush(std::wstring& keys) {
    for (std::size_t k = 0; k < held; ++k)
        keys += static_cast<wchar_t>(RAW + static_cast<unsigned char>(partial[k]));
    state = {};
    held = 0;
    sequence.clear();
}

const wchar_t* translate(std::string_view sequence) {
    // Alt with an arrow comes as ESC before the arrow's sequence on some terminals.
    const bool alt = sequence.size() > 1 && sequence[1] == '\x1b';
    const std::string_view rest = sequence.substr(alt ? 2 : 1);
    if (rest.size() < 2) return nullptr;
    if (rest.size() > 32) return NOTHING;  // no key sends so much: a runaway sequence
    if (rest[0] == 'O') return alt ? action(rest[1], 1, ALT) : applicationKey(rest[1]);
    // "\e[" then numbers and ';', and a last byte; the Linux console's F1-F5 are "\e[[A".
    if (rest[1] == '[') return rest.size() < 3 ? nullptr : NOTHING;
    std::size_t end = 1;
    while (end < rest.size() && ((rest[end] >= '0' && rest[end] <= '?') ||
                                 (rest[end] >= ' ' && rest[end] <= '/' && rest[end] != '$')))
        ++end;
    if (end == rest.size()) return nullptr;
    const char final = rest[end];
    if (!(final >= '@' && final <= '~') && final != '$') return NOTHING;
    const std::string_view parameters = rest.substr(1, end - 1);
    const std::size_t semicolon = parameters.find(';');
    const int first = std::atoi(std::string(parameters.substr(0, semicolon)).c_str());
    int modifier = semicolon != std::string_view::npos
                       ? std::atoi(std::string(parameters.substr(semicolon + 1)).c_str())
                       : (final != '~' && first > 1 ? first : PLAIN);
    if (alt && modifier == PLAIN) modifier = ALT;
    return action(final, first == 0 ? 1 : first, modifier);
}

std::wstring decode(std::string_view bytes) {
    Decoder decoder;
    std::wstring keys;
    for (const char byte : bytes)
        decoder.character(byte, keys);
    decoder.flush(keys);
    return keys;
}

std::string encode(std::wstring_view keys) {
    std::string bytes;
    std::mbstate_t state{};
    char character[MB_LEN_MAX];
    for (const wchar_t key : keys) {
        const std::size_t length = std::wcrtomb(character, key, &state);
        if (length != static_cast<std::size_t>(-1)) {
            bytes.append(character, length);
        } else {
            bytes += static_cast<char>(key - RAW);  // a byte given as it came
            state = {};
        }
    }
    return bytes;
}

}  // namespace VELD::keys
