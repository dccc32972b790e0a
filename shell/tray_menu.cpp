// The tray menu's items, their state and their effects, written once for both faces.
#include "shell/tray_menu.h"

#include "platform/errors.h"
#include "shell/login_start.h"
#include "shell/main_form.h"
#include "shell/printer_choice.h"
#include "shell/texts.h"

namespace zelmo {
namespace {

TrayEntry entry(TrayItem id, const char* text) {
    TrayEntry e;
    e.id = id;
    e.text = text;
    return e;
}

TrayEntry checkable(TrayItem id, const char* text, bool checked) {
    TrayEntry e = entry(id, text);
    e.checkable = true;
    e.checked = checked;
    return e;
}

// One printer to choose, checked when it is the choice in force.
TrayEntry printerChoice(TrayItem id, std::string text, std::string choice, const MainForm& form) {
    TrayEntry e;
    e.id = id;
    e.text = std::move(text);
    e.checkable = e.radio = true;
    e.checked = form.printerChoice() == choice;
    e.choice = std::move(choice);
    return e;
}

}  // namespace

bool trayClickOpensWindow(TrayClick click, bool windowsConvention) {
    return click == TrayClick::Double || !windowsConvention;
}

TrayMenu::TrayMenu(MainForm& form, MainView& view, LoginStart& loginStart)
    : form_(form), view_(view), loginStart_(loginStart) {}

// Our own items follow the window's, so theirs keep their places.
std::vector<TrayEntry> TrayMenu::entries() const {
    std::vector<TrayEntry> menu;
    TrayEntry open = entry(TrayItem::Open, texts::kOpen);
    open.isDefault = true;
    menu.push_back(open);
    // Paused: printing held by the user while capture goes on.
    menu.push_back(
        checkable(TrayItem::Pause, texts::kPause, form_.monitor() != nullptr && form_.paused()));
    TrayEntry test = entry(TrayItem::Test, texts::kTest);
    test.submenu = {entry(TrayItem::VectorTest, texts::kVectorTest),
                    entry(TrayItem::BitmapTest, texts::kBitmapTest),
                    entry(TrayItem::BitmapDiTest, texts::kBitmapDiTest)};
    menu.push_back(test);
    menu.push_back(entry(TrayItem::Queue, texts::kQueueItem));
    TrayEntry printer = entry(TrayItem::Printer, texts::kPrinterMenu);
    printer.refreshedOnOpen = true;
    menu.push_back(printer);
    const std::string& archive = form_.textSettings().archiveFolder;
    TrayEntry archiveItem = checkable(TrayItem::Archive, texts::kArchiveFolder, !archive.empty());
    archiveItem.hint = archive;
    menu.push_back(archiveItem);
    menu.push_back(checkable(TrayItem::LoginStart, texts::kAutostart, loginStart_.enabled()));
    menu.push_back(TrayEntry{});
    menu.push_back(entry(TrayItem::Exit, texts::kExit));
    return menu;
}

// The system's default, each printer of the print system and the PDF folder, the choice in
// force checked; asked afresh each time, as printers come and go while the monitor runs.
std::vector<TrayEntry> TrayMenu::printerEntries() const {
    std::vector<TrayEntry> menu;
    menu.push_back(printerChoice(TrayItem::SystemDefaultPrinter, texts::kSystemDefaultPrinter,
                                 std::string(), form_));
    menu.push_back(TrayEntry{});
    const std::vector<std::string> names = form_.printerDestinations();
    for (const std::string& name : names)
        menu.push_back(printerChoice(TrayItem::NamedPrinter, name, name, form_));
    // No printers: one separator, not two in a row.
    if (!names.empty()) menu.push_back(TrayEntry{});
    menu.push_back(printerChoice(TrayItem::PdfFolderPrinter, texts::kPdfFolderPrinter,
                                 kPdfFolderChoice, form_));
    return menu;
}

void TrayMenu::choose(TrayItem id, const std::string& choice, TrayDialogs& dialogs) {
    switch (id) {
        case TrayItem::Open:
            return form_.SettingsItemClick();
        case TrayItem::Pause:
            return form_.PauseItemClick();
        case TrayItem::VectorTest:
            return form_.vectorTestClick();
        case TrayItem::BitmapTest:
            return form_.bitmapTestClick();
        case TrayItem::BitmapDiTest:
            return form_.bitmapDiTestClick();
        case TrayItem::Queue:
            return form_.QueueItemClick();
        case TrayItem::SystemDefaultPrinter:
        case TrayItem::NamedPrinter:
        case TrayItem::PdfFolderPrinter:
            return form_.choosePrinter(choice);
        case TrayItem::Archive:
            return toggleArchive(dialogs);
        case TrayItem::LoginStart:
            return toggleLoginStart();
        case TrayItem::Exit:
            return form_.exitClick();
        case TrayItem::Separator:
        case TrayItem::Test:
        case TrayItem::Printer:
        case TrayItem::Count:
            return;
    }
}

// Checked: stops archiving. Otherwise picks a folder; a cancelled dialog changes nothing.
void TrayMenu::toggleArchive(TrayDialogs& dialogs) {
    std::string folder;
    if (form_.textSettings().archiveFolder.empty() &&
        !dialogs.chooseFolder(texts::kArchiveChoose, folder))
        return;
    form_.ArchiveFolderChosen(folder);
}

// Writes or removes the login entry; on failure says why. The check mark is read back from the
// entry as the menu next opens, so it shows the entry as it is.
void TrayMenu::toggleLoginStart() {
    try {
        loginStart_.enable(!loginStart_.enabled());
    } catch (const ZelmoError& error) {
        view_.showWarning(std::string(texts::kAutostartFailed) + "\n" + error.what(),
                          texts::kMessageCaption);
    }
}

}  // namespace zelmo
