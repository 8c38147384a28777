// The tray menu: warnings first, then every snap action with its shortcut, the two switches,
// the settings and quitting. Rebuilt each time it opens, so that it shows the present state.
#include "app/AppDelegate.h"
#include "gaps/ActionGlyph.h"

#include <QApplication>
#include <QKeySequence>
#include <QPainter>
#include <QStyle>

namespace panemaker {

namespace {

// The Qt key of a menu key equivalent: the function-key characters of the arrows, F-keys,
// and navigation keys, the control characters, or a character typed by the key.
std::optional<Qt::Key> qtKey(QChar equivalent)
{
    static const QHash<char16_t, Qt::Key> special{
        {0x000D, Qt::Key_Return}, {0x0009, Qt::Key_Tab},      {0x0020, Qt::Key_Space}, {0x0008, Qt::Key_Backspace},
        {0x001B, Qt::Key_Escape}, {0x007F, Qt::Key_Delete},   {0xF729, Qt::Key_Home},  {0xF72B, Qt::Key_End},
        {0xF72C, Qt::Key_PageUp}, {0xF72D, Qt::Key_PageDown}, {0xF702, Qt::Key_Left},  {0xF703, Qt::Key_Right},
        {0xF701, Qt::Key_Down},   {0xF700, Qt::Key_Up}};
    if (const auto found = special.constFind(equivalent.unicode()); found != special.constEnd())
        return *found;
    if (equivalent.unicode() >= 0xF704 && equivalent.unicode() < 0xF704 + 35)
        return Qt::Key(Qt::Key_F1 + (equivalent.unicode() - 0xF704));
    if (equivalent.isPrint())
        return Qt::Key(equivalent.toUpper().unicode());
    return std::nullopt;
}

QKeySequence keySequence(const Shortcut &shortcut, const KeyboardLayout &layout)
{
    const std::optional<QString> equivalent = shortcut.keyEquivalent(layout);
    const std::optional<Qt::Key> key = equivalent && equivalent->size() == 1 ? qtKey(equivalent->at(0)) : std::nullopt;
    if (!key)
        return {};
    const std::uint64_t flags = shortcut.menuModifierFlags();
    Qt::KeyboardModifiers modifiers;
    modifiers.setFlag(Qt::ControlModifier, flags & EventModifier::control);
    modifiers.setFlag(Qt::AltModifier, flags & EventModifier::option);
    modifiers.setFlag(Qt::ShiftModifier, flags & EventModifier::shift);
    modifiers.setFlag(Qt::MetaModifier, flags & EventModifier::command);
    return QKeySequence(QKeyCombination(modifiers, *key));
}

// A warning leads the menu, set apart by a separator; choosing it starts the remedy.
void addWarning(QMenu &menu, const QString &title, const QString &toolTip, const std::function<void()> &remedy)
{
    QAction *item = menu.addAction(QApplication::style()->standardIcon(QStyle::SP_MessageBoxWarning), title);
    item->setToolTip(toolTip);
    QObject::connect(item, &QAction::triggered, &menu, remedy);
    menu.addSeparator();
}

// The theme's symbol for an available update, else a white arrow down in a filled circle.
QIcon updateIcon(const QColor &colour)
{
    if (QIcon::hasThemeIcon(QStringLiteral("software-update-available")))
        return QIcon::fromTheme(QStringLiteral("software-update-available"));
    QPixmap pixmap(32, 32);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(colour);
    painter.drawEllipse(QRectF(1, 1, 30, 30));
    painter.setPen(QPen(Qt::white, 3.5, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    painter.drawLine(QPointF(16, 8), QPointF(16, 23));
    painter.drawPolyline(QList<QPointF>{{10, 17}, {16, 23}, {22, 17}});
    return QIcon(pixmap);
}

} // namespace

void AppDelegate::populateMenu(QMenu &menu)
{
    menu.clear();
    menu.setToolTipsVisible(true);
    if (!m_access.isTrusted()) {
        addWarning(menu, QStringLiteral("No Window Manager Found…"), {}, [this] { showSettings(); });
    }
    if (const std::optional<Updater::Release> &release = m_updater.release()) {
        const bool installing = m_updater.status().kind == Updater::Status::Kind::installing;
        QAction *item = menu.addAction(updateIcon(menu.palette().color(QPalette::Highlight)),
                                       installing ? QStringLiteral("Installing Update…")
                                                  : QStringLiteral("Update to Panemaker ") + release->version);
        item->setEnabled(!installing);
        item->setToolTip(m_updater.isPackageManaged()
                             ? QStringLiteral("Opens the download page: this copy of Panemaker is updated by the "
                                              "package manager that installed it.")
                             : QStringLiteral("Installs the new version and reopens Panemaker. Your settings and "
                                              "permissions stay."));
        connect(item, &QAction::triggered, this, [this] { m_updater.install(); });
        menu.addSeparator();
    }
    if (m_prefs.dragToSnap() && m_conflicts.edgeTilingState() == EdgeTilingState::on) {
        addWarning(menu, QStringLiteral("Turn Off Window Manager Edge Tiling…"),
                   QStringLiteral("The window manager's own tiling, when a window is dragged to a screen edge, "
                                  "fights with Panemaker's drag snapping."),
                   [this] { m_conflicts.openTilingSettings(); });
    }
    if (const QList<OtherSnapper> snappers = m_conflicts.runningOtherSnappers(); !snappers.isEmpty()) {
        const QString names = ConflictDetection::appNamesList(snappers);
        addWarning(menu, QStringLiteral("Quit ") + names,
                   names + (snappers.size() == 1 ? QStringLiteral(" snaps") : QStringLiteral(" snap"))
                       + QStringLiteral(" windows too and will fight with Panemaker."),
                   [this] { m_conflicts.quit(m_conflicts.runningOtherSnappers()); });
    }
    if (const QSet<SnapAction> &refused = m_hotKeys.refusedActions(); !refused.isEmpty()) {
        QStringList titles;
        for (SnapAction action : SnapAction::all())
            if (refused.contains(action))
                titles.append(action.title());
        addWarning(menu, QStringLiteral("Shortcuts in Use by Another Program…"),
                   QLocale().createSeparatedList(titles)
                       + QStringLiteral(": another program holds the shortcut. Choose another in Settings."),
                   [this] { showSettings(); });
    }

    const QColor ink = menu.palette().color(QPalette::WindowText);
    for (SnapAction::Group group : SnapAction::allGroups()) {
        for (SnapAction action : SnapAction::actions(group)) {
            QAction *item =
                menu.addAction(QIcon(QPixmap::fromImage(tintedGlyph(actionGlyph(action), ink))), action.title());
            item->setData(action.rawValue());
            if (const auto shortcut = m_prefs.shortcuts().find(action); shortcut != m_prefs.shortcuts().end())
                item->setShortcut(keySequence(shortcut->second, m_platform.keyboardLayout));
            connect(item, &QAction::triggered, this, [this, item] {
                // The menu's grab ends first, so that the window manager sees the request at once.
                const std::optional<SnapAction> chosen = SnapAction::fromRawValue(item->data().toString());
                if (chosen)
                    QTimer::singleShot(0, this, [this, action = *chosen] { m_manager.perform(action); });
            });
        }
        menu.addSeparator();
    }

    QAction *askToFill = menu.addAction(QStringLiteral("Ask Which Window Fills the Gap"));
    askToFill->setCheckable(true);
    askToFill->setChecked(m_prefs.askToFillGap());
    connect(askToFill, &QAction::triggered, this, [this] { m_prefs.setAskToFillGap(!m_prefs.askToFillGap()); });
    QAction *dragToSnap = menu.addAction(QStringLiteral("Snap by Dragging to Edges"));
    dragToSnap->setCheckable(true);
    dragToSnap->setChecked(m_prefs.dragToSnap());
    connect(dragToSnap, &QAction::triggered, this, [this] { m_prefs.setDragToSnap(!m_prefs.dragToSnap()); });
    menu.addSeparator();
    menu.addAction(QStringLiteral("Settings…"), QKeySequence(Qt::CTRL | Qt::Key_Comma), this,
                   &AppDelegate::showSettings);
    menu.addAction(QStringLiteral("Quit Panemaker"), QKeySequence(Qt::CTRL | Qt::Key_Q), qApp, &QCoreApplication::quit);
}

} // namespace panemaker
