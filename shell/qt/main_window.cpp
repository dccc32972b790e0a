// MainForm on Qt 6 Widgets: the controls of the window, PopupMenu and the tray icon.
#include "shell/qt/main_window.h"

#include <QAbstractItemView>
#include <QActionGroup>
#include <QApplication>
#include <QCloseEvent>
#include <QFileDialog>
#include <QGuiApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QMessageBox>
#include <QPainter>
#include <QScreen>
#include <QSessionManager>
#include <QSocketNotifier>
#include <QStyleOptionComboBox>
#include <QTranslator>
#include <algorithm>
#include <cstdlib>
#include <iostream>

#include "shell/feedback.h"
#include "shell/language.h"
#include "shell/printer_choice.h"
#include "shell/texts.h"

namespace zelmo {
namespace {

// A colour of the window's design.
QColor colour(window::Colour c) {
    return QColor(c.red, c.green, c.blue);
}

const QColor kPanelColour = colour(window::kPanelColour);
const QColor kValueColour = colour(window::kValueColour);

// A control's bounds as the layout gives them (a width or height of 0 stays 0).
QRect boundsOf(window::ControlId id) {
    const window::ControlLayout& at = window::layoutOf(id);
    return QRect(at.left, at.top, at.width, at.height);
}

// A UTF-8 text as a QString.
QString q(const char* text) {
    return QString::fromUtf8(text);
}
QString q(const std::string& text) {
    return QString::fromStdString(text);
}

// The window's font: "MS Sans Serif" 11 pixels high, or the nearest sans serif font installed.
QFont windowFont() {
    QFont font(QStringLiteral("MS Sans Serif"));
    font.setStyleHint(QFont::SansSerif);
    font.setPixelSize(window::kFontPixels);
    return font;
}

// A label where the layout puts it, sized to its text.
QLabel* autoLabel(const char* text, QWidget* parent, window::ControlId id) {
    auto* label = new QLabel(q(text), parent);
    label->adjustSize();
    label->move(boundsOf(id).topLeft());
    return label;
}

// Greyed settings keep a dark text: the style's own disabled grey can hardly be read on the
// panel, and a locked value must still be read.
void keepReadableWhenLocked(QWidget* control) {
    QPalette palette = control->palette();
    const QColor locked = colour(window::kLockedColour);
    for (QPalette::ColorRole role : {QPalette::Text, QPalette::WindowText, QPalette::ButtonText})
        palette.setColor(QPalette::Disabled, role, locked);
    control->setPalette(palette);
}

// A fixed-width bold label for a path or a printer name, whose hint shows it in full.
QLabel* valueLabel(QWidget* parent, const QRect& bounds) {
    auto* label = new QLabel(q(texts::kNoData), parent);
    label->setGeometry(bounds);
    QFont font = label->font();
    font.setBold(true);
    label->setFont(font);
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText, kValueColour);
    label->setPalette(palette);
    return label;
}

// The code pages' names, in the list's order.
std::vector<const char*> codePageNames() {
    std::vector<const char*> names;
    for (CodePage page : kCodePages)
        names.push_back(codePageName(page));
    return names;
}

// A drop-down list at its layout bounds, as high as the style makes it.
QComboBox* dropDownList(QWidget* parent, window::ControlId id) {
    auto* list = new QComboBox(parent);
    const QRect bounds = boundsOf(id);
    list->setGeometry(bounds.x(), bounds.y(), bounds.width(), list->sizeHint().height());
    return list;
}

// A bold edit for an offset, at most six characters long.
QLineEdit* offsetEdit(QWidget* parent, const QRect& bounds) {
    auto* edit = new QLineEdit(parent);
    edit->setGeometry(bounds);
    edit->setMaxLength(window::kMaxEditLength);
    QFont font = edit->font();
    font.setBold(true);
    edit->setFont(font);
    return edit;
}

// The tray and window icon: a small printer, drawn so that no image file is needed; paused
// adds two bars, an error a red disc with an exclamation mark.
QIcon printerIcon(TrayIconKind kind = TrayIconKind::Monitoring) {
    QPixmap pixmap(32, 32);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setPen(QPen(Qt::black, 1));
    painter.setBrush(Qt::white);
    painter.drawRect(9, 3, 14, 10);
    painter.setBrush(kPanelColour);
    painter.drawRect(3, 12, 26, 12);
    painter.setBrush(Qt::white);
    painter.drawRect(8, 20, 16, 9);
    painter.setBrush(kValueColour);
    painter.drawRect(23, 15, 3, 2);
    if (kind == TrayIconKind::Paused) {
        painter.setBrush(QColor(230, 160, 0));
        painter.drawRect(16, 14, 5, 16);
        painter.drawRect(25, 14, 5, 16);
    } else if (kind == TrayIconKind::Error) {
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setBrush(QColor(200, 0, 0));
        painter.drawEllipse(QRectF(14.5, 12.5, 17, 17));
        painter.setPen(QPen(Qt::white, 3));
        painter.drawLine(QPointF(23, 15.5), QPointF(23, 22.5));
        painter.drawPoint(QPointF(23, 26.5));
    }
    return QIcon(pixmap);
}

}  // namespace

// Calls onReadable on the window thread whenever handle can be read.
void notifyOnReadable(QObject* parent, intptr_t handle, std::function<void()> onReadable) {
    if (handle < 0) return;
    auto* notifier =
        new QSocketNotifier(static_cast<qintptr>(handle), QSocketNotifier::Read, parent);
    QObject::connect(notifier, &QSocketNotifier::activated, parent, std::move(onReadable));
}

// Queues the message for the window thread; the worker goes on at once. Our sentence comes
// first, the system's message after it.
void QtExceptionDisplay::showException(const ZelmoError& error) {
    const std::string message =
        std::string(texts::kPrintFailedBox) + "\n\n" + exceptionMessage(error);
    // Queued to the window's thread; dropped if the display is gone by then.
    QMetaObject::invokeMethod(
        this, [this, message] { showNow(message); }, Qt::QueuedConnection);
}

// The failure box; none while one is open, unless it is about the same job.
void QtExceptionDisplay::showNow(const std::string& message, const std::string& job) {
    if (box_ && !job.empty() && job == boxJob_) return follow(job, message);
    if (box_) return;
    boxJob_ = job;
    box_ = new QMessageBox(QMessageBox::Critical, q(texts::kMessageCaption), q(message),
                           QMessageBox::Ok);
    box_->setAttribute(Qt::WA_DeleteOnClose);
    // Not QMessageBox::critical: it runs a modal loop of its own inside whatever loop is
    // running, so failures in a row stacked boxes each inside the previous one's loop, and the
    // timer and the worker's messages went on inside them. A box shown without a loop of its
    // own is answered when its user closes it and by nothing else.
    box_->setWindowModality(Qt::NonModal);
    // A window of its own, not a dialog: a parentless dialog is made transient for the whole
    // application's window group, and window managers hide or minimise such transients along
    // with the group, which includes MainForm going to the tray.
    box_->setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowCloseButtonHint |
                         Qt::CustomizeWindowHint);
    box_->show();
    box_->raise();
    box_->activateWindow();
}

// A box about the job follows it; a box about anything else stays.
void QtExceptionDisplay::follow(const std::string& job, const std::string& message) {
    if (!box_ || job.empty() || job != boxJob_) return;
    if (message.empty())
        box_->close();
    else
        box_->setText(q(message));
}

// The toolkit in the user's language, Polish for a Polish or unset locale: its translations
// (the folder dialog, standard buttons) and its number format.
void installToolkitLanguage(QCoreApplication& app) {
    const std::string code =
        toolkitLanguage(std::getenv("LC_ALL"), std::getenv("LC_MESSAGES"), std::getenv("LANG"));
    if (code == "pl") QLocale::setDefault(QLocale(QLocale::Polish, QLocale::Poland));
    auto* translator = new QTranslator(&app);
    if (translator->load(QLocale(QString::fromStdString(code)), QStringLiteral("qtbase"),
                         QStringLiteral("_"), QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        QCoreApplication::installTranslator(translator);
}

// The decimal separator of the locale in use, or "." where it is not one ASCII character.
char systemDecimalSeparator() {
    const QString point = QLocale().decimalPoint();
    return point.size() == 1 && point[0].unicode() < 0x80 ? static_cast<char>(point[0].unicode())
                                                          : '.';
}

// Builds MainForm's controls, PopupMenu, the tray icon and the timer.
MainWindow::MainWindow(Printer& printer, const std::string& executablePath,
                       const std::string& folder)
    : QWidget(nullptr, Qt::Window | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint |
                           Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                           Qt::WindowCloseButtonHint | Qt::CustomizeWindowHint),
      executablePath_(executablePath) {
    setObjectName(QStringLiteral("MainForm"));
    setWindowTitle(q(texts::kCaption));
    setWindowIcon(printerIcon());
    setFont(windowFont());
    setFixedSize(window::kClientWidth, window::kClientHeight);
    MainPanel = new QFrame(this);
    MainPanel->setObjectName(QStringLiteral("MainPanel"));
    MainPanel->setGeometry(boundsOf(window::MainPanel));
    MainPanel->setFrameStyle(QFrame::Panel | QFrame::Raised);
    MainPanel->setAutoFillBackground(true);
    QPalette palette = MainPanel->palette();
    palette.setColor(QPalette::Window, kPanelColour);
    MainPanel->setPalette(palette);
    MainPanel->setFocusPolicy(Qt::StrongFocus);
    createStatusGroup();
    createSettingsGroup();
    Timer.setInterval(window::kTimerInterval);
    connect(&Timer, &QTimer::timeout, this, [this] { guarded([this] { form_->timerTick(); }); });
    form_ = std::make_unique<MainForm>(*this, printer, display_, executablePath, folder);
    loginStart_ = std::make_unique<XdgLoginStart>(executablePath, form_->monitoredFolder());
    trayMenu_ = std::make_unique<TrayMenu>(*form_, *this, *loginStart_);
    watchSessionEnd();
    createPopupMenu();
    createTrayIcon();
    queueWindow_ = std::make_unique<QueueWindow>(*form_);
    queueWindow_->setWindowIcon(printerIcon());
    form_->jobEvents().add(*queueWindow_);
}

// The folder watch wakes the form between ticks.
void MainWindow::watchHandle(intptr_t handle) {
    notifyOnReadable(this, handle, [this] { guarded([this] { form_->FolderChanged(); }); });
}

// Queued to the window's thread; dropped if the window is gone by then.
void MainWindow::postWorkerFinished() {
    QMetaObject::invokeMethod(
        this, [this] { guarded([this] { form_->WorkerFinished(); }); }, Qt::QueuedConnection);
}

// Makes sure the pipeline is down before the widgets go.
MainWindow::~MainWindow() {
    finish();
}

// StatusGroup: what is monitored and where it prints.
void MainWindow::createStatusGroup() {
    StatusGroup = new QGroupBox(q(texts::kStatus), MainPanel);
    StatusGroup->setGeometry(boundsOf(window::StatusGroup));
    Label_MonSta = autoLabel(texts::kMonitoredFile, StatusGroup, window::Label_MonSta);
    Label_Search = valueLabel(StatusGroup, boundsOf(window::Label_Search));
    PrintsToLabel = autoLabel(texts::kPrintsTo, StatusGroup, window::PrintsToLabel);
    Label_Printer = valueLabel(StatusGroup, boundsOf(window::Label_Printer));
    for (auto [widget, name] : {std::pair<QWidget*, const char*>{StatusGroup, "StatusGroup"},
                                {Label_MonSta, "Label_MonSta"},
                                {Label_Search, "Label_Search"},
                                {PrintsToLabel, "PrintsToLabel"},
                                {Label_Printer, "Label_Printer"}})
        widget->setObjectName(QString::fromLatin1(name));
}

// SettingsGroup: offsets, single mode, engine and the button.
void MainWindow::createSettingsGroup() {
    SettingsGroup = new QGroupBox(q(texts::kSettings), MainPanel);
    SettingsGroup->setGeometry(boundsOf(window::SettingsGroup));
    OffsetsLabel = autoLabel(texts::kOffsets, SettingsGroup, window::OffsetsLabel);
    XLabel = autoLabel(texts::kX, SettingsGroup, window::XLabel);
    XLabel->setAlignment(Qt::AlignRight | Qt::AlignTop);
    OffsetXEdit = offsetEdit(SettingsGroup, boundsOf(window::OffsetXEdit));
    YLabel = autoLabel(texts::kY, SettingsGroup, window::YLabel);
    YLabel->setAlignment(Qt::AlignRight | Qt::AlignTop);
    OffsetYEdit = offsetEdit(SettingsGroup, boundsOf(window::OffsetYEdit));
    ModifyButton = new QPushButton(q(texts::kModify), SettingsGroup);
    ModifyButton->setGeometry(boundsOf(window::ModifyButton));
    SingleMode = new QCheckBox(q(texts::kSingleMode), SettingsGroup);
    SingleMode->setGeometry(boundsOf(window::SingleMode));
    PrintEngine = dropDownList(SettingsGroup, window::PrintEngine);
    for (const char* engine : texts::kEngines)
        PrintEngine->addItem(q(engine));
    fitList(PrintEngine, texts::kEngines);
    CodePageLabel = new QLabel(q(texts::kCodePageLabel), SettingsGroup);
    CodePageLabel->setGeometry(boundsOf(window::CodePageLabel));
    CodePageLabel->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    CodePageList = dropDownList(SettingsGroup, window::CodePageList);
    for (CodePage page : kCodePages)
        CodePageList->addItem(q(codePageName(page)));
    fitList(CodePageList, codePageNames());
    for (QWidget* control : {static_cast<QWidget*>(OffsetXEdit), static_cast<QWidget*>(OffsetYEdit),
                             static_cast<QWidget*>(SingleMode), static_cast<QWidget*>(PrintEngine),
                             static_cast<QWidget*>(CodePageList)})
        keepReadableWhenLocked(control);
    connect(ModifyButton, &QPushButton::clicked, this,
            [this] { guarded([this] { form_->modifyClick(); }); });
    for (auto [widget, name] : {std::pair<QWidget*, const char*>{SettingsGroup, "SettingsGroup"},
                                {OffsetsLabel, "OffsetsLabel"},
                                {XLabel, "XLabel"},
                                {OffsetXEdit, "OffsetXEdit"},
                                {YLabel, "YLabel"},
                                {OffsetYEdit, "OffsetYEdit"},
                                {ModifyButton, "ModifyButton"},
                                {SingleMode, "SingleMode"},
                                {PrintEngine, "PrintEngine"},
                                {CodePageLabel, "CodePageLabel"},
                                {CodePageList, "CodePageList"}})
        widget->setObjectName(QString::fromLatin1(name));
}

// The items must show in full in the list's fixed width: where the installed font is wider than
// the one the layout was made for, the list's font is narrowed until they fit.
template <typename Items>
void MainWindow::fitList(QComboBox* list, const Items& items) {
    QStyleOptionComboBox option;
    option.initFrom(list);
    option.editable = false;
    const QRect field = list->style()->subControlRect(QStyle::CC_ComboBox, &option,
                                                      QStyle::SC_ComboBoxEditField, list);
    QFont font = list->font();
    const auto widest = [&font, &items] {
        int width = 0;
        for (const char* item : items)
            width = std::max(width, QFontMetrics(font).horizontalAdvance(q(item)));
        return width;
    };
    while (widest() > field.width() - 2 && font.stretch() > QFont::Condensed)
        font.setStretch(font.stretch() - 5);
    while (widest() > field.width() - 2 && font.pixelSize() > 8)
        font.setPixelSize(font.pixelSize() - 1);
    list->setFont(font);
    list->view()->setMinimumWidth(widest() + 16);
}

// PopupMenu, shared by the window and the tray icon, drawn from the tray menu's entries.
void MainWindow::createPopupMenu() {
    PopupMenu = new QMenu(this);
    PopupMenu->setObjectName(QStringLiteral("PopupMenu"));
    renderMenu(PopupMenu, trayMenu_->entries());
    // Check marks and hints are read afresh as the menu opens: the user may change the login
    // entry or the archive folder by other means.
    connect(PopupMenu, &QMenu::aboutToShow, this, [this] { guarded([this] { refreshMenu(); }); });
    // The window's own popup menu is the tray's.
    setContextMenuPolicy(Qt::CustomContextMenu);
    connect(this, &QWidget::customContextMenuRequested, this,
            [this](const QPoint& at) { PopupMenu->popup(mapToGlobal(at)); });
}

// Adds entries to menu; each action hands its id back to the tray menu when chosen.
void MainWindow::renderMenu(QMenu* menu, const std::vector<TrayEntry>& entries) {
    QActionGroup* group = nullptr;
    for (const TrayEntry& entry : entries) {
        if (entry.id == TrayItem::Separator) {
            menu->addSeparator();
        } else if (!entry.submenu.empty() || entry.refreshedOnOpen) {
            renderSubmenu(menu, entry);
        } else {
            QAction* action = menu->addAction(q(entry.text));
            if (entry.radio) {
                if (!group) group = new QActionGroup(menu);
                group->addAction(action);
            }
            applyEntry(action, entry);
            if (entry.isDefault) menu->setDefaultAction(action);
            if (menu == PopupMenu) trayActions_[entry.id] = action;
            connect(action, &QAction::triggered, this,
                    [this, id = entry.id, choice = entry.choice] {
                        guarded([&] { trayMenu_->choose(id, choice, *this); });
                    });
        }
    }
}

// A submenu; one that changes with the system is filled afresh each time it opens.
void MainWindow::renderSubmenu(QMenu* menu, const TrayEntry& entry) {
    QMenu* submenu = menu->addMenu(q(entry.text));
    renderMenu(submenu, entry.submenu);
    if (entry.id == TrayItem::Printer) {
        submenu->setObjectName(QStringLiteral("PrinterMenu"));
        connect(submenu, &QMenu::aboutToShow, this, [this, submenu] {
            guarded([this, submenu] {
                submenu->clear();
                renderMenu(submenu, trayMenu_->printerEntries());
            });
        });
    }
}

// An entry's state on its action.
void MainWindow::applyEntry(QAction* action, const TrayEntry& entry) {
    action->setCheckable(entry.checkable);
    action->setChecked(entry.checked);
    action->setEnabled(entry.enabled);
    action->setToolTip(q(entry.hint));
    if (entry.id == TrayItem::Archive) action->setObjectName(QStringLiteral("ArchiveItem"));
}

// Every top-level entry's state as it stands now.
void MainWindow::refreshMenu() {
    for (const TrayEntry& entry : trayMenu_->entries())
        if (QAction* action = trayAction(entry.id)) applyEntry(action, entry);
}

// PopupMenu's action of an entry; null for one it does not have.
QAction* MainWindow::trayAction(TrayItem id) const {
    const auto found = trayActions_.find(id);
    return found == trayActions_.end() ? nullptr : found->second;
}

// The folder chooser of the archive item.
bool MainWindow::chooseFolder(const std::string& caption, std::string& folder) {
    const QString chosen = QFileDialog::getExistingDirectory(this, q(caption));
    if (chosen.isEmpty()) return false;
    folder = chosen.toStdString();
    return true;
}

// The tray icon, where the desktop has a tray.
void MainWindow::createTrayIcon() {
    if (!QSystemTrayIcon::isSystemTrayAvailable()) return;
    tray_ = new QSystemTrayIcon(printerIcon(), this);
    tray_->setContextMenu(PopupMenu);
    connect(tray_, &QSystemTrayIcon::activated, this, [this](QSystemTrayIcon::ActivationReason r) {
        const bool single = r == QSystemTrayIcon::Trigger;
        if ((single || r == QSystemTrayIcon::DoubleClick) &&
            trayClickOpensWindow(single ? TrayClick::Single : TrayClick::Double, false))
            guarded([this] { form_->SettingsItemClick(); });
    });
    tray_->show();
}

// Runs startUp; without a tray the window is shown instead.
void MainWindow::start() {
    // Centred on the desktop, as the window first appears.
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());
    guarded([this] { form_->startUp(); });
    if (!tray_) show();
}

// Stops the timer and runs shutDown.
void MainWindow::finish() {
    if (!form_) return;
    Timer.stop();
    form_->shutDown();
}

// Runs an event handler; what escapes it goes to the exception display.
void MainWindow::guarded(const std::function<void()>& handler) {
    try {
        handler();
    } catch (const std::exception& error) {
        display_.showNow(exceptionMessage(error.what()));
    }
}

// Hides the window into the tray and tells the form.
void MainWindow::minimizeToTray() {
    // Without a tray the window stays where the user can reach it.
    if (!tray_) return;
    hide();
    guarded([this] { form_->minimizeToTray(); });
}

// A minimised window goes to the tray, if there is one.
void MainWindow::changeEvent(QEvent* event) {
    QWidget::changeEvent(event);
    if (event->type() != QEvent::WindowStateChange || !isMinimized()) return;
    if (tray_) {
        // Hidden from the taskbar as well: only the tray icon is left.
        QMetaObject::invokeMethod(
            this, [this] { minimizeToTray(); }, Qt::QueuedConnection);
    } else {
        guarded([this] { form_->minimizeToTray(); });
    }
}

// The close box asks first; a close the program or the session itself asks for (quitting on a
// signal, the session's end) is not the user's click and ends at once.
void MainWindow::closeEvent(QCloseEvent* event) {
    bool end = !event->spontaneous() || sessionEnding_;
    if (!end) guarded([&] { end = form_->mayClose(CloseReason::CloseBox); });
    if (!end) {
        event->ignore();
        return;
    }
    event->accept();
    QApplication::quit();
}

// The session is ending (log-off, shutdown): the window closes without a question.
void MainWindow::watchSessionEnd() {
    auto* app = qobject_cast<QGuiApplication*>(QCoreApplication::instance());
    if (!app) return;
    connect(app, &QGuiApplication::commitDataRequest, this, [this](QSessionManager&) {
        sessionEnding_ = form_->mayClose(CloseReason::SessionEnd);
    });
}

// The standard question box with Polish buttons, No the default.
bool MainWindow::askYesNo(const std::string& text, const std::string& caption) {
    QMessageBox box(QMessageBox::Question, q(caption), q(text), QMessageBox::Yes | QMessageBox::No,
                    this);
    box.setDefaultButton(QMessageBox::No);
    box.button(QMessageBox::Yes)->setText(q(texts::kYes));
    box.button(QMessageBox::No)->setText(q(texts::kNo));
    return box.exec() == QMessageBox::Yes;
}

// The minimise command, acted on once the message loop runs.
void MainWindow::postMinimize() {
    QMetaObject::invokeMethod(
        this, [this] { minimizeToTray(); }, Qt::QueuedConnection);
}

// Shows the window again, in front.
void MainWindow::restoreWindow() {
    showNormal();
    raise();
    activateWindow();
}

// Closes the window and ends the program.
void MainWindow::closeWindow() {
    close();
    // A window hidden in the tray ends the program all the same.
    QApplication::quit();
}

// Starts or stops the 500 ms timer.
void MainWindow::setTimerEnabled(bool enabled) {
    if (enabled)
        Timer.start();
    else
        Timer.stop();
}

// The check mark of "Wstrzymaj".
void MainWindow::setPauseChecked(bool checked) {
    if (QAction* pause = trayAction(TrayItem::Pause)) pause->setChecked(checked);
}

// Label_MonSta's text, sized to it.
void MainWindow::setMonitorStatus(const std::string& text) {
    Label_MonSta->setText(q(text));
    Label_MonSta->adjustSize();
}

// A fixed-width label whose hint holds the whole text.
void MainWindow::setLabelWithHint(HintLabel label, const std::string& text) {
    QLabel* target = label == HintLabel::Label_Search ? Label_Search : Label_Printer;
    target->setText(q(text));
    target->setToolTip(q(text));
}

// The tray icon's hint.
void MainWindow::setTrayHint(const std::string& text) {
    if (tray_) tray_->setToolTip(q(text));
}

// OffsetXEdit or OffsetYEdit.
QLineEdit* MainWindow::edit(FocusTarget target) const {
    return target == FocusTarget::OffsetYEdit ? OffsetYEdit : OffsetXEdit;
}

// The text of an offset edit.
void MainWindow::setEditText(FocusTarget target, const std::string& text) {
    edit(target)->setText(q(text));
}

// What the user typed into an offset edit.
std::string MainWindow::editText(FocusTarget target) const {
    return edit(target)->text().toStdString();
}

// Selects an engine; an index the list lacks selects nothing, as on Windows.
void MainWindow::setEngineIndex(int32_t index) {
    PrintEngine->setCurrentIndex(index >= 0 && index < PrintEngine->count() ? index : -1);
}

// The selected engine, -1 for none.
int32_t MainWindow::engineIndex() const {
    return PrintEngine->currentIndex();
}

// SingleMode's check state.
void MainWindow::setSingleModeChecked(bool checked) {
    SingleMode->setChecked(checked);
}

// SingleMode's check state.
bool MainWindow::singleModeChecked() const {
    return SingleMode->isChecked();
}

// Enables or disables the settings controls together.
void MainWindow::setSettingsEnabled(bool enabled) {
    for (QWidget* control : {static_cast<QWidget*>(OffsetXEdit), static_cast<QWidget*>(OffsetYEdit),
                             static_cast<QWidget*>(PrintEngine), static_cast<QWidget*>(SingleMode),
                             static_cast<QWidget*>(CodePageList)})
        control->setEnabled(enabled);
}

// Selects a code page of the list.
void MainWindow::setCodePageIndex(int32_t index) {
    CodePageList->setCurrentIndex(index >= 0 && index < CodePageList->count() ? index : -1);
}

// The selected code page, -1 for none.
int32_t MainWindow::codePageIndex() const {
    return CodePageList->currentIndex();
}

// ModifyButton's caption.
void MainWindow::setButtonCaption(const std::string& caption) {
    ModifyButton->setText(q(caption));
}

// Gives the focus to MainPanel or an edit.
void MainWindow::setFocus(FocusTarget target) {
    if (target == FocusTarget::MainPanel)
        MainPanel->setFocus();
    else
        edit(target)->setFocus();
}

// A message box with the exclamation icon.
void MainWindow::showWarning(const std::string& text, const std::string& caption) {
    QMessageBox::warning(this, q(caption), q(text));
}

// The system's decimal separator.
char MainWindow::decimalSeparator() const {
    return systemDecimalSeparator();
}

// The queue window, in front.
void MainWindow::showQueueWindow() {
    queueWindow_->open();
}

// The tray icon's variant.
void MainWindow::setTrayIcon(TrayIconKind kind) {
    if (tray_) tray_->setIcon(printerIcon(kind));
}

// The failure box, on the window thread; none while one is open.
void MainWindow::showFailure(const std::string& text) {
    display_.showNow(text);
}

void MainWindow::showJobFailure(const std::string& job, const std::string& text) {
    display_.showNow(text, job);
}

void MainWindow::followFailure(const std::string& job, const std::string& text) {
    display_.follow(job, text);
}

// A notification from the tray icon: the desktop's notification service where there is one,
// else Qt's own balloon beside the icon.
void MainWindow::notify(const std::string& title, const std::string& text, bool warning) {
    if (!tray_) return;
    tray_->showMessage(q(title), q(text),
                       warning ? QSystemTrayIcon::Warning : QSystemTrayIcon::Information, 10000);
}

}  // namespace zelmo
