// The program's own pictures, drawn in code: browser badges, command images, the application
// emblem, the wizard backgrounds, header bands and section bars, the welcome banner and the About
// window's header and footer. No image file is needed and every size is drawn sharp.
#pragma once

#include <QIcon>
#include <QPixmap>
#include <QRect>
#include <QString>

class QPainter;

namespace kelvora::ui {

// A round badge in the colour of the browser with this keyword and its initials (original artwork,
// no product logo); grey for an unknown keyword.
QPixmap browserBadge(const QString& keyword, int size);
// The ribbon image of a command at 16 and 32 pixels; a neutral image for unknown names. This icon
// and the two below are drawn the first time they are shown.
QIcon commandIcon(const QString& command);
// The program's emblem, also the application button's face (drawn once for each size).
QPixmap applicationEmblem(int size);
QIcon applicationIcon();
QIcon folderIcon();

// Pieces of the windows, painted into the given rectangle in the current look.
void paintWindowBackground(QPainter& p, const QRect& rect, const QColor& base);
void paintHeaderBand(QPainter& p, const QRect& rect);
void paintSectionBar(QPainter& p, const QRect& rect);
// A radio-button glyph: a round button, set or clear, greyed when disabled.
void paintRadioGlyph(QPainter& p, const QRect& rect, bool checked, bool enabled);

QPixmap welcomeBanner(const QSize& size);
QPixmap aboutHeader(const QSize& size);
QPixmap aboutFooter(const QSize& size);

}  // namespace kelvora::ui
