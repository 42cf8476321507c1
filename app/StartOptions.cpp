#include "StartOptions.h"

#include "MboxExport.h"

#include <QDir>

std::optional<QString> StartOptions::informationFor(const QStringList& arguments)
{
    for (const QString& argument : arguments) {
        if (argument == u"--help")
            return usage();
        if (argument == u"--version")
            return version();
    }
    return std::nullopt;
}

QString StartOptions::usage()
{
    return QStringLiteral(
        "使い方: nemuroa [--program-folder フォルダ] [mailto:リンク]\n"
        "\n"
        "  --program-folder フォルダ  データフォルダ「★MAilData」のあるプログラムフォルダを指定します。\n"
        "                            環境変数 %1 でも指定できます。\n"
        "  mailto:リンク              新規作成画面に宛先・件名・本文を入れて開きます。\n"
        "                            起動中のネムロアがあれば、そちらに渡します。\n"
        "  --import パス...           mbox ファイル、Maildir、.eml ファイルとそれらを含むフォルダから\n"
        "                            メールを取り込み、結果を 1 行で表示して終了します。\n"
        "                            起動中のネムロアがあれば、そちらで取り込みます。\n"
        "  --export-mbox 番号 ファイル  フォルダ 1～10（30 は送信履歴）を mbox ファイルに書き出します。\n"
        "  --help                    この説明を表示して終了します。\n"
        "  --version                 バージョンを表示して終了します。\n")
        .arg(FolderVariable);
}

QString StartOptions::version() { return QStringLiteral("Nemuroa %1\n").arg(QStringLiteral(NEMUROA_VERSION)); }

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
        } else if (argument == ImportOption) {
            while (i + 1 < arguments.size() && !arguments.at(i + 1).startsWith(QStringLiteral("--")))
                options.importPaths << QDir::cleanPath(QDir::current().absoluteFilePath(arguments.at(++i)));
            if (options.importPaths.isEmpty()) {
                options.error = QStringLiteral("%1 の後に取り込むファイルかフォルダを指定してください。").arg(ImportOption);
                return options;
            }
        } else if (argument == ExportOption) {
            const int folder = i + 2 < arguments.size() ? MboxExport::folderOfFileNumber(arguments.at(i + 1)) : 0;
            if (folder == 0 || arguments.at(i + 2).isEmpty()) {
                options.error = QStringLiteral("%1 の後にフォルダの番号（1～10、送信履歴は 30）と書き出すファイルを指定してください。").arg(ExportOption);
                return options;
            }
            options.exportFolder = folder;
            options.exportFile = QDir::cleanPath(QDir::current().absoluteFilePath(arguments.at(i + 2)));
            i += 2;
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
