#include "widgets/frame_table.h"

#include <QBrush>

using lork::monitor::Frame;
using lork::monitor::Kind;

FrameTable::FrameTable(QObject* parent) : QAbstractTableModel(parent) {}

int FrameTable::rowCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : int(frames_.size()); }
int FrameTable::columnCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : ColCount; }

QColor FrameTable::colour(Kind k) {
    switch (k) {
    case Kind::Request: return QColor(0xDD, 0xE8, 0xFF);
    case Kind::Reply: return QColor(0xDD, 0xF4, 0xDD);
    case Kind::Exception: return QColor(0xFF, 0xE2, 0xB8);
    case Kind::CrcError: return QColor(0xFF, 0xC8, 0xC8);
    case Kind::Stray: return QColor(0xDE, 0xDE, 0xDE);
    case Kind::NoReply: return QColor(0xFF, 0xF2, 0x9E);
    }
    return {};
}

QVariant FrameTable::data(const QModelIndex& index, int role) const {
    if (index.row() < 0 || size_t(index.row()) >= frames_.size()) return {};
    const Frame& f = frames_[size_t(index.row())];
    if (role == Qt::BackgroundRole) return QBrush(colour(f.kind));
    if (role == Qt::ForegroundRole) return QBrush(QColor(0, 0, 0));  // dark text on the light colours, whatever the style
    if (role != Qt::DisplayRole && role != Qt::ToolTipRole) return {};
    switch (index.column()) {
    case ColTime: return QString::number(double(f.tUs - originUs_) / 1e6, 'f', 4);
    case ColKind: return QString::fromUtf8(lork::monitor::kindText(f.kind));
    case ColAddress: return f.bytes.empty() && f.kind != Kind::NoReply ? QString() : QString::number(f.address);
    case ColFunction: return f.bytes.size() < 2 && f.kind != Kind::NoReply ? QString() : QString::number(f.function);
    case ColText: return QString::fromStdString(f.text);
    case ColBytes: return QString::fromStdString(lork::monitor::hexText(f.bytes));
    default: return {};
    }
}

QVariant FrameTable::headerData(int section, Qt::Orientation o, int role) const {
    if (role != Qt::DisplayRole || o != Qt::Horizontal) return {};
    static const char* const titles[ColCount] = {"время, с", "вид", "адрес", "функция", "расшифровка", "байты"};
    return section >= 0 && section < ColCount ? QString::fromUtf8(titles[section]) : QVariant();
}

void FrameTable::append(std::vector<Frame>&& frames) {
    if (frames.empty()) return;
    // The oldest go first when the new ones would pass the bound.
    const size_t incoming = std::min(frames.size(), kKeep);
    const size_t over = frames_.size() + incoming > kKeep ? frames_.size() + incoming - kKeep : 0;
    if (over) {
        beginRemoveRows({}, 0, int(over) - 1);
        frames_.erase(frames_.begin(), frames_.begin() + std::ptrdiff_t(over));
        endRemoveRows();
    }
    const int row = int(frames_.size());
    beginInsertRows({}, row, row + int(incoming) - 1);
    for (size_t i = frames.size() - incoming; i < frames.size(); ++i) frames_.push_back(std::move(frames[i]));
    endInsertRows();
}

void FrameTable::clearAll() {
    beginResetModel();
    frames_.clear();
    endResetModel();
}
