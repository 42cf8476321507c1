#pragma once

#include <QIcon>
#include <QList>
#include <QRect>
#include <QString>
#include <QWidget>

class QStyleOptionTab;

// A strip of tabs addressed by 1-based index, wrapped into as many rows as its width needs. Every
// click on a tab selects it and reports it, the selected one included: the main window's screen
// switch runs on each click. The area below the rows is the strip's panel, on which the screens lie.
class TabStrip : public QWidget {
    Q_OBJECT
public:
    explicit TabStrip(QWidget* parent = nullptr);

    // The height the rows may take; rows are made lower to fit when there are many.
    void setRowBandHeight(int pixels);

    // Adds a tab at the 1-based index, before the tab that held it.
    void insertTab(int index, const QString& caption, const QIcon& image, int imageNumber);
    void clear();

    int count() const { return static_cast<int>(tabs_.size()); }
    QString tabText(int index) const { return tabs_.at(index - 1).caption; }
    int tabImage(int index) const { return tabs_.at(index - 1).imageNumber; }
    QRect tabRect(int index) const;
    int rowCount() const { return rowCount_; }

    int selectedIndex() const { return selected_; }
    // Selects without reporting a click.
    void setSelectedIndex(int index);

    QSize sizeHint() const override;

signals:
    void tabClicked(int index);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    struct Tab {
        QString caption;
        QIcon image;
        int imageNumber = 0;
        QRect rect;
    };

    void layoutTabs();
    int naturalTabWidth(const Tab& tab) const;
    void initStyleOption(QStyleOptionTab& option, int index) const;
    void click(int index);

    QList<Tab> tabs_;
    int selected_ = 0;
    int rowBandHeight_ = 0;
    int rowCount_ = 0;
};
