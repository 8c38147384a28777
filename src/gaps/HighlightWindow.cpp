// HighlightWindow: placement, animation and drawing of the highlight tile.
#include "gaps/HighlightWindow.h"

#include "platform/Displays.h"

#include <QPainter>
#include <QPainterPath>
#include <QPropertyAnimation>
#include <QWindow>

namespace panemaker {
namespace {

constexpr int border = 2;
constexpr qreal radius = 14;

QPainterPath tilePath(const QRectF &bounds)
{
    QPainterPath path;
    path.addRoundedRect(bounds, radius, radius);
    return path;
}

} // namespace

HighlightWindow::HighlightWindow(const Displays &displays, bool compositing, QWidget *parent)
    : QWidget(parent, Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint | Qt::BypassWindowManagerHint
                          | Qt::WindowTransparentForInput | Qt::WindowDoesNotAcceptFocus),
      m_displays(displays), m_compositing(compositing), m_glide(new QPropertyAnimation(this, "geometry", this)),
      m_fade(new QPropertyAnimation(this, "windowOpacity", this))
{
    setWindowTitle(QStringLiteral("Panemaker highlight"));
    setAttribute(Qt::WA_ShowWithoutActivating);
    setAttribute(Qt::WA_TranslucentBackground, compositing);
    m_glide->setDuration(140);
    m_fade->setDuration(120);
    m_fade->setStartValue(0.0);
    m_fade->setEndValue(1.0);
}

void HighlightWindow::showAt(const Rect &topLeftFrame)
{
    const QRect target = m_displays.nativeFrame(topLeftFrame).adjusted(6, 6, -6, -6);
    if (isVisible()) {
        m_glide->stop();
        m_glide->setStartValue(geometry());
        m_glide->setEndValue(target);
        m_glide->start();
        return;
    }
    m_glide->stop();
    setGeometry(target);
    // Without a compositor a window's opacity changes nothing: it is there at once.
    if (m_compositing)
        setWindowOpacity(0);
    show();
    raise();
    if (m_compositing)
        m_fade->start();
}

void HighlightWindow::resizeEvent(QResizeEvent *)
{
    if (m_compositing)
        return;
    // No compositor: only the ring is part of the window, the inside lets everything through.
    const QRectF outer = rect();
    const QRectF inner = outer.adjusted(border * 2, border * 2, -border * 2, -border * 2);
    setMask(QRegion(tilePath(outer).toFillPolygon().toPolygon())
            - QRegion(tilePath(inner).toFillPolygon().toPolygon()));
}

void HighlightWindow::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    QColor accent = palette().color(QPalette::Highlight);
    if (!m_compositing) {
        p.fillRect(rect(), accent);
        return;
    }
    QColor fill = accent, edge = accent;
    fill.setAlphaF(0.18);
    edge.setAlphaF(0.7);
    p.setPen(QPen(edge, border));
    p.setBrush(fill);
    p.drawPath(tilePath(QRectF(rect()).adjusted(1, 1, -1, -1)));
}

} // namespace panemaker
