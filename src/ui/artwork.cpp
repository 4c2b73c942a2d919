#include "ui/artwork.h"

#include <QIconEngine>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QPixmapCache>
#include <QRadialGradient>
#include <cmath>
#include <functional>
#include <utility>

#include "ui/browser_looks.h"
#include "ui/theme.h"

namespace kelvora::ui {

namespace {

// An icon whose pictures are drawn the first time anything asks for them, and kept from then on:
// the ribbon holds more than fifty command images, of which the first window shows a handful.
// Until then the icon is not null; afterwards it answers exactly as the icon drawn at once would.
class DrawnOnUseEngine : public QIconEngine {
  public:
    explicit DrawnOnUseEngine(std::function<QIcon()> draw) : draw_(std::move(draw)) {}

    void paint(QPainter* painter, const QRect& rect, QIcon::Mode mode, QIcon::State state) override {
        icon().paint(painter, rect, Qt::AlignCenter, mode, state);
    }
    QPixmap pixmap(const QSize& size, QIcon::Mode mode, QIcon::State state) override {
        return icon().pixmap(size, 1.0, mode, state);
    }
    QPixmap scaledPixmap(const QSize& size, QIcon::Mode mode, QIcon::State state, qreal scale) override {
        return icon().pixmap(size / scale, scale, mode, state);
    }
    QSize actualSize(const QSize& size, QIcon::Mode mode, QIcon::State state) override {
        return icon().actualSize(size, mode, state);
    }
    QList<QSize> availableSizes(QIcon::Mode mode, QIcon::State state) override {
        return icon().availableSizes(mode, state);
    }
    QString key() const override { return QStringLiteral("KelvoraDrawnOnUse"); }
    QIconEngine* clone() const override { return new DrawnOnUseEngine(*this); }

  private:
    const QIcon& icon() {
        if (icon_.isNull())
            icon_ = draw_();
        return icon_;
    }

    std::function<QIcon()> draw_;
    QIcon icon_;
};

QIcon drawnOnUse(std::function<QIcon()> draw) {
    return QIcon(new DrawnOnUseEngine(std::move(draw)));
}

QPixmap blank(int w, int h) {
    QPixmap pm(w, h);
    pm.fill(Qt::transparent);
    return pm;
}

QFont boldFont(qreal pixels) {
    QFont f = controlFont(true);
    f.setPixelSize(std::max(1, static_cast<int>(std::lround(pixels))));
    return f;
}

// A glossy sphere with meridians: the common ground of the browser badges.
void paintGlobe(QPainter& p, const QRectF& r, const QColor& colour, const QString& initials) {
    p.save();
    p.setRenderHint(QPainter::Antialiasing);
    QRadialGradient body(r.center() + QPointF(-r.width() * 0.18, -r.height() * 0.22), r.width() * 0.75);
    body.setColorAt(0, colour.lighter(160));
    body.setColorAt(0.55, colour);
    body.setColorAt(1, colour.darker(150));
    p.setPen(QPen(colour.darker(190), std::max(1.0, r.width() / 24)));
    p.setBrush(body);
    p.drawEllipse(r.adjusted(0.5, 0.5, -0.5, -0.5));

    if (r.width() >= 20) {
        QColor grid(255, 255, 255, 60);
        p.setPen(QPen(grid, std::max(1.0, r.width() / 40)));
        p.setBrush(Qt::NoBrush);
        const QRectF inner =
            r.adjusted(r.width() * 0.08, r.height() * 0.08, -r.width() * 0.08, -r.height() * 0.08);
        p.drawEllipse(inner.adjusted(inner.width() * 0.3, 0, -inner.width() * 0.3, 0));
        p.drawLine(QPointF(inner.left(), inner.center().y()), QPointF(inner.right(), inner.center().y()));
        p.drawLine(QPointF(inner.center().x(), inner.top()), QPointF(inner.center().x(), inner.bottom()));
    }

    // Gloss
    QPainterPath gloss;
    gloss.addEllipse(QRectF(r.left() + r.width() * 0.17, r.top() + r.height() * 0.06, r.width() * 0.66,
                            r.height() * 0.42));
    QLinearGradient shine(gloss.boundingRect().topLeft(), gloss.boundingRect().bottomLeft());
    shine.setColorAt(0, QColor(255, 255, 255, 150));
    shine.setColorAt(1, QColor(255, 255, 255, 10));
    p.setPen(Qt::NoPen);
    p.setBrush(shine);
    p.drawPath(gloss);

    const QString text = r.width() < 22 ? initials.left(1) : initials;
    p.setFont(boldFont(r.height() * (text.size() > 1 ? 0.40 : 0.58)));
    p.setPen(QColor(0, 0, 0, 90));
    p.drawText(r.translated(0, std::max(1.0, r.height() / 32)), Qt::AlignCenter, text);
    p.setPen(Qt::white);
    p.drawText(r, Qt::AlignCenter, text);
    p.restore();
}

// The small round sign in the corner of a command image (arrow down, up, box, convert...).
enum class Sign { Save, Restore, BoxSave, BoxRestore, Convert };

void paintArrow(QPainter& p, const QRectF& r, bool down, const QColor& colour) {
    const qreal w = r.width(), h = r.height();
    QPainterPath path;
    if (down) {
        path.moveTo(r.left() + w * 0.35, r.top() + h * 0.15);
        path.lineTo(r.left() + w * 0.65, r.top() + h * 0.15);
        path.lineTo(r.left() + w * 0.65, r.top() + h * 0.5);
        path.lineTo(r.left() + w * 0.85, r.top() + h * 0.5);
        path.lineTo(r.left() + w * 0.5, r.top() + h * 0.88);
        path.lineTo(r.left() + w * 0.15, r.top() + h * 0.5);
        path.lineTo(r.left() + w * 0.35, r.top() + h * 0.5);
    } else {
        path.moveTo(r.left() + w * 0.35, r.bottom() - h * 0.15);
        path.lineTo(r.left() + w * 0.65, r.bottom() - h * 0.15);
        path.lineTo(r.left() + w * 0.65, r.bottom() - h * 0.5);
        path.lineTo(r.left() + w * 0.85, r.bottom() - h * 0.5);
        path.lineTo(r.left() + w * 0.5, r.bottom() - h * 0.88);
        path.lineTo(r.left() + w * 0.15, r.bottom() - h * 0.5);
        path.lineTo(r.left() + w * 0.35, r.bottom() - h * 0.5);
    }
    path.closeSubpath();
    p.setPen(QPen(colour.darker(170), 1));
    QLinearGradient g(r.topLeft(), r.bottomLeft());
    g.setColorAt(0, colour.lighter(150));
    g.setColorAt(1, colour);
    p.setBrush(g);
    p.drawPath(path);
}

void paintSign(QPainter& p, const QRectF& r, Sign sign) {
    p.save();
    p.setRenderHint(QPainter::Antialiasing);
    switch (sign) {
        case Sign::Save:
            paintArrow(p, r, true, QColor(0x2e, 0xa8, 0x2e));
            break;
        case Sign::Restore:
            paintArrow(p, r, false, QColor(0x20, 0x78, 0xd8));
            break;
        case Sign::BoxSave:
        case Sign::BoxRestore: {
            // A carton with the arrow on its face
            const QRectF box = r.adjusted(r.width() * 0.05, r.height() * 0.30, -r.width() * 0.05, 0);
            QLinearGradient g(box.topLeft(), box.bottomLeft());
            g.setColorAt(0, QColor(0xf1, 0xd0, 0x8e));
            g.setColorAt(1, QColor(0xc8, 0x93, 0x45));
            p.setPen(QPen(QColor(0x7a, 0x52, 0x1a), 1));
            p.setBrush(g);
            p.drawRoundedRect(box, 1.5, 1.5);
            p.drawLine(QPointF(box.left(), box.top() + box.height() * 0.3),
                       QPointF(box.right(), box.top() + box.height() * 0.3));
            const QRectF arrow(r.left() + r.width() * 0.25, r.top(), r.width() * 0.5, r.height() * 0.75);
            paintArrow(p, arrow, sign == Sign::BoxSave,
                       sign == Sign::BoxSave ? QColor(0x2e, 0xa8, 0x2e) : QColor(0x20, 0x78, 0xd8));
            break;
        }
        case Sign::Convert: {
            p.setPen(
                QPen(QColor(0x1d, 0x6d, 0xc4), std::max(1.5, r.width() / 7), Qt::SolidLine, Qt::RoundCap));
            p.setBrush(Qt::NoBrush);
            const QRectF ring =
                r.adjusted(r.width() * 0.18, r.height() * 0.18, -r.width() * 0.18, -r.height() * 0.18);
            p.drawArc(ring, 30 * 16, 140 * 16);
            p.drawArc(ring, 210 * 16, 140 * 16);
            p.setPen(Qt::NoPen);
            p.setBrush(QColor(0x1d, 0x6d, 0xc4));
            const qreal s = r.width() * 0.22;
            QPolygonF a1{{ring.left() - s * 0.6, ring.center().y() - s * 0.2},
                         {ring.left() + s * 0.6, ring.center().y() - s * 0.2},
                         {ring.left(), ring.center().y() + s * 0.7}};
            QPolygonF a2{{ring.right() - s * 0.6, ring.center().y() + s * 0.2},
                         {ring.right() + s * 0.6, ring.center().y() + s * 0.2},
                         {ring.right(), ring.center().y() - s * 0.7}};
            p.drawPolygon(a1);
            p.drawPolygon(a2);
            break;
        }
    }
    p.restore();
}

QPixmap browserCommandImage(const BrowserLook& look, Sign sign, int size) {
    QPixmap pm = blank(size, size);
    QPainter p(&pm);
    const qreal g = size * 0.80;
    paintGlobe(p, QRectF(0, 0, g, g), look.colour, look.initials);
    const qreal s = size * 0.56;
    paintSign(p, QRectF(size - s, size - s, s, s), sign);
    return pm;
}

// A tiny window with a ribbon in the look's colours: the image of the style commands.
QPixmap styleSwatch(Style style, int size) {
    const Theme& t = themeFor(style);
    QPixmap pm = blank(size, size);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    const QRectF frame(size * 0.06, size * 0.1, size * 0.88, size * 0.8);
    p.setPen(QPen(t.panelBorder.darker(130), 1));
    p.setBrush(t.workspace);
    p.drawRoundedRect(frame, size / 12.0, size / 12.0);
    QLinearGradient top(frame.topLeft(), frame.topLeft() + QPointF(0, frame.height() * 0.5));
    top.setColorAt(0, t.captionRowTop);
    top.setColorAt(0.35, t.tabRowBottom);
    top.setColorAt(0.36, t.panelTop);
    top.setColorAt(1, t.panelBottom);
    p.setBrush(top);
    p.drawRoundedRect(QRectF(frame.left(), frame.top(), frame.width(), frame.height() * 0.5), size / 12.0,
                      size / 12.0);
    p.setPen(Qt::NoPen);
    p.setBrush(t.orbBottom);
    p.drawEllipse(QRectF(frame.left() + 1.5, frame.top() + 1.5, size * 0.16, size * 0.16));
    p.setBrush(QColor(255, 255, 255));
    p.drawRect(QRectF(frame.left() + frame.width() * 0.12, frame.top() + frame.height() * 0.58,
                      frame.width() * 0.5, frame.height() * 0.32));
    return pm;
}

// A round badge with a white circular arrow, as "Check for Updates" shows it; `mirrored` turns it
// the other way (undo).
struct BadgeColours {
    QColor light, dark, edge;
};
void turningArrow(QPainter& p, const QRectF& r, int size, const BadgeColours& colours, bool mirrored) {
    QRadialGradient g(r.center() - QPointF(size * 0.15, size * 0.2), size * 0.7);
    g.setColorAt(0, colours.light);
    g.setColorAt(1, colours.dark);
    p.setPen(QPen(colours.edge, 1));
    p.setBrush(g);
    p.drawEllipse(r);
    p.setPen(QPen(Qt::white, std::max(1.5, size / 11.0), Qt::SolidLine, Qt::RoundCap));
    p.setBrush(Qt::NoBrush);
    const QRectF ring = r.adjusted(size * 0.2, size * 0.2, -size * 0.2, -size * 0.2);
    const double m = mirrored ? -1.0 : 1.0;
    p.drawArc(ring, mirrored ? 120 * 16 : 60 * 16, static_cast<int>(m * 270 * 16));
    p.setPen(Qt::NoPen);
    p.setBrush(Qt::white);
    const QPointF tip(ring.center().x() + m * ring.width() * 0.25, ring.top() - size * 0.02);
    p.drawPolygon(QPolygonF{{tip.x() - m * size * 0.16, tip.y() - size * 0.12},
                            {tip.x() + m * size * 0.08, tip.y() + size * 0.04},
                            {tip.x() - m * size * 0.14, tip.y() + size * 0.17}});
}

QPixmap symbolImage(const QString& command, int size) {
    QPixmap pm = blank(size, size);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    const QRectF r(size * 0.06, size * 0.06, size * 0.88, size * 0.88);
    if (command == QLatin1String("About")) {
        QRadialGradient g(r.center() - QPointF(size * 0.15, size * 0.2), size * 0.7);
        g.setColorAt(0, QColor(0x8c, 0xc4, 0xff));
        g.setColorAt(1, QColor(0x1a, 0x5b, 0xb8));
        p.setPen(QPen(QColor(0x15, 0x42, 0x8b), 1));
        p.setBrush(g);
        p.drawEllipse(r);
        p.setPen(Qt::white);
        QFont f(QStringLiteral("DejaVu Serif"));
        f.setBold(true);
        f.setPixelSize(std::max(1, static_cast<int>(size * 0.62)));
        p.setFont(f);
        p.drawText(r, Qt::AlignCenter, QStringLiteral("i"));
    } else if (command == QLatin1String("Updates")) {
        turningArrow(p, r, size,
                     {QColor(0xa8, 0xe8, 0x8c), QColor(0x2f, 0x8f, 0x22), QColor(0x23, 0x6b, 0x19)}, false);
    } else if (command == QLatin1String("UndoRestore")) {
        // The same arrow turning back, in amber.
        turningArrow(p, r, size,
                     {QColor(0xff, 0xd8, 0x8a), QColor(0xd0, 0x7a, 0x12), QColor(0x9a, 0x5a, 0x0c)}, true);
    } else if (command == QLatin1String("Contact")) {
        const QRectF env(r.left(), r.top() + r.height() * 0.18, r.width(), r.height() * 0.64);
        QLinearGradient g(env.topLeft(), env.bottomLeft());
        g.setColorAt(0, QColor(0xff, 0xff, 0xff));
        g.setColorAt(1, QColor(0xdd, 0xe4, 0xee));
        p.setPen(QPen(QColor(0x5b, 0x6f, 0x8a), 1));
        p.setBrush(g);
        p.drawRoundedRect(env, 1.5, 1.5);
        p.drawPolyline(QPolygonF{env.topLeft(), QPointF(env.center().x(), env.top() + env.height() * 0.55),
                                 env.topRight()});
        p.setPen(QPen(QColor(0xe0, 0x8a, 0x1e), std::max(1.0, size / 16.0)));
        p.drawLine(QPointF(env.left() + env.width() * 0.1, env.bottom() - env.height() * 0.15),
                   QPointF(env.left() + env.width() * 0.35, env.bottom() - env.height() * 0.15));
    } else if (command == QLatin1String("Homepage")) {
        paintGlobe(p, r, QColor(0x27, 0x7f, 0xd8), QString());
        p.setPen(QPen(QColor(255, 255, 255, 170), std::max(1.0, size / 20.0)));
        p.setBrush(Qt::NoBrush);
        p.drawEllipse(r.adjusted(size * 0.24, size * 0.06, -size * 0.24, -size * 0.06));
        p.drawLine(QPointF(r.left() + size * 0.08, r.top() + r.height() * 0.32),
                   QPointF(r.right() - size * 0.08, r.top() + r.height() * 0.32));
        p.drawLine(QPointF(r.left() + size * 0.08, r.top() + r.height() * 0.68),
                   QPointF(r.right() - size * 0.08, r.top() + r.height() * 0.68));
    } else if (command == QLatin1String("Donate")) {
        QPainterPath heart;
        const qreal w = r.width(), h = r.height();
        heart.moveTo(r.left() + w * 0.5, r.top() + h * 0.92);
        heart.cubicTo(r.left() - w * 0.05, r.top() + h * 0.55, r.left() + w * 0.05, r.top() + h * 0.02,
                      r.left() + w * 0.5, r.top() + h * 0.25);
        heart.cubicTo(r.left() + w * 0.95, r.top() + h * 0.02, r.left() + w * 1.05, r.top() + h * 0.55,
                      r.left() + w * 0.5, r.top() + h * 0.92);
        QLinearGradient g(r.topLeft(), r.bottomLeft());
        g.setColorAt(0, QColor(0xff, 0x8a, 0x8a));
        g.setColorAt(1, QColor(0xc2, 0x18, 0x24));
        p.setPen(QPen(QColor(0x8a, 0x10, 0x18), 1));
        p.setBrush(g);
        p.drawPath(heart);
    } else if (command == QLatin1String("Close")) {
        p.setPen(QPen(QColor(0xa0, 0x16, 0x16), std::max(1.5, size / 7.0), Qt::SolidLine, Qt::RoundCap));
        p.drawLine(r.topLeft() + QPointF(size * 0.15, size * 0.15),
                   r.bottomRight() - QPointF(size * 0.15, size * 0.15));
        p.drawLine(r.topRight() + QPointF(-size * 0.15, size * 0.15),
                   r.bottomLeft() + QPointF(size * 0.15, -size * 0.15));
    } else {
        p.setPen(QPen(QColor(0x80, 0x80, 0x80), 1));
        p.setBrush(QColor(0xe8, 0xe8, 0xe8));
        p.drawRoundedRect(r, 3, 3);
    }
    return pm;
}

}  // namespace

QPixmap browserBadge(const QString& keyword, int size) {
    QPixmap pm = blank(size, size);
    QPainter p(&pm);
    const BrowserLook* look = lookOfKeyword(keyword);
    paintGlobe(p, QRectF(1, 1, size - 2, size - 2), look ? look->colour : QColor(Qt::gray),
               look ? look->initials : QString());
    return pm;
}

QIcon commandIcon(const QString& command) {
    return drawnOnUse([command] {
        QIcon icon;
        for (int size : {16, 32}) {
            QPixmap pm;
            if (const BrowserLook* look = lookOfCommand(command)) {
                Sign sign = Sign::Save;
                if (command.startsWith(QLatin1String("R_")))
                    sign = Sign::Restore;
                else if (command.startsWith(QLatin1String("sB_")))
                    sign = Sign::BoxSave;
                else if (command.startsWith(QLatin1String("sR_")))
                    sign = Sign::BoxRestore;
                else if (command.startsWith(QLatin1String("c_")))
                    sign = Sign::Convert;
                pm = browserCommandImage(*look, sign, size);
            } else if (auto style = styleFromName(command)) {
                pm = styleSwatch(*style, size);
            } else {
                pm = symbolImage(command, size);
            }
            icon.addPixmap(pm);
        }
        return icon;
    });
}

QPixmap applicationEmblem(int size) {
    // Drawn once per size: the application button, the header bands and the window icons show it
    // again and again.
    const QString key = QStringLiteral("kelvora-emblem-%1").arg(size);
    QPixmap cached;
    if (QPixmapCache::find(key, &cached))
        return cached;
    QPixmap pm = blank(size, size);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    const QRectF r(size * 0.04, size * 0.04, size * 0.92, size * 0.92);
    // A vault door: a ring with a keyhole-like K, in the program's green and blue.
    QRadialGradient g(r.center() - QPointF(size * 0.18, size * 0.2), size * 0.8);
    g.setColorAt(0, QColor(0x9f, 0xd8, 0xff));
    g.setColorAt(0.6, QColor(0x24, 0x74, 0xcf));
    g.setColorAt(1, QColor(0x10, 0x3d, 0x86));
    p.setPen(QPen(QColor(0x0b, 0x2c, 0x60), std::max(1.0, size / 28.0)));
    p.setBrush(g);
    p.drawEllipse(r);
    p.setPen(QPen(QColor(0x7e, 0xe0, 0x6a), std::max(1.5, size / 12.0), Qt::SolidLine, Qt::RoundCap));
    p.setBrush(Qt::NoBrush);
    const QRectF ring = r.adjusted(size * 0.14, size * 0.14, -size * 0.14, -size * 0.14);
    p.drawArc(ring, 100 * 16, 290 * 16);
    p.setPen(Qt::white);
    QFont f = boldFont(size * 0.42);
    p.setFont(f);
    p.drawText(r, Qt::AlignCenter, QStringLiteral("K"));
    p.end();
    QPixmapCache::insert(key, pm);
    return pm;
}

QIcon applicationIcon() {
    return drawnOnUse([] {
        QIcon icon;
        for (int s : {16, 24, 32, 48, 64, 128})
            icon.addPixmap(applicationEmblem(s));
        return icon;
    });
}

QIcon folderIcon() {
    return drawnOnUse([] {
        QIcon icon;
        for (int size : {16, 32}) {
            QPixmap pm = blank(size, size);
            QPainter p(&pm);
            p.setRenderHint(QPainter::Antialiasing);
            const qreal s = size / 16.0;
            QPainterPath back;
            back.moveTo(1 * s, 3 * s);
            back.lineTo(6 * s, 3 * s);
            back.lineTo(7.5 * s, 4.5 * s);
            back.lineTo(15 * s, 4.5 * s);
            back.lineTo(15 * s, 13.5 * s);
            back.lineTo(1 * s, 13.5 * s);
            back.closeSubpath();
            p.setPen(QPen(QColor(0xb0, 0x83, 0x1e), 1));
            p.setBrush(QColor(0xf0, 0xc8, 0x5a));
            p.drawPath(back);
            QLinearGradient g(0, 6 * s, 0, 13.5 * s);
            g.setColorAt(0, QColor(0xff, 0xe8, 0x9a));
            g.setColorAt(1, QColor(0xf3, 0xc0, 0x48));
            p.setBrush(g);
            p.drawRect(QRectF(1 * s, 6 * s, 14 * s, 7.5 * s));
            icon.addPixmap(pm);
        }
        return icon;
    });
}

void paintWindowBackground(QPainter& p, const QRect& rect, const QColor& base) {
    // Flat, so the window sits seamlessly on the client area of the same colour.
    p.fillRect(rect, base);
}

void paintHeaderBand(QPainter& p, const QRect& rect) {
    const Theme& t = currentTheme();
    p.save();
    p.setRenderHint(QPainter::Antialiasing);
    const QRectF r = QRectF(rect).adjusted(0.5, 0.5, -0.5, -0.5);
    QLinearGradient g(r.topLeft(), r.bottomLeft());
    g.setColorAt(0, t.bandTop);
    g.setColorAt(0.5, t.bandTop.darker(104));
    g.setColorAt(0.51, t.bandBottom.lighter(104));
    g.setColorAt(1, t.bandBottom);
    p.setPen(QPen(t.bandBorder, 1));
    p.setBrush(g);
    p.drawRoundedRect(r, 4, 4);
    // The emblem faintly at the right end of the band
    const QPixmap emblem = applicationEmblem(rect.height() - 10);
    p.setOpacity(0.22);
    p.drawPixmap(rect.right() - emblem.width() - 10, rect.top() + 5, emblem);
    p.restore();
}

void paintSectionBar(QPainter& p, const QRect& rect) {
    const Theme& t = currentTheme();
    p.save();
    QLinearGradient g(rect.topLeft(), rect.topRight());
    g.setColorAt(0, t.barStart);
    g.setColorAt(0.55, t.barStart.lighter(108));
    g.setColorAt(1, QColor(t.barEnd.red(), t.barEnd.green(), t.barEnd.blue(), 0));
    p.fillRect(rect, g);
    QLinearGradient line(rect.topLeft(), rect.topRight());
    line.setColorAt(0, t.barLine);
    line.setColorAt(1, QColor(t.barLine.red(), t.barLine.green(), t.barLine.blue(), 0));
    p.fillRect(QRect(rect.left(), rect.bottom(), rect.width(), 1), line);
    p.restore();
}

void paintRadioGlyph(QPainter& p, const QRect& rect, bool checked, bool enabled) {
    const Theme& t = currentTheme();
    p.save();
    p.setRenderHint(QPainter::Antialiasing);
    const int d = std::min({rect.width(), rect.height(), 13});
    const QRectF circle(rect.left() + (rect.width() - d) / 2.0 + 0.5,
                        rect.top() + (rect.height() - d) / 2.0 + 0.5, d - 1, d - 1);
    QLinearGradient face(circle.topLeft(), circle.bottomRight());
    face.setColorAt(0, enabled ? QColor(0xe8, 0xe8, 0xe8) : QColor(0xf4, 0xf4, 0xf4));
    face.setColorAt(1, Qt::white);
    p.setPen(QPen(enabled ? QColor(0x8f, 0x8f, 0x8f) : QColor(0xbc, 0xbc, 0xbc), 1));
    p.setBrush(face);
    p.drawEllipse(circle);
    if (checked) {
        const QRectF dot = circle.adjusted(d * 0.27, d * 0.27, -d * 0.27, -d * 0.27);
        QRadialGradient g(dot.center() - QPointF(dot.width() * 0.2, dot.height() * 0.25), dot.width());
        const QColor base = enabled ? t.accentDark : QColor(0xa0, 0xa0, 0xa0);
        g.setColorAt(0, base.lighter(190));
        g.setColorAt(1, base);
        p.setPen(Qt::NoPen);
        p.setBrush(g);
        p.drawEllipse(dot);
    }
    p.restore();
}

QPixmap welcomeBanner(const QSize& size) {
    const Theme& t = currentTheme();
    QPixmap pm(size);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    const QRectF r = QRectF(QPointF(0, 0), QSizeF(size)).adjusted(0.5, 0.5, -0.5, -0.5);
    QLinearGradient g(r.topLeft(), r.bottomRight());
    g.setColorAt(0, t.orbBottom.darker(120));
    g.setColorAt(0.6, t.orbBottom);
    g.setColorAt(1, t.orbTop);
    p.setPen(QPen(t.orbRing, 1));
    p.setBrush(g);
    p.drawRoundedRect(r, 6, 6);
    // Arcs like a sweep across the banner
    p.setClipRect(r.adjusted(1, 1, -1, -1));
    for (int i = 0; i < 5; ++i) {
        p.setPen(QPen(QColor(255, 255, 255, 28 + i * 6), 2 + i));
        p.setBrush(Qt::NoBrush);
        p.drawEllipse(QPointF(size.width() * 0.82, size.height() * 1.6), size.width() * (0.22 + 0.07 * i),
                      size.height() * (1.1 + 0.18 * i));
    }
    p.setClipping(false);
    const int emblem = size.height() - 24;
    p.drawPixmap(18, 12, applicationEmblem(emblem));
    QFont big = boldFont(size.height() * 0.36);
    p.setFont(big);
    p.setPen(QColor(0, 0, 0, 80));
    const int textLeft = 18 + emblem + 16;
    p.drawText(QRectF(textLeft + 1, 13, size.width() - textLeft, size.height() * 0.5),
               Qt::AlignLeft | Qt::AlignBottom, QStringLiteral("Kelvora"));
    p.setPen(Qt::white);
    p.drawText(QRectF(textLeft, 12, size.width() - textLeft, size.height() * 0.5),
               Qt::AlignLeft | Qt::AlignBottom, QStringLiteral("Kelvora"));
    QFont small = controlFont();
    small.setPixelSize(std::max(9, size.height() / 8));
    p.setFont(small);
    p.setPen(QColor(255, 255, 255, 225));
    p.drawText(QRectF(textLeft + 2, size.height() * 0.58, size.width() - textLeft, size.height() * 0.3),
               Qt::AlignLeft | Qt::AlignTop, QStringLiteral("Backup and restore for your web browsers"));
    // The badges of the ribbon's first browser group in a row at the right
    const int badge = size.height() / 4;
    int count = 0;
    for (const auto& look : browserLooks())
        count += look.moreBrowsers ? 0 : 1;
    int x = size.width() - count * (badge + 4) - 12;
    for (const auto& look : browserLooks()) {
        if (look.moreBrowsers)
            continue;
        p.drawPixmap(x, size.height() - badge - 10, browserBadge(look.keyword, badge));
        x += badge + 4;
    }
    return pm;
}

QPixmap aboutHeader(const QSize& size) {
    const Theme& t = currentTheme();
    QPixmap pm(size);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    QLinearGradient g(0, 0, size.width(), size.height());
    g.setColorAt(0, t.orbBottom.darker(115));
    g.setColorAt(1, t.orbTop);
    p.fillRect(pm.rect(), g);
    for (int i = 0; i < 4; ++i) {
        p.setPen(QPen(QColor(255, 255, 255, 30 + 8 * i), 2));
        p.drawEllipse(QPointF(size.width() * 0.9, size.height() * 1.4), size.width() * (0.25 + 0.08 * i),
                      size.height() * (1.0 + 0.25 * i));
    }
    const int e = size.height() - 16;
    p.drawPixmap(12, 8, applicationEmblem(e));
    p.setFont(boldFont(size.height() * 0.38));
    p.setPen(Qt::white);
    p.drawText(QRect(12 + e + 10, 0, size.width(), size.height()), Qt::AlignLeft | Qt::AlignVCenter,
               QStringLiteral("Kelvora"));
    return pm;
}

QPixmap aboutFooter(const QSize& size) {
    const Theme& t = currentTheme();
    QPixmap pm(size);
    QPainter p(&pm);
    QLinearGradient g(0, 0, 0, size.height());
    g.setColorAt(0, t.panelTop);
    g.setColorAt(1, t.panelBottom);
    p.fillRect(pm.rect(), g);
    p.setPen(t.panelBorder);
    p.drawLine(0, 0, size.width(), 0);
    return pm;
}

}  // namespace kelvora::ui
