// The keys a terminal sends, turned into the keys the line editor is bound to: characters
// of the terminal's encoding, bytes that begin none kept as bytes, and the escape sequences
// of the common terminals (xterm, tmux and screen, rxvt, the Linux console) read whole.
#pragma once

#include <climits>
#include <cstddef>
#include <cwchar>
#include <string>
#include <string_view>

namespace VELD::keys {

// The key that stands for a byte that begins no character of the encoding (any byte above
// 127 in the C locale): the editor shows it as an escape, and it becomes the byte again.
constexpr wchar_t RAW = 0xDC00;

// Bytes to keys, one byte at a time.
class Decoder {
public:
    // Appends the keys that `byte` completes to `keys`: an escape sequence is taken whole.
    void add(char byte, std::wstring& keys);
    // The same for a byte of text, where ESC is a character like any other.
    void character(char byte, std::wstring& keys);
    // Forgets a sequence begun, and gives the bytes of a character begun and not finished as keys
    // of their own.
    void flush(std::wstring& keys);
    // A report of the cursor's place ("\e[row;columnR"), once asked for, is taken as no key
    // and its row kept: from 0, or -1 while none has come. A report comes as Shift-F3 does on
    // some terminals, so only the one asked for is taken; any other does nothing, as before.
    void expectReport(bool expected) { expecting = expected; }
    bool expectingReport() const { return expecting; }
    long reportedRow() const { return row; }

private:
    bool expecting = false;
    long row = -1;
    std::mbstate_t state{};
    char partial[MB_LEN_MAX]{};  // the bytes of a character begun
    std::size_t held = 0;
    std::string sequence;  // an escape sequence begun
};

// The keys of `bytes`, and the bytes of `keys`: each the other's inverse.
std::wstring decode(std::string_view bytes);
std::string encode(std::wstring_view keys);

}  // namespace VELD::keys
