// The window "все приборы линии" against three in-process instruments on one
// line: a silent one is marked while the others go on, it recovers, and the
// window's own address and values are never touched; a row chosen becomes
// the window's address as if typed.
#include <QCheckBox>
#include <QLineEdit>
#include <QListWidget>
#include <QTableWidget>
#include <QToolButton>
#include <QtTest>

#include "app/journal_tool.h"
#include "app/overview_tool.h"
#include "gui_fixture.h"
#include "records/format.h"
#include "records/journal.h"
#include "sim/instrument_model.h"
#include "support/sim_attach.h"

namespace {

struct Rig : lork::test::GuiRig {
    lork::sim::InstrumentModel at1, at5, at7;
    OverviewWindow* ov = nullptr;

    Rig() : GuiRig({"COM1"}) {
        for (auto [m, adr] : {std::pair{&at1, 1}, std::pair{&at5, 5}, std::pair{&at7, 7}}) {
            lork::sim::SimLine l = m->line();
            l.adr = uint8_t(adr);
            m->setLine(l);
        }
        at7.setResistance(600);
        lork::test::attachToFakePort(port, {&at1, &at5, &at7});
        w->core().link.Port_setup(w->ls().scor_code);
        ov = find<OverviewWindow>("Foverview");
        if (!ov) qFatal("no window Foverview");
        in<QLineEdit>("Eaddresses")->setText(QStringLiteral("1,5,7"));
    }
    template <class T>
    T* in(const char* name) const {
        T* c = ov->findChild<T*>(QString::fromLatin1(name));
        if (!c) qFatal("no control %s", name);
        return c;
    }
    QString cell(int row, int col) const {
        const QTableWidgetItem* it = in<QTableWidget>("TBinstruments")->item(row, col);
        return it ? it->text() : QString();
    }
    void round() {
        for (int i = 0; i < 3; ++i) QVERIFY(ov->step());
    }
};

enum { Adr, Name, Version, Indicator, Leds, LastGood, Failures, State };

}  // namespace

class TstOverview : public QObject {
    Q_OBJECT
private slots:
    void silentInstrumentIsMarkedTheOthersGoOnAndItRecovers() {
        Rig r;
        QVERIFY(r.find<QToolButton>("ToolButton19"));
        // The window's own instrument and what it last showed.
        r.w->ls().adr = 5;
        r.w->st().dev.res = 17;
        r.w->st().ex.kod_rez = 11;
        const QString tuda = r.find<QListWidget>("LBtuda")->count() ? r.find<QListWidget>("LBtuda")->item(0)->text() : QString();

        r.round();
        for (int row = 0; row < 3; ++row) {
            QCOMPARE(r.cell(row, State), QStringLiteral("отвечает"));
            QCOMPARE(r.cell(row, Name), QStringLiteral("ЛОРК-1"));
            QVERIFY(!r.cell(row, Indicator).isEmpty());
            QVERIFY(r.cell(row, Leds).startsWith(QStringLiteral("P ")));
        }
        // Each instrument's own values: 255 ohm at 1 and 5, 600 at 7.
        QVERIFY(r.cell(0, Indicator) == r.cell(1, Indicator));
        QVERIFY(r.cell(2, Indicator) != r.cell(0, Indicator));
        const QString seen7 = r.cell(2, LastGood);

        r.at7.setFault(lork::sim::Fault::Silent);
        r.round();
        r.round();
        QCOMPARE(r.cell(0, State), QStringLiteral("отвечает"));
        QCOMPARE(r.cell(1, State), QStringLiteral("отвечает"));
        QCOMPARE(r.cell(1, Failures), QStringLiteral("0"));
        QVERIFY2(r.cell(2, State).startsWith(QStringLiteral("нет ответа")), qPrintable(r.cell(2, State)));
        QCOMPARE(r.cell(2, Failures), QStringLiteral("2"));
        QCOMPARE(r.cell(2, LastGood), seen7);                // the last good answer stays
        QCOMPARE(r.cell(2, Name), QStringLiteral("ЛОРК-1"));  // and who it was
        QCOMPARE(r.ov->overview().instruments()[0].turns, uint64_t(3));

        r.at7.setFault(lork::sim::Fault::None);
        r.round();
        QCOMPARE(r.cell(2, State), QStringLiteral("отвечает"));
        QCOMPARE(r.cell(2, Failures), QStringLiteral("2"));

        // Nothing of the window's changed; its exchange lines are its own.
        QCOMPARE(int(r.w->ls().adr), 5);
        QCOMPARE(int(r.w->st().dev.res), 17);
        QCOMPARE(int(r.w->st().ex.kod_rez), 11);
        const QString tudaAfter = r.find<QListWidget>("LBtuda")->count() ? r.find<QListWidget>("LBtuda")->item(0)->text() : QString();
        QCOMPARE(tudaAfter, tuda);
        QVERIFY(r.messages.isEmpty());
        // The journal has them, under a command of their own.
        const auto& ring = r.w->journal().store().ring;
        QVERIFY(ring.size() > 0);
        QCOMPARE(QString::fromStdString(lork::journal::commandText(ring.at(ring.size() - 1))), QStringLiteral("все приборы"));
    }

    void chosenRowBecomesTheWindowsAddress() {
        Rig r;
        r.round();
        auto* table = r.in<QTableWidget>("TBinstruments");
        r.ov->show();
        QVERIFY(QTest::qWaitForWindowExposed(r.ov));
        const QRect row7 = table->visualItemRect(table->item(2, Adr));
        // A real double-click: a click, then the second press that the system reports as double.
        QTest::mouseClick(table->viewport(), Qt::LeftButton, {}, row7.center());
        QTest::mouseDClick(table->viewport(), Qt::LeftButton, {}, row7.center());
        QCOMPARE(int(r.w->ls().adr), 7);
        QCOMPARE(r.find<QLineEdit>("Esysnum")->text(), QStringLiteral("7"));
        table->setCurrentCell(0, Adr);
        QTest::keyClick(table, Qt::Key_Return);
        QCOMPARE(int(r.w->ls().adr), 1);
    }
};

QTEST_MAIN(TstOverview)
#include "tst_overview.moc"
