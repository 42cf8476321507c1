#pragma once

#include <QTranslator>

// Qt's own Japanese texts for its dialogs (file, print, message boxes) and the Japanese locale for
// the calendar, the clock and the print dialog's paper, whatever the system's language, so that
// they speak the language of the rest of the program. Without the translation installed, the
// buttons keep the texts the program sets itself; the locale is Japanese all the same.
class QtJapaneseTranslation {
public:
    // Makes Japanese the default locale and installs the translation into the application; false
    // when the translation is not on this machine.
    [[nodiscard]] bool install();

private:
    QTranslator translator_;
};
