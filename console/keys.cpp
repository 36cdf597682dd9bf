#include "console/keys.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <cstring>

namespace VELD::keys {

namespace {

// The keys a sequence stands for. Single control keys where the editor has one (Ctrl-P for
// Up), so that in a Ctrl-R search the key ends the search with the line found and then acts
// on it, as readline does. Where the editor's key is itself a sequence (Alt-B, Delete's),
// a Tab comes first: it is bound to nothing, and ends a search just as well.
constexpr const wchar_t *UP = L"\x10", *DOWN = L"\x0e", *RIGHT = L"\x06", *LEFT = L"\x02";
constexpr const wchar_t *HOME = L"\x01", *END = L"\x05", *DELETE = L"\t\033[3~";
constexpr const wchar_t *WORD_RIGHT = L"\t\033f", *WORD_LEFT = L"\t\033b";
constexpr const wchar_t* NOTHING = L"";

// Modifier numbers of xterm's sequences ("\e[1;5D"): 1 none, 2 Shift, 3 Alt, 5 Ctrl.
constexpr int PLAIN = 1, ALT = 3, CTRL = 5;

// The key of a sequence's last byte and number ("\e[3~" is '~' and 3); with Alt or Ctrl,
// Left and Right move by words, and the rest do nothing.
const wchar_t* keyOf(char final, int number, int modifier) {
    constexpr struct {
        char final;
        int number;
        const wchar_t* keys;
    } KEYS[] = {{'A', 1, UP},   {'B', 1, DOWN}, {'C', 1, RIGHT}, {'D', 1, LEFT},
                {'H', 1, HOME}, {'F', 1, END},  {'~', 1, HOME},  {'~', 7, HOME},
                {'~', 4, END},  {'~', 8, END},  {'~', 3, DELETE}};
    const wchar_t* plain = NOTHING;  // Insert, Page Up, F1-F12, Shift-arrows of rxvt, ...
    for (const auto& key : KEYS) {
        if (key.final == final && key.number == number) plain = key.keys;
    }
    if (modifier == PLAIN) return plain;
    if (modifier != ALT && modifier != CTRL) return NOTHING;
    return plain == RIGHT ? WORD_RIGHT : plain == LEFT ? WORD_LEFT : NOTHING;
}

// "\eO" and a key: the keypad in application mode ("\eOp" is 0), rxvt's Ctrl-arrows
// ("\eOd"), and xterm's arrows in application mode ("\eOD").
const wchar_t* applicationKey(char key, int modifier) {
    static constexpr char KEYPAD[] = "pqrstuvwxyjkmnoM";
    static const wchar_t* const TYPED[] = {L"0", L"1", L"2", L"3", L"4", L"5", L"6", L"7",
                                           L"8", L"9", L"*", L"+", L"-", L".", L"/", L"\n"};
    const char* typed = modifier == PLAIN ? std::strchr(KEYPAD, key) : nullptr;
    if (typed != nullptr && key != '\0') return TYPED[typed - KEYPAD];
    if (key == 'c' || key == 'd') return keyOf(key == 'c' ? 'C' : 'D', 1, CTRL);
    return keyOf(key, 1, modifier);
}

// What an escape sequence does: the keys it stands for, "" when it is swallowed (a key the
// editor does not bind, or a sequence not known), or null while it is not yet complete.
// `sequence` starts with ESC.
const wchar_t* translate(std::string_view sequence) {
    // Alt with an arrow comes as ESC before the arrow's sequence on some terminals.
    const bool alt = sequence.size() > 1 && sequence[1] == '\x1b';
    const std::string_view rest = sequence.substr(alt ? 2 : 1);
    if (rest.size() < 2) return nullptr;
    if (rest.size() > 32) return NOTHING;  // no key sends so much: a runaway sequence
    if (rest[0] == 'O') {
        // Older xterms put a modifier number before the key: "\eO2P" is Shift-F1.
        std::size_t key = 1;
        while (key < rest.size() && rest[key] >= '0' && rest[key] <= '9')
            ++key;
        if (key == rest.size()) return nullptr;
        const int modifier = key > 1 ? std::atoi(std::string(rest.substr(1, key - 1)).c_str())
                             : alt   ? ALT
                                     : PLAIN;
        return applicationKey(rest[key], modifier);
    }
    // "\e[" then numbers and ';', and a last byte; the Linux console's F1-F5 are "\e[[A".
    if (rest[1] == '[') return rest.size() < 3 ? nullptr : NOTHING;
    // An X10 mouse report: "\e[M" and three bytes, the button and the place.
    if (rest[1] == 'M') return rest.size() < 5 ? nullptr : NOTHING;
    const std::size_t end = rest.find_first_not_of("0123456789:;<=>? !\"#%&'()*+,-./", 1);
    if (end == std::string_view::npos) return nullptr;
    if (rest[end] < '@' && rest[end] != '$') return NOTHING;  // not a last byte
    const std::string parameters(rest.substr(1, end - 1));
    const std::size_t semicolon = parameters.find(';');
    const int first = std::max(1, std::atoi(parameters.c_str()));
    int modifier = semicolon != std::string::npos  ? std::atoi(parameters.c_str() + semicolon + 1)
                   : rest[end] != '~' && first > 1 ? first  // the older "\e[5D"
                                                   : PLAIN;
    if (alt && modifier == PLAIN) modifier = ALT;
    return keyOf(rest[end], rest[end] != '~' && semicolon == std::string::npos ? 1 : first,
                 modifier);
}

}  // namespace

void Decoder::add(char byte, std::wstring& keys) {
    if (sequence.empty() && byte != '\x1b') return character(byte, keys);
    sequence += byte;
    if (expecting && byte == 'R' && sequence.size() >= 6 && sequence[1] == '[') {
        char* end = nullptr;
        const long reported = std::strtol(sequence.c_str() + 2, &end, 10);
        if (*end == ';' && std::isdigit(static_cast<unsigned char>(end[1])) && reported >= 1 &&
            std::strspn(end + 1, "0123456789") + 2 == std::strlen(end)) {
            row = reported - 1;
            expecting = false;
            sequence.clear();
            return;
        }
    }
    // ESC and a key other than a sequence's is that key with Alt, as the editor binds it.
    const std::size_t lead = sequence.size() > 2 && sequence[1] == '\x1b' ? 2 : 1;
    if (sequence.size() == lead + 1 && byte != '[' && byte != 'O' &&
        !(byte == '\x1b' && lead == 1)) {
        keys.append(sequence.begin(), sequence.end() - 1);
        sequence.clear();
        return add(byte, keys);
    }
    if (const wchar_t* translated = translate(sequence)) {
        keys += translated;
        sequence.clear();
    }
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
