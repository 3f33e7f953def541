#pragma once
// Where the core's bytes meet the window's Unicode text. The core keeps the
// text of velunt.ini as bytes in the file's encoding (UTF-8 or
// Windows-1252, decided once per file); the window shows them decoded and
// turns what the user typed back into bytes the same way.
#include <QString>
#include <filesystem>
#include <string>
#include <string_view>

#include "base/text_encoding.h"

namespace velunt::ui {

// `bytes` in `encoding` as window text.
QString TextFromBytes(std::string_view bytes, TextEncoding encoding);

// Window text as bytes in `encoding`; characters Windows-1252 cannot hold
// become "?".
std::string BytesFromText(const QString& text, TextEncoding encoding);

// The file a label's caption names. The caption already holds the decoded
// path (from velunt.ini, a dialog or a drop), so it goes to the core's path
// function as UTF-8 and never through Windows-1252 again.
std::filesystem::path PathFromCaption(const QString& caption);

}  // namespace velunt::ui
