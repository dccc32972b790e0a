// The queue window on Qt Widgets.
#include "shell/qt/queue_window.h"

#include <QDateTime>
#include <QDesktopServices>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QMessageBox>
#include <QPushButton>
#include <QTreeWidget>
#include <QUrl>
#include <QVBoxLayout>

#include "shell/Main.h"
#include "shell/feedback.h"
#include "shell/texts.h"

namespace zelmo {
namespace {

constexpr int kRefreshMs = 1000;
enum Column { Number, Name, Time, Size, State, ColumnCount };

// A UTF-8 text as a QString.
QString q(const char* text) {
    return QString::fromUtf8(text);
}

// A size as people read it: bytes below a kilobyte, else kilobytes with one decimal.
QString sizeText(uint64_t bytes) {
    if (bytes < 1024) return QString::number(bytes) + QStringLiteral(" B");
    return QLocale::system().toString(bytes / 1024.0, 'f', 1) + QStringLiteral(" kB");
}

}  // namespace

// The list, the buttons below it, and a slow refresh for files that change on their own.
QueueWindow::QueueWindow(TMainForm& form, QWidget* parent)
    : QWidget(parent, Qt::Window), form_(form) {
    setObjectName(QStringLiteral("QueueWindow"));
    setWindowTitle(q(texts::kQueueTitle));
    list_ = new QTreeWidget(this);
    list_->setObjectName(QStringLiteral("QueueList"));
    list_->setRootIsDecorated(false);
    list_->setColumnCount(ColumnCount);
    QStringList headers;
    for (const char* header : texts::kQueueColumns)
        headers << q(header);
    list_->setHeaderLabels(headers);
    list_->header()->setStretchLastSection(true);
    list_->setSelectionMode(QAbstractItemView::SingleSelection);
    printAgain_ = new QPushButton(q(texts::kPrintAgain), this);
    delete_ = new QPushButton(q(texts::kDelete), this);
    auto* openFolder = new QPushButton(q(texts::kOpenFolder), this);
    auto* close = new QPushButton(q(texts::kClose), this);
    auto* buttons = new QHBoxLayout;
    for (QPushButton* button : {printAgain_, delete_, openFolder})
        buttons->addWidget(button);
    buttons->addStretch();
    buttons->addWidget(close);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(list_);
    layout->addLayout(buttons);
    resize(760, 280);
    connect(printAgain_, &QPushButton::clicked, this, [this] { printAgainSelected(); });
    connect(delete_, &QPushButton::clicked, this, [this] { deleteSelected(false); });
    connect(openFolder, &QPushButton::clicked, this, [this] {
        QDesktopServices::openUrl(QUrl::fromLocalFile(QString::fromStdString(form_.programDir())));
    });
    connect(close, &QPushButton::clicked, this, &QWidget::close);
    connect(list_, &QTreeWidget::itemSelectionChanged, this, [this] { updateButtons(); });
    refreshTimer_.setInterval(kRefreshMs);
    connect(&refreshTimer_, &QTimer::timeout, this, [this] {
        if (isVisible()) refresh();
    });
    updateButtons();
}

// Brings the window up to date and in front.
void QueueWindow::open() {
    refresh();
    showNormal();
    raise();
    activateWindow();
    refreshTimer_.start();
}

// One row per queue file, in print order, then the others by number.
void QueueWindow::refresh() {
    const std::string selected = selectedName();
    list_->clear();
    for (const QueueFileInfo& file : form_.queueSnapshot()) {
        auto* row = new QTreeWidgetItem(list_);
        row->setText(Number, QString::number(file.number));
        row->setTextAlignment(Number, Qt::AlignRight | Qt::AlignVCenter);
        row->setText(Name, QString::fromStdString(file.name));
        row->setText(
            Time, QDateTime::fromSecsSinceEpoch(std::chrono::system_clock::to_time_t(file.modified))
                      .toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")));
        row->setText(Size, sizeText(file.size));
        row->setTextAlignment(Size, Qt::AlignRight | Qt::AlignVCenter);
        row->setText(State, QString::fromStdString(queueStateText(file)));
        row->setToolTip(State, row->text(State));
        row->setData(Name, Qt::UserRole, static_cast<int>(file.state));
        if (file.name == selected) row->setSelected(true);
    }
    for (int column = Number; column < State; ++column)
        list_->resizeColumnToContents(column);
    updateButtons();
}

// Refreshes while open; a closed window reads the folder when it is opened.
void QueueWindow::jobEvent(const JobEvent&) {
    if (isVisible()) refresh();
}

// Queues the selected file again, at the end of the queue.
void QueueWindow::printAgainSelected() {
    const std::string name = selectedName();
    if (!name.empty()) form_.printAgain(name);
    refresh();
}

// Deletes the selected file once the user has confirmed it.
void QueueWindow::deleteSelected(bool confirmed) {
    const std::string name = selectedName();
    if (name.empty()) return;
    const QString file = QString::fromStdString(name);
    if (!confirmed && QMessageBox::question(
                          this, q(texts::kQueueTitle), q(texts::kConfirmDelete).arg(file),
                          QMessageBox::Yes | QMessageBox::No, QMessageBox::No) != QMessageBox::Yes)
        return;
    if (!form_.deleteQueueFile(name))
        QMessageBox::warning(this, q(texts::kQueueTitle), q(texts::kDeleteFailed).arg(file));
    refresh();
}

// The file name of the selected row; empty when none.
std::string QueueWindow::selectedName() const {
    const QList<QTreeWidgetItem*> rows = list_->selectedItems();
    return rows.isEmpty() ? std::string() : rows.first()->text(Name).toStdString();
}

// A queued or printing file cannot be queued again; one being printed cannot be deleted.
void QueueWindow::updateButtons() {
    const QList<QTreeWidgetItem*> rows = list_->selectedItems();
    const int state = rows.isEmpty() ? -1 : rows.first()->data(Name, Qt::UserRole).toInt();
    const auto is = [state](QueueFileState s) { return state == static_cast<int>(s); };
    printAgain_->setEnabled(is(QueueFileState::SetAside) || is(QueueFileState::Leftover));
    delete_->setEnabled(state >= 0 && !is(QueueFileState::Printing));
}

}  // namespace zelmo
