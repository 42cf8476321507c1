#include <gtest/gtest.h>

#include <QCryptographicHash>
#include <QDir>
#include <QImage>
#include <QHash>
#include <QSet>

#include <algorithm>

namespace {

// The README's pictures of the screens (scripts/screenshots.sh): each shows a painted screen, not an
// empty window, and no two are the same picture.
TEST(Screenshots, EveryPictureShowsAPaintedScreenOfItsOwn)
{
    const QDir folder(QStringLiteral(NEMUROA_SCREENSHOTS));
    const QStringList names = folder.entryList({QStringLiteral("*.png")}, QDir::Files, QDir::Name);
    ASSERT_GE(names.size(), 10);
    QSet<QByteArray> seen;
    for (const QString& name : names) {
        const QImage picture(folder.filePath(name));
        ASSERT_FALSE(picture.isNull()) << name.toStdString();
        const QImage pixels = picture.convertToFormat(QImage::Format_RGB32);
        // Below the menu and the tab strip, a screen grabbed before it painted is one colour all
        // over; a painted one has its controls and texts there.
        QHash<QRgb, int> colours;
        int counted = 0;
        for (int y = pixels.height() / 5; y < pixels.height(); ++y) {
            for (int x = 0; x < pixels.width(); ++x, ++counted)
                ++colours[pixels.pixel(x, y)];
        }
        const int commonest = *std::max_element(colours.cbegin(), colours.cend());
        EXPECT_LT(commonest, counted * 0.99) << name.toStdString() << " is blank below its tabs";
        const QByteArray digest = QCryptographicHash::hash(
            QByteArrayView(pixels.constBits(), pixels.sizeInBytes()), QCryptographicHash::Sha256);
        EXPECT_FALSE(seen.contains(digest)) << name.toStdString() << " repeats another picture";
        seen.insert(digest);
    }
}

} // namespace
