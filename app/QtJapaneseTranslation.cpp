#include "QtJapaneseTranslation.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QLocale>

bool QtJapaneseTranslation::install()
{
    const QLocale japanese(QLocale::Japanese, QLocale::Japan);
    // Day and month names, dates, paper sizes and units follow the default locale, which would
    // otherwise be the system's.
    QLocale::setDefault(japanese);
    if (!translator_.load(japanese, QStringLiteral("qtbase"), QStringLiteral("_"), QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        return false;
    return QCoreApplication::installTranslator(&translator_);
}
