#pragma once

#include <QFrame>

class MainForm;
class QLabel;
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

    // The arrows of UpDown1, and the arrow keys in the size box: one point a step, within 8 to 200.
    void fontSizeDown();
    void fontSizeUp();
    // A size typed into the box, taken with Enter or when the box is left; one outside 8 to 200 is
    // refused with a notice and the box shows the size in use again. Tells whether the box holds the
    // size in use now.
    bool takeTypedFontSize();

    static QString fontSizeOutOfRangeText()
    {
        return QStringLiteral("文字サイズは %1 から %2 までの数で入力してください。").arg(SmallestFontSize).arg(LargestFontSize);
    }

    // "戻る": back to the main screen with the tab strip and the menus.
    void returnToMainScreen();

    // Follows the main window's outer size (twips): the frame and the body box take 0.99 of its
    // width and 0.92 of its height.
    void followWindowSize(double width, double height);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void setFontSize(double points);
    // The subject, sender and date boxes grow with their font, and what lies below them moves down.
    void placeBoxes();

    MainForm& form_;
    QLineEdit* subject_;
    QLineEdit* sender_;
    QLineEdit* date_;
    QTextEdit* body_;
    QLineEdit* fontSize_;
    QToolButton* up_;
    QToolButton* down_;
    QPushButton* return_;
    QLabel* senderLabel_;
    QLabel* dateLabel_;
    QLabel* bodyLabel_;
    double fontSizePoints_ = InitialFontSize;
    int bodyTop_ = 0;
};
