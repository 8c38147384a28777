// fuzz-settings: the settings file as the store inspects, parses and reads it, whatever bytes it holds.
#include "input/Preferences.h"
#include "input/SettingsFile.h"
#include "platform/Log.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

namespace {

// Memory-backed where the system offers it: every input is written, parsed and maybe moved aside.
const QTemporaryDir &scratch()
{
    static const QTemporaryDir dir(QDir(QStringLiteral("/dev/shm")).exists()
                                       ? QStringLiteral("/dev/shm/panemaker-fuzz-XXXXXX")
                                       : QDir::tempPath() + QStringLiteral("/panemaker-fuzz-XXXXXX"));
    return dir;
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    panemaker::Log::setSink([](panemaker::Log::Level, const QString &) {});
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const QString path = scratch().filePath(QStringLiteral("panemaker.conf"));
    QFile::remove(path);
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return 0;
    file.write(reinterpret_cast<const char *>(data), qint64(size));
    file.close();
    // Read-only, QSettings takes no lock file to read it: ten times the inputs a second.
    file.setPermissions(QFile::ReadOwner);
    {
        const panemaker::SettingsFile settings(path);
        for (const char *key : {"askToFillGap", "dragToSnap", "hasLaunched"})
            (void)settings.boolValue(QString::fromLatin1(key));
        (void)settings.doubleValue(QStringLiteral("windowGap"));
        if (const std::optional<QByteArray> blob = settings.dataValue(QStringLiteral("shortcuts")))
            (void)panemaker::Preferences::decodeShortcuts(*blob);
    }
    QFile::remove(path + QStringLiteral(".damaged")); // so that the next damaged input finds the name free
    return 0;
}
