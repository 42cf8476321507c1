#include "Pictures.h"

#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>

#include <functional>

#include <algorithm>
#include <array>

namespace {

const QColor Night(0x14, 0x1e, 0x4a);
const QColor Dusk(0x4b, 0x2f, 0x7a);
const QColor Moon(0xff, 0xe9, 0x8a);
const QColor Leaf(0x2e, 0x9e, 0x4f);

QPixmap blank(QSize size)
{
    QPixmap pixmap(size);
    pixmap.fill(Qt::transparent);
    return pixmap;
}

void drawStars(QPainter& painter, const QRectF& area, int count, const QRectF& keepDark = QRectF())
{
    // A fixed scatter, so the picture is the same at every start.
    std::uint32_t seed = 0x9e3779b9u;
    painter.setPen(Qt::NoPen);
    for (int i = 0; i < count; ++i) {
        seed = seed * 1664525u + 1013904223u;
        const double x = area.left() + (seed >> 8) % 1000 / 1000.0 * area.width();
        seed = seed * 1664525u + 1013904223u;
        const double y = area.top() + (seed >> 8) % 1000 / 1000.0 * area.height();
        const double radius = i % 5 == 0 ? 1.3 : 0.7;
        if (keepDark.adjusted(-2, -2, 2, 2).contains(x, y))
            continue;
        painter.setBrush(QColor(255, 255, 255, i % 3 == 0 ? 230 : 150));
        painter.drawEllipse(QPointF(x, y), radius, radius);
    }
}

void drawCrescent(QPainter& painter, QPointF centre, double radius, const QColor& sky)
{
    painter.setPen(Qt::NoPen);
    painter.setBrush(Moon);
    painter.drawEllipse(centre, radius, radius);
    painter.setBrush(sky);
    painter.drawEllipse(centre + QPointF(radius * 0.45, -radius * 0.25), radius * 0.85, radius * 0.85);
}

void drawEnvelope(QPainter& painter, const QRectF& box, const QColor& paper, const QColor& line)
{
    painter.setPen(QPen(line, std::max(1.0, box.width() / 16.0), Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    painter.setBrush(paper);
    painter.drawRoundedRect(box, box.width() / 12.0, box.width() / 12.0);
    QPainterPath flap;
    flap.moveTo(box.topLeft());
    flap.lineTo(box.center().x(), box.top() + box.height() * 0.6);
    flap.lineTo(box.topRight());
    painter.setBrush(Qt::NoBrush);
    painter.drawPath(flap);
}

QPixmap icon16(const std::function<void(QPainter&)>& draw)
{
    QPixmap pixmap = blank(QSize(32, 32));
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.scale(2.0, 2.0);
    draw(painter);
    return pixmap;
}

QIcon roundButton(const QColor& face, const std::function<void(QPainter&)>& draw)
{
    QPixmap pixmap = blank(QSize(80, 80));
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    QRadialGradient shade(QPointF(30, 26), 50);
    shade.setColorAt(0, face.lighter(150));
    shade.setColorAt(1, face.darker(130));
    painter.setPen(QPen(face.darker(180), 2));
    painter.setBrush(shade);
    painter.drawEllipse(QRectF(4, 4, 72, 72));
    painter.setPen(QPen(Qt::white, 6, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    painter.setBrush(Qt::NoBrush);
    draw(painter);
    return QIcon(pixmap);
}

} // namespace

namespace Pictures {

QPixmap banner(QSize size, const QRect& textArea)
{
    QPixmap pixmap(size);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    QLinearGradient sky(0, 0, size.width(), size.height());
    sky.setColorAt(0, Night);
    sky.setColorAt(1, Dusk);
    painter.fillRect(pixmap.rect(), sky);
    drawStars(painter, QRectF(pixmap.rect()), size.width() / 6, QRectF(textArea));
    // The moon stands above the text, whose white needs the dark sky behind it.
    const double radius = std::min(size.height() * 0.3, std::max(2.0, (textArea.top() - 2) / 2.2));
    drawCrescent(painter, QPointF(size.width() - radius * 1.6, textArea.top() - 2 - radius * 1.05), radius, Dusk);
    return pixmap;
}

QPixmap nightLetter(QSize size)
{
    QPixmap pixmap(size);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    QLinearGradient sky(0, 0, 0, size.height());
    sky.setColorAt(0, Night);
    sky.setColorAt(1, Dusk.darker(120));
    painter.fillRect(pixmap.rect(), sky);
    drawStars(painter, QRectF(0, 0, size.width(), size.height() * 0.55), size.width() / 5);
    drawCrescent(painter, QPointF(size.width() * 0.18, size.height() * 0.2), size.height() * 0.1, Night);
    const double width = size.width() * 0.42;
    const QRectF letter(size.width() * 0.5 - width / 2, size.height() * 0.58, width, width * 0.62);
    drawEnvelope(painter, letter, QColor(0xf4, 0xf1, 0xe8), QColor(0x8a, 0x7f, 0xa8));
    return pixmap;
}

QPixmap climber(QSize size)
{
    QPixmap pixmap = blank(size);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    QLinearGradient glow(0, 0, size.width(), 0);
    glow.setColorAt(0, QColor(0x7c, 0xff, 0x9a));
    glow.setColorAt(1, Leaf);
    painter.setPen(Qt::NoPen);
    painter.setBrush(glow);
    const double radius = size.height() / 2.0;
    painter.drawRoundedRect(QRectF(pixmap.rect()), radius, radius);
    return pixmap;
}

QIcon tabImage(int number)
{
    const QColor ink(0x33, 0x3a, 0x56);
    const QPen pen(ink, 1.2, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
    switch (number) {
    case 1: // main screen: a house
        return QIcon(icon16([&](QPainter& p) {
            p.setPen(pen);
            p.setBrush(QColor(0xff, 0xd4, 0x6b));
            p.drawPolygon(QPolygonF({{2, 8}, {8, 2.5}, {14, 8}, {12.5, 8}, {12.5, 14}, {3.5, 14}, {3.5, 8}}));
            p.setBrush(ink);
            p.drawRect(QRectF(7, 10, 2.2, 4));
        }));
    case 2: // others folder: an in-tray
        return QIcon(icon16([&](QPainter& p) {
            p.setPen(pen);
            p.setBrush(QColor(0xb9, 0xd7, 0xf5));
            p.drawPolygon(QPolygonF({{1.5, 9}, {4.5, 3}, {11.5, 3}, {14.5, 9}, {14.5, 14}, {1.5, 14}}));
            p.setBrush(Qt::white);
            p.drawPolygon(QPolygonF({{1.5, 9}, {5.5, 9}, {6.5, 11}, {9.5, 11}, {10.5, 9}, {14.5, 9}, {14.5, 14}, {1.5, 14}}));
        }));
    case 3: // receive: an arrow into a letter
        return QIcon(icon16([&](QPainter& p) {
            drawEnvelope(p, QRectF(1.5, 7, 13, 7.5), Qt::white, ink);
            p.setPen(QPen(Leaf, 2, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
            p.drawLine(QPointF(8, 0.8), QPointF(8, 6));
            p.drawPolyline(QPolygonF({{5.5, 3.8}, {8, 6.3}, {10.5, 3.8}}));
        }));
    case 4: // address book
        return QIcon(icon16([&](QPainter& p) {
            p.setPen(pen);
            p.setBrush(QColor(0xe8, 0x8f, 0x5a));
            p.drawRoundedRect(QRectF(3, 1.5, 11, 13), 1.5, 1.5);
            p.setBrush(Qt::white);
            p.drawEllipse(QPointF(8.5, 6), 2, 2);
            p.drawChord(QRectF(5.2, 8.4, 6.6, 6), 0, 180 * 16);
            p.setPen(QPen(ink, 1.4));
            for (double y : {4.0, 8.0, 12.0})
                p.drawLine(QPointF(1.5, y), QPointF(3.5, y));
        }));
    case 5: // spam: a shield
        return QIcon(icon16([&](QPainter& p) {
            p.setPen(pen);
            p.setBrush(QColor(0xd9, 0x4a, 0x4a));
            QPainterPath shield;
            shield.moveTo(8, 1.2);
            shield.lineTo(14, 3.5);
            shield.cubicTo(14, 9, 11.5, 12.5, 8, 14.8);
            shield.cubicTo(4.5, 12.5, 2, 9, 2, 3.5);
            shield.closeSubpath();
            p.drawPath(shield);
            p.setPen(QPen(Qt::white, 1.8, Qt::SolidLine, Qt::RoundCap));
            p.drawLine(QPointF(5.8, 5.5), QPointF(10.2, 9.9));
            p.drawLine(QPointF(10.2, 5.5), QPointF(5.8, 9.9));
        }));
    case 6: // settings and sent history: a gear
        return QIcon(icon16([&](QPainter& p) {
            p.setPen(QPen(ink, 2.4, Qt::SolidLine, Qt::FlatCap));
            for (int i = 0; i < 8; ++i) {
                p.save();
                p.translate(8, 8);
                p.rotate(45.0 * i);
                p.drawLine(QPointF(0, 4.2), QPointF(0, 6.8));
                p.restore();
            }
            p.setPen(pen);
            p.setBrush(QColor(0xa7, 0xb1, 0xc9));
            p.drawEllipse(QPointF(8, 8), 4.6, 4.6);
            p.setBrush(Qt::white);
            p.drawEllipse(QPointF(8, 8), 1.8, 1.8);
        }));
    case 7: // new mail: a pen over a letter
        return QIcon(icon16([&](QPainter& p) {
            drawEnvelope(p, QRectF(1.5, 5.5, 11, 8.5), Qt::white, ink);
            p.setPen(QPen(ink, 1));
            p.setBrush(QColor(0xff, 0xb3, 0x47));
            p.drawPolygon(QPolygonF({{9, 9}, {14.5, 2.5}, {15.5, 3.5}, {10, 10}, {8.5, 10.5}}));
        }));
    default: // a named folder
        return QIcon(icon16([&](QPainter& p) {
            p.setPen(pen);
            p.setBrush(QColor(0xf2, 0xc1, 0x4e));
            p.drawPolygon(QPolygonF({{1.5, 3}, {6, 3}, {7.5, 4.8}, {14.5, 4.8}, {14.5, 13.5}, {1.5, 13.5}}));
            p.setBrush(QColor(0xf9, 0xd9, 0x7c));
            p.drawRect(QRectF(1.5, 6.5, 13, 7));
        }));
    }
}

QIcon viewerButton()
{
    return roundButton(QColor(0x3a, 0x8f, 0xd8), [](QPainter& p) {
        QPainterPath drop;
        drop.moveTo(40, 16);
        drop.cubicTo(48, 30, 56, 38, 56, 47);
        drop.cubicTo(56, 57, 48, 64, 40, 64);
        drop.cubicTo(32, 64, 24, 57, 24, 47);
        drop.cubicTo(24, 38, 32, 30, 40, 16);
        p.setBrush(QColor(255, 255, 255, 90));
        p.setPen(QPen(Qt::white, 4, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        p.drawPath(drop);
    });
}

QIcon minimiseButton()
{
    return roundButton(QColor(0x5b, 0x9e, 0x6a), [](QPainter& p) { p.drawLine(QPointF(24, 52), QPointF(56, 52)); });
}

QIcon exitButton()
{
    return roundButton(QColor(0xc8, 0x43, 0x43), [](QPainter& p) {
        p.drawArc(QRectF(22, 24, 36, 36), 120 * 16, 300 * 16);
        p.drawLine(QPointF(40, 17), QPointF(40, 40));
    });
}

QIcon windowIcon()
{
    QPixmap pixmap(64, 64);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(Night);
    painter.drawRoundedRect(QRectF(2, 2, 60, 60), 12, 12);
    drawCrescent(painter, QPointF(22, 20), 10, Night);
    drawEnvelope(painter, QRectF(14, 30, 38, 24), QColor(0xf4, 0xf1, 0xe8), QColor(0x8a, 0x7f, 0xa8));
    return QIcon(pixmap);
}

} // namespace Pictures
