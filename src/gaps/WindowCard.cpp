// WindowCard: drawing, label layout and mouse handling of a picker card.
#include "gaps/WindowCard.h"

#include "gaps/ElidingLabel.h"

#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>

namespace panemaker {
namespace {

QColor withAlpha(QColor colour, qreal alpha)
{
    colour.setAlphaF(alpha);
    return colour;
}

} // namespace

WindowCard::WindowCard(const WindowCandidate &candidate, std::optional<int> number, QWidget *parent)
    : QWidget(parent), m_candidate(candidate), m_number(number),
      m_title(new ElidingLabel(Qt::ElideRight, 12, QFont::Medium, this)),
      m_detail(new ElidingLabel(Qt::ElideRight, 11, QFont::Normal, this))
{
    m_title->setObjectName(QStringLiteral("title"));
    m_detail->setObjectName(QStringLiteral("detail"));
    m_title->setText(candidate.title);
    const QString separator = QStringLiteral("  \u00B7  ");
    switch (candidate.state) {
    case WindowCandidate::State::visible: m_detail->setText(candidate.appName); break;
    case WindowCandidate::State::minimized: m_detail->setText(candidate.appName + separator + tr("Minimized")); break;
    case WindowCandidate::State::hidden: m_detail->setText(candidate.appName + separator + tr("Hidden")); break;
    }
    m_title->setTextAlpha(1.0);
    m_detail->setTextAlpha(0.55);
    m_title->setAttribute(Qt::WA_TransparentForMouseEvents);
    m_detail->setAttribute(Qt::WA_TransparentForMouseEvents);
    setMouseTracking(true);
    resize(width, height);
    layoutLabels(); // a hidden widget gets its resize event only when shown
}

void WindowCard::setSelected(bool selected)
{
    if (selected == m_selected)
        return;
    m_selected = selected;
    update();
}

void WindowCard::setThumbnail(const QImage &thumbnail)
{
    m_thumbnail = thumbnail;
    update();
}

void WindowCard::resizeEvent(QResizeEvent *)
{
    layoutLabels();
}

void WindowCard::layoutLabels()
{
    // The number badge sits at the end of the title line.
    const int badge = m_number ? 26 : 0;
    m_title->setGeometry(30, 121, QWidget::width() - 38 - badge, 17);
    m_detail->setGeometry(30, 138, QWidget::width() - 38 - badge, 15);
}

void WindowCard::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::SmoothPixmapTransform);
    const QColor accent = palette().color(QPalette::Highlight);
    const QColor label = palette().color(QPalette::Text);
    const int w = QWidget::width();

    if (m_selected) {
        p.setPen(QPen(accent, 2));
        p.setBrush(withAlpha(accent, 0.2));
        p.drawRoundedRect(QRectF(rect()).adjusted(1, 1, -1, -1), 12, 12);
    }

    const QRectF area(8, 8, w - 16, 106);
    const QSizeF size = m_thumbnail.deviceIndependentSize();
    if (size.width() > 0 && size.height() > 0) {
        const qreal scale = std::min({area.width() / size.width(), area.height() / size.height(), 1.0});
        QRectF target(QPointF(), size * scale);
        target.moveCenter(area.center());
        // A soft shadow one point below the image, fading outwards.
        p.setPen(Qt::NoPen);
        for (int ring = 4; ring >= 1; --ring) {
            p.setBrush(QColor(0, 0, 0, int(255 * 0.3 / 4)));
            p.drawRoundedRect(target.translated(0, 1).adjusted(-ring, -ring, ring, ring), ring, ring);
        }
        p.drawImage(target, m_thumbnail);
    } else {
        p.setPen(Qt::NoPen);
        p.setBrush(withAlpha(label, 0.06));
        p.drawRoundedRect(area, 8, 8);
        if (!m_candidate.icon.isNull()) {
            QRectF icon(0, 0, 56, 56);
            icon.moveCenter(area.center());
            p.drawImage(icon, m_candidate.icon);
        }
    }

    if (m_number) {
        const QColor base = m_selected ? accent : label;
        const QRectF badge(w - 28, 128, 20, 20);
        p.setPen(QPen(withAlpha(base, m_selected ? 0.9 : 0.3), 1));
        p.setBrush(Qt::NoBrush);
        p.drawRoundedRect(badge.adjusted(0.5, 0.5, -0.5, -0.5), 5, 5);
        QFont digits = font();
        digits.setPixelSize(11);
        digits.setWeight(QFont::DemiBold);
        p.setFont(digits);
        p.setPen(withAlpha(base, m_selected ? 1.0 : 0.6));
        p.drawText(badge, Qt::AlignCenter, QString::number(*m_number));
    }

    if (!m_candidate.icon.isNull())
        p.drawImage(QRectF(8, 122, 18, 18), m_candidate.icon);
}

void WindowCard::mouseMoveEvent(QMouseEvent *)
{
    if (onHover)
        onHover();
}

void WindowCard::mousePressEvent(QMouseEvent *event)
{
    // The click acts on release, so that it can still be taken back by moving off the card.
    event->accept();
}

void WindowCard::mouseReleaseEvent(QMouseEvent *event)
{
    if (rect().contains(event->position().toPoint()) && onClick)
        onClick();
}

} // namespace panemaker
