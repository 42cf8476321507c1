#include "PictureViewer.h"

#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QScrollArea>
#include <QTemporaryDir>
#include <QTest>

namespace {

void putPicture(const QTemporaryDir& folder, const QString& name, QSize size, Qt::GlobalColor colour)
{
    QImage image(size, QImage::Format_RGB32);
    image.fill(colour);
    QVERIFY(image.save(folder.filePath(name), "PNG"));
}

QString shownName(const PictureViewer& viewer) { return QFileInfo(viewer.pictures().currentPath()).fileName(); }

} // namespace

class PictureViewerTest : public QObject {
    Q_OBJECT

private slots:
    void stepsThroughThePicturesOfItsFolderInNameOrderAndWraps()
    {
        QTemporaryDir folder;
        putPicture(folder, QStringLiteral("b.png"), {40, 30}, Qt::red);
        putPicture(folder, QStringLiteral("a.png"), {40, 30}, Qt::green);
        putPicture(folder, QStringLiteral("C.PNG"), {40, 30}, Qt::blue);
        QFile other(folder.filePath(QStringLiteral("tetra.exe")));
        QVERIFY(other.open(QIODevice::WriteOnly));
        other.close();

        PictureViewer viewer(folder.path());
        QCOMPARE(viewer.pictures().count(), 3);
        QStringList seen{shownName(viewer)};
        for (int step = 0; step < 3; ++step) {
            viewer.showNext();
            seen.append(shownName(viewer));
        }
        QCOMPARE(seen, QStringList({QStringLiteral("a.png"), QStringLiteral("b.png"), QStringLiteral("C.PNG"), QStringLiteral("a.png")}));
        viewer.showPrevious();
        QCOMPARE(shownName(viewer), QStringLiteral("C.PNG"));
        QVERIFY(viewer.windowTitle().startsWith(QStringLiteral("C.PNG (3/3)")));
    }

    void fitsThePictureToTheWindowOrShowsItAtItsOwnSize()
    {
        QTemporaryDir folder;
        putPicture(folder, QStringLiteral("wide.png"), {1600, 800}, Qt::cyan);
        PictureViewer viewer(folder.path());
        viewer.resize(500, 400);
        viewer.show();
        QVERIFY(QTest::qWaitForWindowExposed(&viewer));
        QVERIFY(viewer.fitsToWindow());
        const QSize room = viewer.findChild<QScrollArea*>()->viewport()->size();
        QTRY_COMPARE(viewer.shownSize().width(), room.width());
        QCOMPARE(viewer.shownSize().height(), room.width() / 2);

        viewer.setFitToWindow(false);
        QCOMPARE(viewer.shownSize(), QSize(1600, 800));
    }

    void aFolderWithoutPicturesSaysSo()
    {
        QTemporaryDir folder;
        PictureViewer viewer(folder.path());
        viewer.showNext();
        QVERIFY(viewer.pictures().isEmpty());
        QCOMPARE(viewer.windowTitle(), QStringLiteral("しずくテトラ"));
    }
};

QTEST_MAIN(PictureViewerTest)
#include "PictureViewerTest.moc"
