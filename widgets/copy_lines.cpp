#include "widgets/copy_lines.h"

#include <QAction>
#include <QClipboard>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QListWidget>
#include <QMenu>
#include <algorithm>

CopyLines::CopyLines(QListWidget* list) : QObject(list), list_(list), copy_(new QAction(QStringLiteral("копировать"), this)) {
    setObjectName(list->objectName() + QStringLiteral("Copy"));
    copy_->setObjectName(objectName() + QStringLiteral("Action"));
    copy_->setShortcut(QKeySequence::Copy);
    connect(copy_, &QAction::triggered, this, &CopyLines::copy);
    list->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(list, &QWidget::customContextMenuRequested, this, [this](const QPoint& at) {
        QMenu menu(list_);
        menu.addAction(copy_);
        menu.exec(list_->viewport()->mapToGlobal(at));
    });
    list->installEventFilter(this);
}

QString CopyLines::text() const {
    QList<QListWidgetItem*> items = list_->selectedItems();
    std::sort(items.begin(), items.end(), [this](auto* a, auto* b) { return list_->row(a) < list_->row(b); });
    if (items.isEmpty())
        for (int i = 0; i < list_->count(); ++i) items << list_->item(i);
    QStringList lines;
    for (auto* it : items) lines << it->text();
    return lines.join(QLatin1Char('\n'));
}

void CopyLines::copy() { QGuiApplication::clipboard()->setText(text()); }

bool CopyLines::eventFilter(QObject* watched, QEvent* event) {
    if (watched == list_ && event->type() == QEvent::KeyPress &&
        static_cast<QKeyEvent*>(event)->matches(QKeySequence::Copy)) {
        copy();
        return true;
    }
    return QObject::eventFilter(watched, event);
}
