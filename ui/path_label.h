#pragma once
// Label2 and Label4: a path in a label of fixed width. A path too long for
// the label shows its beginning and its file name with the middle elided
// ("/home/…/Vermessung/plan.dxf"); text() stays the whole path, which is
// what a run takes.
#include <QFontMetrics>
#include <QLabel>
#include <QString>

namespace velunt::ui {

// `path` as it fits into `width` pixels of `metrics`: unchanged when it
// fits, else its first part, "…" and as many of its last parts as fit; when
// not even the file name fits, the middle of the whole text is elided.
QString ElidedPath(const QString& path, const QFontMetrics& metrics, int width);

class PathLabel : public QLabel {
public:
    using QLabel::QLabel;

    // Shows `path`; the whole path becomes the tooltip when it does not fit,
    // else there is none.
    void setPath(const QString& path);

protected:
    void paintEvent(QPaintEvent* event) override;
};

}  // namespace velunt::ui
