// The main window's part of the traffic journal: the store fed by every
// exchange, its window, its menu items and tool button, the log file.
#include <QAction>
#include <QFileDialog>
#include <QMenu>
#include <QStyle>
#include <QToolBar>
#include <QToolButton>

#include "app/journal_window.h"
#include "app/tfglav.h"
#include "records/log_file.h"
#include "ui_tfglav.h"

void TFglav::buildJournal() {
    journal_ = std::make_unique<lork::journal::Store>();
    log_ = std::make_unique<lork::journal::LogFile>(
        [this](const std::string& text) { addInfoLine(QString::fromStdString(text)); });
    Fjournal = new JournalWindow(*journal_, this);
    Fjournal->setProperty(kBesideProperty, true);
    core_.feed.subscribe([this](const lork::ExchangeRecord& rec) { journalTake(rec); });

    // Added after the window's own items and buttons, which stay as they are.
    N_journal = ui->N_nastroiki->addAction(QStringLiteral("журнал обмена"));
    N_journal->setObjectName(QStringLiteral("N_journal"));
    N_log = ui->N_nastroiki->addAction(QStringLiteral("запись журнала в файл..."));
    N_log->setObjectName(QStringLiteral("N_log"));
    N_log->setCheckable(true);
    connect(N_journal, &QAction::triggered, this, [this] { N_journalClick(); });
    connect(N_log, &QAction::triggered, this, [this] { N_logClick(); });

    auto* b = new QToolButton(ToolBar1);
    b->setObjectName(QStringLiteral("ToolButton15"));
    b->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
    b->setAutoRaise(true);
    b->setIconSize(QSize(32, 32));
    b->setMinimumWidth(64);
    b->setIcon(style()->standardIcon(QStyle::SP_FileDialogDetailedView));
    b->setText(QStringLiteral("журнал"));
    b->setToolTip(QStringLiteral("журнал обмена"));
    connect(b, &QToolButton::clicked, N_journal, &QAction::trigger);
    ToolBar1->addWidget(b);
    toolButtons[15] = b;
}

void TFglav::journalTake(const lork::ExchangeRecord& rec) {
    // The record is published when the reply is in; the request went out
    // the exchange's own time before.
    const int64_t wall = wallMs() - (clock_.nowUs() - rec.write_us) / 1000;
    const lork::journal::Entry& e = journal_->add(wall, rec);
    Fjournal->appended(e);
    log_->write(e);
}

void TFglav::N_journalClick() {
    Fjournal->show();
    Fjournal->raise();
    Fjournal->activateWindow();
}

bool TFglav::startLog(const QString& path, bool from_start) {
    const bool ok = log_->start(path.toStdString());
    if (ok && from_start)
        for (size_t i = 0; i < journal_->ring.size(); ++i) log_->write(journal_->ring.at(i));
    N_log->setChecked(ok);
    return ok;
}

void TFglav::stopLog() {
    log_->stop();
    N_log->setChecked(false);
}

bool TFglav::logging() const { return log_->active(); }

void TFglav::N_logClick() {
    if (log_->active()) {
        stopLog();
        return;
    }
    N_log->setChecked(false);
    const QString f = QFileDialog::getSaveFileName(this, QStringLiteral("журнал обмена"), QString(),
                                                   QStringLiteral("CSV (*.csv)"));
    if (!f.isEmpty()) startLog(f);
}
