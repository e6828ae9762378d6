#include "app/journal_tool.h"

#include <QAction>
#include <QFileDialog>
#include <QMenu>
#include <QStyle>
#include <QToolButton>

#include "app/activation_gate.h"
#include "app/journal_window.h"
#include "app/tfglav.h"
#include "app/tool_button.h"
#include "journal/journal.h"
#include "journal/log_file.h"

JournalTool::JournalTool(TFglav& window, QMenu* menu, QToolBar* bar)
    : main_(window),
      store_(std::make_unique<lork::journal::Store>()),
      log_(std::make_unique<lork::journal::LogFile>(
          [&window](const std::string& text) { window.addInfoLine(QString::fromStdString(text)); })),
      window_(new JournalWindow(*store_, &window)) {
    setObjectName(QStringLiteral("JournalTool"));
    window_->setProperty(kBesideProperty, true);
    subscription_ = main_.core().feed.subscribe([this](const lork::ExchangeRecord& rec) {
        const lork::journal::Entry& e = store_->add(main_.requestWallMs(rec), rec);
        window_->appended(e);
        log_->write(e);
    });

    showItem_ = menu->addAction(QStringLiteral("журнал обмена"));
    showItem_->setObjectName(QStringLiteral("N_journal"));
    logItem_ = menu->addAction(QStringLiteral("запись журнала в файл..."));
    logItem_->setObjectName(QStringLiteral("N_log"));
    logItem_->setCheckable(true);
    connect(showItem_, &QAction::triggered, this, &JournalTool::showWindow);
    connect(logItem_, &QAction::triggered, this, &JournalTool::toggleLog);

    button_ = makeToolButton(bar,
                             {15, QStringLiteral("журнал"), QStringLiteral("журнал обмена"),
                              window.style()->standardIcon(QStyle::SP_FileDialogDetailedView)},
                             showItem_);
}

JournalTool::~JournalTool() {
    main_.core().feed.unsubscribe(subscription_);
    delete button_;
    delete logItem_;
    delete showItem_;
    delete window_;
}

void JournalTool::showWindow() {
    window_->show();
    window_->raise();
    window_->activateWindow();
}

bool JournalTool::startLog(const QString& path, bool fromStart) {
    const bool ok = log_->start(path.toStdString());
    if (ok && fromStart)
        for (size_t i = 0; i < store_->ring.size(); ++i) log_->write(store_->ring.at(i));
    logItem_->setChecked(ok);
    return ok;
}

void JournalTool::stopLog() {
    log_->stop();
    logItem_->setChecked(false);
}

bool JournalTool::logging() const { return log_->active(); }

void JournalTool::toggleLog() {
    if (log_->active()) {
        stopLog();
        return;
    }
    logItem_->setChecked(false);
    const QString f = QFileDialog::getSaveFileName(&main_, QStringLiteral("журнал обмена"), QString(),
                                                   QStringLiteral("CSV (*.csv)"));
    if (!f.isEmpty()) startLog(f);
}
