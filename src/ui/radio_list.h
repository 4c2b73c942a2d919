// The owner-drawn lists of the wizards: each item is drawn as a radio button with its text, the
// selected item's button set. Drawing goes through a function the owning window supplies (its
// ListBox1DrawItem handler); drawRadioListItem() is the standard drawing.
#pragma once

#include <QListWidget>
#include <QStyledItemDelegate>
#include <functional>

namespace kelvora::ui {

using DrawItemHandler =
    std::function<void(QPainter& painter, const QStyleOptionViewItem& option, const QModelIndex& index)>;

// White background, black text (grey for a disabled item), the glyph from left + 1 to left + 13
// over the item's full height, the text at x = 15 of the list and 3 pixels below the item's top.
void drawRadioListItem(QPainter& painter, const QStyleOptionViewItem& option, const QModelIndex& index);

class RadioListDelegate : public QStyledItemDelegate {
    Q_OBJECT

  public:
    RadioListDelegate(DrawItemHandler draw, QObject* parent);
    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override;
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;

  private:
    DrawItemHandler draw_;
};

class RadioList : public QListWidget {
    Q_OBJECT

  public:
    static constexpr int kItemHeight = 20;

    explicit RadioList(QWidget* parent = nullptr, DrawItemHandler draw = {});

  signals:
    // The user picked an item with the mouse or the keyboard (not emitted for changes by code).
    void userClicked();

  protected:
    void mouseReleaseEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
};

}  // namespace kelvora::ui
