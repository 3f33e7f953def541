#include "ui/drawing_objects_dialog.h"

#include <QDialogButtonBox>
#include <QHeaderView>
#include <QLabel>
#include <QTableWidget>
#include <QVBoxLayout>

#include "base/text_encoding.h"
#include "engine/group_code_names.h"

namespace velunt::ui {
namespace {

// Drawing bytes as text: UTF-8 when they are, else Windows-1252.
QString drawingText(const std::string& bytes) {
    const TextEncoding encoding =
        IsValidUtf8(bytes) ? TextEncoding::Utf8 : TextEncoding::Windows1252;
    return QString::fromStdString(ToUtf8(bytes, encoding));
}

QTableWidget* table(const char* name, const QStringList& headings, int rows, QWidget* parent) {
    auto* control = new QTableWidget(rows, static_cast<int>(headings.size()), parent);
    control->setObjectName(QString::fromLatin1(name));
    control->setHorizontalHeaderLabels(headings);
    control->verticalHeader()->hide();
    control->verticalHeader()->setDefaultSectionSize(control->fontMetrics().height() + 6);
    control->setEditTriggers(QAbstractItemView::NoEditTriggers);
    control->setSelectionBehavior(QAbstractItemView::SelectRows);
    return control;
}

void setCell(QTableWidget* table, int row, int column, const QString& text, bool isNumber) {
    auto* item = new QTableWidgetItem(text);
    if (isNumber) item->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
    table->setItem(row, column, item);
}

QLabel* label(const QString& text, QWidget* parent) {
    auto* control = new QLabel(parent);
    control->setTextFormat(Qt::PlainText);
    control->setWordWrap(true);
    control->setText(text);
    return control;
}

}  // namespace

DrawingObjectsDialog::DrawingObjectsDialog(const DrawingInventory& inventory,
                                           const QString& drawing, QWidget* parent)
    : QDialog(parent),
      types(table("types", {"Objekttyp", "Gesamt", "in ENTITIES", "anderswo"},
                  static_cast<int>(inventory.types.size()), this)),
      codes(table("codes", {"Code", "Objekte", "Bezeichnung", "Hinweis", "erster Wert"},
                  static_cast<int>(inventory.codes.size()), this)) {
    setObjectName(QStringLiteral("DrawingObjectsDialog"));
    setWindowTitle(QStringLiteral("Objekte der Zeichnung"));
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(label(drawing, this));

    for (int row = 0; row < types->rowCount(); ++row) {
        const TypeCount& t = inventory.types[static_cast<size_t>(row)];
        setCell(types, row, 0, drawingText(t.type), false);
        setCell(types, row, 1, QString::number(t.total()), true);
        setCell(types, row, 2, QString::number(t.inEntities), true);
        setCell(types, row, 3, QString::number(t.elsewhere), true);
    }
    types->resizeColumnsToContents();
    layout->addWidget(types);

    const QString master = drawingText(inventory.masterType);
    if (inventory.masterType.empty()) {
        codes->hide();
    } else if (inventory.masterObjects == 0) {
        layout->addWidget(label(
            QStringLiteral("Die Zeichnung enthält kein Objekt vom Typ „%1“.").arg(master), this));
        codes->hide();
    } else {
        layout->addWidget(label(QStringLiteral("Gruppencodes der %1 %2-Objekte, in der üblichen "
                                               "Reihenfolge:")
                                    .arg(inventory.masterObjects)
                                    .arg(master),
                                this));
    }
    for (int row = 0; row < codes->rowCount(); ++row) {
        const CodeCount& c = inventory.codes[static_cast<size_t>(row)];
        setCell(codes, row, 0, QString::number(c.code), true);
        setCell(codes, row, 1, QString::number(c.objects), true);
        setCell(codes, row, 2, QString::fromStdString(GroupCodeDescription(c.code)), false);
        setCell(codes, row, 3, QString::fromStdString(CodeRemark(c, inventory.masterObjects)),
                false);
        setCell(codes, row, 4, drawingText(c.firstValue), false);
    }
    codes->resizeColumnsToContents();
    codes->horizontalHeader()->setStretchLastSection(true);
    layout->addWidget(codes);
    if (codes->rowCount() > 0)
        layout->addWidget(label(QStringLiteral("* nicht in jedem Objekt: in [Spalten] vor anderen "
                                               "Codes aufgeführt, leert er in den "
                                               "Objekten ohne ihn die Felder danach. mehrfach: ein "
                                               "Schlüssel nimmt den ersten Wert."),
                                this));

    auto* buttons = new QDialogButtonBox(this);
    buttons->addButton(QStringLiteral("Schließen"), QDialogButtonBox::RejectRole);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(buttons);
    resize(560, 600);
}

}  // namespace velunt::ui
