// Applications on X11.
#include "platform/x11/X11Applications.h"

#include <QCoreApplication>
#include <QFileInfo>

namespace panemaker::x11 {

namespace {

// _NET_WM_ICON holds every size an application offers; 256×256 and a few smaller fit.
constexpr std::uint32_t iconPropertyLimit = 128 * 1024;
constexpr std::chrono::milliseconds rereadDelay{500};

} // namespace

X11Applications::X11Applications(XConnection &x, const X11Windows &windows, QStringList applicationFolders)
    : m_x(x), m_windows(windows), m_folders(std::move(applicationFolders))
{
    x.onEvent(XCB_PROPERTY_NOTIFY, &m_subscriber, [this](const xcb_generic_event_t *event) {
        const auto *property = reinterpret_cast<const xcb_property_notify_event_t *>(event);
        if (property->window == m_x.root() && property->atom == m_x.ewmh()->_NET_CLIENT_LIST) {
            QMutexLocker lock(&m_namesMutex);
            m_names.clear();
        }
    });
    for (const QString &folder : std::as_const(m_folders)) {
        if (QFileInfo(folder).isDir())
            m_folderWatcher.addPath(folder);
    }
    // An installation writes many files: read once it has settled.
    m_rereadTimer.setSingleShot(true);
    m_rereadTimer.setInterval(rereadDelay);
    QObject::connect(&m_folderWatcher, &QFileSystemWatcher::directoryChanged, &m_rereadTimer,
                     qOverload<>(&QTimer::start));
    QObject::connect(&m_rereadTimer, &QTimer::timeout, &m_subscriber, [this] {
        readEntries();
        QMutexLocker lock(&m_namesMutex);
        m_names.clear();
    });
    readEntries();
}

void X11Applications::readEntries()
{
    auto reading = std::async(std::launch::async,
                              [folders = m_folders] { return std::make_shared<const DesktopEntries>(folders); });
    QMutexLocker lock(&m_entriesMutex);
    m_entries = reading.share();
}

std::shared_ptr<const DesktopEntries> X11Applications::entries() const
{
    std::shared_future<std::shared_ptr<const DesktopEntries>> latest;
    {
        QMutexLocker lock(&m_entriesMutex);
        latest = m_entries;
    }
    return latest.get();
}

std::vector<WindowFacts> X11Applications::clients(unsigned parts) const
{
    const std::vector<std::uint32_t> windows =
        cardinals(m_x.readProperty(m_x.root(), m_x.ewmh()->_NET_CLIENT_LIST, 65536), XCB_ATOM_WINDOW, 0)
            .value_or(std::vector<std::uint32_t>());
    return readWindowFacts(m_x, windows, parts);
}

QString X11Applications::nameOf(const WindowFacts &window) const
{
    if (const std::optional<DesktopEntries::Entry> entry = entries()->find(window.className, window.instanceName))
        return entry->name;
    return window.className.isEmpty() ? QStringLiteral("app") : window.className;
}

std::optional<QString> X11Applications::name(std::int32_t pid) const
{
    {
        QMutexLocker lock(&m_namesMutex);
        if (const auto known = m_names.constFind(pid); known != m_names.constEnd())
            return *known;
    }
    for (const WindowFacts &window : clients(WindowFacts::readPid | WindowFacts::readClass)) {
        if (window.alive && window.pid == pid) {
            const QString name = nameOf(window);
            QMutexLocker lock(&m_namesMutex);
            m_names.insert(pid, name);
            return name;
        }
    }
    return std::nullopt;
}

QList<Application> X11Applications::runningApplications() const
{
    const std::vector<WindowFacts> facts =
        clients(WindowFacts::readType | WindowFacts::readPid | WindowFacts::readClass);
    const std::int32_t ownPid = std::int32_t(QCoreApplication::applicationPid());

    QList<Application> applications;
    QList<const WindowFacts *> firstWindows;
    for (const WindowFacts &window : facts) {
        if (!window.alive || window.pid == ownPid)
            continue;
        auto app = std::find_if(applications.begin(), applications.end(),
                                [&](const Application &a) { return a.pid == window.pid; });
        if (app == applications.end()) {
            applications.append(Application{window.pid, {}, {}, false, false, {}});
            firstWindows.append(&window);
            app = applications.end() - 1;
        }
        app->windows.append(AXWindow{window.id, window.pid});
        const Windows::Kind kind = m_windows.kindOf(window);
        app->isRegular = app->isRegular || kind == Windows::Kind::standard || kind == Windows::Kind::dialog;
    }

    std::vector<xcb_get_property_cookie_t> iconCookies;
    for (const WindowFacts *first : firstWindows)
        iconCookies.push_back(m_x.requestProperty(first->id, m_x.ewmh()->_NET_WM_ICON, iconPropertyLimit));
    for (qsizetype i = 0; i < applications.size(); ++i) {
        Application &app = applications[i];
        const WindowFacts &first = *firstWindows[i];
        app.name = nameOf(first);
        if (const auto icons = cardinals(m_x.property(iconCookies[std::size_t(i)]), XCB_ATOM_CARDINAL, 2))
            app.icon = icon(*icons, iconSize);
        if (app.icon.isNull()) {
            if (const auto entry = entries()->find(first.className, first.instanceName))
                app.icon = DesktopEntries::iconImage(entry->icon, iconSize);
        }
    }
    return applications;
}

} // namespace panemaker::x11
