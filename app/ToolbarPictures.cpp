#include "ToolbarPictures.h"

#include <QFont>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

#include <functional>

namespace {

const QColor Ink(0x2b, 0x2f, 0x3a);
const QColor Paper(0xfb, 0xfa, 0xf5);
const QColor Folder(0xe8, 0xb9, 0x4a);
const QColor Disk(0x3a, 0x5f, 0xa8);

// Drawn on a 16-unit grid at twice the size, so the buttons stay sharp on dense screens.
QIcon drawn(const std::function<void(QPainter&)>& draw)
{
    QPixmap pixmap(32, 32);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.scale(2.0, 2.0);
    painter.setPen(QPen(Ink, 1.0, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    draw(painter);
    return QIcon(pixmap);
}

void page(QPainter& painter, const QRectF& box)
{
    QPainterPath sheet;
    const double fold = box.width() * 0.35;
    sheet.moveTo(box.topLeft());
    sheet.lineTo(box.right() - fold, box.top());
    sheet.lineTo(box.right(), box.top() + fold);
    sheet.lineTo(box.bottomRight());
    sheet.lineTo(box.bottomLeft());
    sheet.closeSubpath();
    painter.setBrush(Paper);
    painter.drawPath(sheet);
    painter.drawLine(QPointF(box.right() - fold, box.top()), QPointF(box.right() - fold, box.top() + fold));
    painter.drawLine(QPointF(box.right() - fold, box.top() + fold), QPointF(box.right(), box.top() + fold));
}

void letter(QPainter& painter, const QString& text, bool bold, bool italic, bool underline)
{
    QFont font(QStringLiteral("serif"));
    font.setPixelSize(13);
    font.setBold(bold);
    font.setItalic(italic);
    font.setUnderline(underline);
    painter.setFont(font);
    painter.drawText(QRectF(0, 0, 16, 16), Qt::AlignCenter, text);
}

} // namespace

namespace ToolbarPictures {

QIcon image(const QString& key)
{
    if (key == u"New")
        return drawn([](QPainter& painter) { page(painter, QRectF(3.5, 1.5, 9, 13)); });
    if (key == u"Open")
        return drawn([](QPainter& painter) {
            painter.setBrush(Folder.darker(115));
            painter.drawRect(QRectF(1.5, 4.5, 12, 9));
            painter.setBrush(Folder);
            painter.drawPolygon(QPolygonF({{3.5, 7.5}, {15, 7.5}, {13, 13.5}, {1.5, 13.5}}));
        });
    if (key == u"Save")
        return drawn([](QPainter& painter) {
            painter.setBrush(Disk);
            painter.drawRoundedRect(QRectF(1.5, 1.5, 13, 13), 1.5, 1.5);
            painter.setBrush(Paper);
            painter.drawRect(QRectF(4.5, 1.5, 7, 5));
            painter.drawRect(QRectF(4, 9.5, 8, 5));
        });
    if (key == u"Print")
        return drawn([](QPainter& painter) {
            painter.setBrush(Paper);
            painter.drawRect(QRectF(4.5, 1.5, 7, 5));
            painter.setBrush(QColor(0x9a, 0xa3, 0xb5));
            painter.drawRoundedRect(QRectF(1.5, 6.5, 13, 6), 1, 1);
            painter.setBrush(Paper);
            painter.drawRect(QRectF(4.5, 10.5, 7, 4));
        });
    if (key == u"Cut")
        return drawn([](QPainter& painter) {
            painter.drawLine(QPointF(4, 2), QPointF(10.5, 10));
            painter.drawLine(QPointF(12, 2), QPointF(5.5, 10));
            painter.setBrush(Qt::NoBrush);
            painter.drawEllipse(QPointF(4.5, 12), 2.2, 2.2);
            painter.drawEllipse(QPointF(11.5, 12), 2.2, 2.2);
        });
    if (key == u"Copy")
        return drawn([](QPainter& painter) {
            page(painter, QRectF(1.5, 1.5, 8, 10));
            page(painter, QRectF(6.5, 4.5, 8, 10));
        });
    if (key == u"Paste")
        return drawn([](QPainter& painter) {
            painter.setBrush(Folder.darker(130));
            painter.drawRoundedRect(QRectF(2.5, 2.5, 10, 12), 1, 1);
            painter.setBrush(QColor(0x9a, 0xa3, 0xb5));
            painter.drawRect(QRectF(5, 1.5, 5, 2.5));
            page(painter, QRectF(7.5, 6.5, 7, 8));
        });
    if (key == u"Bold")
        return drawn([](QPainter& painter) { letter(painter, QStringLiteral("B"), true, false, false); });
    if (key == u"Italic")
        return drawn([](QPainter& painter) { letter(painter, QStringLiteral("I"), false, true, false); });
    if (key == u"Underline")
        return drawn([](QPainter& painter) { letter(painter, QStringLiteral("U"), false, false, true); });
    return {};
}

} // namespace ToolbarPictures
