// The window's command line and what the window says on standard error: the
// toolkit's options checked, before the toolkit reads them, for values that it
// would copy into buffers too small for them; and every message, the
// toolkit's included, as lines that each start with the program's name.
// Nothing here needs the toolkit.
#pragma once

#include <cstdarg>
#include <cstddef>
#include <string>

// The toolkit's X11 code (FLTK 1.3, and 1.4's X11 window driver) copies the
// window's class name twice, each copy with its terminating zero, into a
// buffer of 1,024 bytes on the stack when it creates the window: a class name
// of 512 bytes or more overwrites the stack.
constexpr size_t TOOLKIT_CLASS_BUFFER = 1024;
constexpr size_t LONGEST_CLASS_NAME = TOOLKIT_CLASS_BUFFER / 2 - 1;
static_assert(2 * (LONGEST_CLASS_NAME + 1) <= TOOLKIT_CLASS_BUFFER, "both copies fit");
static_assert(2 * (LONGEST_CLASS_NAME + 2) > TOOLKIT_CLASS_BUFFER, "one byte more does not");

// FLTK 1.3 writes "DISPLAY=", the display name and, for a name without a
// colon, ":0.0" into a buffer of 1,024 bytes and silently cuts off what does
// not fit: a longer name would name another display than the one given.
constexpr size_t TOOLKIT_DISPLAY_BUFFER = 1024;
constexpr size_t LONGEST_DISPLAY_NAME =
    TOOLKIT_DISPLAY_BUFFER - 1 - (sizeof "DISPLAY=" - 1) - (sizeof ":0.0" - 1);

// Reads argv as the toolkit's option parser does (its options may be
// shortened and written in capitals: -na, -NAME), and says in a sentence why
// the toolkit cannot be given them: the window's class name (the last -name's
// value, else the program's file name from argv[0]) longer than
// LONGEST_CLASS_NAME bytes, or a -display value longer than
// LONGEST_DISPLAY_NAME. Empty when the toolkit can be given them. Like the
// toolkit it stops at the first word that is no option of the toolkit's; it
// reads on past a -geometry value that is no geometry, where the toolkit
// stops, so it may refuse a value that the toolkit would have left unread.
std::string toolkitArgumentProblem(int argc, const char* const* argv);

// A message of the toolkit: `format` with its arguments, as vsnprintf writes
// them, except that every string (%s) and character (%c) argument has its
// control characters shown as escapes (escapedMessage's), its line ends as \n
// too, so that an argument cannot end the message's line. The line ends of
// `format` itself stay. Width and precision apply to numbers; a string's
// precision limits the bytes read from it, its width is not applied.
std::string toolkitMessage(const char* format, va_list arguments);

// `text` as lines of standard error that each start with "`program`: ", one
// for each of its lines; a line end at its very end adds no empty line.
std::string prefixedLines(const std::string& program, const std::string& text);
