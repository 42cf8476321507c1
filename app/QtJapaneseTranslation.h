#pragma once

#include <QTranslator>

// Qt's own Japanese texts for its dialogs (file, print, message boxes), whatever the system's
// language, so that they speak the language of the rest of the program. Without the translation
// installed, the buttons keep the texts the program sets itself.
class QtJapaneseTranslation {
public:
    // Installs the translation into the application; false when it is not on this machine.
    [[nodiscard]] bool install();

private:
    QTranslator translator_;
};
