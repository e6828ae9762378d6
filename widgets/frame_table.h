#pragma once
// The line monitor's frames for a view: the latest 100 000, oldest dropped
// first, one row each, coloured by kind.
#include <QAbstractTableModel>
#include <QColor>
#include <deque>
#include <vector>

#include "device/line_monitor.h"

class FrameTable : public QAbstractTableModel {
    Q_OBJECT
public:
    static constexpr size_t kKeep = 100'000;
    enum Column { ColTime, ColKind, ColAddress, ColFunction, ColText, ColBytes, ColCount };

    explicit FrameTable(QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation o, int role) const override;

    // The time column counts from originUs (the monitor's start, monotonic).
    void setOrigin(int64_t originUs) { originUs_ = originUs; }
    void append(std::vector<lork::monitor::Frame>&& frames);
    void clearAll();
    const std::deque<lork::monitor::Frame>& frames() const { return frames_; }

    // A row's background for its kind; the legend shows the same.
    static QColor colour(lork::monitor::Kind k);

private:
    std::deque<lork::monitor::Frame> frames_;
    int64_t originUs_ = 0;
};
