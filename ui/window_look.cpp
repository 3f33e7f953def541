#include "ui/window_look.h"

#include <QPainter>
#include <algorithm>

namespace velunt::ui {

QFont WindowFont() {
    QFont font;
    font.setFamilies(
        {"Liberation Sans", "Arial", "Helvetica", "Nimbus Sans", "Nimbus Sans L", "Arimo"});
    font.setStyleHint(QFont::SansSerif);
    font.setPointSize(8);
    return font;
}

QFont List1Font() {
    QFont font;
    // Liberation Mono and its kin share the widths of Courier New.
    font.setFamilies({"Courier", "Courier New", "Liberation Mono", "Nimbus Mono PS", "Cousine"});
    font.setStyleHint(QFont::TypeWriter);
    font.setFixedPitch(true);
    font.setPointSizeF(9.75);
    font.setWeight(QFont::Normal);
    font.setItalic(false);
    font.setUnderline(false);
    font.setStrikeOut(false);
    return font;
}

int CompactCheckBoxStyle::pixelMetric(PixelMetric metric, const QStyleOption* option,
                                      const QWidget* widget) const {
    const int value = QProxyStyle::pixelMetric(metric, option, widget);
    return metric == PM_CheckBoxLabelSpacing ? std::min(value, 4) : value;
}

QPixmap DrawIcon(int size) {
    QPixmap pixmap(size, size);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.scale(size / 16.0, size / 16.0);

    // A drawing sheet with a folded corner ...
    const QColor ink(40, 52, 70);
    painter.setPen(Qt::NoPen);
    painter.setBrush(Qt::white);
    painter.drawPolygon(
        QPolygonF({{1.5, 0.5}, {11.5, 0.5}, {14.5, 3.5}, {14.5, 15.5}, {1.5, 15.5}}));
    painter.setBrush(QColor(200, 208, 220));
    painter.drawPolygon(QPolygonF({{11.5, 0.5}, {11.5, 3.5}, {14.5, 3.5}}));
    painter.setBrush(Qt::NoBrush);
    painter.setPen(QPen(ink, 1.0));
    painter.drawPolygon(
        QPolygonF({{1.5, 0.5}, {11.5, 0.5}, {14.5, 3.5}, {14.5, 15.5}, {1.5, 15.5}}));

    // ... holding a table: a coloured header row and three rows of fields.
    painter.fillRect(QRectF(3, 5, 10, 2), QColor(30, 110, 200));
    painter.setPen(QPen(QColor(90, 100, 115), 1.0));
    for (double y : {8.5, 10.5, 12.5}) {
        painter.drawLine(QPointF(3, y), QPointF(5, y));
        painter.drawLine(QPointF(7, y), QPointF(13, y));
    }
    // A surveyed point, where each line of the table comes from.
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(QColor(210, 60, 40), 1.2));
    painter.drawEllipse(QPointF(5, 2.6), 1.6, 1.6);
    return pixmap;
}

QIcon WindowIcon() {
    QIcon icon;
    for (int size : {16, 32, 48}) icon.addPixmap(DrawIcon(size));
    return icon;
}

}  // namespace velunt::ui
