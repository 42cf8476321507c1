#include "QtTestSuites.h"
#include "QtFileDialogs.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileDialog>
#include <QHeaderView>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QTreeView>

namespace {

// Columns narrower than their contents, and one more when the columns run past the view.
int columnsCut(const QTreeView* files)
{
    const QHeaderView* header = files->header();
    int cut = 0;
    int right = 0;
    for (int column = 0; column < header->count(); ++column) {
        if (header->isSectionHidden(column))
            continue;
        if (header->sectionSize(column) < static_cast<const QAbstractItemView*>(files)->sizeHintForColumn(column))
            ++cut;
        right = std::max(right, header->sectionViewportPosition(column) + header->sectionSize(column));
    }
    return right > files->viewport()->width() ? cut + 1 : cut;
}

} // namespace

// The real file dialogs, answered by keys as a person answers them.
class QtFileDialogsTest : public QObject {
    Q_OBJECT

private slots:
    void theOpenAndSaveDialogsShowEveryColumnWholeAndEscapeCancelsThem()
    {
        QTemporaryDir folder;
        QFile file(folder.filePath(QStringLiteral("2026年12月の打ち合わせについてのお知らせ.txt")));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.close();
        const QString started = QDir::currentPath();
        QDir::setCurrent(folder.path());

        for (const bool save : {false, true}) {
            QSize shown;
            int cutColumns = -1;
            QElapsedTimer waited;
            waited.start();
            QTimer watch;
            watch.setInterval(20);
            // The columns take their widths as the folder's entries arrive: wait for them, within limits.
            connect(&watch, &QTimer::timeout, this, [&] {
                auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
                if (!dialog || !dialog->isVisible())
                    return;
                auto* files = dialog->findChild<QTreeView*>();
                if (!files || files->model()->rowCount(files->rootIndex()) == 0)
                    return;
                shown = dialog->size();
                cutColumns = columnsCut(files);
                if (cutColumns > 0 && waited.elapsed() < 20000)
                    return;
                watch.stop();
                QTest::keyClick(dialog->windowHandle(), Qt::Key_Escape);
            });
            watch.start();
            QtFileDialogs dialogs;
            const std::optional<QString> chosen =
                save ? dialogs.saveFileName(QStringLiteral("txtファイル(*.txt,*.ini)|*.txt;*.ini"), true)
                     : dialogs.openFileName(QStringLiteral("txtファイル(*.txt,*.ini)|*.txt;*.ini"));
            QVERIFY(!chosen);
            QVERIFY2(shown.width() >= QtFileDialogs::DialogSize.width() && shown.height() >= QtFileDialogs::DialogSize.height(),
                qPrintable(QStringLiteral("%1×%2").arg(shown.width()).arg(shown.height())));
            QCOMPARE(cutColumns, 0);
        }
        QDir::setCurrent(started);
    }
};

NEMUROA_QTEST_SUITE(QtFileDialogsTest)
#include "QtFileDialogsTest.moc"
