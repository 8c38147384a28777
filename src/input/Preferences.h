// Preferences: the user's settings as observable properties, loaded from the settings file
// and written back on every assignment.
#pragma once

#include "core/SnapPreferences.h"
#include "input/SettingsFile.h"
#include "input/Shortcut.h"

#include <QObject>

#include <optional>

namespace panemaker {

class Preferences final : public QObject, public SnapPreferences {
    Q_OBJECT
    Q_PROPERTY(bool askToFillGap READ askToFillGap WRITE setAskToFillGap NOTIFY askToFillGapChanged)
    Q_PROPERTY(bool showPreviews READ showPreviews WRITE setShowPreviews NOTIFY showPreviewsChanged)
    Q_PROPERTY(bool dragToSnap READ dragToSnap WRITE setDragToSnap NOTIFY dragToSnapChanged)
    Q_PROPERTY(double windowGap READ windowGap WRITE setWindowGap NOTIFY windowGapChanged)
    Q_PROPERTY(bool checkForUpdates READ checkForUpdates WRITE setCheckForUpdates NOTIFY checkForUpdatesChanged)
    Q_PROPERTY(panemaker::ShortcutMap shortcuts READ shortcuts WRITE setShortcuts NOTIFY shortcutsChanged)

public:
    // Loads the settings from the file at `path`; the first construction over a file marks
    // the program as launched in it.
    explicit Preferences(const QString &path, QObject *parent = nullptr);

    // The one instance over the user's settings file, created on first use.
    static Preferences &shared();
    // $XDG_CONFIG_HOME/panemaker/panemaker.conf
    static QString userSettingsPath();
    // The stored "shortcuts" blob; nothing when any part of it is not a shortcut.
    static std::optional<ShortcutMap> decodeShortcuts(const QByteArray &blob);

    // The store itself, for the few keys other parts of the program keep beside these.
    SettingsFile &store() { return m_store; }

    bool askToFillGap() const override { return m_askToFillGap; }
    bool showPreviews() const { return m_showPreviews; }
    bool dragToSnap() const { return m_dragToSnap; }
    double windowGap() const override { return m_windowGap; }
    bool checkForUpdates() const { return m_checkForUpdates; }
    const ShortcutMap &shortcuts() const { return m_shortcuts; }
    bool isFirstLaunch() const { return m_isFirstLaunch; }

    // Every assignment, even of the value already held, notifies and then writes.
    void setAskToFillGap(bool value);
    void setShowPreviews(bool value);
    void setDragToSnap(bool value);
    void setWindowGap(double value);
    void setCheckForUpdates(bool value);
    void setShortcuts(const ShortcutMap &value);

    // Gives the action this shortcut, taking it from any other action that held it, or
    // clears the action's shortcut when none is given.
    void setShortcut(std::optional<Shortcut> shortcut, SnapAction action);
    void restoreDefaultShortcuts();
    void saveShortcuts();

Q_SIGNALS:
    void askToFillGapChanged(bool value);
    void showPreviewsChanged(bool value);
    void dragToSnapChanged(bool value);
    void windowGapChanged(double value);
    void checkForUpdatesChanged(bool value);
    void shortcutsChanged(const panemaker::ShortcutMap &value);

private:
    void assignSwitch(bool &field, bool value, void (Preferences::*changed)(bool), const QString &key);
    ShortcutMap loadShortcuts();

    SettingsFile m_store;
    bool m_askToFillGap;
    bool m_showPreviews;
    bool m_dragToSnap;
    double m_windowGap;
    bool m_checkForUpdates;
    ShortcutMap m_shortcuts;
    bool m_isFirstLaunch;
};

} // namespace panemaker
