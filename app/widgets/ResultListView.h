#pragma once

#include <QAbstractScrollArea>
#include <string>
#include <vector>

#include "results/ResultList.h"

namespace voidbroom {

// The result list box (List1): draws the entries of its ResultList, one line each, and lets
// the user toggle entries: a click or Space toggles the entry under it alone and makes it
// current; the arrow keys move the current entry. Only visible lines are drawn, so a list
// of a million entries costs no more to show than a short one.
class ResultListView : public QAbstractScrollArea {
    Q_OBJECT

public:
    explicit ResultListView(QWidget* parent = nullptr);

    ResultList& list() { return list_; }
    const ResultList& list() const { return list_; }

    // The list box operations the commands use.
    void AddItem(ResultEntry entry);
    void Clear();
    std::size_t ListCount() const { return list_.count(); }
    // The entry's text as the list shows it.
    std::string List(std::size_t index) const { return entryText(list_.at(index)); }
    bool Selected(std::size_t index) const { return list_.selected(index); }
    void setSelected(std::size_t index, bool selected);
    long ListIndex() const { return list_.current(); }
    void setListIndex(long index);
    // Redraws at once.
    void Refresh();
    // Tells the view that the list changed behind its back.
    void listChanged();
    // Tells the view that entries were appended behind its back from index `firstNew` on (a
    // scan's batch): the scroll range follows, and the lines are redrawn only if one of the
    // new entries is in view.
    void entriesAppended(std::size_t firstNew);

    // The line at a point of the viewport, or -1.
    long indexAt(const QPoint& point) const;
    int lineHeight() const;

signals:
    void doubleClicked();
    // The user asked for the list's menu (a right click, the Menu key, Shift+F10), to be
    // shown at `globalPos`. A right click on an entry makes it current, and selects nothing.
    void menuRequested(const QPoint& globalPos);

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    bool viewportEvent(QEvent* event) override;
    void scrollContentsBy(int dx, int dy) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;

private:
    int visibleLines() const;
    void updateScrollRange();
    void moveCurrent(long index);
    void toggle(long index);
    void ensureVisible(long index);
    // Where the menu opens from the keyboard: below the current entry, else at the top.
    QPoint menuPointForKeyboard() const;

    ResultList list_;
};

}  // namespace voidbroom
