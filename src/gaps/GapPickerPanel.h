// GapPickerPanel: the floating panel in which the user picks the window that fills a gap.
#pragma once

#include "gaps/WindowCandidate.h"
#include "platform/Rect.h"

#include <QHash>
#include <QList>
#include <QTimer>
#include <QWidget>

#include <cstdint>
#include <functional>

class QHBoxLayout;
class QKeyEvent;
class QLabel;
class QScrollArea;

namespace panemaker {

class Displays;
class ElidingLabel;
class System;
class WindowCard;

class GapPickerPanel final : public QWidget {
    Q_OBJECT

public:
    GapPickerPanel(const Displays &displays, System &system, QWidget *parent = nullptr);

    std::function<void(const WindowCandidate &)> onPick;
    std::function<void()> onDismiss; // Escape with an empty filter
    // A key pressed with Control, Alt or Super, as the windowing system reports it; true when it
    // was taken.
    std::function<bool(std::uint32_t nativeKey, std::uint32_t nativeModifiers)> onModifiedKey;

    void setCandidates(const QList<WindowCandidate> &candidates) { m_candidates = candidates; }
    void setThumbnails(const QHash<std::uint32_t, QImage> &thumbnails) { m_thumbnails = thumbnails; }
    void setQuery(const QString &query) { m_query = query; }
    // A template glyph, tinted here with the accent colour.
    void setGlyph(const QImage &glyph);
    void setRegionText(const QString &text);
    // Sizes the grid for a gap (top-left space), rebuilds the cards and shows the panel centred
    // on the gap, holding the keyboard.
    void present(const Rect &gapFrameTopLeft);
    // Stores a thumbnail that arrived late and shows it on the cards of that window.
    void setThumbnail(const QImage &thumbnail, std::uint32_t windowId);

    // Whether the panel holds the keyboard grab.
    bool isKey() const { return m_isKey; }
    // Grabs the keyboard, retrying for a while when another client still holds it (the user's
    // hot key is often still down when the panel opens).
    void makeKey();

    int columns() const { return m_columns; }
    int rowLimit() const { return m_rowLimit; }
    int selectedIndex() const { return m_selected; }
    const QList<WindowCandidate> &filtered() const { return m_filtered; }
    const QList<WindowCard *> &cards() const { return m_cards; }
    const QString &query() const { return m_query; }
    // The visible grid area: its width and the height shown without scrolling.
    QSize gridSize() const;
    QString emptyText() const; // empty while cards are shown
    QString regionText() const;
    QString queryText() const; // what the query line shows

Q_SIGNALS:
    // The panel lost the keyboard while shown.
    void resignedKey();

protected:
    bool event(QEvent *event) override;
    void paintEvent(QPaintEvent *) override;
    void resizeEvent(QResizeEvent *) override;
    void hideEvent(QHideEvent *) override;

private:
    bool handleKey(QKeyEvent *event); // false: the key is not the panel's
    void reload(bool resize);
    void rebuildGrid();
    void pick(int index);
    void moveSelection(int step);
    void select(int index, bool scroll);
    void tryGrab();

    const Displays &m_displays;
    System &m_system;
    QList<WindowCandidate> m_candidates;
    QList<WindowCandidate> m_filtered;
    QHash<std::uint32_t, QImage> m_thumbnails;
    QList<WindowCard *> m_cards;
    int m_selected = 0;
    QString m_query;
    int m_columns = 3;
    int m_rowLimit = 2;
    bool m_compositing;
    bool m_isKey = false;
    int m_grabTries = 0;
    QTimer m_grabRetry;

    QLabel *m_glyph;
    ElidingLabel *m_region;
    ElidingLabel *m_queryLabel;
    QHBoxLayout *m_gridRow;
    QScrollArea *m_scroll;
    QWidget *m_grid;
    QLabel *m_empty;
};

} // namespace panemaker
