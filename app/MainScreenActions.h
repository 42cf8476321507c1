#pragma once

#include <QObject>

#include <array>

class MainForm;
class QTimer;

// The main screen's own controls: the explanation text ("説明表示" / "説明非表示"), the clock box
// (Timer2), the climbing picture (Timer1), the viewer button, and the accessible names of the
// picture buttons.
class MainScreenActions : public QObject {
    Q_OBJECT
public:
    // The Tops of one animation pass, in twips, each shown for one 500 ms step.
    static constexpr std::array<double, 5> ClimbTops{2380, 2168, 1956, 1744, 1532};
    static constexpr int AnimationMilliseconds = 500;
    static constexpr int ClockMilliseconds = 1000;

    explicit MainScreenActions(MainForm& form);

    void showExplanation();
    void hideExplanation();
    void showClock();
    // One 500 ms step of the animation. A pass is five steps, so only one pass ever runs, and the
    // step after a pass's last starts the next pass. Nothing here processes events or waits, so a
    // step that comes while a receive session or a send repaints the window takes no input.
    void climb();
    void LaunchViewer();

private:
    MainForm& form_;
    QTimer* animationTimer_;
    QTimer* clockTimer_;
    int climbStep_ = -1;
};
