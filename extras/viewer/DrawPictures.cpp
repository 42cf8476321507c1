// Draws the pictures shipped with the viewer into the folder given as the only argument. They are
// drawn with fixed seeds, so every build ships the same pictures.
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>
#include <QRandomGenerator>
#include <QString>

#include <cmath>
#include <cstdio>
#include <functional>
#include <numbers>

namespace {

constexpr int Width = 640;
constexpr int Height = 480;

void sky(QPainter& painter, const QColor& top, const QColor& bottom)
{
    QLinearGradient gradient(0, 0, 0, Height);
    gradient.setColorAt(0, top);
    gradient.setColorAt(1, bottom);
    painter.fillRect(0, 0, Width, Height, gradient);
}

void drop(QPainter& painter, QPointF centre, double radius, const QColor& colour)
{
    // A drop: a round body drawn into a point at the top, lit from the upper left.
    QPainterPath path;
    path.moveTo(centre.x(), centre.y() - radius * 2.2);
    path.cubicTo(centre.x() + radius * 0.3, centre.y() - radius * 1.3, centre.x() + radius, centre.y() - radius * 0.6,
        centre.x() + radius, centre.y());
    path.arcTo(QRectF(centre.x() - radius, centre.y() - radius, radius * 2, radius * 2), 0, -180);
    path.cubicTo(centre.x() - radius, centre.y() - radius * 0.6, centre.x() - radius * 0.3, centre.y() - radius * 1.3,
        centre.x(), centre.y() - radius * 2.2);
    QRadialGradient light(centre.x() - radius * 0.4, centre.y() - radius * 0.4, radius * 1.6);
    light.setColorAt(0, QColor(255, 255, 255, 230));
    light.setColorAt(0.35, colour.lighter(130));
    light.setColorAt(1, colour.darker(160));
    painter.setPen(QPen(colour.darker(200), 1.2));
    painter.setBrush(light);
    painter.drawPath(path);
}

void tetrahedron(QPainter& painter, QPointF centre, double size, double turn, const QColor& colour)
{
    // Three faces of a tetrahedron seen from above one edge, each face a shade of the colour.
    const double angles[3] = {turn, turn + 2 * std::numbers::pi / 3, turn + 4 * std::numbers::pi / 3};
    const QPointF apex(centre.x(), centre.y() - size * 0.15);
    QPointF base[3];
    for (int i = 0; i < 3; ++i)
        base[i] = QPointF(centre.x() + std::cos(angles[i]) * size, centre.y() + std::sin(angles[i]) * size * 0.55 + size * 0.35);
    for (int i = 0; i < 3; ++i) {
        const QPointF face[3] = {apex, base[i], base[(i + 1) % 3]};
        painter.setPen(QPen(colour.darker(220), 1.5));
        painter.setBrush(colour.lighter(100 + 35 * i));
        painter.drawPolygon(face, 3);
    }
}

void dropsOnGlass(QPainter& painter, QRandomGenerator& random)
{
    sky(painter, QColor(20, 60, 120), QColor(120, 190, 230));
    for (int i = 0; i < 26; ++i)
        drop(painter, QPointF(random.bounded(Width), random.bounded(60, Height)), 6 + random.bounded(22), QColor(90, 170, 230));
}

void tetraNight(QPainter& painter, QRandomGenerator& random)
{
    sky(painter, QColor(5, 8, 30), QColor(40, 30, 90));
    painter.setPen(Qt::NoPen);
    for (int i = 0; i < 180; ++i) {
        painter.setBrush(QColor(255, 255, 220, 80 + random.bounded(170)));
        const double r = 0.6 + random.bounded(1.6);
        painter.drawEllipse(QPointF(random.bounded(Width), random.bounded(Height)), r, r);
    }
    tetrahedron(painter, QPointF(320, 250), 150, 0.3, QColor(80, 160, 210));
    drop(painter, QPointF(320, 110), 16, QColor(150, 210, 255));
}

void ripples(QPainter& painter, QRandomGenerator& random)
{
    sky(painter, QColor(10, 90, 110), QColor(0, 40, 60));
    painter.setBrush(Qt::NoBrush);
    for (int centre = 0; centre < 4; ++centre) {
        const QPointF at(80 + random.bounded(Width - 160), 80 + random.bounded(Height - 160));
        for (int ring = 1; ring <= 9; ++ring) {
            painter.setPen(QPen(QColor(200, 240, 255, 240 - ring * 24), 2));
            painter.drawEllipse(at, ring * 18.0, ring * 8.0);
        }
    }
    drop(painter, QPointF(320, 120), 20, QColor(120, 200, 240));
}

void dawnHills(QPainter& painter, QRandomGenerator& random)
{
    sky(painter, QColor(250, 170, 90), QColor(255, 235, 190));
    QRadialGradient sun(QPointF(420, 300), 90);
    sun.setColorAt(0, QColor(255, 255, 230));
    sun.setColorAt(1, QColor(255, 200, 120, 0));
    painter.setPen(Qt::NoPen);
    painter.setBrush(sun);
    painter.drawEllipse(QPointF(420, 300), 90, 90);
    for (int layer = 0; layer < 4; ++layer) {
        QPainterPath hills(QPointF(0, Height));
        const double base = 280 + layer * 50;
        for (int x = 0; x <= Width; x += 40)
            hills.lineTo(x, base - random.bounded(40 + 20 * (3 - layer)));
        hills.lineTo(Width, Height);
        hills.closeSubpath();
        painter.setBrush(QColor(90 - layer * 20, 70 - layer * 12, 110 - layer * 20));
        painter.drawPath(hills);
    }
}

void tetraRain(QPainter& painter, QRandomGenerator& random)
{
    sky(painter, QColor(220, 235, 245), QColor(160, 190, 210));
    for (int i = 0; i < 14; ++i) {
        const QColor colour = QColor::fromHsv(180 + random.bounded(60), 120 + random.bounded(100), 200);
        tetrahedron(painter, QPointF(40 + random.bounded(Width - 80), 60 + random.bounded(Height - 120)), 18 + random.bounded(40),
            random.bounded(6.28), colour);
    }
}

struct Picture {
    const char* name;
    std::function<void(QPainter&, QRandomGenerator&)> draw;
};

} // namespace

int main(int argc, char* argv[])
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s FOLDER\n", argv[0]);
        return 2;
    }
    const QString folder = QString::fromLocal8Bit(argv[1]);
    const Picture pictures[] = {
        {"drop-1.png", dropsOnGlass},
        {"drop-2.png", tetraNight},
        {"drop-3.png", ripples},
        {"drop-4.png", dawnHills},
        {"drop-5.png", tetraRain},
    };
    quint32 seed = 1;
    for (const Picture& picture : pictures) {
        QImage image(Width, Height, QImage::Format_RGB32);
        QRandomGenerator random(seed++);
        {
            QPainter painter(&image);
            painter.setRenderHint(QPainter::Antialiasing);
            picture.draw(painter, random);
        }
        const QString path = folder + u'/' + QString::fromLatin1(picture.name);
        if (!image.save(path, "PNG")) {
            std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
            return 1;
        }
    }
    return 0;
}
