#include "quote.h"

#include <cstddef>

namespace {

// The length of the valid UTF-8 sequence of a character from U+00A0 at
// `text[at]` (no overlong form, no surrogate, nothing beyond U+10FFFF), or 0.
// U+0080 to U+009F, the C1 controls, are left out on purpose.
size_t printableSequence(const std::string& text, size_t at) {
    const auto byte = [&](size_t i) { return static_cast<unsigned char>(text[i]); };
    const unsigned char lead = byte(at);
    size_t length = 0;
    unsigned long code = 0;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
        code = lead & 0x1Fu;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        code = lead & 0x0Fu;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        code = lead & 0x07u;
    } else {
        return 0;
    }
    if (text.size() - at < length) return 0;
    for (size_t i = 1; i < length; ++i) {
        if ((byte(at + i) & 0xC0u) != 0x80u) return 0;
        code = (code << 6) | (byte(at + i) & 0x3Fu);
    }
    constexpr unsigned long SMALLEST[] = {0, 0, 0xA0, 0x800, 0x10000};
    if (code < SMALLEST[length] || (code >= 0xD800 && code <= 0xDFFF) || code > 0x10FFFF) return 0;
    return length;
}

// Appends `text` to `out`, escaped; `quoting` escapes line ends, quotes and
// backslashes too.
void appendEscaped(std::string& out, const std::string& text, bool quoting) {
    static constexpr char NAMED[] = "abtnvfr";  // the escapes of bytes 7 to 13
    static_assert(sizeof NAMED - 1 == '\r' - '\a' + 1, "one letter for each of BEL to CR");
    for (size_t i = 0; i < text.size();) {
        const unsigned char c = static_cast<unsigned char>(text[i]);
        if (quoting && (c == '\\' || c == '\'')) {
            out += '\\';
            out += static_cast<char>(c);
            ++i;
        } else if ((c >= 0x20 && c < 0x7F) || (!quoting && c == '\n')) {
            out += static_cast<char>(c);
            ++i;
        } else if (c >= '\a' && c <= '\r') {
            out += '\\';
            out += NAMED[c - '\a'];
            ++i;
        } else if (const size_t length = c >= 0x80 ? printableSequence(text, i) : 0) {
            out.append(text, i, length);
            i += length;
        } else {
            out += '\\';
            out += static_cast<char>('0' + (c >> 6));
            out += static_cast<char>('0' + ((c >> 3) & 7));
            out += static_cast<char>('0' + (c & 7));
            ++i;
        }
    }
}

}  // namespace

std::string quotedText(const std::string& text) {
    std::string out = "'";
    appendEscaped(out, text, true);
    return out + "'";
}

std::string escapedMessage(const std::string& text) {
    std::string out;
    appendEscaped(out, text, false);
    return out;
}
