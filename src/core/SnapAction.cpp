// The tables behind SnapAction.
#include "core/SnapAction.h"

#include <QHashFunctions>

#include <array>

namespace panemaker {

namespace {

struct ActionInfo {
    const char16_t *rawValue;
    const char16_t *title;
    SnapAction::Group group;
};

using G = SnapAction::Group;

// Indexed by SnapAction::Value.
constexpr std::array<ActionInfo, 18> actionInfo{{
    {u"leftHalf", u"Left Half", G::halves},
    {u"rightHalf", u"Right Half", G::halves},
    {u"topHalf", u"Top Half", G::halves},
    {u"bottomHalf", u"Bottom Half", G::halves},
    {u"topLeft", u"Top Left", G::quarters},
    {u"topRight", u"Top Right", G::quarters},
    {u"bottomLeft", u"Bottom Left", G::quarters},
    {u"bottomRight", u"Bottom Right", G::quarters},
    {u"firstThird", u"Left Third", G::thirds},
    {u"centerThird", u"Center Third", G::thirds},
    {u"lastThird", u"Right Third", G::thirds},
    {u"firstTwoThirds", u"Left Two Thirds", G::thirds},
    {u"lastTwoThirds", u"Right Two Thirds", G::thirds},
    {u"maximize", u"Maximize", G::window},
    {u"center", u"Center", G::window},
    {u"restore", u"Restore", G::window},
    {u"previousDisplay", u"Previous Display", G::displays},
    {u"nextDisplay", u"Next Display", G::displays},
}};

constexpr std::array<SnapAction, 18> allActions{
    SnapAction::leftHalf,        SnapAction::rightHalf,   SnapAction::topHalf,    SnapAction::bottomHalf,
    SnapAction::topLeft,         SnapAction::topRight,    SnapAction::bottomLeft, SnapAction::bottomRight,
    SnapAction::firstThird,      SnapAction::centerThird, SnapAction::lastThird,  SnapAction::firstTwoThirds,
    SnapAction::lastTwoThirds,   SnapAction::maximize,    SnapAction::center,     SnapAction::restore,
    SnapAction::previousDisplay, SnapAction::nextDisplay,
};

constexpr std::array<SnapAction::Group, 5> allGroupValues{G::halves, G::quarters, G::thirds, G::window, G::displays};

const ActionInfo &info(SnapAction action)
{
    return actionInfo[static_cast<size_t>(SnapAction::Value(action))];
}

constexpr double half = 1.0 / 2.0;
constexpr double third = 1.0 / 3.0;
constexpr double twoThirds = 2.0 / 3.0;

} // namespace

QString SnapAction::rawValue() const
{
    return QString::fromUtf16(info(*this).rawValue);
}

std::optional<SnapAction> SnapAction::fromRawValue(QStringView rawValue)
{
    for (SnapAction action : allActions) {
        if (rawValue == QStringView(info(action).rawValue))
            return action;
    }
    return std::nullopt;
}

std::optional<SnapAction> SnapAction::fromJson(const QJsonValue &json)
{
    if (!json.isString())
        return std::nullopt;
    return fromRawValue(json.toString());
}

QString SnapAction::title() const
{
    return QString::fromUtf16(info(*this).title);
}

SnapAction::Group SnapAction::group() const
{
    return info(*this).group;
}

std::optional<Rect> SnapAction::unitRect(bool landscape) const
{
    switch (m_value) {
    case leftHalf: return Rect{0, 0, half, 1};
    case rightHalf: return Rect{half, 0, half, 1};
    case topHalf: return Rect{0, 0, 1, half};
    case bottomHalf: return Rect{0, half, 1, half};
    case topLeft: return Rect{0, 0, half, half};
    case topRight: return Rect{half, 0, half, half};
    case bottomLeft: return Rect{0, half, half, half};
    case bottomRight: return Rect{half, half, half, half};
    case firstThird: return landscape ? Rect{0, 0, third, 1} : Rect{0, 0, 1, third};
    case centerThird: return landscape ? Rect{third, 0, third, 1} : Rect{0, third, 1, third};
    case lastThird: return landscape ? Rect{twoThirds, 0, third, 1} : Rect{0, twoThirds, 1, third};
    case firstTwoThirds: return landscape ? Rect{0, 0, twoThirds, 1} : Rect{0, 0, 1, twoThirds};
    case lastTwoThirds: return landscape ? Rect{third, 0, twoThirds, 1} : Rect{0, third, 1, twoThirds};
    case maximize: return Rect{0, 0, 1, 1};
    case center:
    case restore:
    case previousDisplay:
    case nextDisplay: return std::nullopt;
    }
    return std::nullopt;
}

QString SnapAction::regionName(bool portrait) const
{
    if (portrait) {
        switch (m_value) {
        case firstThird: return QStringLiteral("Top Third");
        case lastThird: return QStringLiteral("Bottom Third");
        case firstTwoThirds: return QStringLiteral("Top Two Thirds");
        case lastTwoThirds: return QStringLiteral("Bottom Two Thirds");
        default: break;
        }
    }
    return title();
}

QList<SnapAction> SnapAction::complement() const
{
    switch (m_value) {
    case leftHalf: return {rightHalf};
    case rightHalf: return {leftHalf};
    case topHalf: return {bottomHalf};
    case bottomHalf: return {topHalf};
    case topLeft: return {topRight, bottomLeft, bottomRight};
    case topRight: return {topLeft, bottomLeft, bottomRight};
    case bottomLeft: return {topLeft, topRight, bottomRight};
    case bottomRight: return {topLeft, topRight, bottomLeft};
    case firstThird: return {lastTwoThirds};
    case centerThird: return {firstThird, lastThird};
    case lastThird: return {firstTwoThirds};
    case firstTwoThirds: return {lastThird};
    case lastTwoThirds: return {firstThird};
    case maximize:
    case center:
    case restore:
    case previousDisplay:
    case nextDisplay: return {};
    }
    return {};
}

std::span<const SnapAction> SnapAction::all()
{
    return allActions;
}

std::span<const SnapAction::Group> SnapAction::allGroups()
{
    return allGroupValues;
}

QString SnapAction::title(Group group)
{
    switch (group) {
    case G::halves: return QStringLiteral("Halves");
    case G::quarters: return QStringLiteral("Quarters");
    case G::thirds: return QStringLiteral("Thirds");
    case G::window: return QStringLiteral("Window");
    case G::displays: return QStringLiteral("Displays");
    }
    return {};
}

QList<SnapAction> SnapAction::actions(Group group)
{
    QList<SnapAction> result;
    for (SnapAction action : allActions) {
        if (action.group() == group)
            result.append(action);
    }
    return result;
}

size_t qHash(SnapAction action, size_t seed)
{
    return qHash(action.rawValue(), seed);
}

} // namespace panemaker
