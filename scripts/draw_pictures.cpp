// Draws the readings page's pictures (LEDs, output keys, front switches, the
// RS485 socket) into resources/img/. The PNGs are committed; run this only to
// change them:
//
//   g++ -std=c++20 -fPIC scripts/draw_pictures.cpp -o /tmp/draw_pictures \
//       $(pkg-config --cflags --libs Qt6Gui) && \
//   QT_QPA_PLATFORM=offscreen /tmp/draw_pictures resources/img
#include <QDir>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>
#include <QLinearGradient>

namespace {

QImage canvas(int w, int h) {
    QImage img(w, h, QImage::Format_ARGB32_Premultiplied);
    img.fill(Qt::transparent);
    return img;
}

// A round panel LED: a dark bezel, a lens whose gradient is dim when off and
// bright with a halo when lit.
QImage led(bool on) {
    QImage img = canvas(22, 22);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    QPointF c(11, 11);
    if (on) {
        QRadialGradient halo(c, 11);
        halo.setColorAt(0.55, QColor(80, 255, 80, 150));
        halo.setColorAt(1.0, QColor(80, 255, 80, 0));
        p.setPen(Qt::NoPen);
        p.setBrush(halo);
        p.drawEllipse(c, 11, 11);
    }
    p.setPen(QPen(QColor(20, 20, 20), 1.2));
    p.setBrush(QColor(55, 55, 55));
    p.drawEllipse(c, 8, 8);
    QRadialGradient lens(QPointF(9, 9), 7);
    if (on) {
        lens.setColorAt(0.0, QColor(240, 255, 240));
        lens.setColorAt(0.35, QColor(90, 255, 90));
        lens.setColorAt(1.0, QColor(0, 150, 0));
    } else {
        lens.setColorAt(0.0, QColor(90, 120, 90));
        lens.setColorAt(0.5, QColor(25, 60, 25));
        lens.setColorAt(1.0, QColor(10, 30, 10));
    }
    p.setPen(Qt::NoPen);
    p.setBrush(lens);
    p.drawEllipse(c, 6.5, 6.5);
    p.setBrush(QColor(255, 255, 255, on ? 200 : 70));
    p.drawEllipse(QPointF(8.5, 8.2), 1.8, 1.4);
    return img;
}

// An output key as a relay contact: two terminals, a blade that is lifted
// (open) or lies on the right terminal (closed).
QImage key(bool on) {
    QImage img = canvas(48, 28);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    QColor wire = on ? QColor(0, 130, 0) : QColor(70, 70, 70);
    p.setPen(QPen(wire, 2.2, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(2, 20), QPointF(13, 20));
    p.drawLine(QPointF(35, 20), QPointF(46, 20));
    p.setBrush(Qt::white);
    p.setPen(QPen(wire, 1.8));
    p.drawEllipse(QPointF(14, 20), 2.6, 2.6);
    p.drawEllipse(QPointF(34, 20), 2.6, 2.6);
    p.setPen(QPen(wire, 2.6, Qt::SolidLine, Qt::RoundCap));
    if (on)
        p.drawLine(QPointF(16, 19), QPointF(33, 17.5));
    else
        p.drawLine(QPointF(16, 18.5), QPointF(31, 4));
    return img;
}

// A front toggle switch seen from the front: a round nut and a lever pointing
// up (on) or down (off).
QImage toggle(bool on) {
    QImage img = canvas(26, 44);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(QColor(40, 40, 40), 1));
    QLinearGradient plate(0, 0, 26, 44);
    plate.setColorAt(0, QColor(200, 200, 205));
    plate.setColorAt(1, QColor(140, 140, 148));
    p.setBrush(plate);
    p.drawRoundedRect(QRectF(1.5, 1.5, 23, 41), 3, 3);
    QPointF c(13, 22);
    QRadialGradient nut(QPointF(11, 20), 8);
    nut.setColorAt(0, QColor(235, 235, 235));
    nut.setColorAt(1, QColor(110, 110, 115));
    p.setBrush(nut);
    p.drawEllipse(c, 7, 7);
    double tipY = on ? 5 : 39;
    QLinearGradient lever(9, 0, 17, 0);
    lever.setColorAt(0, QColor(120, 120, 125));
    lever.setColorAt(0.5, QColor(250, 250, 250));
    lever.setColorAt(1, QColor(120, 120, 125));
    QPainterPath path;
    path.moveTo(c.x() - 3, c.y());
    path.lineTo(c.x() - 2.2, tipY);
    path.lineTo(c.x() + 2.2, tipY);
    path.lineTo(c.x() + 3, c.y());
    path.closeSubpath();
    p.setBrush(lever);
    p.drawPath(path);
    p.drawEllipse(QPointF(c.x(), tipY), 3.2, 3.2);
    p.setBrush(QColor(30, 30, 30));
    p.drawEllipse(c, 2.2, 2.2);
    return img;
}

// The RS485 socket: a screw terminal block with three screws (A, B, GND).
QImage rs485() {
    QImage img = canvas(44, 30);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(QColor(20, 60, 20), 1));
    p.setBrush(QColor(40, 130, 60));
    p.drawRoundedRect(QRectF(1.5, 5.5, 41, 20), 2, 2);
    for (int i = 0; i < 3; ++i) {
        QPointF c(9.0 + 13.0 * i, 15.5);
        QRadialGradient screw(c - QPointF(1.5, 1.5), 6);
        screw.setColorAt(0, QColor(245, 245, 245));
        screw.setColorAt(1, QColor(120, 120, 120));
        p.setPen(QPen(QColor(50, 50, 50), 1));
        p.setBrush(screw);
        p.drawEllipse(c, 5, 5);
        p.setPen(QPen(QColor(60, 60, 60), 1.4));
        p.drawLine(c - QPointF(3, 0), c + QPointF(3, 0));
    }
    return img;
}

}  // namespace

int main(int argc, char** argv) {
    QGuiApplication app(argc, argv);
    QDir out(argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("."));
    out.mkpath(QStringLiteral("."));
    auto save = [&](const QImage& img, const char* name) {
        return img.save(out.filePath(QString::fromLatin1(name)));
    };
    bool ok = save(led(false), "led_off.png") && save(led(true), "led_on.png") &&
              save(key(false), "key_off.png") && save(key(true), "key_on.png") &&
              save(toggle(false), "switch_off.png") && save(toggle(true), "switch_on.png") &&
              save(rs485(), "rs485.png");
    return ok ? 0 : 1;
}
