#pragma once

#include <QString>

// The work file of the attachment step (0.txt in the attachment folder): the header and the body of
// one message in code page 932, each as one line ending in CR LF.
class AttachmentWorkFile {
public:
    // Writes the message over the text of the previous one, and gives back the work text: the file
    // as a line-by-line reading gives it back, each line followed by CR LF (a line ends at CR LF, CR
    // or LF). Made from the text written rather than read back from the disk, and equal to what
    // reading gives. Empty when the file cannot be written.
    static QString write(const QString& path, const QString& header, const QString& body);

    // The text as read back line by line, each line followed by CR LF.
    static QString linesOf(const QString& text);
};
