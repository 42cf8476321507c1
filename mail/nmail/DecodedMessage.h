#pragma once

#include <QString>

// A message's fields as the program shows and stores them.
struct DecodedMessage {
    QString subject;
    QString date; // the header's own text
    QString from; // display name and address, as the header gives them
    QString header; // the whole header
    QString body; // the text a reader reads, CR LF line ends
};
