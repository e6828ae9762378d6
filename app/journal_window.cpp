#include "app/journal_window.h"

#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableView>
#include <QTimer>
#include <QVBoxLayout>
#include <set>

#include "widgets/journal_table.h"
#include "records/format.h"
#include "pages/page_format.h"

JournalWindow::JournalWindow(lork::journal::Store& store, QWidget* parent)
    : QWidget(parent, Qt::Window), store_(store), table_(new JournalTable(store, this)) {
    setObjectName(QStringLiteral("Fjournal"));
    setWindowTitle(QStringLiteral("журнал обмена"));
    resize(1000, 520);

    auto* top = new QHBoxLayout;
    auto button = [&](const char* name, const char* text) {
        auto* b = new QPushButton(QString::fromUtf8(text), this);
        b->setObjectName(QLatin1String(name));
        top->addWidget(b);
        return b;
    };
    CBerrors = new QCheckBox(QStringLiteral("только ошибки"), this);
    CBerrors->setObjectName(QStringLiteral("CBerrors"));
    top->addWidget(CBerrors);
    Ekod = new QLineEdit(this);
    Ekod->setObjectName(QStringLiteral("Ekod"));
    Ekod->setPlaceholderText(QStringLiteral("код"));
    Ekod->setMaximumWidth(60);
    top->addWidget(Ekod);
    Ehex = new QLineEdit(this);
    Ehex->setObjectName(QStringLiteral("Ehex"));
    Ehex->setPlaceholderText(QStringLiteral("байты, 05 03 ..."));
    // A placeholder is gone once typed over: the filters are named.
    Ekod->setAccessibleName(QStringLiteral("фильтр: код результата"));
    Ehex->setAccessibleName(QStringLiteral("фильтр: байты"));
    top->addWidget(Ehex, 1);
    Bpause = button("Bpause", "пауза");
    Bpause->setCheckable(true);
    QPushButton* Bclear = button("Bclear", "очистить");
    QPushButton* Bcopy = button("Bcopy", "копировать");
    QPushButton* Bcsv = button("Bcsv", "в CSV...");
    QPushButton* Btext = button("Btext", "в текст...");
    QPushButton* Breset = button("Breset", "сбросить счёт");

    TVjournal = new QTableView(this);
    TVjournal->setObjectName(QStringLiteral("TVjournal"));
    TVjournal->setModel(table_);
    TVjournal->setSelectionBehavior(QAbstractItemView::SelectRows);
    TVjournal->setWordWrap(false);
    // Tab leaves the table for the next control; the arrows move in it.
    TVjournal->setTabKeyNavigation(false);
    // Fixed row heights keep appends and scrolling cheap with 100 000 rows.
    TVjournal->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    TVjournal->verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 4);
    TVjournal->verticalHeader()->hide();
    TVjournal->horizontalHeader()->setStretchLastSection(true);
    TVjournal->horizontalHeader()->setSectionsMovable(true);
    const int widths[] = {90, 110, 230, 40, 230, 40, 55, 40};
    for (int c = 0; c < 8; ++c) TVjournal->setColumnWidth(c, widths[c]);

    Lstats = new QLabel(this);
    Lstats->setObjectName(QStringLiteral("Lstats"));
    Lstats->setWordWrap(true);
    Lstats->setTextInteractionFlags(Qt::TextSelectableByMouse);

    Lexport = new QLabel(this);
    Lexport->setObjectName(QStringLiteral("Lexport"));
    Lexport->setTextInteractionFlags(Qt::TextSelectableByMouse);

    auto* col = new QVBoxLayout(this);
    col->addLayout(top);
    col->addWidget(TVjournal, 1);
    col->addWidget(Lstats);
    col->addWidget(Lexport);

    connect(CBerrors, &QCheckBox::toggled, this, &JournalWindow::applyFilter);
    connect(Ekod, &QLineEdit::textChanged, this, &JournalWindow::applyFilter);
    connect(Ehex, &QLineEdit::textChanged, this, &JournalWindow::applyFilter);
    connect(Bpause, &QPushButton::toggled, this, [this](bool on) {
        table_->setPaused(on);
        if (!on) TVjournal->scrollToBottom();
    });
    connect(Bclear, &QPushButton::clicked, this, [this] {
        table_->clearAll();
        refresh();
    });
    connect(Bcopy, &QPushButton::clicked, this, [this] { copySelected(); });
    connect(Bcsv, &QPushButton::clicked, this, [this] {
        const QString f = QFileDialog::getSaveFileName(this, QString(), lork::pages::saveStart(), QStringLiteral("CSV (*.csv)"));
        if (!f.isEmpty()) exportCsv(f);
    });
    connect(Btext, &QPushButton::clicked, this, [this] {
        const QString f = QFileDialog::getSaveFileName(this, QString(), lork::pages::saveStart(), QStringLiteral("текст (*.txt)"));
        if (!f.isEmpty()) exportText(f);
    });
    connect(Breset, &QPushButton::clicked, this, [this] {
        store_.stats.reset();
        refresh();
    });
    // The view and the counts follow at most four times a second, so that a
    // sweep's hundreds of exchanges cost no redraw each.
    refresh_ = new QTimer(this);
    refresh_->setInterval(250);
    connect(refresh_, &QTimer::timeout, this, [this] {
        if (dirty_) refresh();
    });
    refresh_->start();
    refresh();
}

QByteArray JournalWindow::columnState() const { return TVjournal->horizontalHeader()->saveState(); }

bool JournalWindow::restoreColumnState(const QByteArray& state) {
    return TVjournal->horizontalHeader()->restoreState(state);
}

void JournalWindow::appended(const lork::journal::Entry& e) {
    table_->appended(e);
    dirty_ = true;
}

// A hidden window's counts are not kept up to date: opening it brings them.
void JournalWindow::showEvent(QShowEvent* e) {
    QWidget::showEvent(e);
    refresh();
}

void JournalWindow::applyFilter() {
    table_->flush();
    JournalTable::Filter f;
    f.errorsOnly = CBerrors->isChecked();
    bool ok = false;
    const int code = Ekod->text().trimmed().toInt(&ok);
    f.code = ok ? code : -1;
    f.hex = Ehex->text();
    table_->setFilter(f);
}

void JournalWindow::refresh() {
    dirty_ = false;
    table_->flush();
    if (!isVisible()) return;
    Lstats->setText(statsText());
    if (!table_->paused()) TVjournal->scrollToBottom();
}

QString JournalWindow::statsText() {
    const auto& s = store_.stats;
    QString t = QStringLiteral("отправлено %1, норма %2").arg(s.sent).arg(s.good);
    for (int code = 1; code < 256; ++code)
        if (s.byCode[size_t(code)]) t += QStringLiteral(", код %1: %2").arg(code).arg(s.byCode[size_t(code)]);
    if (s.portFailures) t += QStringLiteral("; сбоев порта: %1").arg(s.portFailures);
    auto ms = [](double v) { return v < 0 ? QStringLiteral("-") : QString::number(v, 'f', 1); };
    t += QStringLiteral("; ответ, мс: мин %1, медиана %2, 95% %3, макс %4")
             .arg(ms(s.minMs()), ms(s.quantileMs(0.5)), ms(s.quantileMs(0.95)), ms(s.maxMs()));
    if (s.pollTicks)
        t += QStringLiteral("; опрос: %1 из %2 циклов, %3 %")
                 .arg(s.pollGoodTicks)
                 .arg(s.pollTicks)
                 .arg(QString::number(s.availability(), 'f', 1));
    return t;
}

QString JournalWindow::copySelected() {
    std::set<int> rows;
    for (const QModelIndex& i : TVjournal->selectionModel()->selectedIndexes()) rows.insert(i.row());
    QString text;
    for (int r : rows)
        if (const auto* e = table_->entryAt(r)) text += QString::fromStdString(lork::journal::tabLine(*e)) + '\n';
    QApplication::clipboard()->setText(text);
    return text;
}

bool JournalWindow::exportCsv(const QString& path) { return exportRows(path, true); }
bool JournalWindow::exportText(const QString& path) { return exportRows(path, false); }

bool JournalWindow::exportRows(const QString& path, bool csv) {
    // Rows reach the view in batches; an export must not miss the last one.
    table_->flush();
    std::string text = csv ? lork::journal::csvHeader() + '\n' : std::string();
    int rows = 0;
    for (int r = 0; r < table_->rowCount(); ++r)
        if (const auto* e = table_->entryAt(r)) {
            text += (csv ? lork::journal::csvLine(*e) : lork::journal::textLine(*e)) + '\n';
            ++rows;
        }
    // A file that could not be written must never pass for an export.
    const QString err = lork::pages::writeWholeFile(path, QByteArray::fromStdString(text));
    if (err.isEmpty()) {
        Lexport->setStyleSheet(QString());
        Lexport->setText(QStringLiteral("записано строк: %1 в %2").arg(rows).arg(path));
    } else {
        Lexport->setStyleSheet(QStringLiteral("color: #c00000"));
        Lexport->setText(QStringLiteral("не удалось записать %1: %2").arg(path, err));
    }
    return err.isEmpty();
}
