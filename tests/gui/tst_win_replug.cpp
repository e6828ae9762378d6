// The window on a real COM port under Windows (wine maps it to a
// pseudo-terminal of lork-sim), while scripts/windows/test pulls the line
// away and brings it back: the simulator killed and its terminal's path
// removed, then both made again. The first command after the loss says so
// in one box, in words; the first command after the return reads the
// instrument. The two sides meet through files in LORK_WIN_REPLUG_DIR:
// the test writes "want-down" / "want-up", the script answers with
// "down" / "up", and finds the box's text in "box.txt". Without that
// folder (a plain ctest run) it has nothing to drive and skips.
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QRegularExpression>
#include <QtTest>

#include "app/tfglav.h"
#include "gui_fixture.h"
#include "pages/readings.h"

namespace {

QString dir() { return qEnvironmentVariable("LORK_WIN_REPLUG_DIR"); }

// Asks the script for a step and waits for its answer (a minute at most: the
// machine may be busy).
bool step(const QString& want, const QString& answer) {
    QFile f(QDir(dir()).filePath(want));
    if (!f.open(QIODevice::WriteOnly)) return false;
    f.close();
    for (int i = 0; i < 600; ++i) {
        if (QFile::exists(QDir(dir()).filePath(answer))) return true;
        QTest::qWait(100);
    }
    return false;
}

}  // namespace

class TstWinReplug : public QObject {
    Q_OBJECT
private slots:
    void lostPortToldOnceAndReopenedByTheNextCommand();
};

void TstWinReplug::lostPortToldOnceAndReopenedByTheNextCommand() {
    if (dir().isEmpty()) QSKIP("driven by scripts/windows/test (LORK_WIN_REPLUG_DIR)");
    const std::string port = qEnvironmentVariable("LORK_WIN_REPLUG_PORT", QStringLiteral("COM5")).toStdString();
    lork::test::ProgramWindow pw(port);
    auto* res = pw.get<QLineEdit>("LEres");
    pw.w->readings().BzaprosClick();
    QVERIFY2(pw.messages.isEmpty(), qPrintable(pw.messages.join(QLatin1Char('|'))));
    QVERIFY(!res->text().trimmed().isEmpty());

    QVERIFY2(step(QStringLiteral("want-down"), QStringLiteral("down")), "the script did not take the line away");
    pw.w->readings().BzaprosClick();
    QCOMPARE(pw.messages.size(), 1);
    const QString box = pw.messages[0];
    // For the script's report, in UTF-8 (the test log has the system's code page).
    QFile told(QDir(dir()).filePath(QStringLiteral("box.txt")));
    if (told.open(QIODevice::WriteOnly)) told.write(box.toUtf8());
    // The cause in the system's words, with its code in brackets, never a bare number.
    QVERIFY2(!box.contains(QRegularExpression(QStringLiteral("системная ошибка \\d+\\s*$"))), qPrintable(box));
    QVERIFY2(box.contains(QRegularExpression(QStringLiteral("\\[.*код \\d+\\]"))), qPrintable(box));

    QVERIFY2(step(QStringLiteral("want-up"), QStringLiteral("up")), "the script did not bring the line back");
    res->clear();
    pw.w->readings().BzaprosClick();
    QCOMPARE(pw.messages.size(), 1);
    QVERIFY2(!res->text().trimmed().isEmpty(), qPrintable(pw.w->infoLines().join(QLatin1Char('|'))));
}

QTEST_MAIN(TstWinReplug)
#include "tst_win_replug.moc"
