// Pictures of every screen of Nemuroa for the README, taken from the real window on the program
// folder in the current directory (the demo's, laid out by scripts/demo.sh). It opens each screen
// in turn as a click on its tab does, receives the demo mailbox on tab 3, and saves each picture as
// a small PNG once the screen has painted on the display; the notices a receive shows are pictured
// and then answered with the Return key, as a person answers them.
//   nemuroa-screenshots OUTDIR
#include "MainForm.h"
#include "NMail.h"
#include "ProgramPaths.h"
#include "QtClipboard.h"
#include "QtEventPump.h"
#include "QtFileDialogs.h"
#include "QtJapaneseTranslation.h"
#include "QtMessageBoxService.h"
#include "QtProgramLauncher.h"
#include "SystemMillisecondClock.h"
#include "TabStrip.h"
#include "WidgetNames.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QImage>
#include <QPixmap>
#include <QScreen>
#include <QTest>
#include <QWindow>
#include <QTextStream>
#include <QTimer>

#include <cstdlib>

namespace {

QString outputFolder;

void settle(int milliseconds)
{
    QElapsedTimer timer;
    timer.start();
    while (timer.elapsed() < milliseconds)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
}

// Counts the paint events of a window and of everything in it.
class PaintWatch : public QObject {
public:
    explicit PaintWatch(QWidget* window) : window_(window) { QApplication::instance()->installEventFilter(this); }
    ~PaintWatch() override { QApplication::instance()->removeEventFilter(this); }
    PaintWatch(const PaintWatch&) = delete;
    PaintWatch& operator=(const PaintWatch&) = delete;
    int paints() const { return paints_; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        auto* widget = qobject_cast<QWidget*>(watched);
        if (event->type() == QEvent::Paint && widget && widget->window() == window_)
            ++paints_;
        return false;
    }

private:
    QWidget* window_;
    int paints_ = 0;
};

// Pictures a window as the display shows it: only once it is exposed and has painted again since
// the last change, so no picture is taken of a screen that is not there yet.
void save(QWidget* window, const QString& name)
{
    const PaintWatch watch(window);
    window->update();
    QElapsedTimer waited;
    waited.start();
    while ((!window->windowHandle() || !window->windowHandle()->isExposed() || watch.paints() == 0)
        && waited.elapsed() < 10000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    settle(100);
    // A palette of 256 colours keeps the pictures small; the screens use few colours.
    const QImage picture = window->screen()
                               ->grabWindow(window->winId())
                               .toImage()
                               .convertToFormat(QImage::Format_Indexed8, Qt::ThresholdDither);
    if (watch.paints() == 0 || !picture.save(outputFolder + u'/' + name + QStringLiteral(".png")))
        QTextStream(stderr) << "cannot picture " << name << Qt::endl;
}

void openTab(MainForm& window, int index)
{
    window.tabStrip().setSelectedIndex(index);
    window.onTabClicked(index);
    settle(300);
}

} // namespace

int main(int argc, char* argv[])
{
    QApplication application(argc, argv);
    QApplication::setFont(MainForm::programFont());
    QtJapaneseTranslation qtTranslation;
    (void)qtTranslation.install();
    if (QApplication::arguments().size() != 2) {
        QTextStream(stderr) << "usage: nemuroa-screenshots OUTDIR" << Qt::endl;
        return 2;
    }
    outputFolder = QDir(QApplication::arguments().at(1)).absolutePath();
    QDir().mkpath(outputFolder);

    QtMessageBoxService messageBoxes;
    QtClipboard clipboard;
    QtFileDialogs fileDialogs;
    QtProgramLauncher launcher;
    SystemMillisecondClock clock;
    NMail mail;
    Services services{messageBoxes, clipboard, fileDialogs, launcher, clock, mail, &ProcessWindowEvents, [] { std::exit(EXIT_SUCCESS); }};
    const ProgramPaths paths(QDir::currentPath());
    MainForm window(paths, services);
    messageBoxes.setParentWindow(&window);
    if (!window.load())
        return EXIT_FAILURE;
    window.show();
    settle(500);

    // A notice of the receive session waits for OK: picture the first, then close each. The final
    // status of the session stays five seconds: picture it once it shows.
    bool noticePictured = false;
    bool statusPictured = false;
    QTimer watch;
    QObject::connect(&watch, &QTimer::timeout, [&] {
        if (QWidget* notice = QApplication::activeModalWidget()) {
            if (!noticePictured)
                save(notice, QStringLiteral("notice"));
            noticePictured = true;
            QTest::keyClick(notice->windowHandle(), Qt::Key_Return);
        } else if (!statusPictured && window.tabStrip().selectedIndex() == 3 && !window.statusText().isEmpty()
            && window.statusText() != QStringLiteral("受信中・・・")) {
            statusPictured = true;
            save(&window, QStringLiteral("receive"));
        }
    });
    watch.start(200);

    save(&window, QStringLiteral("main"));
    openTab(window, 3);
    openTab(window, 2);
    save(&window, QStringLiteral("compose"));
    openTab(window, 4);
    save(&window, QStringLiteral("address-book"));
    openTab(window, 5);
    save(&window, QStringLiteral("spam-keywords"));
    openTab(window, 7);
    save(&window, QStringLiteral("folder"));
    openTab(window, 16);
    save(&window, QStringLiteral("others-folder"));
    openTab(window, 17);
    save(&window, QStringLiteral("sent-history"));
    openTab(window, 1);
    window.openServerDialog();
    settle(300);
    for (QWidget* top : QApplication::topLevelWidgets()) {
        if (top->isVisible() && top->objectName() == WidgetNames::OptionForm)
            save(top, QStringLiteral("server-dialog"));
    }
    return EXIT_SUCCESS;
}
