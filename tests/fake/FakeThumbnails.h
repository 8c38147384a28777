// FakeThumbnails: remembers what was asked for; the test delivers images when it likes, even
// after the run was dropped, as a capture already on its way would.
#pragma once

#include "platform/WindowThumbnails.h"

namespace panemaker {

class FakeThumbnails final : public WindowThumbnails {
public:
    QList<std::uint32_t> requested;
    std::function<void(std::uint32_t, const QImage &)> deliver;
    std::shared_ptr<int> liveRuns = std::make_shared<int>(0);

    std::unique_ptr<Run> capture(const QList<std::uint32_t> &windowIds, QSize,
                                 std::function<void(std::uint32_t, const QImage &)> onImage) override
    {
        struct Counted final : Run {
            std::shared_ptr<int> live;
            explicit Counted(std::shared_ptr<int> count) : live(std::move(count)) { ++*live; }
            ~Counted() override { --*live; }
        };
        requested = windowIds;
        deliver = std::move(onImage);
        return std::make_unique<Counted>(liveRuns);
    }
};

} // namespace panemaker
