#include "app/widgets/ResultListView.h"

#include <QContextMenuEvent>
#include <QHelpEvent>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>
#include <QStyle>
#include <QStyleOptionFocusRect>
#include <QToolTip>

#include "app/ShownText.h"

namespace voidbroom {
namespace {
constexpr int kTextMargin = 2;
const QColor kEntryColor(255, 0, 0);
}  // namespace

ResultListView::ResultListView(QWidget* parent) : QAbstractScrollArea(parent) {
    setFocusPolicy(Qt::StrongFocus);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    viewport()->setBackgroundRole(QPalette::Base);
    viewport()->setAutoFillBackground(true);
    verticalScrollBar()->setSingleStep(1);
}

void ResultListView::AddItem(ResultEntry entry) {
    list_.append(std::move(entry));
    listChanged();
}

void ResultListView::Clear() {
    list_.clear();
    listChanged();
}

void ResultListView::setSelected(std::size_t index, bool selected) {
    list_.setSelected(index, selected);
    viewport()->update();
}

void ResultListView::setListIndex(long index) {
    list_.setCurrent(index >= 0 && static_cast<std::size_t>(index) < list_.count() ? index : -1);
    viewport()->update();
}

void ResultListView::Refresh() {
    viewport()->repaint();
}

void ResultListView::listChanged() {
    updateScrollRange();
    viewport()->update();
}

void ResultListView::entriesAppended(std::size_t firstNew) {
    updateScrollRange();
    const long lastInView = verticalScrollBar()->value() + visibleLines();
    if (static_cast<long>(firstNew) <= lastInView) viewport()->update();
}

int ResultListView::lineHeight() const {
    return fontMetrics().height() + 1;
}

int ResultListView::visibleLines() const {
    return std::max(1, viewport()->height() / lineHeight());
}

long ResultListView::indexAt(const QPoint& point) const {
    if (point.y() < 0) return -1;
    const long index = verticalScrollBar()->value() + point.y() / lineHeight();
    return index < static_cast<long>(list_.count()) ? index : -1;
}

void ResultListView::updateScrollRange() {
    const long lines = static_cast<long>(list_.count());
    const int page = visibleLines();
    QScrollBar* bar = verticalScrollBar();
    bar->setPageStep(page);
    bar->setRange(0, static_cast<int>(std::max(0L, lines - page)));
}

void ResultListView::paintEvent(QPaintEvent*) {
    QPainter painter(viewport());
    const int height = lineHeight();
    const int width = viewport()->width();
    const long first = verticalScrollBar()->value();
    const long last = std::min<long>(static_cast<long>(list_.count()), first + visibleLines() + 1);
    for (long i = first; i < last; ++i) {
        const ListEntry& entry = list_.at(static_cast<std::size_t>(i));
        const QRect line(0, static_cast<int>(i - first) * height, width, height);
        if (entry.selected) painter.fillRect(line, palette().brush(QPalette::Highlight));
        painter.setPen(entry.selected ? palette().color(QPalette::HighlightedText) : kEntryColor);
        painter.drawText(line.adjusted(kTextMargin, 0, -kTextMargin, 0),
                         Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine,
                         shownPath(entryText(entry)));
        if (i == list_.current() && hasFocus()) {
            QStyleOptionFocusRect option;
            option.initFrom(this);
            option.rect = line;
            style()->drawPrimitive(QStyle::PE_FrameFocusRect, &option, &painter, this);
        }
    }
}

void ResultListView::resizeEvent(QResizeEvent* event) {
    QAbstractScrollArea::resizeEvent(event);
    updateScrollRange();
}

void ResultListView::scrollContentsBy(int, int) {
    viewport()->update();
}

// The current entry's focus frame shows only while the list has the focus.
void ResultListView::focusInEvent(QFocusEvent* event) {
    QAbstractScrollArea::focusInEvent(event);
    viewport()->update();
}

void ResultListView::focusOutEvent(QFocusEvent* event) {
    QAbstractScrollArea::focusOutEvent(event);
    viewport()->update();
}

void ResultListView::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) return;
    const long index = indexAt(event->position().toPoint());
    if (index < 0) return;
    moveCurrent(index);
    toggle(index);
}

// The second press of a double click toggles the entry back, so a double click leaves the
// selection as it was.
void ResultListView::mouseDoubleClickEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) return;
    const long index = indexAt(event->position().toPoint());
    if (index >= 0) {
        moveCurrent(index);
        toggle(index);
    }
    emit doubleClicked();
}

void ResultListView::keyPressEvent(QKeyEvent* event) {
    const bool menuKey = event->key() == Qt::Key_Menu ||
                         (event->key() == Qt::Key_F10 && event->modifiers() == Qt::ShiftModifier);
    if (menuKey) {
        event->accept();
        emit menuRequested(menuPointForKeyboard());
        return;
    }
    const long count = static_cast<long>(list_.count());
    const long current = list_.current();
    long target = current;
    switch (event->key()) {
        case Qt::Key_Up:
            target = current - 1;
            break;
        case Qt::Key_Down:
            target = current + 1;
            break;
        case Qt::Key_PageUp:
            target = current - visibleLines();
            break;
        case Qt::Key_PageDown:
            target = current + visibleLines();
            break;
        case Qt::Key_Home:
            target = 0;
            break;
        case Qt::Key_End:
            target = count - 1;
            break;
        case Qt::Key_Space:
            if (current >= 0) toggle(current);
            return;
        default:
            QAbstractScrollArea::keyPressEvent(event);
            return;
    }
    if (count > 0) moveCurrent(std::clamp(target, 0L, count - 1));
}

void ResultListView::contextMenuEvent(QContextMenuEvent* event) {
    event->accept();
    if (event->reason() != QContextMenuEvent::Mouse) {
        emit menuRequested(menuPointForKeyboard());
        return;
    }
    const long index = indexAt(viewport()->mapFromGlobal(event->globalPos()));
    if (index >= 0) moveCurrent(index);
    emit menuRequested(event->globalPos());
}

QPoint ResultListView::menuPointForKeyboard() const {
    const long current = list_.current();
    const long top = verticalScrollBar()->value();
    const long line = current >= top && current < top + visibleLines() ? current - top : 0;
    return viewport()->mapToGlobal(QPoint(lineHeight(), static_cast<int>(line + 1) * lineHeight()));
}

bool ResultListView::viewportEvent(QEvent* event) {
    if (event->type() == QEvent::ToolTip) {
        auto* help = static_cast<QHelpEvent*>(event);
        const long index = indexAt(help->pos());
        if (index >= 0) {
            QToolTip::showText(help->globalPos(), shownPath(List(static_cast<std::size_t>(index))),
                               this);
        } else {
            QToolTip::hideText();
        }
        return true;
    }
    return QAbstractScrollArea::viewportEvent(event);
}

void ResultListView::moveCurrent(long index) {
    list_.setCurrent(index);
    ensureVisible(index);
    viewport()->update();
}

void ResultListView::toggle(long index) {
    const auto i = static_cast<std::size_t>(index);
    list_.setSelected(i, !list_.selected(i));
    viewport()->update();
}

void ResultListView::ensureVisible(long index) {
    QScrollBar* bar = verticalScrollBar();
    if (index < bar->value())
        bar->setValue(static_cast<int>(index));
    else if (index >= bar->value() + visibleLines())
        bar->setValue(static_cast<int>(index - visibleLines() + 1));
}

}  // namespace voidbroom
