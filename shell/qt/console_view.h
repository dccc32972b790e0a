// MainForm on a machine without a display: a timer, the folder watch and standard output.
#pragma once

#include <QObject>
#include <QTimer>
#include <memory>
#include <string>

#include "shell/main_form.h"
#include "shell/qt/event_loop.h"

namespace zelmo {

class Printer;

// MainForm without a display: the monitored file and the printer's name go to standard
// output once, message boxes and exceptions to standard error.
class ConsoleView : public QObject, public MainView, public ExceptionDisplay {
    Q_OBJECT
  public:
    ConsoleView(Printer& printer, const std::string& executablePath,
                const std::string& folder = {});
    ~ConsoleView() override;

    void start();
    void finish();
    MainForm& form() { return *form_; }

    void showException(const ZelmoError& error) override;
    void watchHandle(intptr_t handle) override;
    void postWorkerFinished() override;

    void postMinimize() override {}
    void restoreWindow() override {}
    void closeWindow() override;
    void setTimerEnabled(bool enabled) override;
    void setPauseChecked(bool) override {}
    void setMonitorStatus(const std::string&) override {}
    void setLabelWithHint(HintLabel label, const std::string& text) override;
    void setTrayHint(const std::string&) override {}
    void setEditText(FocusTarget edit, const std::string& text) override;
    std::string editText(FocusTarget edit) const override;
    void setEngineIndex(int32_t index) override { engine_ = index; }
    int32_t engineIndex() const override { return engine_; }
    void setSingleModeChecked(bool checked) override { single_ = checked; }
    bool singleModeChecked() const override { return single_; }
    void setSettingsEnabled(bool) override {}
    void setButtonCaption(const std::string&) override {}
    void setFocus(FocusTarget) override {}
    void showWarning(const std::string& text, const std::string& caption) override;
    // Nobody to answer: the console ends by its signal, never through a question.
    bool askYesNo(const std::string&, const std::string&) override { return true; }
    char decimalSeparator() const override;
    void notify(const std::string& title, const std::string& text, bool warning) override;
    void showFailure(const std::string& text) override;

  private:
    QTimer Timer;
    std::string editX_;
    std::string editY_;
    int32_t engine_ = 0;
    bool single_ = false;
    std::unique_ptr<MainForm> form_;
};

}  // namespace zelmo
