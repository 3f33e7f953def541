#include "ui/window_platform.h"

#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>
#include <QPushButton>

namespace velunt::ui {

QString DesktopPlatform::chooseFile(QWidget* parent, const FileDialogRequest& request) {
    const bool isSave = request.kind == FileDialogRequest::Kind::Save;
    QFileDialog dialog(parent, request.title, request.folder);
    dialog.setAcceptMode(isSave ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    // Any name in an existing folder: the input dialog accepts a file that does
    // not exist yet, and the run reports it.
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setOption(QFileDialog::DontConfirmOverwrite, true);
    dialog.setNameFilters(request.filters);
    dialog.selectNameFilter(request.selectedFilter);
    if (!request.proposedName.isEmpty()) dialog.selectFile(request.proposedName);

    // Qt's own dialog accepts a name in a folder that does not exist; ask
    // again until the folder exists or the user cancels.
    while (dialog.exec() == QDialog::Accepted) {
        const QStringList chosen = dialog.selectedFiles();
        if (chosen.isEmpty() || chosen.first().isEmpty()) return {};
        const QFileInfo file(chosen.first());
        if (QFileInfo(file.absolutePath()).isDir()) return QDir::toNativeSeparators(chosen.first());
        QMessageBox::warning(&dialog, request.title,
                             QStringLiteral("Der Ordner \"%1\" existiert nicht.")
                                 .arg(QDir::toNativeSeparators(file.absolutePath())));
    }
    return {};
}

bool DesktopPlatform::confirm(QWidget* parent, const QString& question) {
    QMessageBox box(QMessageBox::Question, QStringLiteral("VELUNT"), question,
                    QMessageBox::NoButton, parent);
    box.setTextFormat(Qt::PlainText);
    // German answers whether or not Qt's translations are installed.
    QPushButton* yes = box.addButton(QStringLiteral("Ja"), QMessageBox::YesRole);
    QPushButton* no = box.addButton(QStringLiteral("Nein"), QMessageBox::NoRole);
    box.setDefaultButton(no);
    box.setEscapeButton(no);
    box.exec();
    return box.clickedButton() == yes;
}

void DesktopPlatform::beep() { QApplication::beep(); }

}  // namespace velunt::ui
