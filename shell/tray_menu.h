// The tray menu as data: what the user can do from the tray icon (and the window's own popup
// menu), in which order, which items are enabled or checked now, and what choosing one does.
// The Qt and Win32 faces only draw these items and hand back the id of the one chosen, so the
// two cannot differ in order, state or effect.
#pragma once

#include <string>
#include <vector>

namespace zelmo {

class LoginStart;
class MainView;
class MainForm;

enum class TrayItem {
    Separator,
    Open,
    Pause,
    Test,
    VectorTest,
    BitmapTest,
    BitmapDiTest,
    Queue,
    Printer,
    SystemDefaultPrinter,
    NamedPrinter,  // one of the print system's printers: its name is the entry's choice
    PdfFolderPrinter,
    Archive,
    LoginStart,
    Exit,
    Count,  // not an item: the number of ids, kept last
};

// One entry of the menu or of a submenu.
struct TrayEntry {
    TrayItem id = TrayItem::Separator;
    std::string text;
    std::string hint;    // the tooltip, where the face shows one
    std::string choice;  // a printer entry's choice (see MainForm::choosePrinter)
    bool enabled = true;
    bool checkable = false;
    bool checked = false;
    bool isDefault = false;  // the item a double click on the icon runs, shown in bold
    bool radio = false;      // one of a group of which exactly one is checked
    std::vector<TrayEntry> submenu;
    // The submenu changes with the system: a face fills it afresh as it opens.
    bool refreshedOnOpen = false;
};

// What the menu's items need of the user beyond the window's controls.
class TrayDialogs {
  public:
    virtual ~TrayDialogs() = default;
    // A folder the user picks; false when the dialog is cancelled.
    virtual bool chooseFolder(const std::string& caption, std::string& folder) = 0;
};

// Which mouse action on the tray icon opens the window. Windows opens a tray icon's window on a
// double click and keeps the single click for selecting; Linux desktops open it on a single
// click. A double click opens it everywhere.
enum class TrayClick { Single, Double };
bool trayClickOpensWindow(TrayClick click, bool windowsConvention);

class TrayMenu {
  public:
    TrayMenu(MainForm& form, MainView& view, LoginStart& loginStart);

    // The whole menu as it stands now; a face calls it as the menu opens.
    std::vector<TrayEntry> entries() const;
    // The printer submenu as it stands now (asks the print system for its printers).
    std::vector<TrayEntry> printerEntries() const;
    // Runs the entry the user chose; exceptions pass on to the face's guard.
    void choose(TrayItem id, const std::string& choice, TrayDialogs& dialogs);

  private:
    void toggleArchive(TrayDialogs& dialogs);
    void toggleLoginStart();

    MainForm& form_;
    MainView& view_;
    LoginStart& loginStart_;
};

}  // namespace zelmo
