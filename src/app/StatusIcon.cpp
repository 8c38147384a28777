// The icon, from its file or drawn.
#include "app/StatusIcon.h"

#include "platform/Log.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

namespace panemaker {

namespace {

// Drawn on an 18 × 18 grid, scaled to `side` pixels.
QPixmap drawIcon(int side)
{
    QPixmap pixmap(side, side);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.scale(side / 18.0, side / 18.0);
    painter.translate(9, 9);
    painter.rotate(30);
    const QRectF window(-6.5, -5, 13, 10);
    const QColor ink(0x1e, 0x1e, 0x1e);
    painter.setPen(QPen(ink, 1.4));
    painter.setBrush(QColor(0xf4, 0xf4, 0xf4));
    painter.drawRoundedRect(window, 1.6, 1.6);
    painter.setPen(Qt::NoPen);
    painter.setBrush(ink);
    painter.drawRect(QRectF(window.left() + 1.6, window.top() + 1.6, window.width() / 2 - 2.2, window.height() - 3.2));
    return pixmap;
}

constexpr int sides[] = {16, 22, 24, 32, 48, 64};

} // namespace

QIcon applicationIcon(const Bundle &bundle)
{
    const QIcon installed(bundle.iconPath());
    if (!installed.pixmap(22).isNull())
        return installed;
    Log::error(QStringLiteral("Couldn't load the icon %1; drawing it instead").arg(bundle.iconPath()));
    QIcon drawn;
    for (int side : sides)
        drawn.addPixmap(drawIcon(side));
    return drawn;
}

QIcon statusIconWithBadge(const QIcon &icon)
{
    QIcon badged;
    for (int side : sides) {
        QPixmap pixmap = icon.pixmap(side);
        QPainter painter(&pixmap);
        painter.setRenderHint(QPainter::Antialiasing);
        // The 18-point grid of the icon, whatever the pixmap's size.
        const QSizeF size = pixmap.deviceIndependentSize();
        painter.scale(size.width() / 18.0, size.height() / 18.0);
        painter.setPen(Qt::NoPen);
        painter.setCompositionMode(QPainter::CompositionMode_Clear);
        painter.drawEllipse(QRectF(-0.4, -0.4, 7.2, 7.2));
        painter.setCompositionMode(QPainter::CompositionMode_SourceOver);
        painter.setBrush(QColor(255, 149, 0));
        painter.drawEllipse(QRectF(0.7, 0.7, 5, 5));
        painter.end();
        badged.addPixmap(pixmap);
    }
    return badged;
}

} // namespace panemaker
