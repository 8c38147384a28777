// The settings page: a grouped form whose controls write straight through to the program's
// objects and follow their changes while the window is open.
#include "app/SettingsView.h"

#include "gaps/ActionGlyph.h"

#include <QApplication>
#include <QCheckBox>
#include <QCoreApplication>
#include <QFontDatabase>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QPainter>
#include <QPainterPath>
#include <QPushButton>
#include <QSlider>
#include <QToolButton>
#include <QVBoxLayout>

#include <cmath>

namespace panemaker {

namespace {

// The slider moves in whole steps of this many points, so no position means an odd gap.
constexpr int gapStep = 2;
constexpr int gapMaximum = 24;

const QColor orange(255, 149, 0);
const QColor warningColour(196, 128, 0);

QColor secondaryColour(const QWidget *widget)
{
    return widget->palette().color(QPalette::PlaceholderText);
}

void setTextColour(QWidget *widget, const QColor &colour)
{
    QPalette p = widget->palette();
    p.setColor(QPalette::WindowText, colour);
    p.setColor(QPalette::ButtonText, colour);
    widget->setPalette(p);
}

QLabel *label(const QString &text, int pixelSize, QWidget *parent, QFont::Weight weight = QFont::Normal)
{
    auto *l = new QLabel(text, parent);
    QFont f = l->font();
    f.setPixelSize(pixelSize);
    f.setWeight(weight);
    l->setFont(f);
    l->setWordWrap(true);
    return l;
}

// Smaller, secondary text under a row's title.
QLabel *caption(const QString &text, QWidget *parent)
{
    QLabel *l = label(text, 11, parent);
    setTextColour(l, secondaryColour(parent));
    return l;
}

// A symbol of the theme when it has one, else a drawn badge: a filled circle or warning
// triangle in the colour with a mark on it.
QPixmap symbol(const QString &themeName, const QColor &colour, QChar mark, bool triangle, int size)
{
    if (QIcon::hasThemeIcon(themeName))
        return QIcon::fromTheme(themeName).pixmap(size);
    const qreal ratio = qApp->devicePixelRatio();
    QPixmap pixmap(QSize(size, size) * ratio);
    pixmap.setDevicePixelRatio(ratio);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::NoPen);
    p.setBrush(colour);
    if (triangle) {
        QPainterPath path;
        path.moveTo(size / 2.0, 1);
        path.lineTo(size - 1, size - 2);
        path.lineTo(1, size - 2);
        path.closeSubpath();
        p.drawPath(path);
    } else {
        p.drawEllipse(QRectF(1, 1, size - 2, size - 2));
    }
    QFont f = p.font();
    f.setPixelSize(size * 5 / 8);
    f.setBold(true);
    p.setFont(f);
    p.setPen(Qt::white);
    p.drawText(QRectF(0, triangle ? size / 8.0 : 0, size, size), Qt::AlignCenter, QString(mark));
    return pixmap;
}

QLabel *symbolLabel(const QPixmap &pixmap, QWidget *parent)
{
    auto *l = new QLabel(parent);
    l->setPixmap(pixmap);
    l->setAlignment(Qt::AlignTop | Qt::AlignHCenter);
    return l;
}

// A rounded panel that holds the rows of one section.
class Group final : public QFrame {
public:
    explicit Group(QWidget *parent) : QFrame(parent)
    {
        auto *rows = new QVBoxLayout(this);
        rows->setContentsMargins(12, 10, 12, 10);
        rows->setSpacing(10);
    }
    QVBoxLayout *rows() { return static_cast<QVBoxLayout *>(layout()); }

protected:
    void paintEvent(QPaintEvent *) override
    {
        QPainter p(this);
        p.setRenderHint(QPainter::Antialiasing);
        p.setPen(palette().color(QPalette::Mid));
        p.setBrush(palette().color(QPalette::Base));
        p.drawRoundedRect(QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5), 8, 8);
    }
};

// A title with an optional caption beneath, on the left of a control.
QWidget *titledRow(const QString &title, const QString &captionText, QWidget *control, QWidget *parent)
{
    auto *row = new QWidget(parent);
    auto *h = new QHBoxLayout(row);
    h->setContentsMargins(0, 0, 0, 0);
    auto *texts = new QVBoxLayout;
    texts->setSpacing(2);
    texts->addWidget(label(title, 13, row));
    if (!captionText.isEmpty())
        texts->addWidget(caption(captionText, row));
    h->addLayout(texts, 1);
    control->setParent(row);
    h->addWidget(control, 0, Qt::AlignVCenter);
    return row;
}

QCheckBox *toggle(const QString &title)
{
    auto *box = new QCheckBox;
    box->setAccessibleName(title);
    return box;
}

} // namespace

SettingsView::SettingsView(Services services, QList<OtherSnapper> otherSnappers, QWidget *parent)
    : QWidget(parent), m_services(services), m_otherSnappers(std::move(otherSnappers)),
      m_edgeTiling(services.conflicts.edgeTilingState())
{
    Preferences &prefs = services.prefs;
    auto *page = new QVBoxLayout(this);
    page->setContentsMargins(20, 20, 20, 20);
    page->setSpacing(6);
    const auto section = [&](const QString &title) {
        page->addSpacing(10);
        if (!title.isEmpty())
            page->addWidget(label(title, 13, this, QFont::DemiBold));
        auto *group = new Group(this);
        page->addWidget(group);
        return group;
    };

    // Header.
    auto *header = new QHBoxLayout;
    header->setSpacing(14);
    auto *icon = new QLabel(this);
    icon->setFixedSize(58, 58);
    icon->setPixmap(appIcon());
    header->addWidget(icon, 0, Qt::AlignTop);
    auto *headerTexts = new QVBoxLayout;
    headerTexts->setSpacing(2);
    headerTexts->addWidget(label(QStringLiteral("Panemaker"), 22, this, QFont::DemiBold));
    headerTexts->addWidget(label(QStringLiteral("Snap a window, then choose what fills the gap."), 13, this));
    headerTexts->addWidget(caption(QCoreApplication::applicationVersion(), this));
    header->addLayout(headerTexts, 1);
    page->addLayout(header);

    // Access.
    m_access = section({});
    {
        auto *row = new QHBoxLayout;
        row->setSpacing(10);
        row->addWidget(symbolLabel(symbol(QStringLiteral("process-stop"), orange, u'!', false, 22), m_access));
        auto *texts = new QVBoxLayout;
        texts->addWidget(label(QStringLiteral("No window manager found"), 13, m_access, QFont::DemiBold));
        texts->addWidget(label(QStringLiteral("Panemaker moves and resizes windows through an X11 window manager that "
                                              "supports the Extended Window Manager Hints. Start one, or log in to an "
                                              "X11 session."),
                               12, m_access));
        auto *check = new QPushButton(QStringLiteral("Check Again"), m_access);
        check->setDefault(true);
        connect(check, &QPushButton::clicked, this, [this] { m_services.access.refresh(); });
        texts->addWidget(check, 0, Qt::AlignLeft);
        row->addLayout(texts, 1);
        static_cast<Group *>(m_access)->rows()->addLayout(row);
    }
    m_access->setVisible(!services.access.isTrusted());
    connect(&services.access, &AccessibilityMonitor::trustedChanged, this,
            [this](bool trusted) { m_access->setVisible(!trusted); });

    // Snapping.
    Group *snapping = section(QStringLiteral("Snapping"));
    const auto addToggle = [&](Group *group, const QString &title, const QString &captionText, bool value, auto setter,
                               auto changed) {
        QCheckBox *box = toggle(title);
        box->setChecked(value);
        group->rows()->addWidget(titledRow(title, captionText, box, group));
        connect(box, &QCheckBox::toggled, &prefs, setter);
        connect(&prefs, changed, box, [box](bool on) {
            const QSignalBlocker block(box);
            box->setChecked(on);
        });
        return box;
    };
    addToggle(snapping, QStringLiteral("Ask which window fills the gap"),
              QStringLiteral("After a snap, pick a window for the space left over."), prefs.askToFillGap(),
              &Preferences::setAskToFillGap, &Preferences::askToFillGapChanged);
    QCheckBox *previews =
        addToggle(snapping, QStringLiteral("Show window previews"),
                  QStringLiteral("Captured only while the picker is open, never saved."), prefs.showPreviews(),
                  &Preferences::setShowPreviews, &Preferences::showPreviewsChanged);
    previews->parentWidget()->setEnabled(prefs.askToFillGap());
    connect(&prefs, &Preferences::askToFillGapChanged, previews->parentWidget(), &QWidget::setEnabled);
    addToggle(snapping, QStringLiteral("Snap by dragging to screen edges"),
              QStringLiteral("Sides for halves, corners for quarters, top to maximize, bottom for thirds."),
              prefs.dragToSnap(), &Preferences::setDragToSnap, &Preferences::dragToSnapChanged);

    const auto conflictRow = [&](QLabel *&symbolSlot, QLabel *&text, QPushButton *&button) {
        auto *row = new QWidget(snapping);
        auto *h = new QHBoxLayout(row);
        h->setContentsMargins(0, 0, 0, 0);
        h->setSpacing(8);
        symbolSlot = symbolLabel({}, row);
        symbolSlot->setFixedWidth(22);
        h->addWidget(symbolSlot);
        text = caption({}, row);
        h->addWidget(text, 1);
        button = new QPushButton(row);
        h->addWidget(button, 0, Qt::AlignVCenter);
        snapping->rows()->addWidget(row);
        return row;
    };
    QPushButton *tilingButton = nullptr, *quitButton = nullptr;
    m_tilingRow = conflictRow(m_tilingSymbol, m_tilingText, tilingButton);
    tilingButton->setText(QStringLiteral("Window Manager Settings…"));
    connect(tilingButton, &QPushButton::clicked, this, [this] { m_services.conflicts.openTilingSettings(); });
    QLabel *snappersSymbol = nullptr;
    m_snappersRow = conflictRow(snappersSymbol, m_snappersText, quitButton);
    snappersSymbol->setPixmap(symbol(QStringLiteral("dialog-warning"), QColor(255, 204, 0), u'!', true, 18));
    m_quitSnappers = quitButton;
    connect(quitButton, &QPushButton::clicked, this, [this] { m_services.conflicts.quit(m_otherSnappers); });
    connect(&prefs, &Preferences::dragToSnapChanged, this, &SettingsView::updateConflicts);
    connect(&services.conflicts, &ConflictDetection::otherSnappersChanged, this,
            [this](const QList<OtherSnapper> &snappers) {
                m_otherSnappers = snappers;
                updateConflicts();
            });
    connect(&services.conflicts, &ConflictDetection::edgeTilingStateChanged, this, [this](EdgeTilingState state) {
        m_edgeTiling = state;
        updateConflicts();
    });
    updateConflicts();

    m_gapSlider = new QSlider(Qt::Horizontal, snapping);
    m_gapSlider->setRange(0, gapMaximum / gapStep);
    m_gapSlider->setSingleStep(1);
    m_gapSlider->setPageStep(1);
    m_gapSlider->setFixedWidth(150);
    m_gapLabel = new QLabel(snapping);
    m_gapLabel->setFixedWidth(38);
    m_gapLabel->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    QFont digits = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    digits.setPixelSize(12);
    m_gapLabel->setFont(digits);
    auto *gapControls = new QWidget(snapping);
    auto *gapLayout = new QHBoxLayout(gapControls);
    gapLayout->setContentsMargins(0, 0, 0, 0);
    gapLayout->addWidget(m_gapSlider);
    gapLayout->addWidget(m_gapLabel);
    snapping->rows()->addWidget(titledRow(QStringLiteral("Space between windows"), {}, gapControls, snapping));
    showGap(prefs.windowGap());
    connect(m_gapSlider, &QSlider::valueChanged, &prefs,
            [&prefs](int position) { prefs.setWindowGap(position * gapStep); });
    connect(&prefs, &Preferences::windowGapChanged, this, &SettingsView::showGap);

    // General.
    Group *general = section(QStringLiteral("General"));
    QCheckBox *launch = toggle(QStringLiteral("Launch at login"));
    launch->setChecked(services.launchAtLogin.isEnabled());
    general->rows()->addWidget(titledRow(QStringLiteral("Launch at login"), {}, launch, general));
    connect(launch, &QCheckBox::toggled, this, [this, launch](bool on) {
        if (!m_services.launchAtLogin.setEnabled(on))
            m_services.system.beep();
        const QSignalBlocker block(launch);
        launch->setChecked(m_services.launchAtLogin.isEnabled());
    });
    if (services.updater.isConfigured()) {
        addToggle(general, QStringLiteral("Check for updates automatically"),
                  QStringLiteral("About once a day. Updates install only when you choose."), prefs.checkForUpdates(),
                  &Preferences::setCheckForUpdates, &Preferences::checkForUpdatesChanged);
        auto *row = new QWidget(general);
        auto *h = new QHBoxLayout(row);
        h->setContentsMargins(0, 0, 0, 0);
        m_updateText = label({}, 12, row);
        h->addWidget(m_updateText, 1);
        m_updateButton = new QPushButton(row);
        connect(m_updateButton, &QPushButton::clicked, this, [this] {
            if (m_services.updater.release())
                m_services.updater.install();
            else
                m_services.updater.checkNow();
        });
        h->addWidget(m_updateButton, 0, Qt::AlignVCenter);
        general->rows()->addWidget(row);
        connect(&services.updater, &Updater::statusChanged, this, &SettingsView::showUpdateStatus);
        connect(&services.updater, &Updater::releaseChanged, this, &SettingsView::showUpdateStatus);
        showUpdateStatus();
    }

    // Shortcuts, one section per group of actions.
    const QPixmap clearSymbol = symbol(QStringLiteral("edit-clear"), secondaryColour(this), u'✕', false, 16);
    for (const SnapAction::Group g : SnapAction::allGroups()) {
        Group *group = section(SnapAction::title(g));
        for (const SnapAction action : SnapAction::actions(g)) {
            auto *row = new QWidget(group);
            auto *h = new QHBoxLayout(row);
            h->setContentsMargins(0, 0, 0, 0);
            h->setSpacing(8);
            auto *glyph = new QLabel(row);
            glyph->setFixedWidth(22);
            glyph->setAlignment(Qt::AlignCenter);
            glyph->setPixmap(QPixmap::fromImage(tintedGlyph(actionGlyph(action), palette().color(QPalette::Text))));
            h->addWidget(glyph);
            auto *texts = new QVBoxLayout;
            texts->setSpacing(1);
            texts->addWidget(label(action.title(), 13, row));
            QLabel *refused = caption(QStringLiteral("In use by another program"), row);
            refused->setObjectName(action.rawValue() + QStringLiteral("-refused"));
            setTextColour(refused, warningColour);
            refused->hide();
            texts->addWidget(refused);
            h->addLayout(texts, 1);
            auto *clear = new QToolButton(row);
            clear->setObjectName(action.rawValue() + QStringLiteral("-clear"));
            clear->setAutoRaise(true);
            clear->setIcon(clearSymbol);
            clear->setToolTip(QStringLiteral("Clear shortcut"));
            clear->setFocusPolicy(Qt::NoFocus);
            // Hidden rather than removed, so the field keeps its place.
            QSizePolicy keep = clear->sizePolicy();
            keep.setRetainSizeWhenHidden(true);
            clear->setSizePolicy(keep);
            connect(clear, &QToolButton::clicked, this,
                    [this, action] { m_services.prefs.setShortcut(std::nullopt, action); });
            h->addWidget(clear);
            auto *field = new QPushButton(row);
            field->setObjectName(action.rawValue());
            field->setMinimumWidth(104);
            connect(field, &QPushButton::clicked, this, [this, action] {
                if (m_services.recorder.action() == action)
                    m_services.recorder.stop();
                else
                    m_services.recorder.start(action);
            });
            h->addWidget(field);
            group->rows()->addWidget(row);
            m_shortcutRows.append({action, field, clear, refused});
        }
    }
    connect(&prefs, &Preferences::shortcutsChanged, this, &SettingsView::updateShortcuts);
    connect(&services.recorder, &ShortcutRecording::actionChanged, this, &SettingsView::followRecording);
    updateShortcuts();

    Group *restore = section({});
    restore->rows()->addWidget(
        label(QStringLiteral("Shortcuts work in any app. Click one to change it, press ⌫ to clear."), 12, restore));
    auto *restoreButton = new QPushButton(QStringLiteral("Restore Defaults"), restore);
    connect(restoreButton, &QPushButton::clicked, this, [this] {
        m_services.recorder.stop();
        m_services.prefs.restoreDefaultShortcuts();
    });
    restore->rows()->addWidget(restoreButton, 0, Qt::AlignLeft);

    Group *quit = section({});
    auto *quitPanemaker = new QPushButton(QStringLiteral("Quit Panemaker"), quit);
    connect(quitPanemaker, &QPushButton::clicked, this, [this] {
        if (onQuit)
            onQuit();
    });
    quit->rows()->addWidget(quitPanemaker, 0, Qt::AlignLeft);
    page->addStretch(1);
}

SettingsView::~SettingsView()
{
    qApp->removeEventFilter(this);
}

void SettingsView::setRefusedActions(const QSet<SnapAction> &actions)
{
    for (const ShortcutRow &row : m_shortcutRows)
        row.refused->setVisible(actions.contains(row.action));
}

QPixmap SettingsView::appIcon() const
{
    const QIcon icon = QApplication::windowIcon();
    if (!icon.isNull())
        return icon.pixmap(58);
    // No icon installed: the left-half glyph on an accent tile.
    const qreal ratio = devicePixelRatioF();
    QPixmap pixmap(QSize(58, 58) * ratio);
    pixmap.setDevicePixelRatio(ratio);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::NoPen);
    p.setBrush(palette().color(QPalette::Highlight));
    p.drawRoundedRect(QRectF(3, 3, 52, 52), 12, 12);
    const QImage glyph = tintedGlyph(actionGlyph(SnapAction::leftHalf), Qt::white);
    const QSizeF size = glyph.deviceIndependentSize() * 2;
    p.drawImage(QRectF(QPointF(29, 29) - QPointF(size.width(), size.height()) / 2, size), glyph);
    return pixmap;
}

void SettingsView::updateConflicts()
{
    const bool drag = m_services.prefs.dragToSnap();
    m_tilingRow->setVisible(drag && m_edgeTiling != EdgeTilingState::off);
    if (m_edgeTiling == EdgeTilingState::on) {
        m_tilingSymbol->setPixmap(symbol(QStringLiteral("dialog-warning"), QColor(255, 204, 0), u'!', true, 18));
        m_tilingText->setText(
            QStringLiteral("The window manager's own tiling is also on and will fight with Panemaker."));
    } else if (m_edgeTiling == EdgeTilingState::unknown) {
        m_tilingSymbol->setPixmap(symbol(QStringLiteral("help-hint"), secondaryColour(this), u'i', false, 18));
        m_tilingText->setText(
            QStringLiteral("Turn off your window manager's own edge tiling so it doesn't fight with Panemaker."));
    }
    m_snappersRow->setVisible(drag && !m_otherSnappers.isEmpty());
    if (m_otherSnappers.isEmpty())
        return;
    const QString names = ConflictDetection::appNamesList(m_otherSnappers);
    const bool one = m_otherSnappers.size() == 1;
    m_snappersText->setText(names + (one ? QStringLiteral(" is") : QStringLiteral(" are"))
                            + QStringLiteral(" also running and will fight with Panemaker."));
    m_quitSnappers->setText(one ? QStringLiteral("Quit ") + names : QStringLiteral("Quit Them"));
}

void SettingsView::showGap(double gap)
{
    const QSignalBlocker block(m_gapSlider);
    m_gapSlider->setValue(int(std::lround(gap / gapStep)));
    m_gapLabel->setText(QStringLiteral("%1 pt").arg(std::llround(gap)));
}

void SettingsView::updateShortcuts()
{
    const std::optional<SnapAction> &recorded = m_services.recorder.action();
    const ShortcutMap &shortcuts = m_services.prefs.shortcuts();
    for (const ShortcutRow &row : m_shortcutRows) {
        const auto shortcut = shortcuts.find(row.action);
        const bool recording = recorded == row.action, has = shortcut != shortcuts.end();
        if (recording) {
            row.field->setText(QStringLiteral("Type shortcut…"));
            setTextColour(row.field, palette().color(QPalette::Highlight));
        } else if (has) {
            row.field->setText(shortcut->second.displayText(m_services.layout));
            setTextColour(row.field, palette().color(QPalette::ButtonText));
        } else {
            row.field->setText(QStringLiteral("Record Shortcut"));
            setTextColour(row.field, secondaryColour(this));
        }
        row.clear->setVisible(has && !recording);
    }
}

void SettingsView::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    if (m_updateText)
        showUpdateStatus();
}

void SettingsView::showUpdateStatus()
{
    const Updater &updater = m_services.updater;
    const Updater::Status::Kind kind = updater.status().kind;
    m_updateText->setText(updater.statusText());
    const std::optional<Updater::Release> &release = updater.release();
    m_updateButton->setText(release ? QStringLiteral("Update to ") + release->version : QStringLiteral("Check Now"));
    m_updateButton->setDefault(release.has_value());
    m_updateButton->setEnabled(release ? kind != Updater::Status::Kind::installing
                                       : kind != Updater::Status::Kind::checking);
}

void SettingsView::followRecording()
{
    // Keys go to the recorder before any button or window shortcut sees them.
    if (m_services.recorder.action())
        qApp->installEventFilter(this);
    else
        qApp->removeEventFilter(this);
    updateShortcuts();
}

bool SettingsView::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() != QEvent::ShortcutOverride && event->type() != QEvent::KeyPress)
        return false;
    const auto *target = qobject_cast<QWidget *>(watched);
    if (!m_services.recorder.action() || !target || target->window() != window())
        return false;
    if (event->type() == QEvent::ShortcutOverride) {
        // Claimed, so that no window shortcut fires; the key press itself follows.
        event->accept();
        return true;
    }
    const auto *key = static_cast<QKeyEvent *>(event);
    // A modifier pressed on its own is the start of a combination, not a key to record.
    static const QSet<int> modifierKeys{Qt::Key_Shift,   Qt::Key_Control,  Qt::Key_Meta,    Qt::Key_Alt,
                                        Qt::Key_AltGr,   Qt::Key_Super_L,  Qt::Key_Super_R, Qt::Key_Hyper_L,
                                        Qt::Key_Hyper_R, Qt::Key_CapsLock, Qt::Key_NumLock, Qt::Key_ScrollLock};
    if (modifierKeys.contains(key->key()))
        return true;
    if (const std::optional<std::uint16_t> code = m_services.layout.virtualKeyCode(key->nativeScanCode())) {
        const Qt::KeyboardModifiers mods = key->modifiers();
        std::uint64_t flags = 0;
        if (mods & Qt::ShiftModifier)
            flags |= EventModifier::shift;
        if (mods & Qt::ControlModifier)
            flags |= EventModifier::control;
        if (mods & Qt::AltModifier)
            flags |= EventModifier::option;
        if (mods & Qt::MetaModifier)
            flags |= EventModifier::command;
        m_services.recorder.handleKey(*code, flags);
    }
    return true;
}

} // namespace panemaker
