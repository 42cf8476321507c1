#include "QtTestSuites.h"
#include "ClockText.h"
#include "QtJapaneseTranslation.h"

#include <QCalendarWidget>
#include <QDialogButtonBox>
#include <QFileInfo>
#include <QLibraryInfo>
#include <QPushButton>
#include <QTest>

// Qt's own dialogs speak Japanese whatever the system's language (the tests run in C.UTF-8).
class QtJapaneseTranslationTest : public QObject {
    Q_OBJECT

private slots:
    void qtsOwnWordsTheCalendarAndTheClockSpeakJapanese()
    {
        const QString installed = QLibraryInfo::path(QLibraryInfo::TranslationsPath) + QStringLiteral("/qtbase_ja.qm");
        QtJapaneseTranslation translation;
        const bool translated = translation.install();
        QCOMPARE(translated, QFileInfo::exists(installed));

        QCalendarWidget calendar;
        QCOMPARE(calendar.locale().dayName(1, QLocale::ShortFormat), QStringLiteral("月"));
        QCOMPARE(ClockText(QDateTime(QDate(2026, 12, 6), QTime(13, 45, 12))), QStringLiteral("2026/12/06 13:45:12"));
        // The print dialog's paper sizes and margins in millimetres.
        QCOMPARE(QLocale().measurementSystem(), QLocale::MetricSystem);

        if (!translated)
            QSKIP("qt6-translations-l10n is not installed");
        QDialogButtonBox buttons(QDialogButtonBox::Cancel | QDialogButtonBox::Open);
        QCOMPARE(buttons.button(QDialogButtonBox::Cancel)->text(), QStringLiteral("キャンセル"));
    }
};

NEMUROA_QTEST_SUITE(QtJapaneseTranslationTest)
#include "QtJapaneseTranslationTest.moc"
