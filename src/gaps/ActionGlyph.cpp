// ActionGlyph: miniature screens drawn by hand, theme icons for the display and restore actions.
#include "gaps/ActionGlyph.h"

#include <QHash>
#include <QIcon>
#include <QPainter>
#include <QPainterPath>

namespace panemaker {
namespace {

constexpr qreal pixelRatio = 2;

QImage canvas(QSize size)
{
    QImage image(size * pixelRatio, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    image.setDevicePixelRatio(pixelRatio);
    return image;
}

// Theme icons come in their own colours; only their shape is kept so that the glyph tints
// like the drawn ones.
QImage themeIcon(const QString &name)
{
    const QIcon icon = QIcon::fromTheme(name);
    if (icon.isNull())
        return {};
    QImage image = canvas({16, 16});
    QPainter painter(&image);
    icon.paint(&painter, QRect(0, 0, 16, 16));
    painter.setCompositionMode(QPainter::CompositionMode_SourceIn);
    painter.fillRect(QRect(0, 0, 16, 16), Qt::black);
    return image;
}

// An arrow running into a bar (towards the next display), or a U-turn (restore), for themes
// without the icon.
QImage drawnIcon(SnapAction action)
{
    QImage image = canvas({16, 16});
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(Qt::black, 1.6, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    QPainterPath path;
    if (action == SnapAction::restore) {
        path.moveTo(13, 13);
        path.lineTo(13, 8);
        path.arcTo(QRectF(5, 3, 8, 10), 0, 90);
        path.lineTo(3, 3);
        path.moveTo(6, 0.5);
        path.lineTo(3, 3);
        path.lineTo(6, 5.5);
    } else {
        if (action == SnapAction::previousDisplay)
            painter.setTransform(QTransform(-1, 0, 0, 1, 16, 0));
        path.moveTo(2, 8);
        path.lineTo(11, 8);
        path.moveTo(7.5, 4.5);
        path.lineTo(11, 8);
        path.lineTo(7.5, 11.5);
        path.moveTo(14, 3);
        path.lineTo(14, 13);
    }
    painter.drawPath(path);
    return image;
}

QImage miniatureScreen(SnapAction action)
{
    QImage image = canvas({20, 16});
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF screen(1, 1.5, 18, 13);
    painter.setPen(QPen(Qt::black, 1.2));
    painter.drawRoundedRect(screen.adjusted(0.6, 0.6, -0.6, -0.6), 3, 3);
    const QRectF inner = screen.adjusted(2.6, 2.6, -2.6, -2.6);
    QRectF region;
    if (const auto unit = action.unitRect(true)) {
        region = QRectF(inner.x() + unit->x * inner.width(), inner.y() + unit->y * inner.height(),
                        unit->width * inner.width(), unit->height * inner.height())
                     .adjusted(0.4, 0.4, -0.4, -0.4);
    } else {
        const qreal dx = inner.width() * 0.24, dy = inner.height() * 0.18;
        region = inner.adjusted(dx, dy, -dx, -dy);
    }
    painter.setPen(Qt::NoPen);
    painter.setBrush(Qt::black);
    painter.drawRoundedRect(region, 1.2, 1.2);
    return image;
}

QImage makeGlyph(SnapAction action)
{
    const char *theme = action == SnapAction::nextDisplay       ? "go-last"
                        : action == SnapAction::previousDisplay ? "go-first"
                        : action == SnapAction::restore         ? "edit-undo"
                                                                : nullptr;
    if (!theme)
        return miniatureScreen(action);
    const QImage icon = themeIcon(QString::fromLatin1(theme));
    return icon.isNull() ? drawnIcon(action) : icon;
}

} // namespace

QImage actionGlyph(SnapAction action)
{
    static QHash<SnapAction, QImage> cache;
    auto it = cache.constFind(action);
    if (it == cache.constEnd())
        it = cache.insert(action, makeGlyph(action));
    return *it;
}

QImage tintedGlyph(const QImage &glyph, const QColor &colour)
{
    QImage image = glyph.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    QPainter painter(&image);
    painter.setCompositionMode(QPainter::CompositionMode_SourceIn);
    painter.fillRect(image.rect(), colour);
    return image;
}

} // namespace panemaker
