// The services the main window gives its pages and the core: messages, the
// status bar, the information window, and the two subscribers of the
// exchange record (the exchange windows, the result line).
#include <QGuiApplication>
#include <QLabel>
#include <QListWidget>
#include <QMessageBox>
#include <QStatusBar>

#include <algorithm>
#include <utility>

#include "widgets/announcer.h"
#include "widgets/digit_key_filter.h"
#include "app/tfglav_parts.h"
#include "protocol/framing.h"
#include "ui_tfglav.h"

namespace {
// Status bar panel widths in pixels; the last one, the message panel, takes
// the rest of the bar.
constexpr std::array<int, 6> kPanelWidths{80, 80, 120, 100, 100, 50};
const std::array<const char*, 6> kPanelTexts{"ПОРТ:", "Адрес", "Скорость:", "паритет:", "стопбит:", ""};
}  // namespace

// --- messages, host ---

void TFglav::message(const QString& text) {
    parts_->activation.messageShown();
    if (parts_->messageFn) {
        parts_->messageFn(text);
        return;
    }
    if (parts_->holdMessages) {
        if (!parts_->heldMessages.contains(text)) parts_->heldMessages << text;
        return;
    }
    QMessageBox box(QMessageBox::NoIcon, QGuiApplication::applicationDisplayName(), text, QMessageBox::Ok,
                    isVisible() ? this : nullptr);
    box.exec();
}

void TFglav::showHeldMessages() {
    if (!std::exchange(parts_->holdMessages, false) || parts_->heldMessages.isEmpty()) return;
    const QString text = parts_->heldMessages.join(QStringLiteral("\n\n"));
    parts_->heldMessages.clear();
    message(text);
}

void TFglav::messageBox(const std::string& text) { message(QString::fromStdString(text)); }

bool TFglav::keyPressedSince(int vk) { return parts_->keyFn ? parts_->keyFn(vk) : false; }

QDateTime TFglav::wallNow() const { return parts_->nowFn ? parts_->nowFn() : QDateTime::currentDateTime(); }

int64_t TFglav::Parts::wallMs() const {
    return nowFn ? nowFn().toMSecsSinceEpoch() : QDateTime::currentMSecsSinceEpoch();
}

int64_t TFglav::Parts::requestWallMs(const lork::ExchangeRecord& rec) const {
    return wallMs() - (clock.nowUs() - rec.writeUs) / 1000;
}

QObject* TFglav::digitKeyFilter() { return parts_->digitFilter; }

// --- status bar ---

std::array<QLabel*, 6> makeStatusPanels(QStatusBar* bar) {
    std::array<QLabel*, 6> panels{};
    bar->setSizeGripEnabled(true);
    for (size_t i = 0; i < panels.size(); ++i) {
        auto* l = new QLabel(QString::fromUtf8(kPanelTexts[i]), bar);
        l->setObjectName(QStringLiteral("StatusPanel%1").arg(i));
        l->setFrameShape(QFrame::Panel);
        l->setFrameShadow(QFrame::Sunken);
        l->setContentsMargins(3, 0, 3, 0);
        if (i + 1 < panels.size()) {
            l->setFixedWidth(kPanelWidths[i]);
            bar->addPermanentWidget(l);
        } else {
            l->setMinimumWidth(kPanelWidths[i]);
            bar->addPermanentWidget(l, 1);
        }
        panels[i] = l;
    }
    return panels;
}


QString TFglav::statusPanelText(int i) const {
    if (i < 0 || i >= int(parts_->statusPanels.size())) return {};
    return parts_->statusPanels[size_t(i)]->text();
}

void TFglav::setStatusPanelText(int i, const QString& text) {
    if (i < 0 || i >= int(parts_->statusPanels.size())) return;
    QLabel* l = parts_->statusPanels[size_t(i)];
    // The same text again (every polling tick sets its message) is on the
    // screen already: no second repaint.
    if (l->text() == text) return;
    l->setText(text);
    // Linux port names are longer than COM names: a panel widens to show its
    // whole text rather than cut the port off.
    if (i + 1 < int(parts_->statusPanels.size())) {
        const QMargins m = l->contentsMargins();
        const int need = l->fontMetrics().horizontalAdvance(text) + m.left() + m.right() + 2 * l->frameWidth() + 4;
        l->setFixedWidth(std::max(kPanelWidths[size_t(i)], need));
    }
    // Long operations block the event loop; the text must show at once.
    parts_->statusPanels[size_t(i)]->repaint();
    lork::widgets::paceName(l);
}

// --- information window ---

void TFglav::addInfoLine(const QString& line) {
    ui->ListBox1->addItem(line);
    ui->ListBox1->scrollToBottom();
}

void TFglav::replaceLastInfoLine(const QString& line) {
    const int n = ui->ListBox1->count();
    if (n == 0) {
        addInfoLine(line);
        return;
    }
    ui->ListBox1->item(n - 1)->setText(line);
}

void TFglav::clearInfo() { ui->ListBox1->clear(); }

void TFglav::showInfo() { ui->ListBox1->show(); }

QListWidget* TFglav::infoWindow() { return ui->ListBox1; }

QStringList TFglav::infoLines() const {
    QStringList out;
    for (int i = 0; i < ui->ListBox1->count(); ++i) out << ui->ListBox1->item(i)->text();
    return out;
}

void TFglav::ListBox1Click() { clearInfo(); }

void TFglav::ListBox1DblClick() { ui->ListBox1->hide(); }

// --- the exchange windows and the result line ---

namespace {
// The window's one line takes the new text: the same as emptying it and
// adding a line, without taking the model apart each time.
void putLine(QListWidget* lb, const QString& line) {
    if (lb->count() == 1) {
        lb->clearSelection();
        lb->item(0)->setText(line);
    } else {
        lb->clear();
        lb->addItem(line);
    }
}

// Painted at once, and only the list's inside: its frame, its scroll bar and
// the window behind it have not changed, and each would be painted again.
// The inside fills its own background, so nothing behind it is painted.
// A repaint at once paints everything the window has waiting, so when both
// windows are to be painted the reply's is marked first and the request's
// repaint paints the two in one pass over the window, before either is
// left: one pass costs about as much as each of two.
void repaintLines(QListWidget* tuda, QListWidget* suda) {
    if (suda && tuda) suda->viewport()->update();
    if (tuda) tuda->viewport()->repaint();
    else if (suda) suda->viewport()->repaint();
}
}  // namespace

void TFglav::Show_tuda_suda(const lork::ExchangeRecord& rec) {
    // A set-up that failed put nothing on the line: the windows keep the last exchange.
    // The overview's exchanges are of other addresses, shown in its own window.
    if (rec.probe || rec.fault == lork::PortFault::Setup || rec.command == lork::Command::Overview) return;
    const auto hex = [](const std::vector<uint8_t>& b) {
        return QString::fromStdString(lork::hexBytes(b.data(), unsigned(b.size())));
    };
    QString tuda = rec.request.empty() ? QStringLiteral("нет сообщений") : hex(rec.request);
    QString suda = rec.reply.empty() ? QStringLiteral("нет ответа")
                                     : hex(rec.reply) + QStringLiteral(" dl=") + QString::number(rec.reply.size());
    putLine(ui->LBtuda, tuda);
    putLine(ui->LBsuda, suda);
    repaintLines(rec.request.empty() ? nullptr : ui->LBtuda, rec.reply.empty() ? nullptr : ui->LBsuda);
}

void TFglav::showResult(const lork::ExchangeRecord& rec) {
    if (rec.kod_rez == 0 || rec.report == lork::FailureReport::None) return;
    std::string text = lork::Kod_text(rec.kod_rez);
    if (!rec.reply.empty()) text += " принято: " + lork::hexBytes(rec.reply.data(), unsigned(rec.reply.size()));
    if (rec.report == lork::FailureReport::Box)
        message(QString::fromStdString(text));
    else
        addInfoLine(QString::fromStdString(text));
}

void TFglav::showLinkState(const lork::ExchangeRecord& rec) {
    // A search asks addresses and rates where no one is meant to answer; the
    // overview asks every instrument but the window's own and marks its own rows.
    if (rec.command == lork::Command::Search || rec.command == lork::Command::Overview) return;
    QLabel* panel = parts_->linkPanel;
    if (rec.kod_rez == 0) {
        if (!panel->isHidden()) {
            panel->clear();
            panel->hide();
            announce(QStringLiteral("связь восстановлена"));
        }
        return;
    }
    // Only silence is a lost link; a wrong reply came from a live instrument.
    // A polling tick's presence read is the exception: when it fails, whatever
    // came back, polling has lost the instrument (and stops, unless kept on).
    const bool tickLost = rec.command == lork::Command::Polling && rec.probe;
    if ((!rec.reply.empty() && !tickLost) || !panel->isHidden()) return;
    const QTime since = QDateTime::fromMSecsSinceEpoch(parts_->requestWallMs(rec)).time();
    panel->setText(QStringLiteral("нет связи с ") + since.toString(QStringLiteral("HH:mm:ss")));
    panel->show();
    panel->repaint();
    announce(QStringLiteral("нет связи с прибором %1").arg(rec.request.empty() ? ls().adr : rec.request.front()));
}

QString TFglav::linkPanelText() const { return parts_->linkPanel->isHidden() ? QString() : parts_->linkPanel->text(); }

void TFglav::clearExchangeWindows() {
    ui->LBtuda->clear();
    ui->LBsuda->clear();
}
