#include "app/tool_button.h"

#include <QAction>
#include <QToolBar>
#include <QToolButton>

QToolButton* makeToolButton(QToolBar* bar, const ToolButtonLook& look, QAction* bound, bool shown) {
    auto* b = new QToolButton(bar);
    b->setObjectName(QStringLiteral("ToolButton%1").arg(look.n));
    b->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
    b->setAutoRaise(true);
    b->setIconSize(QSize(32, 32));
    b->setMinimumWidth(64);
    b->setIcon(look.icon);
    b->setText(look.caption);
    b->setToolTip(look.hint);
    if (bound) QObject::connect(b, &QToolButton::clicked, bound, &QAction::trigger);
    QAction* slot = bar->addWidget(b);
    slot->setVisible(shown);
    return b;
}
