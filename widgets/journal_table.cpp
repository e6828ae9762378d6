#include "widgets/journal_table.h"

#include <QBrush>
#include <QColor>

#include "records/format.h"

using lork::journal::Entry;

JournalTable::JournalTable(lork::journal::Store& store, QObject* parent) : QAbstractTableModel(parent), store_(store) {
    rebuild();
}

int JournalTable::rowCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : int(rows_.size()); }
int JournalTable::columnCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : lork::journal::ColCount; }

const Entry* JournalTable::entryAt(int row) const {
    if (row < 0 || size_t(row) >= rows_.size()) return nullptr;
    return store_.ring.bySeq(rows_[size_t(row)]);
}

QVariant JournalTable::data(const QModelIndex& index, int role) const {
    const Entry* e = entryAt(index.row());
    if (!e) return {};
    if (role == Qt::DisplayRole) return QString::fromStdString(lork::journal::cell(*e, index.column()));
    if (role == Qt::ForegroundRole && e->rec.kod_rez != 0) return QBrush(QColor(0xB0, 0, 0));
    if (role == Qt::ToolTipRole && e->rec.probe) return QStringLiteral("проба: в окнах обмена не показана");
    return {};
}

QVariant JournalTable::headerData(int section, Qt::Orientation o, int role) const {
    if (role != Qt::DisplayRole) return {};
    if (o == Qt::Horizontal) return QString::fromUtf8(lork::journal::columnTitle(section));
    return {};
}

bool JournalTable::passes(const Entry& e) const {
    if (filter_.errorsOnly && e.rec.kod_rez == 0) return false;
    // A port failure carries no result code to match.
    if (filter_.code >= 0 && (e.rec.kod_rez != filter_.code || e.rec.portFailed())) return false;
    if (!hex_.empty() && lork::journal::hex(e.rec.request).find(hex_) == std::string::npos &&
        lork::journal::hex(e.rec.reply).find(hex_) == std::string::npos)
        return false;
    return true;
}

void JournalTable::rebuild() {
    beginResetModel();
    rows_.clear();
    pending_.clear();
    for (size_t i = 0; i < store_.ring.size(); ++i)
        if (passes(store_.ring.at(i))) rows_.push_back(store_.ring.at(i).seq);
    endResetModel();
}

void JournalTable::dropGone() {
    const uint64_t first = store_.ring.firstSeq();
    size_t n = 0;
    while (n < rows_.size() && rows_[n] < first) ++n;
    if (!n) return;
    beginRemoveRows({}, 0, int(n) - 1);
    rows_.erase(rows_.begin(), rows_.begin() + std::ptrdiff_t(n));
    endRemoveRows();
}

void JournalTable::appended(const Entry& e) {
    if (!paused_ && passes(e)) pending_.push_back(e.seq);
}

void JournalTable::flush() {
    dropGone();
    const uint64_t first = store_.ring.firstSeq();
    size_t skip = 0;
    while (skip < pending_.size() && pending_[skip] < first) ++skip;
    if (skip < pending_.size()) {
        const int row = int(rows_.size());
        beginInsertRows({}, row, row + int(pending_.size() - skip) - 1);
        rows_.insert(rows_.end(), pending_.begin() + std::ptrdiff_t(skip), pending_.end());
        endInsertRows();
    }
    pending_.clear();
}

void JournalTable::clearAll() {
    store_.ring.clear();
    rebuild();
}

void JournalTable::setFilter(const Filter& f) {
    filter_ = f;
    // "5 3 0a" and "05030A" alike find 05 03 0A: pairs of hex digits, one blank between.
    QString digits;
    for (const QString& part : f.hex.toUpper().split(QLatin1Char(' '), Qt::SkipEmptyParts))
        digits += (part.size() % 2 ? QStringLiteral("0") : QString()) + part;
    QString pairs;
    for (int i = 0; i + 1 < digits.size(); i += 2) pairs += (i ? QStringLiteral(" ") : QString()) + digits.mid(i, 2);
    hex_ = pairs.toStdString();
    rebuild();
}

void JournalTable::setPaused(bool paused) {
    if (paused_ == paused) return;
    paused_ = paused;
    if (!paused_) rebuild();
}
