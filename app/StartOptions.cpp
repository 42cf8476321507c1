#include "StartOptions.h"

#include <QDir>

StartOptions StartOptions::parse(const QStringList& arguments, const QString& environmentFolder, const QString& executableFolder)
{
    StartOptions options;
    QString optionFolder;
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        const QString& argument = arguments.at(i);
        if (argument == FolderOption) {
            if (i + 1 == arguments.size() || arguments.at(i + 1).isEmpty()) {
                options.error = QStringLiteral("%1 の後にプログラムフォルダを指定してください。").arg(FolderOption);
                return options;
            }
            optionFolder = arguments.at(++i);
        } else if (argument.startsWith(FolderOption + u'=')) {
            optionFolder = argument.mid(FolderOption.size() + 1);
        } else if (argument.startsWith(QStringLiteral("mailto:"), Qt::CaseInsensitive) && options.mailto.isEmpty()) {
            options.mailto = argument;
        } else {
            options.error = QStringLiteral("解釈できない引数です: %1").arg(argument);
            return options;
        }
    }
    const QString chosen = !optionFolder.isEmpty() ? optionFolder : !environmentFolder.isEmpty() ? environmentFolder : executableFolder;
    options.programFolder = QDir::cleanPath(QDir(chosen).absolutePath());
    if (!QDir(options.programFolder).exists())
        options.error = QStringLiteral("プログラムフォルダ「%1」がありません。").arg(options.programFolder);
    return options;
}
