// The window "регистры" against the in-process simulator: what a read shows
// is what the instrument holds, and a write is sent only after a yes.
#include <QCheckBox>
#include <QComboBox>
#include <QEventLoop>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QTableWidget>
#include <QToolButton>
#include <QtTest>

#include "app/register_tool.h"
#include "gui_fixture.h"
#include "protocol/registers.h"
#include "sim/instrument_model.h"
#include "support/sim_attach.h"

namespace reg = lork::reg;

namespace {

struct Rig : lork::test::GuiRig {
    lork::sim::InstrumentModel model;
    RegisterWindow* regs = nullptr;
    QStringList questions;
    bool answer = false;

    Rig() : GuiRig({"COM1"}) {
        lork::test::attachToFakePort(port, model);
        w->core().link.Port_setup(w->ls().scor_code);
        regs = find<RegisterWindow>("Fregisters");
        if (!regs) qFatal("no window Fregisters");
        regs->confirm = [this](const QString& q) {
            questions << q;
            return answer;
        };
    }
    template <class T>
    T* in(const char* name) const {
        T* c = regs->findChild<T*>(QString::fromLatin1(name));
        if (!c) qFatal("no control %s", name);
        return c;
    }
    QString cell(int row, int col) const {
        const QTableWidgetItem* it = in<QTableWidget>("TBvalues")->item(row, col);
        return it ? it->text() : QString();
    }
    void read(int func, const QString& start, int count) {
        in<QComboBox>("CBfunc")->setCurrentIndex(func - 1);
        in<QLineEdit>("Estart")->setText(start);
        in<QSpinBox>("SBcount")->setValue(count);
        QTest::mouseClick(in<QPushButton>("Bread"), Qt::LeftButton);
    }
};

}  // namespace

class TstRegisters : public QObject {
    Q_OBJECT
private slots:
    void openedFromTheMenuItemAndItsButton() {
        Rig r;
        auto* button = r.find<QToolButton>("ToolButton17");
        QVERIFY(button);
        QCOMPARE(button->text(), QStringLiteral("регистры"));
        button->click();
        QVERIFY(r.regs->isVisible());
        // Every input has a name a screen reader can say.
        for (QWidget* field : r.regs->findChildren<QWidget*>())
            if (field->objectName().startsWith(QStringLiteral("qt_"))) continue;  // a spin box's own edit
            else if (qobject_cast<QLineEdit*>(field) || qobject_cast<QComboBox*>(field) ||
                qobject_cast<QAbstractSpinBox*>(field) || qobject_cast<QTableWidget*>(field))
                QVERIFY2(!field->accessibleName().isEmpty(), qPrintable(field->objectName()));
    }

    // Each row: the address, the instrument's value in decimal and hex, the
    // text only for the text registers, and the register's name.
    void readShowsTheInstrumentsValues() {
        Rig r;
        r.read(3, QStringLiteral("0x0A00"), 8);
        QCOMPARE(r.in<QTableWidget>("TBvalues")->rowCount(), 8);
        for (int i = 0; i < 8; ++i) {
            const uint16_t v = r.model.holding(uint16_t(reg::res + i)).value();
            QCOMPARE(r.cell(i, 0), QStringLiteral("0x0A0%1").arg(i));
            QCOMPARE(r.cell(i, 1), QString::number(v));
            QCOMPARE(r.cell(i, 2).mid(2).toUInt(nullptr, 16), uint(v));
            QCOMPARE(r.cell(i, 3), QString());
        }
        QCOMPARE(r.cell(0, 4), QStringLiteral("res (R)"));
        QCOMPARE(r.cell(6, 4), QStringLiteral("sum_res"));
        QCOMPARE(r.in<QTableWidget>("TBvalues")->item(0, 4)->data(Qt::AccessibleTextRole).toString(),
                 QStringLiteral("res (R), сопротивление ступени"));
        r.read(4, QStringLiteral("512"), 3);
        const QString name = r.cell(0, 3) + r.cell(1, 3) + r.cell(2, 3);
        QVERIFY2(name.startsWith(QStringLiteral("ЛО")), qPrintable(name));
        QCOMPARE(r.cell(1, 4), QStringLiteral("name +1"));
        r.read(3, QStringLiteral("0x1234"), 1);
        QVERIFY2(r.in<QLabel>("Lresult")->text().contains(QStringLiteral("исключение 2")),
                 qPrintable(r.in<QLabel>("Lresult")->text()));
    }

    void writeAsksAndOnNoSendsNothing() {
        Rig r;
        r.in<QLineEdit>("Ewrite_adr")->setText(QStringLiteral("0x0A03"));
        r.in<QLineEdit>("Ewrite_value")->setText(QStringLiteral("2"));
        const size_t before = r.port.writes.size();
        QTest::mouseClick(r.in<QPushButton>("Bwrite"), Qt::LeftButton);
        QCOMPARE(r.questions.size(), 1);
        QVERIFY2(r.questions[0].contains(QStringLiteral("0x0A03")), qPrintable(r.questions[0]));
        QCOMPARE(r.port.writes.size(), before);
        QCOMPARE(r.in<QLabel>("Lresult")->text(), QStringLiteral("запись отменена"));
        r.answer = true;
        QTest::mouseClick(r.in<QPushButton>("Bwrite"), Qt::LeftButton);
        QCOMPARE(r.port.writes.size(), before + 1);
        QCOMPARE(r.port.writes.back().bytes[1], uint8_t(16));
        QCOMPARE(r.model.holding(0x0A03).value(), uint16_t(2));
    }

    // A periodic read that falls due while a command waits in its message
    // box (an event loop inside the program's own) waits until it is closed.
    void periodicReadWaitsWhileACommandRuns() {
        Rig r;
        r.in<QSpinBox>("SBperiod")->setValue(1);
        r.in<QCheckBox>("CBevery")->setChecked(true);
        const size_t first = r.port.writes.size();
        QVERIFY(first > 0);
        size_t inside = 0, before = 0;
        QEventLoop program;
        QTimer::singleShot(0, [&] {
            QEventLoop box;
            QTimer::singleShot(1300, &box, &QEventLoop::quit);
            before = r.port.writes.size();
            box.exec();
            inside = r.port.writes.size() - before;
            QTimer::singleShot(300, &program, &QEventLoop::quit);
        });
        program.exec();
        r.in<QCheckBox>("CBevery")->setChecked(false);
        QCOMPARE(inside, size_t(0));
        QVERIFY(r.port.writes.size() > before);
    }
};

QTEST_MAIN(TstRegisters)
#include "tst_registers.moc"
