#include "command_line.h"

#include <cctype>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <type_traits>
#include <sys/types.h>

#include "quote.h"

namespace {

// An option of the toolkit: its full name and the fewest of its letters that
// name it.
struct ToolkitOption {
    const char* name;
    size_t fewest;
};

// The options without a value, then those with one, each list in the order
// in which the toolkit tries them (FLTK 1.3 and 1.4 alike): a word is the
// first option it matches.
constexpr ToolkitOption FLAG_OPTIONS[] = {
    {"iconic", 1}, {"kbd", 1}, {"nokbd", 3}, {"dnd", 2}, {"nodnd", 3}, {"tooltips", 2}, {"notooltips", 3},
};
enum class Value { GEOMETRY, DISPLAY, TITLE, CLASS, COLOUR, SCHEME };
struct ValueOption {
    ToolkitOption option;
    Value value;
};
constexpr ValueOption VALUE_OPTIONS[] = {
    {{"geometry", 1}, Value::GEOMETRY},  {{"display", 2}, Value::DISPLAY},
    {{"title", 2}, Value::TITLE},        {{"name", 2}, Value::CLASS},
    {{"bg2", 3}, Value::COLOUR},         {{"background2", 11}, Value::COLOUR},
    {{"bg", 2}, Value::COLOUR},          {{"background", 10}, Value::COLOUR},
    {{"fg", 2}, Value::COLOUR},          {{"foreground", 10}, Value::COLOUR},
    {{"scheme", 1}, Value::SCHEME},
};

// Whether `word` (after its dash) names `option`: all of it a beginning of
// the option's name, in small or capital letters, at least `fewest` letters.
bool names(const char* word, const ToolkitOption& option) {
    size_t length = 0;
    for (; word[length] != '\0'; ++length) {
        const char letter = option.name[length];
        if (letter == '\0') return false;
        const char given = word[length];
        if (given != letter && std::tolower(static_cast<unsigned char>(given)) != letter) return false;
    }
    return length >= option.fewest;
}

std::string tooLong(const std::string& what, size_t length, size_t longest) {
    return what + " is " + std::to_string(length) + " bytes long; the toolkit takes at most " +
           std::to_string(longest);
}

// Appends `value` written by the conversion `spec` (a printf conversion with
// no '*').
template <typename T>
void appendFormatted(std::string& out, const std::string& spec, T value) {
    const int length = std::snprintf(nullptr, 0, spec.c_str(), value);
    if (length <= 0) return;
    std::string text(static_cast<size_t>(length), '\0');
    std::snprintf(&text[0], text.size() + 1, spec.c_str(), value);
    out += text;
}

// Appends the next integer argument, signed or not, of the type that the
// length modifier `length` names, written by `spec`.
template <bool SIGNED>
void appendInteger(std::string& out, const std::string& spec, const std::string& length, va_list& rest) {
    using Int = std::conditional_t<SIGNED, int, unsigned>;
    using Long = std::conditional_t<SIGNED, long, unsigned long>;
    using LongLong = std::conditional_t<SIGNED, long long, unsigned long long>;
    using Max = std::conditional_t<SIGNED, intmax_t, uintmax_t>;
    using Size = std::conditional_t<SIGNED, ssize_t, size_t>;
    if (length == "l") appendFormatted(out, spec, va_arg(rest, Long));
    else if (length == "ll") appendFormatted(out, spec, va_arg(rest, LongLong));
    else if (length == "j") appendFormatted(out, spec, va_arg(rest, Max));
    else if (length == "z") appendFormatted(out, spec, va_arg(rest, Size));
    else if (length == "t") appendFormatted(out, spec, va_arg(rest, ptrdiff_t));
    else appendFormatted(out, spec, va_arg(rest, Int));
}

}  // namespace

std::string toolkitArgumentProblem(int argc, const char* const* argv) {
    const char* className = nullptr;
    const char* classOption = nullptr;
    for (int i = 1; i < argc;) {
        const char* word = argv[i];
        if (word == nullptr) {
            ++i;
            continue;
        }
        // A word that is no option ends the toolkit's options.
        if (word[0] != '-' || word[1] == '-' || word[1] == '\0') break;
        const char* option = word + 1;
        bool flag = false;
        for (const ToolkitOption& candidate : FLAG_OPTIONS) flag = flag || names(option, candidate);
        if (flag) {
            ++i;
            continue;
        }
        const ValueOption* named = nullptr;
        for (const ValueOption& candidate : VALUE_OPTIONS) {
            if (names(option, candidate.option)) {
                named = &candidate;
                break;
            }
        }
        // An option the toolkit does not know, or one without its value, ends
        // the toolkit's reading.
        if (named == nullptr || i + 1 >= argc || argv[i + 1] == nullptr) break;
        const char* value = argv[i + 1];
        if (named->value == Value::CLASS) {
            className = value;
            classOption = word;
        } else if (named->value == Value::DISPLAY && std::strlen(value) > LONGEST_DISPLAY_NAME) {
            return tooLong(std::string("the display name given to ") + word, std::strlen(value), LONGEST_DISPLAY_NAME);
        }
        i += 2;
    }
    if (className != nullptr) {
        if (std::strlen(className) > LONGEST_CLASS_NAME)
            return tooLong(std::string("the class name given to ") + classOption, std::strlen(className),
                           LONGEST_CLASS_NAME);
    } else if (argc > 0 && argv[0] != nullptr) {
        // Without -name the class is the program's file name.
        const char* slash = std::strrchr(argv[0], '/');
        const char* fileName = slash != nullptr ? slash + 1 : argv[0];
        if (std::strlen(fileName) > LONGEST_CLASS_NAME)
            return tooLong("the program's file name, the window's class name without -name,", std::strlen(fileName),
                           LONGEST_CLASS_NAME);
    }
    return "";
}

std::string toolkitMessage(const char* format, va_list arguments) {
    std::string out;
    va_list rest;
    va_copy(rest, arguments);
    for (const char* at = format; *at != '\0';) {
        if (*at != '%') {
            const char* end = std::strchr(at, '%');
            if (end == nullptr) end = at + std::strlen(at);
            out += escapedMessage(std::string(at, end));
            at = end;
            continue;
        }
        // %[flags][width][.precision][length]conversion; a '*' is replaced by
        // its argument's digits.
        std::string spec(1, *at++);
        const size_t flags = std::strspn(at, "-+ #0'");
        spec.append(at, flags);
        at += flags;
        long precision = -1;
        const auto number = [&](bool isPrecision) {
            if (*at == '*') {
                ++at;
                const int given = va_arg(rest, int);
                // A negative precision is as if none were given.
                if (isPrecision && given < 0) {
                    spec.pop_back();
                    return;
                }
                if (isPrecision) precision = given;
                spec += std::to_string(given);
            } else {
                const char* digits = at;
                while (std::isdigit(static_cast<unsigned char>(*at))) ++at;
                spec.append(digits, at);
                if (isPrecision) precision = std::strtol(digits, nullptr, 10);
            }
        };
        number(false);
        if (*at == '.') {
            spec += *at++;
            number(true);
        }
        const char* lengthStart = at;
        at += std::strspn(at, "hljztL");
        const std::string length(lengthStart, at);
        spec += length;
        const char conversion = *at;
        if (conversion == '\0') break;
        spec += *at++;
        if (conversion == '%') {
            out += '%';
        } else if (conversion == 's') {
            const char* text = va_arg(rest, const char*);
            if (text == nullptr) text = "(null)";
            const size_t bytes = precision >= 0 ? strnlen(text, static_cast<size_t>(precision)) : std::strlen(text);
            out += escapedLine(std::string(text, bytes));
        } else if (conversion == 'c') {
            out += escapedLine(std::string(1, static_cast<char>(va_arg(rest, int))));
        } else if (std::strchr("di", conversion) != nullptr) {
            appendInteger<true>(out, spec, length, rest);
        } else if (std::strchr("ouxX", conversion) != nullptr) {
            appendInteger<false>(out, spec, length, rest);
        } else if (std::strchr("eEfFgGaA", conversion) != nullptr) {
            if (length == "L") appendFormatted(out, spec, va_arg(rest, long double));
            else appendFormatted(out, spec, va_arg(rest, double));
        } else if (conversion == 'p') {
            appendFormatted(out, spec, va_arg(rest, void*));
        } else if (conversion == 'n') {
            // Writes nothing; its pointer is passed over.
            (void)va_arg(rest, void*);
        } else {
            // No conversion of printf's: shown as written, and nothing after
            // it is read, since its argument's type is unknown.
            out += escapedMessage(spec + at);
            break;
        }
    }
    va_end(rest);
    return out;
}

std::string prefixedLines(const std::string& program, const std::string& text) {
    std::string out;
    size_t start = 0;
    while (start < text.size() || start == 0) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        out += program + ": " + text.substr(start, end - start) + "\n";
        start = end + 1;
    }
    return out;
}
