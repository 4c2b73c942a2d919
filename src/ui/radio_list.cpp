#include "ui/radio_list.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>

#include "ui/artwork.h"

namespace kelvora::ui {

void drawRadioListItem(QPainter& painter, const QStyleOptionViewItem& option, const QModelIndex& index) {
    const QRect r = option.rect;
    const bool selected = option.state & QStyle::State_Selected;
    const bool enabled = index.flags() & Qt::ItemIsEnabled;
    painter.save();
    painter.fillRect(r, Qt::white);
    paintRadioGlyph(painter, QRect(r.left() + 1, r.top(), 13, r.height()), selected, enabled);
    painter.setFont(option.font);
    painter.setPen(enabled ? QColor(Qt::black) : QColor(0x6d, 0x6d, 0x6d));
    const QRect text(15, r.top() + 3, std::max(0, r.right() - 15), r.height() - 3);
    painter.drawText(text, Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine,
                     index.data(Qt::DisplayRole).toString());
    painter.restore();
}

RadioListDelegate::RadioListDelegate(DrawItemHandler draw, QObject* parent)
    : QStyledItemDelegate(parent), draw_(std::move(draw)) {}

void RadioListDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                              const QModelIndex& index) const {
    QStyleOptionViewItem opt = option;
    initStyleOption(&opt, index);
    if (draw_)
        draw_(*painter, opt, index);
    else
        drawRadioListItem(*painter, opt, index);
}

QSize RadioListDelegate::sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const {
    return {QStyledItemDelegate::sizeHint(option, index).width(), RadioList::kItemHeight};
}

RadioList::RadioList(QWidget* parent, DrawItemHandler draw) : QListWidget(parent) {
    setItemDelegate(new RadioListDelegate(std::move(draw), this));
    setUniformItemSizes(true);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setStyleSheet(QStringLiteral("QListWidget { background: #ffffff; border: 1px solid #828790; }"));
}

void RadioList::mouseReleaseEvent(QMouseEvent* event) {
    QListWidget::mouseReleaseEvent(event);
    if (event->button() == Qt::LeftButton && itemAt(event->position().toPoint()))
        emit userClicked();
}

void RadioList::keyPressEvent(QKeyEvent* event) {
    const int before = currentRow();
    QListWidget::keyPressEvent(event);
    if (currentRow() != before)
        emit userClicked();
}

}  // namespace kelvora::ui
