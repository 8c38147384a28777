// Property parsing with the malformed values other programs may leave on their windows.
#include "platform/x11/Properties.h"

#include <QTest>

using namespace panemaker::x11;
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
    // A reply as the server sends it: the header, then the value.
    void repliesOfEveryLengthAreCopied_data()
    {
        QTest::addColumn<Longs>("values");
        QTest::newRow("empty, as Openbox's _NET_WM_STATE") << Longs{};
        QTest::newRow("three") << Longs{1, 2, 0xFFFFFFFF};
    }
    void repliesOfEveryLengthAreCopied()
    {
        QFETCH(Longs, values);
        std::vector<std::uint32_t> buffer(sizeof(xcb_get_property_reply_t) / 4 + values.size());
        auto *reply = reinterpret_cast<xcb_get_property_reply_t *>(buffer.data());
        reply->type = XCB_ATOM_CARDINAL;
        reply->format = 32;
        reply->value_len = std::uint32_t(values.size());
        reply->length = std::uint32_t(values.size());
        std::copy(values.begin(), values.end(), buffer.begin() + sizeof(xcb_get_property_reply_t) / 4);
        const std::optional<PropertyValue> value = PropertyValue::fromReply(reply);
        QVERIFY(value);
        QCOMPARE(value->longs, values);
    }

    void extentsNeedExactlyFourCardinals()
    {
        QCOMPARE(extents(longs({1, 2, 3, 4})), (Extents{1, 2, 3, 4}));
        QCOMPARE(extents(longs({1, 2, 3})), std::nullopt);
        QCOMPARE(extents(longs({1, 2, 3, 4, 5})), std::nullopt);
        QCOMPARE(extents(longs({1, 2, 3, 4}, XCB_ATOM_ATOM)), std::nullopt);
        QCOMPARE(extents(bytes("abcdefghijklmnop", XCB_ATOM_CARDINAL)), std::nullopt);
        QCOMPARE(extents(std::nullopt), std::nullopt);
        // Values beyond what X coordinates hold are capped rather than wrapped into negatives.
        QCOMPARE(extents(longs({0xFFFFFFFF, 0, 0, 0}))->left, 32767);
    }

    void partialStrutsNeedExactlyTwelveCardinals()
    {
        const Longs partial{0, 0, 30, 0, 0, 0, 0, 0, 1440, 3359, 0, 0};
        QCOMPARE(partialStrut(longs(partial))->topEndX, 3359);
        QCOMPARE(partialStrut(longs(Longs(11, 1))), std::nullopt);
        QCOMPARE(partialStrut(longs(Longs(13, 1))), std::nullopt);
    }

    void textDecodesByType_data()
    {
        QTest::addColumn<QByteArray>("raw");
        QTest::addColumn<uint>("type");
        QTest::addColumn<QString>("expected");
        QTest::newRow("utf-8") << QByteArray("caf\xc3\xa9") << uint(utf8String) << QStringLiteral("café");
        QTest::newRow("invalid utf-8 is replaced") << QByteArray("a\xff\xfe"
                                                                 "b")
                                                   << uint(utf8String) << QStringLiteral("a\uFFFD\uFFFDb");
        QTest::newRow("latin-1") << QByteArray("caf\xe9") << uint(XCB_ATOM_STRING) << QStringLiteral("café");
        QTest::newRow("trailing NULs dropped")
            << QByteArray("title\0\0", 7) << uint(utf8String) << QStringLiteral("title");
    }
    void textDecodesByType()
    {
        QFETCH(QByteArray, raw);
        QFETCH(uint, type);
        QFETCH(QString, expected);
        QCOMPARE(text(bytes(raw, type), utf8String), expected);
    }

    void textOfAnotherTypeOrFormatIsNothing()
    {
        QCOMPARE(text(bytes("x", XCB_ATOM_CARDINAL), utf8String), std::nullopt);
        QCOMPARE(text(longs({65}, utf8String), utf8String), std::nullopt);
    }

    void iconsPickTheLargestThatFits_data()
    {
        QTest::addColumn<Longs>("data");
        QTest::addColumn<QSize>("expected"); // empty: no icon
        auto image = [](std::uint32_t w, std::uint32_t h) {
            Longs l{w, h};
            l.resize(2 + std::size_t(w) * h, 0xFF336699);
            return l;
        };
        auto join = [](std::initializer_list<Longs> parts) {
            Longs all;
            for (const Longs &p : parts)
                all.insert(all.end(), p.begin(), p.end());
            return all;
        };
        QTest::newRow("several sizes") << join({image(16, 16), image(128, 128), image(48, 48), image(32, 32)})
                                       << QSize(48, 48);
        QTest::newRow("only too large") << image(65, 65) << QSize();
        QTest::newRow("claims 2^31 pixels") << Longs{0x10000, 0x8000, 1, 2, 3} << QSize();
        QTest::newRow("size overflowing 32 bits") << Longs{0xFFFFFFFF, 0xFFFFFFFF, 1} << QSize();
        QTest::newRow("good then absurd") << join({image(16, 16), Longs{0x7FFFFFFF, 2}}) << QSize(16, 16);
        QTest::newRow("truncated pixels") << Longs{4, 4, 1, 2, 3} << QSize();
        QTest::newRow("zero width") << join({Longs{0, 5}, image(8, 8)}) << QSize();
        QTest::newRow("odd leftover") << join({image(8, 8), Longs{7}}) << QSize(8, 8);
        QTest::newRow("empty") << Longs{} << QSize();
    }
    void iconsPickTheLargestThatFits()
    {
        QFETCH(Longs, data);
        QFETCH(QSize, expected);
        const QImage result = icon(data, 64);
        QCOMPARE(result.isNull(), expected.isEmpty());
        if (!result.isNull()) {
            QCOMPARE(result.size(), expected);
            QCOMPARE(result.pixel(0, 0), 0xFF336699u);
        }
    }

    void rectanglesIgnoreATrailingPartial()
    {
        const auto areas = rectangles(longs({0, 0, 1440, 900, 1440, 0, 1920, 1080, 7}));
        QCOMPARE(areas, (std::vector<QRect>{QRect(0, 0, 1440, 900), QRect(1440, 0, 1920, 1080)}));
        QVERIFY(rectangles(longs({1, 2, 3})).empty());
    }

    void listsOfTheWrongTypeAreEmpty()
    {
        QVERIFY(atomList(longs({1, 2}, XCB_ATOM_CARDINAL)).empty());
        QCOMPARE(atomList(longs({1, 2}, XCB_ATOM_ATOM)).size(), std::size_t(2));
        QCOMPARE(windowValue(longs({0}, XCB_ATOM_WINDOW)), std::nullopt);
        QCOMPARE(windowValue(longs({}, XCB_ATOM_WINDOW)), std::nullopt);
        QCOMPARE(cardinal(longs({7})), 7u);
    }
};

QTEST_GUILESS_MAIN(PropertiesTest)
#include "PropertiesTest.moc"
