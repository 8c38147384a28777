// WindowCard: one window in the gap picker's grid, with its thumbnail or icon, title, state and
// quick-pick number.
#pragma once

#include "gaps/WindowCandidate.h"

#include <QWidget>

#include <functional>
#include <optional>

namespace panemaker {

class ElidingLabel;

class WindowCard final : public QWidget {
public:
    static constexpr int width = 188;
    static constexpr int height = 160;

    WindowCard(const WindowCandidate &candidate, std::optional<int> number, QWidget *parent = nullptr);

    const WindowCandidate &candidate() const { return m_candidate; }
    std::optional<int> number() const { return m_number; }
    bool isSelected() const { return m_selected; }
    void setSelected(bool selected);
    QImage thumbnail() const { return m_thumbnail; }
    // An image at device pixel ratio 2 is drawn at half its pixel size, never enlarged.
    void setThumbnail(const QImage &thumbnail);

    std::function<void()> onHover; // the mouse moved over the card
    std::function<void()> onClick; // a click was released inside the card

protected:
    void paintEvent(QPaintEvent *) override;
    void resizeEvent(QResizeEvent *) override;
    void mouseMoveEvent(QMouseEvent *) override;
    void mousePressEvent(QMouseEvent *) override;
    void mouseReleaseEvent(QMouseEvent *) override;

private:
    void layoutLabels();

    WindowCandidate m_candidate;
    std::optional<int> m_number;
    bool m_selected = false;
    QImage m_thumbnail;
    ElidingLabel *m_title;
    ElidingLabel *m_detail;
};

} // namespace panemaker
