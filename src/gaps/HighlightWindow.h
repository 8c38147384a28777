// HighlightWindow: a click-through tinted tile that marks a region of the screen.
#pragma once

#include "platform/Rect.h"

#include <QWidget>

class QPropertyAnimation;

namespace panemaker {

class Displays;

class HighlightWindow final : public QWidget {
public:
    // Without a compositor the tile is an outline ring, so that the windows beneath stay visible.
    HighlightWindow(const Displays &displays, bool compositing, QWidget *parent = nullptr);
    bool isComposited() const { return m_compositing; }

    // Moves the highlight to a top-left space frame: glides there when already shown, fades in
    // at the new place otherwise. Hiding is hide().
    void showAt(const Rect &topLeftFrame);

protected:
    void paintEvent(QPaintEvent *) override;
    void resizeEvent(QResizeEvent *) override;

private:
    const Displays &m_displays;
    bool m_compositing;
    QPropertyAnimation *m_glide;
    QPropertyAnimation *m_fade;
};

} // namespace panemaker
