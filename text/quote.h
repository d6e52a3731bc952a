// Text from the command line or the file system, put into a message.
#pragma once

#include <string>

// `text` between single quotes, as GNU tools quote a name in a message, with
// every byte that a terminal could take as a command shown as an escape: the
// control characters as \a \b \t \n \v \f \r or as three octal digits (ESC as
// \033), and so are DEL, the C1 controls, every byte that is not part of
// valid UTF-8, and the bytes of the characters that reorder or break the line
// a terminal shows (U+202A to U+202E, U+2066 to U+2069, U+2028, U+2029: RLO
// as \342\200\256). A backslash is shown as \\ and a single quote as \', so that
// the quoted text tells apart any two texts. Printable ASCII and valid UTF-8
// characters stay as they are.
std::string quotedText(const std::string& text);

// A whole message made elsewhere (by a library, with names in it), with its
// bytes escaped as quotedText escapes them, except that line ends, single
// quotes and backslashes stay as they are; no quotes are added.
std::string escapedMessage(const std::string& text);
