#pragma once

#include <QString>

// The work file of the attachment step (0.txt in the attachment folder): the header and the body of
// one message in code page 932, each as one line ending in CR LF. The folder also holds the user's
// files and attachments, and 0.txt may be one of them: the program writes and removes only a work
// file it made itself, which a hidden note beside it (".nmail-work") names by its file identity.
class AttachmentWorkFile {
public:
    // Writes the message over the text of the previous one, and gives back the work text: the file
    // as a line-by-line reading gives it back, each line followed by CR LF (a line ends at CR LF, CR
    // or LF). Made from the text written rather than read back from the disk, and equal to what
    // reading gives. A missing work file is created new, never through a link; a file of that name
    // that the program did not make is left as it is and only the work text is made. Empty when the
    // folder cannot take the file.
    static QString write(const QString& path, const QString& header, const QString& body);

    // Removes the work file at path if the program made it (one left by an interrupted receive
    // too); any other file of that name stays.
    static void remove(const QString& path);

    // The text as read back line by line, each line followed by CR LF.
    static QString linesOf(const QString& text);
};
