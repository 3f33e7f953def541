#include "ui/path_label.h"

#include <QPainter>
#include <QRegularExpression>
#include <QStyle>

namespace velunt::ui {

QString ElidedPath(const QString& path, const QFontMetrics& metrics, int width) {
    if (metrics.horizontalAdvance(path) <= width) return path;
    static const QRegularExpression kSeparator(QStringLiteral("[/\\\\]"));
    // The parts with the separator before each, so that joining them gives
    // the path back; "/home/a" is "", "/home", "/a".
    QStringList parts;
    qsizetype start = 0;
    for (qsizetype at = path.indexOf(kSeparator, 1); at >= 0;
         at = path.indexOf(kSeparator, at + 1)) {
        parts << path.mid(start, at - start);
        start = at;
    }
    parts << path.mid(start);
    const QString ellipsis = QStringLiteral("…");
    if (parts.size() >= 3) {
        // The first part, then the longest tail of parts that fits.
        QString best;
        QString tail;
        for (qsizetype i = parts.size() - 1; i >= 1; --i) {
            tail.prepend(parts[i]);
            const QString candidate = parts.front() + parts[i].left(1) + ellipsis + tail;
            if (metrics.horizontalAdvance(candidate) > width) break;
            best = candidate;
        }
        if (!best.isEmpty()) return best;
    }
    return metrics.elidedText(path, Qt::ElideMiddle, width);
}

void PathLabel::setPath(const QString& path) {
    setText(path);
    const bool fits = fontMetrics().horizontalAdvance(path) <= contentsRect().width();
    setToolTip(fits ? QString() : path);
}

void PathLabel::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    const QRect area = contentsRect();
    style()->drawItemText(&painter, area, static_cast<int>(alignment()), palette(), isEnabled(),
                          ElidedPath(text(), fontMetrics(), area.width()), foregroundRole());
}

}  // namespace velunt::ui
