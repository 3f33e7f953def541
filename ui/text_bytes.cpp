#include "ui/text_bytes.h"

namespace velunt::ui {

QString TextFromBytes(std::string_view bytes, TextEncoding encoding) {
    const std::string utf8 = ToUtf8(bytes, encoding);
    return QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size()));
}

std::string BytesFromText(const QString& text, TextEncoding encoding) {
    const QByteArray utf8 = text.toUtf8();
    return FromUtf8(std::string_view(utf8.constData(), static_cast<size_t>(utf8.size())), encoding);
}

std::filesystem::path PathFromCaption(const QString& caption) {
    const QByteArray utf8 = caption.toUtf8();
    return PathFromBytes(std::string_view(utf8.constData(), static_cast<size_t>(utf8.size())),
                         TextEncoding::Utf8);
}

}  // namespace velunt::ui
