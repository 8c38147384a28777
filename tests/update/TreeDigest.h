// treeDigest(): what a folder holds, every name, type, mode, size and file content, so that two
// digests are equal only when nothing in the folder changed.
#pragma once

#include <QProcess>

namespace panemaker::test {

inline QByteArray treeDigest(const QString &directory)
{
    QProcess find;
    find.setWorkingDirectory(directory);
    find.start("sh", {"-c", "find . -printf '%p %y %m %s\\n' | LC_ALL=C sort && "
                            "find . -type f -exec sha256sum {} + | LC_ALL=C sort"});
    find.waitForFinished(60000);
    return find.exitCode() == 0 ? find.readAllStandardOutput() : QByteArray("unreadable");
}

} // namespace panemaker::test
