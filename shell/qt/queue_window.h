// The queue window ("Kolejka wydruków"): every queue file in the folder with its number, time,
// size and state, and the user's actions on them: print again, delete, open the folder; below
// them the finished jobs, whose PDF can be opened.
#pragma once

#include <QTimer>
#include <QWidget>
#include <string>

#include "pipeline/job_events.h"
#include "shell/queue_view.h"

class QPushButton;
class QTreeWidget;

namespace zelmo {

class MainForm;

class QueueWindow : public QWidget, public JobEventSink, private QueueDialogs {
    Q_OBJECT
  public:
    explicit QueueWindow(MainForm& form, QWidget* parent = nullptr);

    // Shows the window in front, its list fresh.
    void open();
    // Reads the folder again and keeps the selection where it can.
    void refresh();
    // Every change of a job shows at once while the window is open.
    void jobEvent(const JobEvent& event) override;

    QTreeWidget* list() const { return list_; }
    // The actions on the selected file, for the buttons and the tests.
    void printAgainSelected();
    void deleteSelected(bool confirmed);
    void openPdfSelected();
    QPushButton* openPdfButton() const { return openPdf_; }

  private:
    bool confirm(const std::string& text, const std::string& caption) override;
    void warn(const std::string& text, const std::string& caption) override;
    bool openDocument(const std::string& path) override;
    int selectedRow() const;
    std::string selectedKey() const;
    void updateButtons();

    MainForm& form_;
    QueueView view_;
    QTreeWidget* list_ = nullptr;
    QPushButton* printAgain_ = nullptr;
    QPushButton* delete_ = nullptr;
    QPushButton* openPdf_ = nullptr;
    QTimer refreshTimer_;
};

}  // namespace zelmo
