#pragma once

#include <QString>
#include <QStringList>

#include <optional>

// What the command line and the environment may say at start: the program folder (the option
// "--program-folder DIR" or the variable NEMUROA_PROGRAM_FOLDER, the option winning; the
// executable's folder when neither is given) and one mailto: link to compose; or "--help" and
// "--version", which are answered without starting; or an import or export done without a window. Nothing else of the program reads options or
// the environment, but for the runtime folder ($XDG_RUNTIME_DIR) that the start looks up for the
// hand-over between copies (RunningCopyLink).
struct StartOptions {
    QString programFolder;
    QString mailto;
    // "--import PATH...": the sources to import without a window, absolute.
    QStringList importPaths;
    // "--export-mbox FOLDER FILE": folder 1 to 10 or FolderFiles::SentHistory (FOLDER 30), FILE absolute.
    int exportFolder = 0;
    QString exportFile;
    // Set when the arguments cannot be understood; the program then ends with this text.
    QString error;

    static inline const QString FolderOption = QStringLiteral("--program-folder");
    static inline const QString FolderVariable = QStringLiteral("NEMUROA_PROGRAM_FOLDER");
    static inline const QString ImportOption = QStringLiteral("--import");
    static inline const QString ExportOption = QStringLiteral("--export-mbox");

    bool runsWithoutWindow() const { return !importPaths.isEmpty() || exportFolder != 0; }

    // arguments without the program name, as left by QApplication; environmentFolder the value of
    // NEMUROA_PROGRAM_FOLDER (empty when unset).
    // The text "--help" or "--version" asks for (the first of them given), printed on standard
    // output before the program ends; std::nullopt when neither is given.
    static std::optional<QString> informationFor(const QStringList& arguments);
    static QString usage();
    static QString version();

    static StartOptions parse(const QStringList& arguments, const QString& environmentFolder, const QString& executableFolder);
};
