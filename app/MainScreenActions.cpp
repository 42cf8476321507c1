#include "MainScreenActions.h"

#include "ClockText.h"
#include "ExplanationText.h"
#include "MainForm.h"
#include "MainScreen.h"
#include "Twips.h"
#include "ViewerLauncher.h"
#include "WidgetNames.h"

#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTimer>

namespace Names = WidgetNames;

MainScreenActions::MainScreenActions(MainForm& form)
    : QObject(&form), form_(form), animationTimer_(new QTimer(&form)), clockTimer_(new QTimer(&form))
{
    MainScreen& screen = form.mainScreen();
    connect(screen.showExplanationButton(), &QPushButton::clicked, this, &MainScreenActions::showExplanation);
    connect(screen.hideExplanationButton(), &QPushButton::clicked, this, &MainScreenActions::hideExplanation);
    connect(screen.viewerButton(), &QPushButton::clicked, this, &MainScreenActions::LaunchViewer);

    animationTimer_->setObjectName(Names::Timer1);
    animationTimer_->setInterval(AnimationMilliseconds);
    connect(animationTimer_, &QTimer::timeout, this, &MainScreenActions::climb);
    animationTimer_->start();

    clockTimer_->setObjectName(Names::Timer2);
    clockTimer_->setInterval(ClockMilliseconds);
    connect(clockTimer_, &QTimer::timeout, this, &MainScreenActions::showClock);
    clockTimer_->start();
    showClock();
}

void MainScreenActions::showExplanation()
{
    MainScreen& screen = form_.mainScreen();
    QPlainTextEdit* box = screen.explanationBox();
    box->show();
    box->raise();
    box->setPlainText(ExplanationText(form_.homePageAddress()).replace(QStringLiteral("\r\n"), QStringLiteral("\n")));
    screen.showExplanationButton()->setEnabled(false);
    screen.hideExplanationButton()->setEnabled(true);
}

void MainScreenActions::hideExplanation()
{
    MainScreen& screen = form_.mainScreen();
    screen.explanationBox()->hide();
    screen.showExplanationButton()->setEnabled(true);
    screen.hideExplanationButton()->setEnabled(false);
}

void MainScreenActions::showClock() { form_.mainScreen().clockBox()->setText(ClockText(form_.services().clock.localDateTime())); }

void MainScreenActions::climb()
{
    climbStep_ = (climbStep_ + 1) % static_cast<int>(ClimbTops.size());
    QLabel* picture = form_.mainScreen().animatedPicture();
    picture->move(picture->x(), Twips::toPixels(ClimbTops.at(static_cast<std::size_t>(climbStep_))));
}

void MainScreenActions::LaunchViewer()
{
    Services& services = form_.services();
    (void)::LaunchViewer(form_.paths(), services.launcher, services.messageBoxes,
        {[this] { form_.showMinimized(); },
            [this] {
                // Back to the state it had, maximised or not.
                form_.setWindowState(form_.windowState() & ~Qt::WindowMinimized);
                form_.activateWindow();
            }});
}
