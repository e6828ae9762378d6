#include "app/journal_tool.h"

#include <QAction>
#include <QFileDialog>
#include <QMenu>
#include <QStyle>
#include <QToolButton>

#include "app/beside_window.h"
#include "app/journal_window.h"
#include "app/tool_host.h"
#include "device/device.h"
#include "app/tool_button.h"
#include "records/journal.h"
#include "records/log_file.h"
#include "pages/page_format.h"

JournalTool::JournalTool(ToolHost& host)
    : host_(host),
      store_(std::make_unique<lork::journal::Store>()),
      log_(std::make_unique<lork::journal::LogFile>(
          [&host](const std::string& text) { host.addInfoLine(QString::fromStdString(text)); })),
      window_(std::make_unique<JournalWindow>(*store_, host.mainWindow())) {
    setObjectName(QStringLiteral("JournalTool"));
    markBeside(window_.get());

    QMenu* menu = host.toolMenu();
    showItem_.reset(menu->addAction(QStringLiteral("журнал обмена")));
    showItem_->setObjectName(QStringLiteral("N_journal"));
    logItem_.reset(menu->addAction(QStringLiteral("запись журнала в файл...")));
    logItem_->setObjectName(QStringLiteral("N_log"));
    logItem_->setCheckable(true);
    connect(showItem_.get(), &QAction::triggered, this, &JournalTool::showWindow);
    connect(logItem_.get(), &QAction::triggered, this, &JournalTool::toggleLog);
    button_.reset(makeToolButton(host.toolBar(),
                                 {15, QStringLiteral("журнал"), QStringLiteral("журнал обмена"),
                                  host.mainWindow()->style()->standardIcon(QStyle::SP_FileDialogDetailedView)},
                                 showItem_.get()));

    subscription_ = std::make_unique<FeedSubscription>(host_.core().feed, [this](const lork::ExchangeRecord& rec) {
        const lork::journal::Entry& e = store_->add(host_.requestWallMs(rec), rec);
        window_->appended(e);
        log_->write(e);
    });
}

JournalTool::~JournalTool() = default;

void JournalTool::showWindow() { showBeside(window_.get()); }

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
    const QString f = QFileDialog::getSaveFileName(host_.mainWindow(), QStringLiteral("журнал обмена"), lork::pages::saveStart(),
                                                   QStringLiteral("CSV (*.csv)"));
    if (!f.isEmpty()) startLog(f);
}
