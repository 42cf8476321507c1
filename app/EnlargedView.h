#pragma once

#include <QFrame>

class MainForm;
class QLineEdit;
class QPushButton;
class QTextEdit;
class QToolButton;

// The enlarged view (Frame6): one message over the whole window in a font size the user sets
// between 8 and 200 points. It is a snapshot of the view fields taken when it opens.
class EnlargedView : public QFrame {
    Q_OBJECT
public:
    static constexpr int InitialFontSize = 12;
    static constexpr int SmallestFontSize = 8;
    static constexpr int LargestFontSize = 200;

    EnlargedView(MainForm& form, QWidget* parent = nullptr);

    // Fills the four boxes and puts the font size back to 12 points.
    void showMessage(const QString& subject, const QString& sender, const QString& date, const QString& body);

    // The arrows of UpDown1: one point a click, within 8 to 200.
    void fontSizeDown();
    void fontSizeUp();

    // "戻る": back to the main screen with the tab strip and the menus.
    void returnToMainScreen();

    // Follows the main window's outer size (twips): the frame and the body box take 0.99 of its
    // width and 0.92 of its height.
    void followWindowSize(double width, double height);

private:
    void setFontSize(double points);

    MainForm& form_;
    QLineEdit* subject_;
    QLineEdit* sender_;
    QLineEdit* date_;
    QTextEdit* body_;
    QLineEdit* fontSize_;
    QToolButton* up_;
    QToolButton* down_;
    QPushButton* return_;
};
