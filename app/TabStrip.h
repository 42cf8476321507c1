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
// When the captions need more rows than the row band holds, long captions are cut with an ellipsis
// (the whole caption is the tab's tool tip), so that every tab stays in the band and clickable.
// The keyboard moves a focus mark over the tabs (arrows, Home, End) without opening any: opening
// tab 3 starts a receive, so only Enter or Space opens the marked tab.
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

    // The whole caption where the tab shows it cut, else empty.
    QString tabToolTip(int index) const;
    // The caption as the tab shows it.
    QString shownText(int index) const;

    int selectedIndex() const { return selected_; }
    // The tab the keyboard has marked; the selected one until a key moves the mark.
    int focusedIndex() const { return focused_; }
    // Selects without reporting a click.
    void setSelectedIndex(int index);
    // Selects and reports, as a click on the tab does.
    void activateTab(int index);

    QSize sizeHint() const override;

signals:
    void tabClicked(int index);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    void changeEvent(QEvent* event) override;
    bool event(QEvent* event) override;

private:
    struct Tab {
        QString caption;
        QIcon image;
        int imageNumber = 0;
        QRect rect;
        QString shown;
    };

    void layoutTabs();
    // Places the tabs in rows with no tab wider than widest; returns the number of rows.
    int placeInRows(int widest, QList<QList<int>>& rows);
    int naturalTabWidth(const Tab& tab) const;
    int minimumRowHeight() const;
    void announceSelection();
    void announceFocus();
    void moveFocusMark(int index);
    void initStyleOption(QStyleOptionTab& option, int index) const;
    void click(int index);

    QList<Tab> tabs_;
    int selected_ = 0;
    int focused_ = 0;
    int rowBandHeight_ = 0;
    int rowCount_ = 0;
};
