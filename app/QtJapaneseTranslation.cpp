#include "QtJapaneseTranslation.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QLocale>

bool QtJapaneseTranslation::install()
{
    const QLocale japanese(QLocale::Japanese, QLocale::Japan);
    if (!translator_.load(japanese, QStringLiteral("qtbase"), QStringLiteral("_"), QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        return false;
    return QCoreApplication::installTranslator(&translator_);
}
