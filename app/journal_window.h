#pragma once
// The window "журнал обмена": every exchange as a row, the filters, pause,
// clear, copy and export, and the statistics since start or the last reset.
#include <QWidget>

#include "records/journal.h"

class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QTableView;
class QTimer;
class JournalTable;

class JournalWindow : public QWidget {
    Q_OBJECT
public:
    JournalWindow(lork::journal::Store& store, QWidget* parent = nullptr);

    // After the store took an entry.
    void appended(const lork::journal::Entry& e);
    JournalTable* table() const { return table_; }
    // The columns' widths and order, as the operator left them.
    QByteArray columnState() const;
    bool restoreColumnState(const QByteArray& state);
    // The rows and the counts brought up to date now (else a timer does it).
    void refresh();

    // The statistics line as shown (brought up to date first).
    QString statsText();
    // The selected rows, tab-separated, one a line; also onto the clipboard.
    QString copySelected();
    // All rows passing the filters into a file; false when it cannot be
    // written. Either way the window's bottom line says what became of it.
    bool exportCsv(const QString& path);
    bool exportText(const QString& path);

protected:
    void showEvent(QShowEvent* e) override;

private:
    void applyFilter();
    bool exportRows(const QString& path, bool csv);

    lork::journal::Store& store_;
    JournalTable* table_;
    QTableView* TVjournal;
    QCheckBox* CBerrors;
    QLineEdit* Ekod;
    QLineEdit* Ehex;
    QPushButton* Bpause;
    QLabel* Lstats;
    QLabel* Lexport;
    QTimer* refresh_;
    bool dirty_ = false;
};
