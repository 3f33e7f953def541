#pragma once
// "Objekte der Zeichnung": what the drawing holds, as velunt-cli --inspect
// shows it: the object types with their counts (in ENTITIES and elsewhere)
// and the group codes of the master type's objects. Only shows; writes
// nothing.
#include <QDialog>

#include "engine/drawing_inventory.h"

class QTableWidget;

namespace velunt::ui {

class DrawingObjectsDialog : public QDialog {
    Q_OBJECT

public:
    // `drawing` is the caption the drawing was named by.
    DrawingObjectsDialog(const DrawingInventory& inventory, const QString& drawing,
                         QWidget* parent = nullptr);

    QTableWidget* const types;  // Objekttyp, Gesamt, in ENTITIES, anderswo
    QTableWidget* const codes;  // Code, Objekte, Bezeichnung, Hinweis, erster Wert
};

}  // namespace velunt::ui
