// The traffic journal in the window: rows, result codes and counts of
// exchanges with the simulator under injected faults.
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTableView>
#include <QToolBar>
#include <QToolButton>
#include <QtTest>
#include <cerrno>

#include "widgets/journal_table.h"
#include "app/journal_tool.h"
#include "app/journal_window.h"
#include "gui_fixture.h"
#include "records/format.h"
#include "records/log_file.h"
#include "pages/readings.h"
#include "sim/instrument_model.h"
#include "support/sim_attach.h"

using namespace lork;

namespace {
struct Rig {
    Rig() {
        test::attachToFakePort(g.port, model);
        g.w->core().link.Port_setup(g.w->ls().scor_code);
        g.w->st().found_scor[5] = 2;  // 9600, as the search leaves it
        g.w->journal().window()->table()->clearAll();
        g.w->journal().store().stats.reset();
        w0 = g.port.writes.size();
    }
    test::GuiRig g;
    sim::InstrumentModel model;
    size_t w0 = 0;
    JournalTable& table() {
        g.w->journal().window()->refresh();
        return *g.w->journal().window()->table();
    }
    QString cell(int row, int col) { return table().index(row, col).data().toString(); }
};
}  // namespace

class TstJournal : public QObject {
    Q_OBJECT
private slots:
    void queryAndPollingUnderFaults();
    void buttonOpensTheWindowAfterTheOthers();
    void unwritableLogIsToldOnce();
    void exportHoldsTheLatestExchanges();
};

void TstJournal::exportHoldsTheLatestExchanges() {
    // The view takes new rows in batches; an export made before the next
    // batch must still hold every exchange.
    Rig r;
    r.g.w->readings().BzaprosClick();
    const size_t n = r.g.port.writes.size() - r.w0;
    QTemporaryDir dir;
    const QString path = dir.filePath("journal.csv");
    QVERIFY(r.g.w->journal().window()->exportCsv(path));
    QFile f(path);
    QVERIFY(f.open(QIODevice::ReadOnly));
    QCOMPARE(size_t(f.readAll().count('\n')), n + 1);  // the header and one line each

    // A file that cannot be written is told in the window, never silent.
    const QString bad = dir.filePath("no-such-folder/journal.txt");
    QVERIFY(!r.g.w->journal().window()->exportText(bad));
    QVERIFY(r.g.w->journal().window()->findChild<QLabel*>("Lexport")->text().startsWith("не удалось записать " + bad));
}

void TstJournal::queryAndPollingUnderFaults() {
    Rig r;
    r.model.setFault(sim::Fault::BadCrc, 1);
    r.g.w->readings().BzaprosClick();
    const size_t query = r.g.port.writes.size() - r.w0;
    QVERIFY(query >= 2);
    // Polling: the first tick gets no reply, the second is good.
    r.model.setFault(sim::Fault::Silent, 1);
    r.g.w->readings().Timer_oprosTimer();
    r.g.w->readings().Timer_oprosTimer();

    // One row per frame written, the same bytes, in order.
    const size_t n = r.g.port.writes.size() - r.w0;
    QCOMPARE(size_t(r.table().rowCount()), n);
    for (size_t i = 0; i < n; ++i)
        QCOMPARE(r.cell(int(i), journal::ColRequest).toStdString(), journal::hex(r.g.port.writes[r.w0 + i].bytes));
    QCOMPARE(r.cell(0, journal::ColCode), QString("6"));
    QCOMPARE(r.cell(0, journal::ColCommand), QString("запрос"));
    QCOMPARE(r.cell(1, journal::ColCode), QString("0"));
    QVERIFY(!r.cell(1, journal::ColResponse).isEmpty());
    QCOMPARE(r.cell(int(query), journal::ColCode), QString("11"));
    QCOMPARE(r.cell(int(query), journal::ColCommand), QString("опрос, проба"));  // the tick's presence read
    QCOMPARE(r.cell(int(query), journal::ColReply), QString());
    QCOMPARE(r.cell(int(n) - 1, journal::ColCommand), QString("опрос"));

    const auto& s = r.g.w->journal().store().stats;
    QCOMPARE(s.sent, uint64_t(n));
    QCOMPARE(s.good, uint64_t(n - 2));
    QCOMPARE(s.byCode[6], uint64_t(1));
    QCOMPARE(s.byCode[11], uint64_t(1));
    QCOMPARE(s.pollTicks, uint64_t(2));
    QCOMPARE(s.pollGoodTicks, uint64_t(1));
    const QString line = r.g.w->journal().window()->statsText();
    QVERIFY2(line.contains("код 6: 1") && line.contains("код 11: 1") && line.contains("50.0 %"), qPrintable(line));

    // The filters: errors only, then a result code, then bytes of the second request.
    auto* errors = r.g.find<QCheckBox>("CBerrors");
    errors->setChecked(true);
    QCOMPARE(r.table().rowCount(), 2);
    errors->setChecked(false);
    r.g.find<QLineEdit>("Ekod")->setText("11");
    QCOMPARE(r.table().rowCount(), 1);
    r.g.find<QLineEdit>("Ekod")->clear();
    const std::vector<uint8_t>& second = r.g.port.writes[r.w0 + 1].bytes;
    r.g.find<QLineEdit>("Ehex")->setText(QString::fromStdString(journal::hex({second[1], second[2], second[3]})).remove(' '));
    QVERIFY(r.table().rowCount() >= 1);
    QCOMPARE(r.cell(0, journal::ColRequest).toStdString(), journal::hex(second));
    r.g.find<QLineEdit>("Ehex")->clear();

    // Pause: the rows stand, the counts go on; resuming shows what came meanwhile.
    r.g.find<QPushButton>("Bpause")->setChecked(true);
    r.g.w->readings().Timer_oprosTimer();
    QCOMPARE(size_t(r.table().rowCount()), n);
    QVERIFY(s.sent > n);
    r.g.find<QPushButton>("Bpause")->setChecked(false);
    QCOMPARE(uint64_t(r.table().rowCount()), s.sent);

    // Copy: the selected rows, tab-separated.
    auto* view = r.g.find<QTableView>("TVjournal");
    view->selectRow(0);
    const QString copied = r.g.w->journal().window()->copySelected();
    QCOMPARE(copied.count('\n'), 1);
    QCOMPARE(copied.split('\t').size(), int(journal::ColCount));

    r.g.find<QPushButton>("Breset")->click();
    QCOMPARE(s.sent, uint64_t(0));
    r.g.find<QPushButton>("Bclear")->click();
    QCOMPARE(r.table().rowCount(), 0);
}

void TstJournal::buttonOpensTheWindowAfterTheOthers() {
    Rig r;
    auto* bar = r.g.find<QToolBar>("ToolBar1");
    QToolButton* b = r.g.w->toolButton(15);
    QVERIFY(b);
    // Placed right after the last of the window's own buttons.
    const auto actions = bar->actions();
    qsizetype last_own = -1;
    for (qsizetype i = 0; i < actions.size(); ++i)
        if (bar->widgetForAction(actions[i]) == r.g.w->toolButton(14)) last_own = i;
    QVERIFY(last_own >= 0 && last_own + 1 < actions.size());
    QVERIFY(bar->widgetForAction(actions[last_own + 1]) == b);
    QVERIFY(!r.g.w->journal().window()->isVisible());
    r.g.w->show();
    b->click();
    QVERIFY(r.g.w->journal().window()->isVisible());
    QCOMPARE(r.g.w->journal().window()->windowTitle(), QString("журнал обмена"));
    // Its counts are there as it opens, not a timer's tick later.
    QVERIFY(r.g.find<QLabel>("Lstats")->text().startsWith(QStringLiteral("отправлено ")));
}

void TstJournal::unwritableLogIsToldOnce() {
    Rig r;
    const QString path = "/nonexistent-dir/journal.csv";
    QVERIFY(!r.g.w->journal().startLog(path));
    r.g.w->readings().BzaprosClick();
    const QString told = QString::fromStdString(journal::LogFile::failureText(path.toStdString(), ENOENT));
    QCOMPARE(r.g.w->infoLines().count(told), 1);
    QVERIFY(!r.g.w->journal().logging());
}

QTEST_MAIN(TstJournal)
#include "tst_journal.moc"
