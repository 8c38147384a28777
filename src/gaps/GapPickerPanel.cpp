// GapPickerPanel: layout, grid arithmetic, filtering and the keyboard of the gap picker.
#include "gaps/GapPickerPanel.h"

#include "gaps/ActionGlyph.h"
#include "gaps/ElidingLabel.h"
#include "gaps/WindowCard.h"
#include "platform/Displays.h"
#include "platform/System.h"

#include <QBoxLayout>
#include <QKeyEvent>
#include <QLocale>
#include <QPainter>
#include <QPainterPath>
#include <QScrollArea>
#include <QScrollBar>
#include <QWindow>

#include <algorithm>

namespace panemaker {
namespace {

constexpr qreal cornerRadius = 18;
constexpr int cardStep = WindowCard::width + 10; // a card and the space after it
constexpr int rowStep = WindowCard::height + 10; // a row and the space below it
constexpr int scrollBarWidth = 8;                // eats the grid's right margin when it scrolls
constexpr qreal secondaryAlpha = 0.55, tertiaryAlpha = 0.3;

// The key codes the key table is written in, whatever keyboard produced the key.
enum KeyCode {
    returnKey = 36,
    tabKey = 48,
    deleteKey = 51,
    escapeKey = 53,
    enterKey = 76,
    leftKey = 123,
    rightKey = 124,
    downKey = 125,
    upKey = 126
};

int keyCode(int qtKey)
{
    switch (qtKey) {
    case Qt::Key_Return: return returnKey;
    case Qt::Key_Enter: return enterKey;
    case Qt::Key_Tab:
    case Qt::Key_Backtab: return tabKey;
    case Qt::Key_Backspace: return deleteKey;
    case Qt::Key_Escape: return escapeKey;
    case Qt::Key_Left: return leftKey;
    case Qt::Key_Right: return rightKey;
    case Qt::Key_Down: return downKey;
    case Qt::Key_Up: return upKey;
    default: return -1;
    }
}

QColor textColour(const QPalette &palette, qreal alpha)
{
    QColor colour = palette.color(QPalette::Text);
    colour.setAlphaF(alpha);
    return colour;
}

// Rich text colours without alpha: the text colour mixed into the panel's background.
QString blended(const QPalette &palette, qreal alpha)
{
    const QColor text = palette.color(QPalette::Text), back = palette.color(QPalette::Window);
    auto mix = [alpha](int a, int b) { return qRound(a * alpha + b * (1 - alpha)); };
    return QColor(mix(text.red(), back.red()), mix(text.green(), back.green()), mix(text.blue(), back.blue())).name();
}

QString keyHints(const QPalette &palette)
{
    const QString key =
        QStringLiteral("<span style=\"font-weight:600; color:%1\">%2</span>").arg(blended(palette, secondaryAlpha));
    const QString label =
        QStringLiteral("<span style=\"color:%1\">&nbsp;%2</span>").arg(blended(palette, tertiaryAlpha));
    const QString gap = QStringLiteral("&nbsp;&nbsp;&nbsp;&nbsp;&nbsp;");
    return key.arg(QStringLiteral("← →")) + label.arg(GapPickerPanel::tr("choose")) + gap + key.arg(QStringLiteral("↩"))
           + label.arg(GapPickerPanel::tr("place")) + gap + key.arg(QStringLiteral("1–9"))
           + label.arg(GapPickerPanel::tr("quick pick")) + gap + key.arg(QStringLiteral("esc"))
           + label.arg(GapPickerPanel::tr("done"));
}

QPixmap magnifier(const QPalette &palette)
{
    QPixmap pixmap(QSize(14, 14) * 2);
    pixmap.setDevicePixelRatio(2);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(textColour(palette, tertiaryAlpha), 1.6, Qt::SolidLine, Qt::RoundCap));
    p.drawEllipse(QRectF(1.5, 1.5, 8, 8));
    p.drawLine(QPointF(8.7, 8.7), QPointF(12.5, 12.5));
    return pixmap;
}

QLabel *label(const QString &text, int pixelSize, QFont::Weight weight, QWidget *parent)
{
    auto *result = new QLabel(text, parent);
    QFont font = result->font();
    font.setPixelSize(pixelSize);
    font.setWeight(weight);
    result->setFont(font);
    return result;
}

QPainterPath roundedOutline(const QRect &bounds)
{
    QPainterPath path;
    path.addRoundedRect(QRectF(bounds), cornerRadius, cornerRadius);
    return path;
}

} // namespace

GapPickerPanel::GapPickerPanel(const Displays &displays, System &system, QWidget *parent)
    : QWidget(parent, Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint | Qt::BypassWindowManagerHint),
      m_displays(displays), m_system(system), m_compositing(system.isCompositing())
{
    setWindowTitle(QStringLiteral("Fill the gap"));
    setAttribute(Qt::WA_ShowWithoutActivating);
    setAttribute(Qt::WA_TranslucentBackground, m_compositing);
    setFocusPolicy(Qt::StrongFocus);
    m_grabRetry.setSingleShot(true);
    m_grabRetry.setInterval(50);
    connect(&m_grabRetry, &QTimer::timeout, this, &GapPickerPanel::tryGrab);

    auto *column = new QVBoxLayout(this);
    column->setContentsMargins(0, 14, 0, 12);
    column->setSpacing(0);

    auto *header = new QHBoxLayout;
    header->setContentsMargins(16, 0, 16, 0);
    header->setSpacing(8);
    m_glyph = new QLabel(this);
    m_glyph->setFixedSize(20, 16);
    m_glyph->setAlignment(Qt::AlignCenter);
    QLabel *title = label(tr("Fill the gap"), 13, QFont::DemiBold, this);
    title->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    m_region = new ElidingLabel(Qt::ElideRight, 12, QFont::Medium, this);
    m_region->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    m_region->setTextAlpha(secondaryAlpha);
    header->addWidget(m_glyph);
    header->addWidget(title);
    header->addWidget(m_region, 1);
    column->addLayout(header);
    column->addSpacing(12);

    auto *queryRow = new QHBoxLayout;
    queryRow->setContentsMargins(17, 0, 16, 0);
    queryRow->setSpacing(8);
    auto *glass = new QLabel(this);
    glass->setPixmap(magnifier(palette()));
    m_queryLabel = new ElidingLabel(Qt::ElideLeft, 16, QFont::Normal, this);
    m_queryLabel->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    m_queryLabel->setMinimumHeight(m_queryLabel->fontMetrics().height());
    queryRow->addWidget(glass);
    queryRow->addWidget(m_queryLabel, 1);
    column->addLayout(queryRow);
    column->addSpacing(11);

    auto *separator = new QWidget(this);
    separator->setFixedHeight(1);
    separator->setAutoFillBackground(true);
    QPalette line = separator->palette();
    line.setColor(QPalette::Window, textColour(palette(), 0.12));
    separator->setPalette(line);
    column->addWidget(separator);
    column->addSpacing(8);

    m_gridRow = new QHBoxLayout;
    m_gridRow->setContentsMargins(10, 0, 10, 0);
    m_scroll = new QScrollArea(this);
    m_scroll->setFrameShape(QFrame::NoFrame);
    m_scroll->setFocusPolicy(Qt::NoFocus);
    m_scroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_scroll->verticalScrollBar()->setFixedWidth(scrollBarWidth);
    m_scroll->viewport()->setAutoFillBackground(false);
    m_grid = new QWidget;
    m_grid->setAutoFillBackground(false);
    m_scroll->setWidget(m_grid);
    m_gridRow->addWidget(m_scroll);
    column->addLayout(m_gridRow);
    m_empty = label(tr("No matching windows"), 13, QFont::Normal, m_scroll);
    m_empty->setAlignment(Qt::AlignCenter);
    QPalette secondary = m_empty->palette();
    secondary.setColor(QPalette::WindowText, textColour(palette(), secondaryAlpha));
    m_empty->setPalette(secondary);
    m_empty->hide();
    column->addSpacing(8);

    QLabel *hints = label(keyHints(palette()), 11, QFont::Normal, this);
    hints->setTextFormat(Qt::RichText);
    column->addWidget(hints, 0, Qt::AlignHCenter);
}

void GapPickerPanel::setGlyph(const QImage &glyph)
{
    m_glyph->setPixmap(QPixmap::fromImage(tintedGlyph(glyph, palette().color(QPalette::Highlight))));
}

void GapPickerPanel::setRegionText(const QString &text)
{
    m_region->setText(text);
}

QString GapPickerPanel::regionText() const
{
    return m_region->text();
}

void GapPickerPanel::present(const Rect &gap)
{
    const QRectF frame = m_displays.nativeFrame(gap);
    // Both truncate toward zero: a gap narrower than one card still gets one column.
    const int fittingColumns = static_cast<int>((gap.width - 28 - 32 + 10) / cardStep);
    const int fittingRows = static_cast<int>((gap.height - 150 - 32 + 10) / rowStep);
    m_columns = std::max(std::min({int(m_candidates.size()), fittingColumns, 4}), 1);
    m_rowLimit = std::clamp(fittingRows, 1, 3);
    reload(false);
    layout()->activate();
    const QSize size = sizeHint();
    const QPoint origin(qRound(frame.center().x() - size.width() / 2.0),
                        qRound(frame.center().y() - size.height() / 2.0));
    setGeometry(QRect(origin, size));
    show();
    raise();
    makeKey();
}

void GapPickerPanel::setThumbnail(const QImage &thumbnail, std::uint32_t windowId)
{
    m_thumbnails.insert(windowId, thumbnail);
    for (WindowCard *card : std::as_const(m_cards)) {
        if (card->candidate().windowID == windowId)
            card->setThumbnail(thumbnail);
    }
}

void GapPickerPanel::makeKey()
{
    m_grabTries = 0;
    tryGrab();
}

void GapPickerPanel::tryGrab()
{
    if (!isVisible())
        return;
    m_isKey = windowHandle() && windowHandle()->setKeyboardGrabEnabled(true);
    // 20 tries 50 ms apart: the user's hot key is released well within a second.
    if (!m_isKey && ++m_grabTries < 20)
        m_grabRetry.start();
}

QSize GapPickerPanel::gridSize() const
{
    return {m_grid->width(), m_scroll->height()};
}

QString GapPickerPanel::emptyText() const
{
    return m_empty->isHidden() ? QString() : m_empty->text();
}

QString GapPickerPanel::queryText() const
{
    return m_queryLabel->text();
}

void GapPickerPanel::reload(bool resize)
{
    if (m_query.isEmpty()) {
        m_filtered = m_candidates;
        m_queryLabel->setText(tr("Type to filter windows"));
        m_queryLabel->setTextAlpha(tertiaryAlpha);
    } else {
        const QLocale locale;
        const QString needle = locale.toLower(m_query);
        m_filtered.clear();
        for (const WindowCandidate &candidate : std::as_const(m_candidates)) {
            if (locale.toLower(candidate.title).contains(needle) || locale.toLower(candidate.appName).contains(needle))
                m_filtered.append(candidate);
        }
        m_queryLabel->setText(m_query);
        m_queryLabel->setTextAlpha(1.0);
    }
    rebuildGrid();
    m_empty->setText(m_candidates.isEmpty() ? tr("No other windows on this desktop") : tr("No matching windows"));
    m_empty->setVisible(m_filtered.isEmpty());
    m_scroll->verticalScrollBar()->setValue(0);
    m_selected = 0;
    if (!m_cards.isEmpty())
        m_cards.first()->setSelected(true);
    if (resize && isVisible()) {
        layout()->activate();
        // resize() keeps the top-left corner: the panel grows and shrinks downwards.
        this->resize(sizeHint());
    }
}

void GapPickerPanel::rebuildGrid()
{
    // Later: a card's click may lead here while the card is still handling it.
    for (WindowCard *card : std::as_const(m_cards)) {
        card->hide();
        card->deleteLater();
    }
    m_cards.clear();
    const int c = m_columns, n = int(m_filtered.size());
    const int contentWidth = c * WindowCard::width + (c - 1) * 10 + 8;
    const int gridWidth = std::max(contentWidth, 360);
    const int rows = std::max((n + c - 1) / c, 1);
    const int left = qRound((gridWidth - contentWidth) / 2.0) + 4;
    for (int i = 0; i < n; ++i) {
        const std::optional<int> number = m_query.isEmpty() && i <= 8 ? std::optional(i + 1) : std::nullopt;
        auto *card = new WindowCard(m_filtered[i], number, m_grid);
        if (const auto id = m_filtered[i].windowID; id && m_thumbnails.contains(*id))
            card->setThumbnail(m_thumbnails.value(*id));
        card->onHover = [this, i] {
            if (m_selected != i)
                select(i, false);
        };
        card->onClick = [this, i] { pick(i); };
        card->setGeometry(left + (i % c) * cardStep, (i / c) * rowStep + 4, WindowCard::width, WindowCard::height);
        card->show();
        m_cards.append(card);
    }
    const int visibleRows = std::min(m_rowLimit, rows);
    const bool scrolls = rows > visibleRows;
    m_grid->setFixedSize(gridWidth, rows * WindowCard::height + (rows - 1) * 10 + 8);
    m_scroll->setFixedSize(gridWidth + (scrolls ? scrollBarWidth : 0),
                           visibleRows * WindowCard::height + (visibleRows - 1) * 10 + 8);
    m_gridRow->setContentsMargins(10, 0, scrolls ? 10 - scrollBarWidth : 10, 0);
    // Decided here, not by the scroll area, which may look while the grid and it are half resized.
    m_scroll->setVerticalScrollBarPolicy(scrolls ? Qt::ScrollBarAsNeeded : Qt::ScrollBarAlwaysOff);
    m_empty->setGeometry(0, 0, gridWidth, m_scroll->height());
}

void GapPickerPanel::pick(int index)
{
    if (index < 0 || index >= m_filtered.size()) {
        m_system.beep();
        return;
    }
    if (onPick)
        onPick(m_filtered[index]);
}

void GapPickerPanel::moveSelection(int step)
{
    const int n = int(m_cards.size());
    if (n == 0)
        return;
    int next = m_selected + step;
    // Down from a full row into a shorter last row lands on the last card.
    if (step == m_columns && next >= n && m_selected / m_columns != (n - 1) / m_columns)
        next = n - 1;
    if (next >= 0 && next < n)
        select(next, true);
}

void GapPickerPanel::select(int index, bool scroll)
{
    if (index >= m_cards.size())
        return;
    if (m_selected < m_cards.size())
        m_cards[m_selected]->setSelected(false);
    m_selected = index;
    m_cards[index]->setSelected(true);
    if (scroll)
        m_scroll->ensureWidgetVisible(m_cards[index], 4, 4);
}

bool GapPickerPanel::event(QEvent *event)
{
    if (event->type() == QEvent::KeyPress) {
        // Here rather than in keyPressEvent, which never sees Tab: QWidget moves the focus with it.
        if (handleKey(static_cast<QKeyEvent *>(event)))
            return true;
    } else if (event->type() == QEvent::WindowDeactivate && isVisible() && m_isKey) {
        // Another window took the keyboard (a click on another of our windows activates it
        // while the grab still holds): give the grab up so that whoever decides to take the
        // keyboard back starts from a known state.
        windowHandle()->setKeyboardGrabEnabled(false);
        m_isKey = false;
        emit resignedKey();
    }
    return QWidget::event(event);
}

bool GapPickerPanel::handleKey(QKeyEvent *event)
{
    // The panel holds the whole keyboard, so the program's own shortcuts reach it instead of the
    // hot keys; they go on to them first.
    const bool modified = event->modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier);
    if (modified && onModifiedKey && onModifiedKey(event->nativeScanCode(), event->nativeModifiers()))
        return true;
    const int n = int(m_cards.size());
    switch (keyCode(event->key())) {
    case returnKey:
    case enterKey: pick(m_selected); return true;
    case tabKey:
        if (n > 0) {
            const bool back = event->key() == Qt::Key_Backtab || event->modifiers() & Qt::ShiftModifier;
            select((m_selected + (back ? n - 1 : 1)) % n, true);
        }
        return true;
    case deleteKey:
        if (!m_query.isEmpty()) {
            m_query.chop(m_query.size() > 1 && m_query.back().isLowSurrogate() ? 2 : 1);
            reload(true);
        }
        return true;
    case escapeKey:
        if (!m_query.isEmpty()) {
            m_query.clear();
            reload(true);
        } else if (onDismiss) {
            onDismiss();
        }
        return true;
    case leftKey: moveSelection(-1); return true;
    case rightKey: moveSelection(1); return true;
    case downKey: moveSelection(m_columns); return true;
    case upKey: moveSelection(-m_columns); return true;
    default: break;
    }
    const QString text = event->text();
    if (modified || text.isEmpty())
        return false;
    bool isNumber = false;
    const int number = text.toInt(&isNumber);
    if (m_query.isEmpty() && isNumber && number >= 1 && number <= 9) {
        pick(number - 1);
        return true;
    }
    QString appended;
    for (const char32_t c : text.toUcs4()) {
        // Control characters and the function-key range of private code points never filter.
        if (QChar::category(c) != QChar::Other_Control && c < 0xF700)
            appended += QString::fromUcs4(&c, 1);
    }
    if (appended.isEmpty())
        return false;
    m_query += appended;
    reload(true);
    return true;
}

void GapPickerPanel::hideEvent(QHideEvent *event)
{
    m_grabRetry.stop();
    if (windowHandle())
        windowHandle()->setKeyboardGrabEnabled(false);
    m_isKey = false;
    QWidget::hideEvent(event);
}

void GapPickerPanel::resizeEvent(QResizeEvent *event)
{
    if (!m_compositing)
        setMask(QRegion(roundedOutline(rect()).toFillPolygon().toPolygon()));
    QWidget::resizeEvent(event);
}

void GapPickerPanel::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    QColor background = palette().color(QPalette::Window);
    if (m_compositing)
        background.setAlphaF(0.94);
    p.setPen(Qt::NoPen);
    p.setBrush(background);
    p.drawPath(roundedOutline(rect()));
}

} // namespace panemaker
