// The queue window on Qt Widgets.
#include "shell/qt/queue_window.h"

#include <QDesktopServices>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QMessageBox>
#include <QPushButton>
#include <QTreeWidget>
#include <QUrl>
#include <QVBoxLayout>

#include "shell/main_form.h"
#include "shell/qt/event_loop.h"
#include "shell/texts.h"

namespace zelmo {
namespace {

constexpr int kRefreshMs = 1000;

// A UTF-8 text as a QString.
QString q(const char* text) {
    return QString::fromUtf8(text);
}
QString q(const std::string& text) {
    return QString::fromStdString(text);
}

}  // namespace

// The list, the buttons below it, and a slow refresh for files that change on their own.
QueueWindow::QueueWindow(MainForm& form, QWidget* parent)
    : QWidget(parent, Qt::Window), form_(form), view_(form, systemDecimalSeparator()) {
    setObjectName(QStringLiteral("QueueWindow"));
    setWindowTitle(q(texts::kQueueTitle));
    list_ = new QTreeWidget(this);
    list_->setObjectName(QStringLiteral("QueueList"));
    list_->setRootIsDecorated(false);
    list_->setColumnCount(ColCount);
    QStringList headers;
    for (const char* header : texts::kQueueColumns)
        headers << q(header);
    list_->setHeaderLabels(headers);
    list_->header()->setStretchLastSection(true);
    list_->setSelectionMode(QAbstractItemView::SingleSelection);
    printAgain_ = new QPushButton(q(texts::kPrintAgain), this);
    delete_ = new QPushButton(q(texts::kDelete), this);
    openPdf_ = new QPushButton(q(texts::kOpenPdf), this);
    openPdf_->setObjectName(QStringLiteral("OpenPdf"));
    auto* openFolder = new QPushButton(q(texts::kOpenFolder), this);
    auto* close = new QPushButton(q(texts::kClose), this);
    auto* buttons = new QHBoxLayout;
    for (QPushButton* button : {printAgain_, delete_, openPdf_, openFolder})
        buttons->addWidget(button);
    buttons->addStretch();
    buttons->addWidget(close);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(list_);
    layout->addLayout(buttons);
    resize(760, 280);
    connect(printAgain_, &QPushButton::clicked, this, [this] { printAgainSelected(); });
    connect(delete_, &QPushButton::clicked, this, [this] { deleteSelected(false); });
    connect(openPdf_, &QPushButton::clicked, this, [this] { openPdfSelected(); });
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

// The queue view's rows; the selection stays on its file or finished job.
void QueueWindow::refresh() {
    const std::string selected = selectedKey();
    view_.refresh();
    list_->clear();
    for (const QueueRow& row : view_.rows()) {
        auto* item = new QTreeWidgetItem(list_);
        for (int column = ColNumber; column < ColCount; ++column) {
            item->setText(column, q(row.cells[column]));
            if (rightAligned(column))
                item->setTextAlignment(column, Qt::AlignRight | Qt::AlignVCenter);
        }
        item->setToolTip(ColState, item->text(ColState));
        if (!selected.empty() && row.key == selected) item->setSelected(true);
    }
    for (int column = ColNumber; column < ColState; ++column)
        list_->resizeColumnToContents(column);
    updateButtons();
}

// Refreshes while open; a closed window reads the folder when it is opened.
void QueueWindow::jobEvent(const JobEvent&) {
    if (isVisible()) refresh();
}

void QueueWindow::printAgainSelected() {
    view_.printAgain(selectedRow(), this);
    refresh();
}

// confirmed: the question was already answered (the tests).
void QueueWindow::deleteSelected(bool confirmed) {
    const int row = selectedRow();
    if (row < 0) return;
    view_.remove(row, *this, confirmed);
    refresh();
}

// A PDF gone meanwhile is told, and the row's button follows at the refresh.
void QueueWindow::openPdfSelected() {
    const int row = selectedRow();
    if (row < 0) return;
    view_.openPdf(row, *this);
    refresh();
}

bool QueueWindow::confirm(const std::string& text, const std::string& caption) {
    // The buttons are named here, so they are Polish whatever translation the toolkit has.
    QMessageBox box(QMessageBox::Question, q(caption), q(text), QMessageBox::NoButton, this);
    QPushButton* yes = box.addButton(q(texts::kButtonYes), QMessageBox::YesRole);
    box.setDefaultButton(box.addButton(q(texts::kButtonNo), QMessageBox::NoRole));
    box.exec();
    return box.clickedButton() == yes;
}

void QueueWindow::warn(const std::string& text, const std::string& caption) {
    QMessageBox::warning(this, q(caption), q(text));
}

// The desktop's viewer for PDFs.
bool QueueWindow::openDocument(const std::string& path) {
    return QDesktopServices::openUrl(QUrl::fromLocalFile(q(path)));
}

// The selected row of the view; -1 when none.
int QueueWindow::selectedRow() const {
    const QList<QTreeWidgetItem*> items = list_->selectedItems();
    return items.isEmpty() ? -1 : list_->indexOfTopLevelItem(items.first());
}

std::string QueueWindow::selectedKey() const {
    const int row = selectedRow();
    return row < 0 || row >= static_cast<int>(view_.rows().size()) ? std::string()
                                                                   : view_.rows()[row].key;
}

// The buttons as the selected row allows.
void QueueWindow::updateButtons() {
    const int row = selectedRow();
    const bool valid = row >= 0 && row < static_cast<int>(view_.rows().size());
    printAgain_->setEnabled(valid && view_.rows()[row].canPrintAgain);
    delete_->setEnabled(valid && view_.rows()[row].canDelete);
    openPdf_->setEnabled(valid && view_.rows()[row].canOpenPdf);
}

}  // namespace zelmo
