// Property parsing with the malformed values other programs may leave on their windows.
#include "platform/x11/Properties.h"

#include <QTest>

using namespace panemaker::x11;
using namespace Qt::StringLiterals;
using Longs = std::vector<std::uint32_t>;
Q_DECLARE_METATYPE(Longs)

namespace {

constexpr xcb_atom_t utf8String = 400; // any atom stands in for UTF8_STRING

std::optional<PropertyValue> longs(Longs values, xcb_atom_t type = XCB_ATOM_CARDINAL)
{
    return PropertyValue{type, 32, {}, std::move(values)};
}

std::optional<PropertyValue> bytes(const QByteArray &text, xcb_atom_t type)
{
    return PropertyValue{type, 8, text, {}};
}

} // namespace

class PropertiesTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    // Extents, struts, lists and rectangles in the order EWMH gives, of their type and length only.
    void numbersTakeOnlyTheirTypeAndLength()
    {
        QCOMPARE(extents(longs({1, 2, 3, 4})), (Extents{.left = 1, .right = 2, .top = 3, .bottom = 4}));
        QCOMPARE(partialStrut(longs({1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12})),
                 (Strut{1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12}));
        for (const auto &wrong : {longs({1, 2, 3}), longs({1, 2, 3, 4, 5}), longs({1, 2, 3, 4}, XCB_ATOM_ATOM),
                                  bytes("abcdefghijklmnop", XCB_ATOM_CARDINAL), std::optional<PropertyValue>()})
            QCOMPARE(extents(wrong), std::nullopt);
        QCOMPARE(partialStrut(longs(Longs(11, 1))), std::nullopt);
        QCOMPARE(partialStrut(longs(Longs(13, 1))), std::nullopt);
        // Values beyond what X coordinates hold are capped rather than wrapped into negatives.
        QCOMPARE(extents(longs({0xFFFFFFFF, 0, 0, 0}))->left, 32767);

        const auto areas = rectangles(longs({0, 0, 1440, 900, 1440, 0, 1920, 1080, 7})); // a trailing partial
        QCOMPARE(areas, (std::vector<QRect>{QRect(0, 0, 1440, 900), QRect(1440, 0, 1920, 1080)}));
        QCOMPARE(atomList(longs({1, 2}, XCB_ATOM_ATOM)).size(), std::size_t(2));
        QCOMPARE(rectangles(longs({0, 0, 1440, 900})).size(), std::size_t(1));
        QCOMPARE(windowValue(longs({0}, XCB_ATOM_WINDOW)), std::nullopt);
        QCOMPARE(windowValue(longs({}, XCB_ATOM_WINDOW)), std::nullopt);
        QCOMPARE(cardinal(longs({7})), 7u);
    }

    void textDecodesByType_data()
    {
        QTest::addColumn<QByteArray>("raw");
        QTest::addColumn<uint>("type");
        QTest::addColumn<QString>("expected"); // null: nothing
        QTest::newRow("utf-8") << QByteArray("caf\xc3\xa9") << uint(utf8String) << u"café"_s;
        QTest::newRow("bad utf-8") << QByteArray("a\xff\xfe") + 'b' << uint(utf8String) << u"a\uFFFD\uFFFDb"_s;
        QTest::newRow("latin-1") << QByteArray("caf\xe9") << uint(XCB_ATOM_STRING) << u"café"_s;
        QTest::newRow("trailing NULs dropped") << QByteArray("title\0\0", 7) << uint(utf8String) << u"title"_s;
        QTest::newRow("another type") << QByteArray("x") << uint(XCB_ATOM_CARDINAL) << QString();
    }
    void textDecodesByType()
    {
        QFETCH(QByteArray, raw);
        QFETCH(uint, type);
        QFETCH(QString, expected);
        QCOMPARE(text(bytes(raw, type), utf8String), expected.isNull() ? std::nullopt : std::optional(expected));
        QCOMPARE(text(longs({65}, type), utf8String), std::nullopt); // text is 8 bits wide
    }

    void iconsPickTheLargestThatFits_data()
    {
        QTest::addColumn<Longs>("data");
        QTest::addColumn<QSize>("expected");
        const QSize none(0, 0);
        auto image = [](std::uint32_t w, std::uint32_t h, Longs before = {}, Longs after = {}) {
            before.insert(before.end(), {w, h});
            before.resize(before.size() + std::size_t(w) * h, 0xFF336699);
            before.insert(before.end(), after.begin(), after.end());
            return before;
        };
        // The one chosen is as wide as the limit allows and ends the data.
        QTest::newRow("several sizes") << image(64, 64, image(32, 32, image(128, 128, image(16, 16)))) << QSize(64, 64);
        QTest::newRow("only too large") << image(65, 65) << none;
        QTest::newRow("claims 2^31 pixels") << Longs{0x10000, 0x8000, 1, 2, 3} << none;
        QTest::newRow("size overflowing 32 bits") << Longs{0xFFFFFFFF, 0xFFFFFFFF, 1} << none;
        QTest::newRow("good then absurd") << image(16, 16, {}, {0x7FFFFFFF, 2}) << QSize(16, 16);
        QTest::newRow("truncated pixels") << Longs{4, 4, 1, 2, 3} << none;
        QTest::newRow("zero width") << image(8, 8, {0, 5}) << none;
        QTest::newRow("odd leftover") << image(8, 8, {}, {7}) << QSize(8, 8);
        QTest::newRow("empty") << Longs{} << none;
    }
    void iconsPickTheLargestThatFits()
    {
        QFETCH(Longs, data);
        QFETCH(QSize, expected);
        const QImage result = icon(data, 64);
        QCOMPARE(result.size(), expected);
        if (!result.isNull())
            QCOMPARE(result.pixel(0, 0), 0xFF336699u);
    }
};

QTEST_GUILESS_MAIN(PropertiesTest)
#include "PropertiesTest.moc"
