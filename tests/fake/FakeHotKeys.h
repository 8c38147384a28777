// FakeHotKeys: a hot key service in memory; combinations in `taken` are refused as held elsewhere.
#pragma once

#include "input/HotKeyCenter.h"
#include "platform/HotKeys.h"

#include <QList>

#include <map>

namespace panemaker {

class FakeHotKeys final : public HotKeys {
public:
    std::function<void(std::uint32_t)> handler;
    int installStatus = 0;
    int installs = 0;
    std::map<Handle, std::pair<Shortcut, std::uint32_t>> live; // shortcut and number of each hot key
    QList<Shortcut> taken;
    int refusal = 10; // the status of a refused hot key; 0: none, and no hot key either
    Handle nextHandle = 1;

    int installHandler(std::function<void(std::uint32_t)> onPress) override
    {
        ++installs;
        if (installStatus == 0)
            handler = std::move(onPress);
        return installStatus;
    }
    Registration registerHotKey(std::uint32_t keyCode, std::uint32_t modifiers, std::uint32_t signature,
                                std::uint32_t number) override
    {
        if (signature != HotKeyCenter::signature || taken.contains(Shortcut{keyCode, modifiers}))
            return {refusal, std::nullopt};
        live[nextHandle] = {Shortcut{keyCode, modifiers}, number};
        return {0, nextHandle++};
    }
    void unregisterHotKey(Handle handle) override { live.erase(handle); }
    bool deliverKeyPress(std::uint32_t, std::uint32_t) override { return false; }

    QList<std::uint32_t> numbers() const
    {
        QList<std::uint32_t> result;
        for (const auto &[handle, entry] : live)
            result.append(entry.second);
        return result;
    }
};

} // namespace panemaker
