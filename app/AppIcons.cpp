#include "app/AppIcons.h"

#include <QPainter>
#include <QPainterPath>
#include <QtMath>
#include <functional>

namespace AppIcons {

namespace {

// Icons are drawn on a 32x32 design grid and scaled to the pixmap size.
QPixmap Draw(int size, const std::function<void(QPainter &)> &paint)
{
    QPixmap pm(size, size);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    p.scale(size / 32.0, size / 32.0);
    paint(p);
    return pm;
}

QIcon Build(const std::function<void(QPainter &)> &paint)
{
    QIcon icon;
    for (int size : {16, 24, 32, 48})
        icon.addPixmap(Draw(size, paint));
    return icon;
}

QPainterPath WavePath(qreal x0, qreal x1, qreal mid, qreal amp)
{
    QPainterPath path;
    path.moveTo(x0, mid);
    for (qreal x = x0; x <= x1; x += 0.5)
        path.lineTo(x, mid - amp * qSin((x - x0) * 0.9) * (0.55 + 0.45 * qCos((x - x0) * 0.23)));
    return path;
}

void Wave(QPainter &p, qreal x0, qreal x1, qreal mid, qreal amp, const QColor &color)
{
    p.setPen(QPen(color, 2.0, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.setBrush(Qt::NoBrush);
    p.drawPath(WavePath(x0, x1, mid, amp));
}

void Arrow(QPainter &p, QPointF from, QPointF to, const QColor &color)
{
    p.setPen(QPen(color, 2.5, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.drawLine(from, to);
    const QLineF line(to, from);
    QLineF wing1 = line;
    wing1.setLength(6);
    wing1.setAngle(line.angle() + 35);
    QLineF wing2 = line;
    wing2.setLength(6);
    wing2.setAngle(line.angle() - 35);
    p.drawLine(wing1);
    p.drawLine(wing2);
}

const QColor kBlue(30, 90, 200);
const QColor kGreen(20, 140, 60);
const QColor kRed(200, 40, 40);

} // namespace

QIcon Split()
{
    return Build([](QPainter &p) {
        Wave(p, 2, 13, 16, 8, kBlue);
        Wave(p, 19, 30, 16, 8, kBlue);
        p.setPen(QPen(kRed, 2.0, Qt::DashLine));
        p.drawLine(QPointF(16, 3), QPointF(16, 29));
    });
}

QIcon Merge()
{
    return Build([](QPainter &p) {
        Arrow(p, {4, 6}, {15, 14}, kBlue);
        Arrow(p, {4, 26}, {15, 18}, kBlue);
        Wave(p, 17, 30, 16, 6, kGreen);
    });
}

QIcon Convert()
{
    return Build([](QPainter &p) {
        p.setPen(QPen(kBlue, 2.5, Qt::SolidLine, Qt::RoundCap));
        p.drawArc(QRectF(5, 5, 22, 22), 30 * 16, 150 * 16);
        p.setPen(QPen(kGreen, 2.5, Qt::SolidLine, Qt::RoundCap));
        p.drawArc(QRectF(5, 5, 22, 22), 210 * 16, 150 * 16);
        Arrow(p, {8.5, 11}, {6.0, 14.5}, kBlue);
        Arrow(p, {23.5, 21}, {26.0, 17.5}, kGreen);
    });
}

QIcon Settings()
{
    return Build([](QPainter &p) {
        p.setPen(QPen(QColor(80, 80, 80), 2.0, Qt::SolidLine, Qt::RoundCap));
        for (int i = 0; i < 3; ++i) {
            const qreal x = 8 + i * 8;
            p.drawLine(QPointF(x, 4), QPointF(x, 28));
        }
        p.setPen(QPen(Qt::black, 1.0));
        p.setBrush(kBlue);
        const qreal knobs[3] = {20, 10, 16};
        for (int i = 0; i < 3; ++i)
            p.drawRoundedRect(QRectF(8 + i * 8 - 3.5, knobs[i] - 2.5, 7, 5), 1.5, 1.5);
    });
}

QIcon Help()
{
    return Build([](QPainter &p) {
        p.setPen(QPen(kBlue.darker(120), 1.5));
        p.setBrush(kBlue);
        p.drawEllipse(QRectF(3, 3, 26, 26));
        QFont f;
        f.setPixelSize(20);
        f.setBold(true);
        p.setFont(f);
        p.setPen(Qt::white);
        p.drawText(QRectF(3, 3, 26, 26), Qt::AlignCenter, "?");
    });
}

QIcon Exit()
{
    return Build([](QPainter &p) {
        p.setPen(QPen(QColor(90, 60, 30), 2.0));
        p.setBrush(QColor(200, 160, 110));
        p.drawRect(QRectF(4, 4, 14, 24));
        Arrow(p, {13, 16}, {29, 16}, kRed);
    });
}

namespace {

// The product icon's parts, shared by the painted and the SVG versions.
const QColor kProductTop(0, 0, 255);
const QColor kProductBottom(0, 200, 255);
const QRectF kProductSquare(1, 1, 30, 30);
constexpr qreal kProductCorner = 6;
QPainterPath ProductWave() { return WavePath(4, 28, 16, 9); }

void PaintProduct(QPainter &p)
{
    QLinearGradient g(0, 0, 0, 32);
    g.setColorAt(0, kProductTop);
    g.setColorAt(1, kProductBottom);
    p.setPen(Qt::NoPen);
    p.setBrush(g);
    p.drawRoundedRect(kProductSquare, kProductCorner, kProductCorner);
    p.setPen(QPen(Qt::white, 2.0, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.setBrush(Qt::NoBrush);
    p.drawPath(ProductWave());
}

} // namespace

QIcon Product()
{
    QIcon icon = Build(PaintProduct);
    // Larger sizes for window switchers and docks.
    for (int size : {64, 128, 256})
        icon.addPixmap(Draw(size, PaintProduct));
    return icon;
}

QPixmap ProductPixmap(int size) { return Draw(size, PaintProduct); }

QByteArray ProductSvg()
{
    QByteArray wave;
    const QPainterPath path = ProductWave();
    for (int i = 0; i < path.elementCount(); ++i) {
        const QPainterPath::Element e = path.elementAt(i);
        wave += (e.isMoveTo() ? "M" : " L") + QByteArray::number(e.x, 'f', 3) + ',' + QByteArray::number(e.y, 'f', 3);
    }
    const QRectF r = kProductSquare;
    return QByteArray("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                      "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"32\" height=\"32\" viewBox=\"0 0 32 32\">\n"
                      "  <defs>\n"
                      "    <linearGradient id=\"bg\" x1=\"0\" y1=\"0\" x2=\"0\" y2=\"32\" gradientUnits=\"userSpaceOnUse\">\n"
                      "      <stop offset=\"0\" stop-color=\"")
        + kProductTop.name().toLatin1() + "\"/>\n      <stop offset=\"1\" stop-color=\"" + kProductBottom.name().toLatin1()
        + "\"/>\n    </linearGradient>\n  </defs>\n  <rect x=\"" + QByteArray::number(r.x()) + "\" y=\""
        + QByteArray::number(r.y()) + "\" width=\"" + QByteArray::number(r.width()) + "\" height=\""
        + QByteArray::number(r.height()) + "\" rx=\"" + QByteArray::number(kProductCorner) + "\" fill=\"url(#bg)\"/>\n"
        + "  <path d=\"" + wave + "\" fill=\"none\" stroke=\"#ffffff\" stroke-width=\"2\" stroke-linecap=\"round\""
        + " stroke-linejoin=\"round\"/>\n</svg>\n";
}

QPixmap Bulb(int size)
{
    return Draw(size, [](QPainter &p) {
        QRadialGradient glow(QPointF(16, 12), 11);
        glow.setColorAt(0, QColor(255, 255, 200));
        glow.setColorAt(1, QColor(250, 210, 40));
        p.setPen(QPen(QColor(150, 120, 0), 1.2));
        p.setBrush(glow);
        p.drawEllipse(QRectF(7, 2, 18, 18));
        p.setBrush(QColor(170, 170, 170));
        p.setPen(QPen(QColor(90, 90, 90), 1.0));
        p.drawRect(QRectF(12, 19, 8, 8));
        p.drawLine(QPointF(12, 22), QPointF(20, 22));
        p.drawLine(QPointF(12, 25), QPointF(20, 25));
        p.setBrush(QColor(90, 90, 90));
        p.drawRoundedRect(QRectF(13.5, 27, 5, 3), 1, 1);
    });
}

} // namespace AppIcons
