#pragma once
// The core keeps the 8-bit text of velunt.ini and of the drawing as bytes.
// These helpers are for the places where bytes meet the outside world: the
// file system (paths) and the window (Unicode strings). A velunt.ini that
// starts with a UTF-16 byte-order mark is converted to UTF-8 first; one
// without is read as UTF-8 when the whole file is valid UTF-8, else as
// Windows-1252.
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace velunt {

enum class TextEncoding { Utf8, Windows1252 };

// True when `bytes` is well-formed UTF-8 (no overlong forms, no surrogates).
bool IsValidUtf8(std::string_view bytes);

// UTF-16 text (without its byte-order mark) as UTF-8; nullopt when it
// cannot be UTF-16: an odd number of bytes or a surrogate without its pair.
std::optional<std::string> Utf16ToUtf8(std::string_view bytes, bool bigEndian);

// `bytes` in `encoding` as UTF-8.
std::string ToUtf8(std::string_view bytes, TextEncoding encoding);

// UTF-8 text back into `encoding`; characters Windows-1252 cannot hold
// become "?".
std::string FromUtf8(std::string_view utf8, TextEncoding encoding);

// Appends `bytes`, meant as UTF-8, to `out`; each byte that does not
// decode becomes U+FFFD.
void AppendRepairedUtf8(std::string_view bytes, std::string& out);

// Replaces each "\U+XXXX" (four hex digits) in the UTF-8 text `utf8` by its
// character, a surrogate pair written as two such escapes by one character;
// a lone surrogate becomes U+FFFD. Other backslashes stay as they are.
void ReplaceUnicodeEscapes(std::string& utf8);

// The file-system path that the bytes of a path in `encoding` name. Both
// front ends open every file named in velunt.ini or a caption through this.
std::filesystem::path PathFromBytes(std::string_view bytes, TextEncoding encoding);

}  // namespace velunt
