// The Qt window offscreen: caption, client size, controls, texts, colours and PopupMenu.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QStyle>
#include <QStyleOptionComboBox>
#include <QTimer>
#include <QTranslator>
#include <QTreeWidget>
#include <algorithm>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <map>

#include "pipeline/job_history.h"
#include "printers/simulated/simulated_printer.h"
#include "shell/qt/main_window.h"
#include "zelmo_version.h"

namespace zelmo {
namespace {

namespace fs = std::filesystem;

// A colour of the window's design.
QColor colour(window::Colour c) {
    return QColor(c.red, c.green, c.blue);
}

// The contrast ratio of two colours, as the web's accessibility guidelines define it.
double contrast(const QColor& a, const QColor& b) {
    const auto luminance = [](const QColor& c) {
        const auto linear = [](double v) {
            return v <= 0.03928 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4);
        };
        return 0.2126 * linear(c.redF()) + 0.7152 * linear(c.greenF()) + 0.0722 * linear(c.blueF());
    };
    const double la = luminance(a), lb = luminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

class MainWindowTest : public ::testing::Test {
  protected:
    void SetUp() override {
        char pattern[] = "/tmp/zelmo-window-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        dir = pattern;
        window = std::make_unique<MainWindow>(printer, dir + "/zelmo");
        window->start();
    }
    void TearDown() override {
        window->finish();
        window.reset();
        fs::remove_all(dir);
    }
    template <typename T>
    T* child(const char* name) const {
        return window->findChild<T*>(QString::fromLatin1(name));
    }

    std::string dir;
    SimulatedPrinter printer;
    std::unique_ptr<MainWindow> window;
};

TEST_F(MainWindowTest, CaptionClientSizeAndFrame) {
    EXPECT_EQ(window->windowTitle().toStdString(),
              "Kalvister II - Monitor Wydruków (wersja " ZELMO_VERSION ")");
    EXPECT_EQ(window->size(), QSize(window::kClientWidth, window::kClientHeight));
    EXPECT_EQ(window->minimumSize(), window->maximumSize());
    EXPECT_FALSE(window->windowFlags() & Qt::WindowMaximizeButtonHint);
    EXPECT_TRUE(window->windowFlags() & Qt::WindowMinimizeButtonHint);
    EXPECT_EQ(window->font().pixelSize(), 11);
    // Offscreen there is no tray, so the window stays shown.
    EXPECT_FALSE(window->hasTray());
    EXPECT_TRUE(window->isVisible());
}

// Where each control sits comes from the window's design, which the Win32 window follows too;
// what each one says is checked here.
TEST_F(MainWindowTest, ControlsSitWhereTheLayoutPutsThem) {
    // The offsets show in the user's format: a comma under a Polish locale.
    const std::string zero = std::string("0") + window->decimalSeparator() + "0";
    const std::map<std::string, std::string> texts = {
        {"MainPanel", ""},
        {"StatusGroup", "Status"},
        {"Label_MonSta", "Monitorowanie pliku:"},
        {"PrintsToLabel", "Wydruki na:"},
        {"SettingsGroup", "Ustawienia"},
        {"OffsetsLabel", "Przesunięcia [mm]:"},
        {"XLabel", "X:"},
        {"OffsetXEdit", zero},
        {"YLabel", "Y:"},
        {"OffsetYEdit", zero},
        {"ModifyButton", "&Modyfikuj"},
        {"SingleMode", "Tryb pojedyńczy"},
        {"PrintEngine", "Domyślny Mechanizm Wydruku"},
        {"CodePageLabel", "Kodowanie:"},
        {"CodePageList", "CP852"},
    };
    for (const window::ControlLayout& c : window::kLayout) {
        SCOPED_TRACE(c.name);
        QWidget* widget = child<QWidget>(c.name);
        ASSERT_NE(widget, nullptr);
        const char* parent =
            c.id == window::MainPanel ? "MainForm" : window::layoutOf(c.parent).name;
        EXPECT_EQ(widget->parentWidget()->objectName().toStdString(), parent);
        EXPECT_EQ(widget->pos(), QPoint(c.left, c.top));
        if (c.width > 0) {
            EXPECT_EQ(widget->width(), c.width);
        }
        if (c.height > 0) {
            EXPECT_EQ(widget->height(), c.height);
        }
        // No control covers another, whichever font stands in for the layout's.
        const QRect bounds = widget->geometry();
        for (const window::ControlLayout& other : window::kLayout) {
            if (other.parent != c.parent || other.id == c.id || c.id == window::MainPanel ||
                other.id == window::MainPanel)
                continue;
            EXPECT_FALSE(bounds.intersects(child<QWidget>(other.name)->geometry())) << other.name;
        }
        const auto expected = texts.find(c.name);
        if (expected == texts.end()) continue;
        QString text;
        if (auto* label = qobject_cast<QLabel*>(widget)) text = label->text();
        if (auto* group = qobject_cast<QGroupBox*>(widget)) text = group->title();
        if (auto* edit = qobject_cast<QLineEdit*>(widget)) text = edit->text();
        if (auto* button = qobject_cast<QAbstractButton*>(widget)) text = button->text();
        if (auto* combo = qobject_cast<QComboBox*>(widget)) text = combo->currentText();
        EXPECT_EQ(text.toStdString(), expected->second);
    }
}

TEST_F(MainWindowTest, ValueLabelsEditsAndListLookAsTheLayoutSays) {
    const QString monitored = QString::fromStdString(dir + "/Wydruk.prn");
    auto* search = child<QLabel>("Label_Search");
    EXPECT_EQ(search->text(), monitored);
    EXPECT_EQ(search->toolTip(), monitored);
    EXPECT_EQ(child<QLabel>("Label_Printer")->text().toStdString(), "Brak danych");
    for (const char* name : {"Label_Search", "Label_Printer"}) {
        auto* label = child<QLabel>(name);
        EXPECT_TRUE(label->font().bold()) << name;
        EXPECT_EQ(label->palette().color(QPalette::WindowText), colour(window::kValueColour))
            << name;
    }
    const QColor panel = child<QWidget>("MainPanel")->palette().color(QPalette::Window);
    EXPECT_EQ(panel, colour(window::kPanelColour));
    // Locked settings stay readable on the panel: contrast of at least 4.5 to 1, as for any text.
    for (const char* name :
         {"OffsetXEdit", "OffsetYEdit", "SingleMode", "PrintEngine", "CodePageList"}) {
        auto* control = child<QWidget>(name);
        EXPECT_FALSE(control->isEnabled()) << name;
        for (QPalette::ColorRole role :
             {QPalette::Text, QPalette::WindowText, QPalette::ButtonText})
            EXPECT_GE(contrast(control->palette().color(QPalette::Disabled, role), panel), 4.5)
                << name << " " << role;
    }
    for (const char* name : {"OffsetXEdit", "OffsetYEdit"}) {
        auto* edit = child<QLineEdit>(name);
        EXPECT_EQ(edit->maxLength(), window::kMaxEditLength) << name;
        EXPECT_TRUE(edit->font().bold()) << name;
        EXPECT_FALSE(edit->isEnabled()) << name;
    }
    auto* engines = child<QComboBox>("PrintEngine");
    ASSERT_EQ(engines->count(), 3);
    EXPECT_EQ(engines->itemText(1).toStdString(), "Alternatywny Mechanizm Wydruku");
    EXPECT_EQ(engines->itemText(2).toStdString(), "Specjalny Mechanizm HP845c");
    EXPECT_FALSE(engines->isEnabled());
    // Every item fits its list's text field whole, whatever font stands in.
    for (const char* name : {"PrintEngine", "CodePageList"}) {
        auto* list = child<QComboBox>(name);
        QStyleOptionComboBox option;
        option.initFrom(list);
        const int field =
            list->style()
                ->subControlRect(QStyle::CC_ComboBox, &option, QStyle::SC_ComboBoxEditField, list)
                .width();
        for (int i = 0; i < list->count(); ++i)
            EXPECT_LE(QFontMetrics(list->font()).horizontalAdvance(list->itemText(i)), field)
                << list->itemText(i).toStdString();
    }
    EXPECT_FALSE(child<QCheckBox>("SingleMode")->isEnabled());

    child<QPushButton>("ModifyButton")->click();
    EXPECT_EQ(child<QPushButton>("ModifyButton")->text().toStdString(), "&Zapisz");
    EXPECT_TRUE(child<QLineEdit>("OffsetXEdit")->isEnabled());
    EXPECT_TRUE(engines->isEnabled());
    // The code page is chosen and saved with the other settings, and locked again after.
    auto* pages = child<QComboBox>("CodePageList");
    ASSERT_TRUE(pages->isEnabled());
    pages->setCurrentText(QStringLiteral("Mazovia"));
    child<QPushButton>("ModifyButton")->click();
    EXPECT_FALSE(pages->isEnabled());
    EXPECT_EQ(window->form().textSettings().codePage, CodePage::Mazovia);
    std::ifstream in(dir + "/Zelmo.ini");
    const std::string ini((std::istreambuf_iterator<char>(in)), {});
    EXPECT_NE(ini.find("[Text]\nCodePage=Mazovia"), std::string::npos) << ini;
}

TEST_F(MainWindowTest, PopupMenuItemsAndPause) {
    auto* menu = child<QMenu>("PopupMenu");
    ASSERT_NE(menu, nullptr);
    std::vector<std::string> items;
    for (QAction* action : menu->actions())
        items.push_back(action->isSeparator() ? "-" : action->text().toStdString());
    EXPECT_EQ(items, (std::vector<std::string>{"Otwórz", "&Wstrzymaj", "Test", "Kolejka wydruków",
                                               "Drukarka", "Folder archiwum...",
                                               "Uruchamiaj przy logowaniu", "-", "Zakończ"}));
    EXPECT_EQ(menu->defaultAction(), menu->actions().at(0));
    QMenu* tests = menu->actions().at(2)->menu();
    ASSERT_NE(tests, nullptr);
    std::vector<std::string> testItems;
    for (QAction* action : tests->actions())
        testItems.push_back(action->text().toStdString());
    EXPECT_EQ(testItems, (std::vector<std::string>{"Wektorowy", "Bitmapowy", "Bitmapowy DI"}));

    QAction* pause = menu->actions().at(1);
    EXPECT_TRUE(pause->isCheckable());
    pause->trigger();
    EXPECT_TRUE(pause->isChecked());
    EXPECT_TRUE(window->form().paused());
    EXPECT_EQ(child<QLabel>("Label_MonSta")->text().toStdString(),
              "Drukowanie wstrzymane, monitorowany plik:");
    tests->actions().at(2)->trigger();
    EXPECT_EQ(window->form().handOver()->TestMode.load(), TestPage::BitmapDi);
}

// The printer submenu is filled from the model as it opens and hands the choice back.
TEST_F(MainWindowTest, ThePrinterSubmenuIsFilledAsItOpensAndChoosesThePrinter) {
    auto* printers = child<QMenu>("PrinterMenu");
    ASSERT_NE(printers, nullptr);
    const auto items = [printers] {
        emit printers->aboutToShow();
        std::vector<std::string> texts;
        for (QAction* action : printers->actions())
            texts.push_back(action->isSeparator() ? "-"
                            : action->isChecked() ? action->text().toStdString() + "*"
                                                  : action->text().toStdString());
        return texts;
    };
    EXPECT_EQ(items(), (std::vector<std::string>{"Domyślna drukarka systemu*", "-",
                                                 "Pliki PDF (folder Wydruki)"}));
    printers->actions().back()->trigger();
    EXPECT_EQ(window->form().printerChoice(), "Wydruki");
    EXPECT_EQ(items().back(), "Pliki PDF (folder Wydruki)*");
}

TEST_F(MainWindowTest, OneFailureBoxAtATimeStaysUntilClosed) {
    const auto boxes = [] {
        std::vector<QMessageBox*> open;
        for (QWidget* widget : QApplication::topLevelWidgets())
            if (auto* box = qobject_cast<QMessageBox*>(widget); box && box->isVisible())
                open.push_back(box);
        return open;
    };
    QtExceptionDisplay& display = window->exceptionDisplay();
    display.showNow("Create-Job: Invalid argument.");
    display.showNow("Create-Job: Invalid argument.");
    QApplication::processEvents();
    ASSERT_EQ(boxes().size(), 1u);
    QMessageBox* box = boxes()[0];
    EXPECT_EQ(box->windowTitle().toStdString(), "Kalvister II - Monitor Wydruków");
    // A window of its own: not modal, not a dialog tied to the application's windows.
    EXPECT_EQ(box->windowType(), Qt::Window);
    EXPECT_EQ(box->windowModality(), Qt::NonModal);
    // Hiding MainForm in the tray leaves the box where it is.
    window->hide();
    QApplication::processEvents();
    EXPECT_TRUE(box->isVisible());
    box->button(QMessageBox::Ok)->click();
    QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(boxes().empty());
    display.showNow("Send-Document: Broken pipe.");
    ASSERT_EQ(boxes().size(), 1u);
    EXPECT_EQ(boxes()[0]->text().toStdString(), "Send-Document: Broken pipe.");
    boxes()[0]->close();
    QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    // A box about a job follows it: the same job's news replaces its text, another job's
    // leaves it, and an empty text (the job printed or deleted) closes it.
    window->showJobFailure("Zelmo3.Prn", "próba 1. Następna próba o 10:00.");
    window->showJobFailure("Zelmo4.Prn", "Zelmo4");
    window->followFailure("Zelmo4.Prn", "");
    ASSERT_EQ(boxes().size(), 1u);
    window->showJobFailure("Zelmo3.Prn", "próba 2. Następna próba o 10:05.");
    EXPECT_EQ(boxes()[0]->text().toStdString(), "próba 2. Następna próba o 10:05.");
    window->followFailure("Zelmo3.Prn", "Zadanie odłożono.");
    EXPECT_EQ(boxes()[0]->text().toStdString(), "Zadanie odłożono.");
    window->followFailure("Zelmo3.Prn", "");
    QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(boxes().empty());
}

TEST_F(MainWindowTest, TheQueueWindowListsLeftoversAndPrintsOrDeletesThemOnRequest) {
    std::ofstream(dir + "/Zelmo7.Prn") << "\f";
    std::ofstream(dir + "/Zelmo9.Prn") << "\f";
    QMenu* menu = child<QMenu>("PopupMenu");
    menu->actions().at(3)->trigger();
    QueueWindow& queue = window->queueWindow();
    ASSERT_TRUE(queue.isVisible());
    EXPECT_EQ(queue.windowTitle().toStdString(), "Kolejka wydruków");
    QTreeWidget* list = queue.list();
    ASSERT_EQ(list->topLevelItemCount(), 2);
    EXPECT_EQ(list->topLevelItem(0)->text(1).toStdString(), "Zelmo7.Prn");
    EXPECT_EQ(list->topLevelItem(0)->text(4).toStdString(),
              "z poprzedniego uruchomienia (niedrukowany)");
    // Listed, never printed on their own: the monitor runs and leaves them.
    for (int i = 0; i < 3; ++i)
        window->form().timerTick();
    EXPECT_EQ(window->form().monitor()->queue().pendingCount, 0);

    list->topLevelItem(1)->setSelected(true);
    queue.deleteSelected(true);
    EXPECT_FALSE(fs::exists(dir + "/Zelmo9.Prn"));
    ASSERT_EQ(list->topLevelItemCount(), 1);
    list->topLevelItem(0)->setSelected(true);
    queue.printAgainSelected();
    EXPECT_EQ(window->form().monitor()->queue().pendingCount, 1);
    EXPECT_EQ(list->topLevelItem(0)->text(4).toStdString().rfind("oczekuje (1. w kolejce)", 0), 0u);
}

// A finished job's row offers its PDF, and stays selected across the window's refreshes.
TEST_F(MainWindowTest, TheQueueWindowOffersAFinishedJobsPdf) {
    HistoryEntry done;
    done.job = 3;
    done.queueName = "Zelmo3.Prn";
    done.pdf = dir + "/Zelmo3.pdf";
    std::ofstream(done.pdf) << "%PDF-1.4";
    std::ofstream(dir + "/" + kHistoryName) << formatHistory({done});
    window->finish();
    window = std::make_unique<MainWindow>(printer, dir + "/zelmo");
    window->start();
    child<QMenu>("PopupMenu")->actions().at(3)->trigger();
    QueueWindow& queue = window->queueWindow();
    ASSERT_EQ(queue.list()->topLevelItemCount(), 1);
    EXPECT_FALSE(queue.openPdfButton()->isEnabled());
    queue.list()->topLevelItem(0)->setSelected(true);
    EXPECT_TRUE(queue.openPdfButton()->isEnabled());
    EXPECT_EQ(queue.openPdfButton()->text().toStdString(), "Otwórz P&DF");
    fs::remove(done.pdf);
    queue.refresh();
    EXPECT_TRUE(queue.list()->topLevelItem(0)->isSelected());
    EXPECT_FALSE(queue.openPdfButton()->isEnabled());
}

// Under a Polish locale the toolkit speaks Polish (its own dialogs through its translations,
// numbers with a comma), and our own question has Polish buttons whatever it loaded.
TEST_F(MainWindowTest, APolishLocaleGivesPolishDialogsAndNumbers) {
    setenv("LC_ALL", "pl_PL.UTF-8", 1);
    installToolkitLanguage(*QCoreApplication::instance());
    EXPECT_EQ(QCoreApplication::translate("QPlatformTheme", "Cancel").toStdString(), "Anuluj");
    EXPECT_EQ(systemDecimalSeparator(), ',');
    std::ofstream(dir + "/Zelmo7.Prn") << "\f";
    child<QMenu>("PopupMenu")->actions().at(3)->trigger();
    QueueWindow& queue = window->queueWindow();
    queue.list()->topLevelItem(0)->setSelected(true);
    std::vector<std::string> buttons;
    QTimer::singleShot(0, [&] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (!box) return;
        for (QAbstractButton* button : box->buttons())
            buttons.push_back(button->text().toStdString());
        box->defaultButton()->click();
    });
    queue.deleteSelected(false);
    std::sort(buttons.begin(), buttons.end());
    EXPECT_EQ(buttons, (std::vector<std::string>{"&Nie", "&Tak"}));
    // The default answer keeps the file.
    EXPECT_TRUE(fs::exists(dir + "/Zelmo7.Prn"));
    // The other tests run in the C locale.
    for (QTranslator* translator : QCoreApplication::instance()->findChildren<QTranslator*>()) {
        QCoreApplication::removeTranslator(translator);
        delete translator;
    }
    QLocale::setDefault(QLocale::c());
    unsetenv("LC_ALL");
}

}  // namespace
}  // namespace zelmo
