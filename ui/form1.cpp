#include "ui/form1.h"

#include <QAction>
#include <QCheckBox>
#include <QCloseEvent>
#include <QDir>
#include <QFileInfo>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMimeData>
#include <QPushButton>
#include <QScopeGuard>
#include <QUrl>
#include <exception>
#include <optional>
#include <string>

#include "engine/drawing_inventory.h"
#include "engine/extraction_run.h"
#include "engine/run_warnings.h"
#include "ui/drawing_objects_dialog.h"
#include "ui/error_box.h"
#include "ui/path_label.h"
#include "ui/run_progress.h"
#include "ui/text_bytes.h"
#include "ui/window_look.h"
#include "ui/window_platform.h"

namespace velunt::ui {
namespace {

template <typename Control>
Control* named(const char* name, QWidget* parent) {
    auto* control = new Control(parent);
    control->setObjectName(QString::fromLatin1(name));
    return control;
}

template <typename Label = QLabel>
Label* label(const char* name, const char* caption, QWidget* parent) {
    Label* control = named<Label>(name, parent);
    // Captions are shown as they are: a path is never markup, and "&" is no
    // access key.
    control->setTextFormat(Qt::PlainText);
    control->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    control->setText(QString::fromUtf8(caption));
    return control;
}

QPushButton* button(const char* name, const char* caption, QWidget* parent) {
    QPushButton* control = named<QPushButton>(name, parent);
    control->setText(QString::fromUtf8(caption));
    // Neither Enter nor Esc presses a button of this window.
    control->setAutoDefault(false);
    control->setDefault(false);
    return control;
}

QCheckBox* checkBox(const char* name, const char* caption, bool isTicked, QWidget* parent) {
    QCheckBox* control = named<QCheckBox>(name, parent);
    control->setText(QString::fromUtf8(caption));
    control->setChecked(isTicked);
    return control;
}

QLineEdit* textBox(const char* name, const char* text, bool isEnabled, QWidget* parent) {
    QLineEdit* control = named<QLineEdit>(name, parent);
    control->setText(QString::fromUtf8(text));
    control->setCursorPosition(0);
    control->setEnabled(isEnabled);
    return control;
}

// The file dialog for `caption`: it starts in the caption's folder (the
// working directory when there is none or it does not exist) and proposes
// the caption's file name.
FileDialogRequest dialogRequest(const QString& caption, bool forSaving) {
    FileDialogRequest request;
    request.kind = forSaving ? FileDialogRequest::Kind::Save : FileDialogRequest::Kind::Open;
    request.title =
        forSaving ? QStringLiteral("Ausgabe-Datei wählen") : QStringLiteral("DXF-Datei wählen");
    const QString database =
        forSaving ? QStringLiteral("Datenbank (*.txt)") : QStringLiteral("Datenbank (*.dxf)");
    request.filters = {QStringLiteral("Alle Dateien (*.*)"), database};
    request.selectedFilter = database;
    request.folder = QDir::currentPath();
    if (!caption.isEmpty()) {
        const QFileInfo file(caption);
        request.proposedName = file.fileName();
        if (QFileInfo(file.absolutePath()).isDir()) request.folder = file.absolutePath();
    }
    return request;
}

// The path of the one local file that `mime` carries, or "" when it carries
// anything else: several files, a folder, text, a remote address.
QString droppedFile(const QMimeData* mime) {
    if (!mime || !mime->hasUrls()) return {};
    const QList<QUrl> urls = mime->urls();
    if (urls.size() != 1 || !urls.front().isLocalFile()) return {};
    const QString path = urls.front().toLocalFile();
    return QFileInfo(path).isFile() ? QDir::toNativeSeparators(path) : QString();
}

}  // namespace

Form1::Form1(WindowPlatform& platform, QWidget* parent)
    : QWidget(parent),
      Command1(button("Command1", "DXF wählen", this)),
      Label2(label<PathLabel>("Label2", "", this)),
      Command2(button("Command2", "TXT wählen", this)),
      Label4(label<PathLabel>("Label4", "", this)),
      Line1(named<QFrame>("Line1", this)),
      Label5(label("Label5", "Aufbau der Ausgabedatei:", this)),
      Label6(label("Label6", "Objekt:", this)),
      Label7(label("Label7", "", this)),
      List1(named<QListWidget>("List1", this)),
      Text2(textBox("Text2", "", true, this)),
      Label9(label("Label9", "Trennzeichen:", this)),
      Text1(textBox("Text1", "", false, this)),
      Check2(checkBox("Check2", "Dezimalzeichen:", kStartReplaceDecimalPoint, this)),
      Check4(checkBox("Check4", "Zähler hinzufügen", kStartCounter, this)),
      Check3(checkBox("Check3", "Verschiebung", kStartShift, this)),
      Text3(textBox("Text3", kStartRw, kStartShift, this)),
      Label1(label("Label1", "RW = ", this)),
      Text4(textBox("Text4", kStartHw, kStartShift, this)),
      Label3(label("Label3", "HW = ", this)),
      Command3(button("Command3", "Auslesen", this)),
      Command4(button("Command4", "Ende", this)),
      Check1(checkBox("Check1", "%%c durch \"0\" ersetzen", kStartPercentC, this)),
      m_platform(platform) {
    setObjectName(QStringLiteral("Form1"));
    setWindowTitle(QStringLiteral("VELUNT"));
    setWindowIcon(WindowIcon());
    // A fixed border: only the close button, no maximize or minimize.
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint |
                   Qt::MSWindowsFixedSizeDialogHint);
    setFixedSize(Px(5790), Px(4260));
    setFont(WindowFont());

    Line1->setFrameShape(QFrame::HLine);
    Line1->setFrameShadow(QFrame::Plain);
    Line1->setLineWidth(1);

    List1->setFont(List1Font());
    List1->setSortingEnabled(false);
    List1->setEditTriggers(QAbstractItemView::NoEditTriggers);
    List1->setSelectionMode(QAbstractItemView::SingleSelection);
    // Long column lines are cut off at the right edge, not scrolled or elided.
    List1->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    List1->setTextElideMode(Qt::ElideNone);
    List1->setWordWrap(false);

    // A widget's style is not inherited by its children: give it to each box.
    auto* checkBoxStyle = new CompactCheckBoxStyle;
    checkBoxStyle->setParent(this);
    for (QCheckBox* box : {Check1, Check2, Check3, Check4}) box->setStyle(checkBoxStyle);

    Check2->setToolTip(QStringLiteral("Standardzeichen: >> . <<"));
    Check3->setToolTip(QStringLiteral("Verschiebung nur für die Schlüssel 10, 20, 11 und 21"));

    // Text dropped on a text box would land in it; a dropped file goes to
    // the window instead, wherever it is dropped.
    setAcceptDrops(true);
    for (QLineEdit* box : {Text1, Text2, Text3, Text4}) box->setAcceptDrops(false);

    layOut();
    connectActions();
}

Form1::~Form1() = default;

void Form1::layOut() {
    struct Place {
        QWidget* control;
        int left, top, width, height;  // twips
    };
    const Place kPlaces[] = {
        {Command1, 135, 90, 1095, 375},    {Label2, 1440, 225, 4200, 195},
        {Command2, 135, 540, 1095, 375},   {Label4, 1440, 630, 4200, 195},
        {Label5, 3105, 1170, 2040, 195},   {Label6, 225, 1260, 600, 195},
        {Label7, 945, 1260, 1770, 195},    {List1, 3105, 1395, 2490, 2205},
        {Text2, 1800, 1575, 420, 285},     {Label9, 495, 1620, 1230, 195},
        {Text1, 1800, 1935, 420, 285},     {Check2, 225, 1980, 1500, 240},
        {Check4, 225, 2385, 1725, 240},    {Check3, 225, 2790, 1365, 240},
        {Text3, 1170, 3060, 1095, 285},    {Label1, 540, 3105, 600, 240},
        {Text4, 1170, 3420, 1095, 285},    {Label3, 540, 3465, 600, 240},
        {Command3, 3150, 3735, 1095, 375}, {Command4, 4500, 3735, 1095, 375},
        {Check1, 225, 3870, 2085, 240},
    };
    for (const Place& p : kPlaces)
        p.control->setGeometry(Px(p.left), Px(p.top), Px(p.width), Px(p.height));

    // Line1 runs from (-45, 1035) to (5805, 1035), past both side edges.
    Line1->setGeometry(Px(-45), Px(1035), Px(5805) - Px(-45) + 1, 1);

    // Focus order by tab index; labels take no focus, disabled boxes are skipped.
    QWidget* const kTabOrder[] = {Command1, Command2, Command3, Command4, List1, Check1, Text1,
                                  Text2,    Check2,   Check3,   Text3,    Text4, Check4};
    for (size_t i = 0; i + 1 < std::size(kTabOrder); ++i)
        setTabOrder(kTabOrder[i], kTabOrder[i + 1]);
}

void Form1::connectActions() {
    connect(Check2, &QCheckBox::clicked, this, &Form1::onCheck2Clicked);
    connect(Check3, &QCheckBox::clicked, this, &Form1::onCheck3Clicked);
    connect(Command1, &QPushButton::clicked, this, &Form1::onCommand1Clicked);
    connect(Command2, &QPushButton::clicked, this, &Form1::onCommand2Clicked);
    connect(Command3, &QPushButton::clicked, this, &Form1::onCommand3Clicked);
    connect(Command4, &QPushButton::clicked, this, &Form1::onCommand4Clicked);

    // A right click on List1 offers what the drawing holds, as help for
    // writing the column block; the layout stays as it is.
    auto* objects = new QAction(QStringLiteral("Objekte der Zeichnung …"), List1);
    objects->setObjectName(QStringLiteral("showDrawingObjects"));
    connect(objects, &QAction::triggered, this, &Form1::showDrawingObjects);
    List1->addAction(objects);
    List1->setContextMenuPolicy(Qt::ActionsContextMenu);
}

void Form1::load(const std::filesystem::path& iniPath) {
    m_config = ConfigLoader(iniPath);
    const auto text = [this](std::string_view bytes) {
        return TextFromBytes(bytes, m_config.encoding);
    };
    List1->clear();
    for (const std::string& line : m_config.columnLines) List1->addItem(text(line));
    const Settings& s = m_config.settings;
    showPath(Label2, text(s.dxfpath));
    showPath(Label4, text(s.txtpath));
    Label7->setText(text(s.masterkey));
    // A text longer than its box shows its beginning.
    Text1->setText(text(InitialDecimalMark(s)));
    Text1->setCursorPosition(0);
    Text2->setText(text(InitialSeparator(s)));
    Text2->setCursorPosition(0);
    Check1->setChecked(s.prozentc.value_or(kStartPercentC));
    Check2->setChecked(s.dezersetzen.value_or(kStartReplaceDecimalPoint));
    Check3->setChecked(s.verschiebung.value_or(kStartShift));
    Check4->setChecked(s.zaehler.value_or(kStartCounter));
    Text3->setText(text(InitialRw(s)));
    Text3->setCursorPosition(0);
    Text4->setText(text(InitialHw(s)));
    Text4->setCursorPosition(0);
    // A box ticked here enables its text boxes as a click does.
    onCheck2Clicked();
    onCheck3Clicked();
    List1->setToolTip(QString::fromUtf8(kList1ToolTip));
}

void Form1::showPath(QLabel* label, const QString& path) {
    static_cast<PathLabel*>(label)->setPath(path);
}

void Form1::openDrawing(const QString& drawing) {
    showPath(Label2, drawing);
    // Named as batch runs name tables: the extension replaced by ".txt".
    const std::filesystem::path table = PathFromCaption(drawing).replace_extension(".txt");
    const std::u16string name = table.u16string();
    m_unconfirmedTable = QDir::toNativeSeparators(QString::fromStdU16String(name));
    showPath(Label4, m_unconfirmedTable);
}

bool Form1::mayReplaceTable() {
    if (m_unconfirmedTable.isEmpty() || Label4->text() != m_unconfirmedTable) return true;
    std::error_code ec;
    const bool exists = std::filesystem::exists(PathFromCaption(m_unconfirmedTable), ec);
    const QString question =
        QStringLiteral("Die Datei „%1“ existiert bereits. Ersetzen?")
            .arg(QDir::toNativeSeparators(QFileInfo(m_unconfirmedTable).absoluteFilePath()));
    if (exists && !m_platform.confirm(this, question)) return false;
    // Agreed, or about to be written by this window: asked no more.
    m_unconfirmedTable.clear();
    return true;
}

RunSettings Form1::readRunSettings() const {
    RunSettings settings;
    settings.dxfpath = PathFromCaption(Label2->text());
    settings.txtpath = PathFromCaption(Label4->text());
    settings.rwShift = BytesFromText(Text3->text(), m_config.encoding);
    settings.hwShift = BytesFromText(Text4->text(), m_config.encoding);
    // Taken whether or not Text1 is enabled.
    settings.decimalMark = BytesFromText(Text1->text(), m_config.encoding);
    settings.separator = BytesFromText(Text2->text(), m_config.encoding);
    settings.replacePercentC = Check1->isChecked();
    settings.replaceDecimalPoint = Check2->isChecked();
    settings.shiftCoordinates = Check3->isChecked();
    settings.addCounter = Check4->isChecked();
    // As loaded: velunt.ini is where the window takes these three from.
    settings.section = m_config.settings.abschnitt;
    settings.quoteFields = m_config.settings.anfuehrung;
    settings.tableEncoding =
        ParseTableEncoding(m_config.settings.kodierung).value_or(TableEncoding::Bytes);
    return settings;
}

void Form1::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    if (!m_wasShown) {
        m_wasShown = true;
        Command1->setFocus(Qt::OtherFocusReason);
    }
}

void Form1::closeEvent(QCloseEvent* event) {
    // Nothing is saved. The window cannot go away under a running run:
    // closing it then stops the run as "Abbrechen" does (the table ends with
    // its last whole line), and the window closes once the run is over.
    if (m_isRunning) {
        m_closeAfterRun = true;
        if (m_runProgress) m_runProgress->cancel();
        event->ignore();
    } else {
        event->accept();
    }
}

void Form1::dragEnterEvent(QDragEnterEvent* event) {
    if (!droppedFile(event->mimeData()).isEmpty()) event->acceptProposedAction();
}

void Form1::dragMoveEvent(QDragMoveEvent* event) {
    if (!droppedFile(event->mimeData()).isEmpty()) event->acceptProposedAction();
}

void Form1::dropEvent(QDropEvent* event) {
    const QString path = droppedFile(event->mimeData());
    if (path.isEmpty() || m_isRunning) return;
    openDrawing(path);
    event->acceptProposedAction();
}

void Form1::onCheck2Clicked() { Text1->setEnabled(Check2->isChecked()); }

void Form1::onCheck3Clicked() {
    const bool isTicked = Check3->isChecked();
    Text3->setEnabled(isTicked);
    Text4->setEnabled(isTicked);
}

void Form1::onCommand1Clicked() { chooseFile(Label2, false); }

void Form1::onCommand2Clicked() { chooseFile(Label4, true); }

void Form1::chooseFile(QLabel* label, bool forSaving) {
    const QString chosen = m_platform.chooseFile(this, dialogRequest(label->text(), forSaving));
    if (!chosen.isEmpty()) showPath(label, chosen);
}

void Form1::showDrawingObjects() {
    if (m_isRunning) return;
    setCursor(Qt::WaitCursor);
    std::optional<DrawingInventory> inventory;
    try {
        inventory = TakeInventory(PathFromCaption(Label2->text()),
                                  BytesFromText(Label7->text(), m_config.encoding));
    } catch (const std::exception& caught) {
        setCursor(Qt::ArrowCursor);
        m_platform.beep();
        ShowRunErrorBox(this, CaughtError(caught));
        return;
    }
    setCursor(Qt::ArrowCursor);
    // Not modal: it can stay open while velunt.ini is edited.
    auto* dialog = new DrawingObjectsDialog(*inventory, Label2->text(), this);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->show();
}

void Form1::onCommand3Clicked() {
    if (m_isRunning || !mayReplaceTable()) return;
    m_isRunning = true;
    setCursor(Qt::WaitCursor);
    const std::vector<std::string> warnings = run();
    m_platform.beep();
    // The arrow itself, not the window's default pointer.
    setCursor(Qt::ArrowCursor);
    if (!warnings.empty()) ShowRunWarningBox(this, warnings);
    m_isRunning = false;
    if (m_closeAfterRun) {
        m_closeAfterRun = false;
        close();
    }
}

std::vector<std::string> Form1::run() {
    // The progress dialog goes before the error box comes up.
    RunProgress progress(this);
    m_runProgress = &progress;
    const auto forget = qScopeGuard([this] { m_runProgress = nullptr; });
    RunErrorBox report(
        this, [this] { m_platform.beep(); }, [&progress] { progress.close(); });
    const std::unique_ptr<RunObserver> wrapped =
        m_observerWrapper ? m_observerWrapper(progress) : nullptr;
    try {
        const RunSettings settings = readRunSettings();
        const RunResult result =
            ExtractionRun(settings, m_config, report, wrapped ? wrapped.get() : &progress);
        return RunWarnings(result, m_config, settings.dxfpath);
    } catch (const std::exception& caught) {
        // The core reports the run's own errors; one from reading the
        // settings, or a library failure, is reported the same way instead
        // of ending the program.
        report.show(CaughtError(caught));
    }
    return {};
}

void Form1::onCommand4Clicked() { close(); }

}  // namespace velunt::ui
