#include "app/ribbon.h"

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QStackedWidget>
#include <QToolButton>
#include <QWindow>

#include "app/styles.h"
#include "ui/artwork.h"

namespace kelvora::app {

namespace {

constexpr int kCaptionRowHeight = 26;
constexpr int kTabRowHeight = 24;
constexpr int kPanelTop = kCaptionRowHeight + kTabRowHeight;
constexpr int kTabsLeft = 52;

// The round application button with the program's emblem.
class ApplicationButton : public QAbstractButton {
  public:
    explicit ApplicationButton(QWidget* parent) : QAbstractButton(parent) {
        setFixedSize(42, 42);
        setCursor(Qt::ArrowCursor);
        setAttribute(Qt::WA_Hover);
    }

  protected:
    void paintEvent(QPaintEvent*) override {
        const ui::Theme& t = ui::currentTheme();
        QPainter p(this);
        p.setRenderHint(QPainter::Antialiasing);
        const QRectF r = QRectF(rect()).adjusted(1.5, 1.5, -1.5, -1.5);
        QRadialGradient g(r.center() - QPointF(0, r.height() * 0.25), r.width() * 0.7);
        const bool hot = underMouse() || isDown();
        g.setColorAt(0, hot ? QColor(0xff, 0xf0, 0xb0) : t.orbTop);
        g.setColorAt(1, hot ? QColor(0xe8, 0x9a, 0x2c) : t.orbBottom);
        p.setPen(QPen(t.orbRing, 1.2));
        p.setBrush(g);
        p.drawEllipse(r);
        p.drawPixmap(rect().center() - QPoint(13, 13), ui::applicationEmblem(27));
        QPainterPath gloss;
        gloss.addEllipse(QRectF(r.left() + 5, r.top() + 2, r.width() - 10, r.height() * 0.45));
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(255, 255, 255, 70));
        p.drawPath(gloss);
    }
};

QString badgeSheet() {
    const ui::Theme& t = ui::currentTheme();
    return QStringLiteral(
               "QLabel { color: %1; background: qlineargradient(x1:0, y1:0, x2:0, y2:1, stop:0 #ffffff, "
               "stop:1 %2);"
               " border: 1px solid %3; border-radius: 2px; padding: 0 3px; font-weight: bold; }")
        .arg(t.keyTipText.name(), t.keyTipBack.darker(106).name(), t.keyTipBorder.name());
}

}  // namespace

RibbonGroup::RibbonGroup(const QString& caption, QWidget* parent) : QWidget(parent), caption_(caption) {
    contents_ = new QHBoxLayout(this);
    contents_->setContentsMargins(4, 2, 4, 19);
    contents_->setSpacing(1);
    setFixedHeight(87);
}

void RibbonGroup::paintEvent(QPaintEvent*) {
    const ui::Theme& t = ui::currentTheme();
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    const QRectF r = QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5);
    QLinearGradient body(r.topLeft(), r.bottomLeft());
    body.setColorAt(0, t.groupTop);
    body.setColorAt(1, t.groupBottom);
    p.setPen(QPen(t.groupBorder, 1));
    p.setBrush(body);
    p.drawRoundedRect(r, 3, 3);
    const QRectF band(r.left() + 1, r.bottom() - 16, r.width() - 2, 15.5);
    QLinearGradient cap(band.topLeft(), band.bottomLeft());
    cap.setColorAt(0, t.groupCaptionTop);
    cap.setColorAt(1, t.groupCaptionBottom);
    QPainterPath path;
    path.addRoundedRect(band, 2.5, 2.5);
    p.setPen(Qt::NoPen);
    p.setBrush(cap);
    p.drawPath(path);
    p.setPen(t.groupCaptionText);
    p.setFont(ui::controlFont());
    p.drawText(band, Qt::AlignCenter, caption_);
}

Ribbon::Ribbon(const QString& caption, QWidget* parent) : QWidget(parent), caption_(caption) {
    setObjectName(QStringLiteral("Ribbon"));
    setFixedHeight(kHeight);
    setFont(ui::controlFont());
    setAttribute(Qt::WA_OpaquePaintEvent);

    pages_ = new QStackedWidget(this);
    pages_->setGeometry(0, kPanelTop, width(), kHeight - kPanelTop);

    auto* orb = new ApplicationButton(this);
    orb->setToolTip(QStringLiteral("<b>Kelvora</b>"));
    orb->move(5, 4);
    connect(orb, &QAbstractButton::clicked, this, &Ribbon::showApplicationMenu);
    orb_ = orb;
    orb_->raise();

    qApp->installEventFilter(this);
    applyStyle(ui::currentStyle());
}

Ribbon::~Ribbon() {
    qApp->removeEventFilter(this);
}

int Ribbon::addTab(const QString& caption, const QString& keyTip) {
    auto* page = new QWidget(pages_);
    auto* row = new QHBoxLayout(page);
    row->setContentsMargins(4, 3, 4, 3);
    row->setSpacing(3);
    row->addStretch(1);
    pages_->addWidget(page);
    tabs_.push_back(Tab{caption, keyTip, QRect(), page, {}, {}, false});
    layoutTabs();
    if (current_ < 0)
        setCurrentTab(0);
    return static_cast<int>(tabs_.size()) - 1;
}

RibbonGroup* Ribbon::addGroup(int tab, const QString& caption, const QString& hint) {
    QWidget* page = tabs_.at(tab).page;
    auto* group = new RibbonGroup(caption, page);
    if (!hint.isEmpty())
        group->setToolTip(hint);
    auto* row = static_cast<QHBoxLayout*>(page->layout());
    row->insertWidget(row->count() - 1, group);
    return group;
}

void Ribbon::addLargeButton(RibbonGroup* group, QAction* action, const QString& caption,
                            const QString& keyTip) {
    for (Tab& tab : tabs_) {
        if (!tab.page->isAncestorOf(group))
            continue;
        tab.commands.push_back(KeyTip{nullptr, keyTip, [action] { action->trigger(); }});
        const PendingButton planned{group, action, caption, tab.commands.size() - 1};
        if (tab.built)
            tab.commands.back().anchor = makeLargeButton(planned);
        else
            tab.pending.push_back(planned);
        return;
    }
}

void Ribbon::buildTab(int index) {
    Tab& tab = tabs_.at(index);
    if (tab.built)
        return;
    tab.built = true;
    // In the order they were added; a group holds either large buttons or other controls.
    for (const PendingButton& planned : tab.pending)
        tab.commands.at(planned.keyTip).anchor = makeLargeButton(planned);
    tab.pending.clear();
}

QToolButton* Ribbon::makeLargeButton(const PendingButton& planned) {
    QAction* action = planned.action;
    if (!action)
        return nullptr;
    auto* button = new QToolButton(planned.group);
    button->setObjectName(QStringLiteral("RibbonButton"));
    button->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
    button->setIcon(action->icon());
    button->setIconSize(QSize(32, 32));
    // Two lines at most: a caption of two words is split between them, as ribbons do.
    QString text = planned.caption;
    if (text.count(QLatin1Char(' ')) == 1)
        text.replace(QLatin1Char(' '), QLatin1Char('\n'));
    else
        text += QLatin1Char('\n');
    // No "&" in a button's text: the button would take Alt+letter, which belongs to the commands.
    button->setText(text);
    button->setToolTip(action->toolTip());
    button->setFixedHeight(66);
    button->setMinimumWidth(46);
    button->setAutoRaise(true);
    button->setCheckable(action->isCheckable());
    button->setChecked(action->isChecked());
    button->setEnabled(action->isEnabled());
    connect(button, &QToolButton::clicked, action, &QAction::trigger);
    // The button follows its command, whether made before or after the command changed (a machine
    // without the browser disables it and says why in the screen tip).
    connect(action, &QAction::changed, button, [button, action] {
        button->setChecked(action->isChecked());
        button->setEnabled(action->isEnabled());
        button->setToolTip(action->toolTip());
    });
    planned.group->contents()->addWidget(button);
    return button;
}

void Ribbon::addKeyTip(int tab, QWidget* control, const QString& keyTip, std::function<void()> run) {
    tabs_.at(tab).commands.push_back(KeyTip{control, keyTip, std::move(run)});
}

QToolButton* Ribbon::addQuickAccess(QAction* action, const QString& keyTip) {
    auto* button = new QToolButton(this);
    button->setObjectName(QStringLiteral("QuickAccessButton"));
    button->setToolButtonStyle(Qt::ToolButtonIconOnly);
    button->setIcon(action->icon());
    button->setIconSize(QSize(16, 16));
    button->setToolTip(action->toolTip());
    button->setAutoRaise(true);
    button->setFixedSize(22, 22);
    button->move(52 + static_cast<int>(quickButtons_.size()) * 23, 2);
    connect(button, &QToolButton::clicked, action, &QAction::trigger);
    quickButtons_.push_back(button);
    quickAccess_.push_back(KeyTip{button, keyTip, [action] { action->trigger(); }});
    return button;
}

void Ribbon::setApplicationMenu(QMenu* menu, const QString& keyTip) {
    menu_ = menu;
    menuKeyTip_ = keyTip;
}

void Ribbon::showApplicationMenu() {
    if (menu_)
        menu_->popup(orb_->mapToGlobal(QPoint(0, orb_->height())));
}

QString Ribbon::tabCaption(int tab) const {
    return tabs_.at(tab).caption;
}

QString Ribbon::tabKeyTip(int tab) const {
    return tabs_.at(tab).keyTip;
}

void Ribbon::setCurrentTab(int tab) {
    if (tab < 0 || tab >= tabCount() || tab == current_)
        return;
    current_ = tab;
    // Before the ribbon is polished (it is being made) the buttons wait: see event().
    if (testAttribute(Qt::WA_WState_Polished))
        buildTab(tab);
    pages_->setCurrentIndex(tab);
    update();
    emit currentTabChanged(tab);
}

std::vector<RibbonGroup*> Ribbon::groups(int tab) {
    buildTab(tab);
    std::vector<RibbonGroup*> result;
    for (QObject* child : tabs_.at(tab).page->children()) {
        if (auto* g = qobject_cast<RibbonGroup*>(child))
            result.push_back(g);
    }
    return result;
}

void Ribbon::layoutTabs() {
    const QFontMetrics fm(font());
    int x = kTabsLeft;
    for (auto& tab : tabs_) {
        const int w = fm.horizontalAdvance(tab.caption) + 26;
        tab.rect = QRect(x, kCaptionRowHeight, w, kTabRowHeight);
        x += w + 1;
    }
    update();
}

bool Ribbon::event(QEvent* event) {
    // Polished just before it first shows: the tab it shows gets its buttons, polished with it.
    if (event->type() == QEvent::Polish && current_ >= 0)
        buildTab(current_);
    return QWidget::event(event);
}

void Ribbon::resizeEvent(QResizeEvent*) {
    pages_->setGeometry(0, kPanelTop, width(), kHeight - kPanelTop);
}

void Ribbon::mousePressEvent(QMouseEvent* event) {
    for (int i = 0; i < tabCount(); ++i) {
        if (tabs_[i].rect.contains(event->position().toPoint())) {
            setCurrentTab(i);
            return;
        }
    }
    QWidget::mousePressEvent(event);
}

void Ribbon::paintEvent(QPaintEvent*) {
    const ui::Theme& t = ui::currentTheme();
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);

    QLinearGradient top(0, 0, 0, kCaptionRowHeight);
    top.setColorAt(0, t.captionRowTop);
    top.setColorAt(1, t.captionRowBottom);
    p.fillRect(QRect(0, 0, width(), kCaptionRowHeight), top);
    QLinearGradient tabsRow(0, kCaptionRowHeight, 0, kPanelTop);
    tabsRow.setColorAt(0, t.tabRowTop);
    tabsRow.setColorAt(1, t.tabRowBottom);
    p.fillRect(QRect(0, kCaptionRowHeight, width(), kTabRowHeight), tabsRow);

    // The ribbon's caption in the middle of the top row
    QFont captionFont = ui::controlFont();
    captionFont.setPixelSize(12);
    p.setFont(captionFont);
    p.setPen(t.tabText);
    p.drawText(QRect(0, 0, width(), kCaptionRowHeight), Qt::AlignCenter, caption_);

    // Panel of the current tab
    const QRectF panel(0.5, kPanelTop - 0.5, width() - 1, kHeight - kPanelTop);
    QLinearGradient body(panel.topLeft(), panel.bottomLeft());
    body.setColorAt(0, t.panelTop);
    body.setColorAt(1, t.panelBottom);
    p.setPen(QPen(t.panelBorder, 1));
    p.setBrush(body);
    p.drawRect(panel);

    p.setFont(ui::controlFont());
    for (int i = 0; i < tabCount(); ++i) {
        const QRectF r = QRectF(tabs_[i].rect).adjusted(0.5, 2.5, -0.5, 0.5);
        if (i == current_) {
            QPainterPath path;
            path.moveTo(r.left(), r.bottom() + 1);
            path.lineTo(r.left(), r.top() + 3);
            path.quadTo(r.left(), r.top(), r.left() + 3, r.top());
            path.lineTo(r.right() - 3, r.top());
            path.quadTo(r.right(), r.top(), r.right(), r.top() + 3);
            path.lineTo(r.right(), r.bottom() + 1);
            QLinearGradient g(r.topLeft(), r.bottomLeft());
            g.setColorAt(0, t.panelTop.lighter(103));
            g.setColorAt(1, t.panelTop);
            p.setPen(QPen(t.panelBorder, 1));
            p.setBrush(g);
            p.drawPath(path);
            p.setPen(t.panelTop);
            p.drawLine(QPointF(r.left() + 1, r.bottom() + 0.5), QPointF(r.right() - 1, r.bottom() + 0.5));
            p.setPen(t.tabActiveText);
        } else {
            p.setPen(t.tabText);
        }
        p.drawText(tabs_[i].rect.adjusted(0, 3, 0, 0), Qt::AlignCenter, tabs_[i].caption);
    }
}

void Ribbon::applyStyle(ui::Style style) {
    // A new sheet polishes every widget of the ribbon again: set only when the look changed.
    if (const QString sheet = ribbonStyleSheet(style); sheet != styleSheet())
        setStyleSheet(sheet);
    for (QLabel* badge : badges_)
        badge->setStyleSheet(badgeSheet());
    update();
    for (auto& tab : tabs_)
        tab.page->update();
}

// ---- Key tips ---------------------------------------------------------------------------------

QStringList Ribbon::visibleKeyTips() const {
    QStringList letters;
    for (const QLabel* badge : badges_) {
        if (badge->isVisible() || !isVisible())
            letters << badge->text();
    }
    return letters;
}

void Ribbon::showBadges(const std::vector<std::pair<QPoint, QString>>& badges) {
    for (QLabel* badge : badges_) {
        badge->hide();
        badge->deleteLater();
    }
    badges_.clear();
    for (const auto& [centre, letter] : badges) {
        auto* badge = new QLabel(letter, this);
        badge->setObjectName(QStringLiteral("KeyTip"));
        badge->setStyleSheet(badgeSheet());
        badge->setFont(ui::controlFont(true));
        badge->setAlignment(Qt::AlignCenter);
        badge->adjustSize();
        badge->resize(std::max(badge->width(), 15), 16);
        badge->move(centre - QPoint(badge->width() / 2, badge->height() / 2));
        badge->setAttribute(Qt::WA_TransparentForMouseEvents);
        badge->show();
        badge->raise();
        badges_.push_back(badge);
    }
}

void Ribbon::showTabKeyTips() {
    level_ = KeyTipLevel::Tabs;
    std::vector<std::pair<QPoint, QString>> badges;
    if (menu_ && !menuKeyTip_.isEmpty())
        badges.emplace_back(orb_->geometry().center() + QPoint(0, 6), menuKeyTip_);
    for (const KeyTip& q : quickAccess_) {
        if (q.anchor)
            badges.emplace_back(q.anchor->geometry().center() + QPoint(0, 12), q.letter);
    }
    for (const Tab& tab : tabs_)
        badges.emplace_back(QPoint(tab.rect.center().x(), tab.rect.bottom() + 2), tab.keyTip);
    showBadges(badges);
}

void Ribbon::showCommandKeyTips() {
    level_ = KeyTipLevel::Commands;
    std::vector<std::pair<QPoint, QString>> badges;
    for (const KeyTip& k : tabs_.at(current_).commands) {
        if (!k.anchor || !k.anchor->isVisibleTo(this))
            continue;
        const QRect r(k.anchor->mapTo(this, QPoint(0, 0)), k.anchor->size());
        badges.emplace_back(QPoint(r.center().x(), r.bottom() + 4), k.letter);
    }
    showBadges(badges);
}

void Ribbon::hideKeyTips() {
    level_ = KeyTipLevel::Off;
    showBadges({});
}

bool Ribbon::pressKeyTip(const QString& letter) {
    const QString key = letter.toUpper();
    if (level_ == KeyTipLevel::Tabs) {
        if (menu_ && key == menuKeyTip_) {
            hideKeyTips();
            showApplicationMenu();
            return true;
        }
        for (const KeyTip& q : quickAccess_) {
            if (q.letter == key) {
                hideKeyTips();
                q.run();
                return true;
            }
        }
        for (int i = 0; i < tabCount(); ++i) {
            if (tabs_[i].keyTip == key) {
                setCurrentTab(i);
                showCommandKeyTips();
                return true;
            }
        }
        return false;
    }
    if (level_ == KeyTipLevel::Commands) {
        // Where two commands share a letter the first one wins.
        for (const KeyTip& k : tabs_.at(current_).commands) {
            if (k.letter == key && k.anchor && k.anchor->isEnabled()) {
                const auto run = k.run;
                hideKeyTips();
                run();
                return true;
            }
        }
    }
    return false;
}

bool Ribbon::eventFilter(QObject* watched, QEvent* event) {
    // Key events reach widgets, and through the shortcut machinery also the native window.
    auto* widget = qobject_cast<QWidget*>(watched);
    const bool ours =
        widget ? widget->window() == window()
               : watched->isWindowType() && watched == static_cast<QObject*>(window()->windowHandle());
    if (!ours)
        return false;
    switch (event->type()) {
        case QEvent::KeyPress:
        case QEvent::KeyRelease:
        case QEvent::ShortcutOverride:
            return handleKey(event);
        case QEvent::MouseButtonPress:
        case QEvent::WindowDeactivate:
            altPending_ = false;
            if (level_ != KeyTipLevel::Off)
                hideKeyTips();
            return false;
        default:
            return false;
    }
}

bool Ribbon::handleKey(QEvent* event) {
    auto* key = static_cast<QKeyEvent*>(event);
    if (key->key() == Qt::Key_Alt) {
        if (event->type() == QEvent::KeyPress && !key->isAutoRepeat()) {
            if (level_ != KeyTipLevel::Off) {
                hideKeyTips();
                return true;
            }
            altPending_ = true;
        } else if (event->type() == QEvent::KeyRelease && altPending_) {
            altPending_ = false;
            showTabKeyTips();
            return true;
        }
        return false;
    }
    if (event->type() != QEvent::KeyRelease)
        altPending_ = false;
    if (level_ == KeyTipLevel::Off)
        return false;

    const int code = key->key();
    const bool letter = (code >= Qt::Key_A && code <= Qt::Key_Z) || (code >= Qt::Key_0 && code <= Qt::Key_9);
    if (event->type() == QEvent::ShortcutOverride) {
        // While key tips show, plain keys belong to them and not to shortcuts or edits.
        event->accept();
        return true;
    }
    if (event->type() == QEvent::KeyRelease)
        return true;
    if (code == Qt::Key_Escape) {
        if (level_ == KeyTipLevel::Commands)
            showTabKeyTips();
        else
            hideKeyTips();
        return true;
    }
    if (letter) {
        pressKeyTip(QString(QChar(code)));
        return true;
    }
    hideKeyTips();
    return false;
}

}  // namespace kelvora::app
