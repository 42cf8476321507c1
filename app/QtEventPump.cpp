#include "QtEventPump.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QTimer>

namespace {
constexpr int SliceMilliseconds = 10;
}

void ProcessWindowEvents()
{
    QCoreApplication::processEvents(QEventLoop::AllEvents);
    QEventLoop slice;
    QTimer::singleShot(SliceMilliseconds, &slice, &QEventLoop::quit);
    slice.exec();
}
