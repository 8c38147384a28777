// ElidingLabel: a one-line label that shortens its text with an ellipsis instead of growing.
#pragma once

#include <QLabel>
#include <QPainter>

namespace panemaker {

class ElidingLabel final : public QLabel {
public:
    ElidingLabel(Qt::TextElideMode mode, int pixelSize, QFont::Weight weight, QWidget *parent)
        : QLabel(parent), m_mode(mode)
    {
        QFont f = font();
        f.setPixelSize(pixelSize);
        f.setWeight(weight);
        setFont(f);
        // The layout gives the width; the text never asks for more.
        setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Fixed);
    }

    // Label colours are the palette's text colour at an alpha.
    void setTextAlpha(qreal alpha)
    {
        QPalette p = palette();
        QColor c = p.color(QPalette::Text);
        c.setAlphaF(alpha);
        p.setColor(QPalette::WindowText, c);
        setPalette(p);
    }

protected:
    void paintEvent(QPaintEvent *) override
    {
        QPainter painter(this);
        painter.setPen(palette().color(QPalette::WindowText));
        const QString shown = fontMetrics().elidedText(text(), m_mode, width());
        painter.drawText(rect(), int(alignment() | Qt::TextSingleLine), shown);
    }

private:
    Qt::TextElideMode m_mode;
};

} // namespace panemaker
