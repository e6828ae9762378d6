#pragma once
// The journal's rows for a view: the ring's entries that pass the filters,
// by sequence number, so that the view holds no copy and no widget per row.
#include <QAbstractTableModel>
#include <deque>
#include <vector>

#include "records/journal.h"

class JournalTable : public QAbstractTableModel {
    Q_OBJECT
public:
    explicit JournalTable(lork::journal::Store& store, QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation o, int role) const override;

    // After the store took an entry (the ring may have dropped its oldest).
    // The rows follow at flush(): one insertion for many entries keeps a
    // view of 100 000 rows cheap.
    void appended(const lork::journal::Entry& e);
    void flush();
    // Empties the ring and the rows.
    void clearAll();

    struct Filter {
        bool errorsOnly = false;
        int code = -1;     // -1: any
        QString hex;       // upper-case pairs to find in the request or the reply
    };
    void setFilter(const Filter& f);
    // Paused, the rows stand still; the store goes on taking and counting.
    void setPaused(bool paused);
    bool paused() const { return paused_; }

    const lork::journal::Entry* entryAt(int row) const;

private:
    bool passes(const lork::journal::Entry& e) const;
    void rebuild();
    void dropGone();

    lork::journal::Store& store_;
    std::deque<uint64_t> rows_;
    std::vector<uint64_t> pending_;  // taken, not yet rows
    Filter filter_;
    std::string hex_;  // filter_.hex as std::string
    bool paused_ = false;
};
