#pragma once

#include "PictureList.h"

#include <QMainWindow>
#include <QPixmap>

class QAction;
class QLabel;
class QScrollArea;

// The picture viewer: one picture of its folder at a time, stepped through with "前へ" and "次へ"
// (or the arrow keys), shown at its own size or fitted to the window.
class PictureViewer : public QMainWindow {
    Q_OBJECT
public:
    explicit PictureViewer(const QString& folder, QWidget* parent = nullptr);

    const PictureList& pictures() const { return pictures_; }
    bool fitsToWindow() const;
    void setFitToWindow(bool fit);
    void showNext();
    void showPrevious();
    // The picture as it is drawn now.
    QSize shownSize() const;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void loadCurrent();
    void showPicture();

    PictureList pictures_;
    QPixmap picture_;
    QScrollArea* scroller_;
    QLabel* canvas_;
    QAction* fit_;
};
