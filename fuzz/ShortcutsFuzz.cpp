// fuzz-shortcuts: the stored shortcuts blob, as a user or another program may have left it.
#include "input/Preferences.h"

#include <QByteArray>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const QByteArray blob(reinterpret_cast<const char *>(data), qsizetype(size));
    if (const std::optional<panemaker::ShortcutMap> shortcuts = panemaker::Preferences::decodeShortcuts(blob)) {
        for (const auto &[action, shortcut] : *shortcuts)
            (void)shortcut.toJson();
    }
    return 0;
}
