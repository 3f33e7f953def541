#pragma once
// What the window tests share: a scripted desktop (file dialogs answered
// from a queue, beeps counted), a watcher that answers modal boxes the way a
// user would, and a temporary folder holding a velunt.ini and a drawing.
#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>
#include <QTimer>
#include <deque>
#include <functional>
#include <string>
#include <vector>

#include "test_files.h"
#include "ui/form1.h"
#include "ui/window_platform.h"

namespace velunt::ui::testing {

using velunt::testing::ReadFile;
using velunt::testing::TempDir;
using velunt::testing::WriteFile;

class ScriptedPlatform : public WindowPlatform {
public:
    std::deque<QString> answers;  // what the next dialogs return; "" is Cancel
    std::vector<FileDialogRequest> requests;
    int beeps = 0;

    QString chooseFile(QWidget*, const FileDialogRequest& request) override {
        requests.push_back(request);
        if (answers.empty()) return {};
        QString answer = answers.front();
        answers.pop_front();
        return answer;
    }
    std::deque<bool> confirmations;  // the answers to the next questions; none left: "Nein"
    std::vector<QString> questions;
    bool confirm(QWidget*, const QString& question) override {
        questions.push_back(question);
        if (confirmations.empty()) return false;
        const bool answer = confirmations.front();
        confirmations.pop_front();
        return answer;
    }
    void beep() override { ++beeps; }
};

// Each modal window that opens while the watcher lives is handed to
// `handle`, once, from the modal window's own event loop.
class ModalWatcher {
public:
    explicit ModalWatcher(std::function<void(QWidget*)> handle) : m_handle(std::move(handle)) {
        QObject::connect(&m_timer, &QTimer::timeout, [this] {
            QWidget* modal = QApplication::activeModalWidget();
            if (!modal || modal == m_last) return;
            m_last = modal;
            m_handle(modal);
        });
        m_timer.start(5);
    }

private:
    std::function<void(QWidget*)> m_handle;
    QTimer m_timer;
    QWidget* m_last = nullptr;
};

// What a message box showed when it came up.
struct SeenBox {
    QString title;
    QString text;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    int buttonCount = 0;
    bool hasOk = false;
    int beepsBefore = 0;  // beeps counted when the box appeared
    Qt::CursorShape formCursor = Qt::BlankCursor;
};

// Records every message box and presses its OK button.
class MessageBoxAnswerer {
public:
    explicit MessageBoxAnswerer(const ScriptedPlatform* platform = nullptr,
                                const QWidget* form = nullptr)
        : m_watcher([this, platform, form](QWidget* modal) {
              auto* box = qobject_cast<QMessageBox*>(modal);
              if (!box) return;
              SeenBox seen;
              seen.title = box->windowTitle();
              seen.text = box->text();
              seen.icon = box->icon();
              seen.buttonCount = static_cast<int>(box->buttons().size());
              seen.hasOk = box->button(QMessageBox::Ok) != nullptr;
              if (platform) seen.beepsBefore = platform->beeps;
              if (form) seen.formCursor = form->cursor().shape();
              boxes.push_back(seen);
              if (QAbstractButton* ok = box->button(QMessageBox::Ok))
                  ok->click();
              else
                  box->reject();
          }) {}

    std::vector<SeenBox> boxes;

private:
    ModalWatcher m_watcher;
};

// A folder with a velunt.ini and a small drawing of two TEXT objects.
class Workspace {
public:
    static constexpr const char* kIni =
        "dxfpath=in.dxf\r\ntxtpath=out.txt\r\nmasterkey=TEXT\r\ntrennzeich=;\r\ndezzeich=,\r\n"
        "[Spalten]\r\n 10|1|RW\r\n 20|2|HW\r\n  1|3|Text\r\n\r\n";
    static constexpr const char* kDrawing =
        "  0\r\nSECTION\r\n  2\r\nENTITIES\r\n"
        "  0\r\nTEXT\r\n 10\r\n4412345.5\r\n 20\r\n5712345.25\r\n  1\r\n%%c12\r\n"
        "  0\r\nLINE\r\n 10\r\n1.0\r\n 20\r\n2.0\r\n"
        "  0\r\nTEXT\r\n 10\r\n4412350.75\r\n 20\r\n5712340.0\r\n  1\r\nB\r\n"
        "  0\r\nENDSEC\r\n  0\r\nEOF\r\n";
    // What a run with the initial options writes (counter column, "%%c" -> "0").
    static constexpr const char* kTable =
        "RW;HW;Text;Index\r\n4412345.5;5712345.25;012;1\r\n4412350.75;5712340.0;B;2\r\n";

    Workspace() {
        WriteFile(path("velunt.ini"), kIni);
        WriteFile(path("in.dxf"), kDrawing);
    }
    std::filesystem::path path(const std::string& name) const { return m_dir / name; }
    QString qpath(const std::string& name) const {
        return QString::fromStdU16String(path(name).u16string());
    }

private:
    TempDir m_dir;
};

}  // namespace velunt::ui::testing
