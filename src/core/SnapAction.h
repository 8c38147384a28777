// SnapAction: the eighteen snap actions, their titles, groups, unit rectangles, region
// names and complements.
#pragma once

#include "platform/Rect.h"

#include <QJsonValue>
#include <QList>
#include <QString>
#include <QStringView>

#include <optional>
#include <span>

namespace panemaker {

class SnapAction final {
public:
    // Declaration order is the order of every list of actions, and the hot key ids follow it.
    enum Value {
        leftHalf,
        rightHalf,
        topHalf,
        bottomHalf,
        topLeft,
        topRight,
        bottomLeft,
        bottomRight,
        firstThird,
        centerThird,
        lastThird,
        firstTwoThirds,
        lastTwoThirds,
        maximize,
        center,
        restore,
        previousDisplay,
        nextDisplay,
    };

    enum class Group { halves, quarters, thirds, window, displays };

    constexpr SnapAction(Value value) : m_value(value) {}
    constexpr operator Value() const { return m_value; }

    // The stable identifier used in stored settings and log lines.
    QString rawValue() const;
    // Exact, case-sensitive match of a raw value.
    static std::optional<SnapAction> fromRawValue(QStringView rawValue);

    QString title() const;
    Group group() const;
    // Fractions of an area, y downwards; nothing for the actions that are not fractional.
    // On a portrait area (landscape false) the thirds are rows instead of columns.
    std::optional<Rect> unitRect(bool landscape) const;
    // The name of the region the action covers; on a portrait area the thirds are named
    // top to bottom.
    QString regionName(bool portrait) const;
    // The actions whose regions fill the rest of the area after a snap with this one.
    QList<SnapAction> complement() const;

    QJsonValue toJson() const { return rawValue(); }
    static std::optional<SnapAction> fromJson(const QJsonValue &json);

    static std::span<const SnapAction> all();
    static std::span<const Group> allGroups();
    static QString title(Group group);
    static QList<SnapAction> actions(Group group);

private:
    Value m_value;
};

size_t qHash(SnapAction action, size_t seed = 0);

} // namespace panemaker
