#include "PictureViewer.h"

#include <QApplication>

// The picture viewer shipped in Data/ of the program folder: it shows the pictures that lie beside it.
int main(int argc, char* argv[])
{
    QApplication application(argc, argv);
    PictureViewer viewer(QCoreApplication::applicationDirPath());
    viewer.show();
    return application.exec();
}
