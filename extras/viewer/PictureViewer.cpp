#include "PictureViewer.h"

#include <QAction>
#include <QEvent>
#include <QFileInfo>
#include <QLabel>
#include <QScrollArea>
#include <QToolBar>

PictureViewer::PictureViewer(const QString& folder, QWidget* parent)
    : QMainWindow(parent), pictures_(folder), scroller_(new QScrollArea(this)), canvas_(new QLabel)
{
    auto* tools = addToolBar(QStringLiteral("操作"));
    tools->setMovable(false);
    QAction* previous = tools->addAction(QStringLiteral("前へ"), this, &PictureViewer::showPrevious);
    previous->setShortcuts({QKeySequence(Qt::Key_Left), QKeySequence(Qt::Key_PageUp)});
    QAction* next = tools->addAction(QStringLiteral("次へ"), this, &PictureViewer::showNext);
    next->setShortcuts({QKeySequence(Qt::Key_Right), QKeySequence(Qt::Key_PageDown), QKeySequence(Qt::Key_Space)});
    fit_ = tools->addAction(QStringLiteral("ウィンドウに合わせる"));
    fit_->setCheckable(true);
    fit_->setChecked(true);
    fit_->setShortcut(QKeySequence(Qt::Key_F));
    connect(fit_, &QAction::toggled, this, &PictureViewer::showPicture);

    canvas_->setAlignment(Qt::AlignCenter);
    canvas_->setAccessibleName(QStringLiteral("画像"));
    scroller_->setAlignment(Qt::AlignCenter);
    scroller_->setWidget(canvas_);
    setCentralWidget(scroller_);
    scroller_->viewport()->installEventFilter(this);
    resize(720, 600);
    loadCurrent();
}

bool PictureViewer::fitsToWindow() const { return fit_->isChecked(); }

void PictureViewer::setFitToWindow(bool fit) { fit_->setChecked(fit); }

void PictureViewer::showNext()
{
    pictures_.next();
    loadCurrent();
}

void PictureViewer::showPrevious()
{
    pictures_.previous();
    loadCurrent();
}

QSize PictureViewer::shownSize() const { return canvas_->pixmap().size(); }

void PictureViewer::loadCurrent()
{
    if (pictures_.isEmpty()) {
        picture_ = QPixmap();
        setWindowTitle(QStringLiteral("しずくテトラ"));
        canvas_->setText(QStringLiteral("このフォルダには画像がありません。"));
        canvas_->adjustSize();
        return;
    }
    const QString path = pictures_.currentPath();
    picture_ = QPixmap(path);
    setWindowTitle(QStringLiteral("%1 (%2/%3) - しずくテトラ")
                       .arg(QFileInfo(path).fileName())
                       .arg(pictures_.currentIndex() + 1)
                       .arg(pictures_.count()));
    if (picture_.isNull())
        canvas_->setText(QStringLiteral("「%1」を読み込めません。").arg(QFileInfo(path).fileName()));
    showPicture();
}

void PictureViewer::showPicture()
{
    if (picture_.isNull()) {
        canvas_->adjustSize();
        return;
    }
    scroller_->setWidgetResizable(fitsToWindow());
    if (fitsToWindow()) {
        const QSize room = scroller_->viewport()->size();
        const QSize fitted = picture_.size().scaled(room, Qt::KeepAspectRatio).boundedTo(room);
        canvas_->setPixmap(picture_.scaled(fitted, Qt::KeepAspectRatio, Qt::SmoothTransformation));
    } else {
        canvas_->setPixmap(picture_);
        canvas_->adjustSize();
    }
}

bool PictureViewer::eventFilter(QObject* watched, QEvent* event)
{
    // The picture follows the room it is shown in, which is known only once the window is laid out.
    if (watched == scroller_->viewport() && event->type() == QEvent::Resize && fitsToWindow())
        showPicture();
    return QMainWindow::eventFilter(watched, event);
}
