#pragma once
// The look of Form1 that is not layout: the fonts, the icon and the mapping
// of the layout's twips to pixels.
#include <QFont>
#include <QIcon>
#include <QPixmap>
#include <QProxyStyle>

namespace velunt::ui {

// The layout is given in twips; 15 twips are one pixel at 96 dpi. Qt scales
// the pixels on screens of other densities.
constexpr int Px(int twips) { return twips / 15; }

// 8 pt sans serif of Arial/Helvetica width, for which the control sizes were
// made: "Liberation Sans" or a metric twin, else the platform's sans serif.
QFont WindowFont();

// The column list's font: "Courier" 9.75 pt, or another fixed-pitch font
// where that is missing.
QFont List1Font();

// The platform's style with at most 4 px between a check box and its
// caption. The check boxes were sized for that gap; Fusion's 6 px would cut
// off the last character of "Dezimalzeichen:".
class CompactCheckBoxStyle : public QProxyStyle {
public:
    int pixelMetric(PixelMetric metric, const QStyleOption* option = nullptr,
                    const QWidget* widget = nullptr) const override;
};

// The window's icon: a small sheet turned into a table. Drawn at 16 px, the
// size the title bar uses, and larger for task switchers.
QPixmap DrawIcon(int size);
QIcon WindowIcon();

}  // namespace velunt::ui
