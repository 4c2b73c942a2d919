// The ribbon across the top of the main window: the application button with its menu, the
// quick-access toolbar, the tabs, and on each tab its groups of commands. Key tips work as in
// any ribbon: press and release Alt, then a tab's letter, then a command's letter; Esc steps back.
#pragma once

#include <QPointer>
#include <QString>
#include <QWidget>
#include <functional>
#include <vector>

#include "ui/theme.h"

class QAction;
class QLabel;
class QMenu;
class QStackedWidget;
class QToolButton;
class QHBoxLayout;

namespace kelvora::app {

// One group of a tab: a rounded panel with its caption along the bottom.
class RibbonGroup : public QWidget {
    Q_OBJECT

  public:
    RibbonGroup(const QString& caption, QWidget* parent);
    QString caption() const { return caption_; }
    QHBoxLayout* contents() const { return contents_; }

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    QString caption_;
    QHBoxLayout* contents_;
};

class Ribbon : public QWidget {
    Q_OBJECT

  public:
    static constexpr int kHeight = 143;
    enum class KeyTipLevel { Off, Tabs, Commands };

    explicit Ribbon(const QString& caption, QWidget* parent = nullptr);
    ~Ribbon() override;

    int addTab(const QString& caption, const QString& keyTip);
    RibbonGroup* addGroup(int tab, const QString& caption, const QString& hint);
    // A large button (32 x 32 image, caption below) that triggers `action`. It is made when its
    // tab first shows (or groups() asks for the tab): the first window shows one tab of seven.
    void addLargeButton(RibbonGroup* group, QAction* action, const QString& caption, const QString& keyTip);
    // Any other control of a group that takes a key tip; `run` is what the key tip does.
    void addKeyTip(int tab, QWidget* control, const QString& keyTip, std::function<void()> run);
    // A button of the quick-access toolbar: image only.
    QToolButton* addQuickAccess(QAction* action, const QString& keyTip);
    void setApplicationMenu(QMenu* menu, const QString& keyTip);
    QMenu* applicationMenu() const { return menu_; }
    void showApplicationMenu();

    int tabCount() const { return static_cast<int>(tabs_.size()); }
    QString tabCaption(int tab) const;
    QString tabKeyTip(int tab) const;
    int currentTab() const { return current_; }
    void setCurrentTab(int tab);
    // The groups of a tab, with every button made.
    std::vector<RibbonGroup*> groups(int tab);

    KeyTipLevel keyTipLevel() const { return level_; }
    // The letters on show, in the order they are matched.
    QStringList visibleKeyTips() const;
    void showTabKeyTips();
    void showCommandKeyTips();
    void hideKeyTips();
    // Runs the key tip `letter` at the current level; false when none matches.
    bool pressKeyTip(const QString& letter);

    void applyStyle(ui::Style style);

  signals:
    void currentTabChanged(int tab);

  protected:
    bool event(QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    struct KeyTip {
        QPointer<QWidget> anchor;
        QString letter;
        std::function<void()> run;
    };
    // A large button still to be made, and the key tip that will point at it.
    struct PendingButton {
        RibbonGroup* group;
        QPointer<QAction> action;
        QString caption;
        std::size_t keyTip;  // index into the tab's commands
    };
    struct Tab {
        QString caption;
        QString keyTip;
        QRect rect;
        QWidget* page;
        std::vector<KeyTip> commands;
        std::vector<PendingButton> pending;
        bool built = false;  // its buttons are made as they are added
    };

    void buildTab(int tab);
    QToolButton* makeLargeButton(const PendingButton& planned);
    void layoutTabs();
    void showBadges(const std::vector<std::pair<QPoint, QString>>& badges);
    bool handleKey(QEvent* event);

    QString caption_;
    QWidget* orb_;
    QMenu* menu_ = nullptr;
    QString menuKeyTip_;
    std::vector<KeyTip> quickAccess_;
    std::vector<QToolButton*> quickButtons_;
    QStackedWidget* pages_;
    std::vector<Tab> tabs_;
    int current_ = -1;
    KeyTipLevel level_ = KeyTipLevel::Off;
    bool altPending_ = false;
    std::vector<QLabel*> badges_;
};

}  // namespace kelvora::app
