#pragma once

#include <QIcon>
#include <QPixmap>
#include <QSize>

// The program's pictures, drawn at start-up so that they stay sharp at any size: the banner and
// the pictures of the main screen, the eight images of the tab strip and the picture buttons.
namespace Pictures {

// The banner, kept dark sky without moon or stars behind textArea (the version text over it).
QPixmap banner(QSize size, const QRect& textArea);
// The picture beside the rule editor: a night sky over a sleeping letter.
QPixmap nightLetter(QSize size);
// The small bar the animation moves.
QPixmap climber(QSize size);

// Tab images 1 to 8: main screen, others folder, receive, address book, spam, settings and sent
// history, new mail, named folder.
QIcon tabImage(int number);

QIcon viewerButton();
QIcon minimiseButton();
QIcon exitButton();
QIcon windowIcon();

} // namespace Pictures
