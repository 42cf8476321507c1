#pragma once

#include "FileDialogs.h"

#include <QList>
#include <QStringList>

// File and printer dialogs answered from queues; an empty queue is a cancelled dialog.
class FakeFileDialogs final : public FileDialogs {
public:
    std::optional<QString> openFileName(const QString& filter) override;
    std::optional<QString> saveFileName(const QString& filter, bool confirmOverwrite) override;
    std::optional<PrintChoice> print(const QString& wholeText, const QString& selectedText, const QString& fontFamily,
        double pointSize, bool bold, bool italic) override;

    QStringList openAnswers;
    QStringList saveAnswers;
    QList<PrintChoice> printAnswers;

    struct PrintJob {
        QString wholeText;
        QString selectedText;
        QString fontFamily;
        double pointSize = 0;
        bool bold = false;
        bool italic = false;
        PrintChoice choice;
    };
    QStringList openFilters;
    QStringList saveFilters;
    QList<bool> saveConfirmations;
    // One entry per accepted print dialog.
    QList<PrintJob> printed;
    int printDialogs = 0;
};
