#include "MainForm.h"

#include <QApplication>

int main(int argc, char* argv[])
{
    QApplication application(argc, argv);
    MainForm window;
    window.show();
    return application.exec();
}
