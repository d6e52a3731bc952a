#include "quote.h"

#include <cstddef>

namespace {

// Characters that are valid and printable, yet make a terminal show a line
// other than it is: the line and paragraph separators (U+2028, U+2029) break
// it, the bidirectional embeddings and overrides (U+202A to U+202E) and
// isolates (U+2066 to U+2069) reorder what follows them.
struct CharacterRun {
    unsigned long first, last;
};
constexpr CharacterRun MISLEADING[] = {{0x2028, 0x202E}, {0x2066, 0x2069}};

constexpr bool misleadingRunsAreThoseEleven() {
    unsigned long count = 0;
    for (const CharacterRun& run : MISLEADING) {
        if (run.first < 0x800 || run.last > 0xFFFF || run.last < run.first) return false;  // three bytes each
        count += run.last - run.first + 1;
    }
    return count == 2 + 5 + 4;
}
static_assert(misleadingRunsAreThoseEleven(), "the separators, embeddings, overrides and isolates, in three bytes each");

bool misleading(unsigned long code) {
    for (const CharacterRun& run : MISLEADING)
        if (code >= run.first && code <= run.last) return true;
    return false;
}

// The length of the valid UTF-8 sequence of a character from U+00A0 at
// `text[at]` (no overlong form, no surrogate, nothing beyond U+10FFFF), or 0.
// U+0080 to U+009F, the C1 controls, are left out on purpose, and so are the
// misleading characters above.
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
    if (code < SMALLEST[length] || (code >= 0xD800 && code <= 0xDFFF) || code > 0x10FFFF || misleading(code)) return 0;
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
