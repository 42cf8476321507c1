#include "QtJapaneseTranslation.h"

#include <QDialogButtonBox>
#include <QFileInfo>
#include <QLibraryInfo>
#include <QPushButton>
#include <QTest>

// Qt's own dialogs speak Japanese whatever the system's language (the tests run in C.UTF-8).
class QtJapaneseTranslationTest : public QObject {
    Q_OBJECT

private slots:
    void qtsOwnButtonsSpeakJapanese()
    {
        const QString installed = QLibraryInfo::path(QLibraryInfo::TranslationsPath) + QStringLiteral("/qtbase_ja.qm");
        QtJapaneseTranslation translation;
        if (!QFileInfo::exists(installed)) {
            QVERIFY(!translation.install());
            QSKIP("qt6-translations-l10n is not installed");
        }
        QVERIFY(translation.install());
        QDialogButtonBox buttons(QDialogButtonBox::Cancel | QDialogButtonBox::Open);
        QCOMPARE(buttons.button(QDialogButtonBox::Cancel)->text(), QStringLiteral("キャンセル"));
    }
};

QTEST_MAIN(QtJapaneseTranslationTest)
#include "QtJapaneseTranslationTest.moc"
