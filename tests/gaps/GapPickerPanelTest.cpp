// The gap picker's widgets on the offscreen platform; it also leaves pictures of itself for review.
#include "gaps/GapPickerPanel.h"
#include "fake/FakeDesktop.h"
#include "fake/FakeDisplays.h"
#include "gaps/ActionGlyph.h"
#include "gaps/HighlightWindow.h"
#include "gaps/WindowCard.h"

#include <QDir>
#include <QLabel>
#include <QPainter>
#include <QScrollArea>
#include <QScrollBar>
#include <QTest>

using namespace panemaker;
using namespace Qt::StringLiterals;
using State = WindowCandidate::State;

namespace {
WindowCandidate candidate(const QString &title, const QString &app, std::uint32_t id, State state = State::visible)
{
    return {{id, 100}, id, title, app, {}, state};
}

// W1 … Wn, all of the application "Äpp" so that a filter can match by a name beyond ASCII.
QList<WindowCandidate> numbered(int n)
{
    QList<WindowCandidate> list;
    for (int i = 1; i <= n; ++i)
        list.append(candidate(u"W"_s + QString::number(i), u"Äpp"_s, i));
    return list;
}

QImage solid(QSizeF logical, QColor colour)
{
    QImage image((logical * 2).toSize(), QImage::Format_ARGB32_Premultiplied);
    image.fill(colour);
    image.setDevicePixelRatio(2);
    return image;
}

void save(const QImage &image, const QString &name)
{
    QDir().mkpath(QStringLiteral(PANEMAKER_SCREENSHOTS));
    QVERIFY(image.save(QStringLiteral(PANEMAKER_SCREENSHOTS "/") + name + u".png"_s));
}

struct Picker {
    FakeDisplays displays;
    FakeDesktop desktop;
    GapPickerPanel panel{displays, desktop};
    QStringList events;

    explicit Picker(const QList<WindowCandidate> &candidates, const Rect &gap = {0, 0, 960, 1080})
    {
        panel.onPick = [this](const WindowCandidate &c) { events.append(u"picked "_s + c.title); };
        panel.onDismiss = [this] { events.append(u"dismissed"_s); };
        panel.setCandidates(candidates);
        panel.present(gap);
    }

    // Arrows, ⇥ Tab, ⇤ Shift+Tab, ⌫ Delete, ⎋ Escape, ↩ Return, ⌤ keypad Enter; anything else is typed.
    void type(const QString &keys)
    {
        static const QString named = u"←→↑↓⇥⇤⌫⎋↩⌤"_s;
        static const Qt::Key key[] = {Qt::Key_Left,   Qt::Key_Right,   Qt::Key_Up,        Qt::Key_Down,
                                      Qt::Key_Tab,    Qt::Key_Backtab, Qt::Key_Backspace, Qt::Key_Escape,
                                      Qt::Key_Return, Qt::Key_Enter};
        for (const QChar c : keys) {
            if (const int i = named.indexOf(c); i >= 0)
                QTest::keyClick(&panel, key[i], c == u'⇤' ? Qt::ShiftModifier : Qt::NoModifier);
            else
                QTest::sendKeyEvent(QTest::Click, &panel, Qt::Key_unknown, QString(c), Qt::NoModifier);
        }
    }

    // The cards as "title#number", the selected one in brackets, the empty-grid text, "|" and what happened.
    QString outcome() const
    {
        QStringList shown;
        for (const WindowCard *card : panel.cards()) {
            QString text = card->candidate().title + (card->number() ? u"#%1"_s.arg(*card->number()) : u""_s);
            shown.append(card->isSelected() ? u"[%1]"_s.arg(text) : text);
        }
        if (!panel.emptyText().isEmpty())
            shown.append(panel.emptyText());
        QStringList done = events + QStringList(desktop.beeps, u"beep"_s);
        if (panel.findChild<QScrollArea *>()->verticalScrollBar()->value() > 0)
            done.append(u"scrolled"_s);
        if (!done.isEmpty())
            shown << u"|"_s << done.join(u", "_s);
        return shown.join(u' ');
    }
};

template <typename T> T fetched(const char *column)
{
    return *static_cast<T *>(QTest::qData(column, qMetaTypeId<T>()));
}
} // namespace

class GapPickerPanelTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void grid_data()
    {
        QTest::addColumn<Rect>("gap");
        QTest::addColumn<int>("count");
        QTest::addColumn<QSize>("grid");
        QTest::addColumn<QPoint>("lastCard");
        QTest::addColumn<int>("panelX");
        // Columns that fit (w - 50) / 198, up to 4; a row of c cards is 198c - 2 wide, the grid at least 360.
        // Rows that fit (h - 172) / 170, up to 3; the grid is 170r - 2 high. The panel is 20 wider than the grid.
        QTest::newRow("just fits") << Rect{0, 0, 842, 512} << 5 << QSize(790, 338) << QPoint(4, 174) << 421 - 405;
        QTest::newRow("too narrow, three rows")
            << Rect{1720, 0, 200, 1000} << 3 << QSize(360, 508) << QPoint(86, 344) << 1630;
        QTest::newRow("too low") << Rect{0, 0, 1000, 300} << 6 << QSize(790, 168) << QPoint(202, 174) << 500 - 405;
        QTest::newRow("two windows") << Rect{0, 0, 700, 700} << 2 << QSize(394, 168) << QPoint(202, 4) << 350 - 207;
    }
    void grid()
    {
        Picker picker(numbered(fetched<int>("count")), fetched<Rect>("gap"));
        QCOMPARE(picker.panel.gridSize(), fetched<QSize>("grid"));
        QCOMPARE(picker.panel.cards().last()->geometry(), QRect(fetched<QPoint>("lastCard"), QSize(188, 160)));
        QCOMPARE(picker.panel.x(), fetched<int>("panelX"));
    }

    void keys_data()
    {
        QTest::addColumn<int>("count");
        QTest::addColumn<QString>("keys");
        QTest::addColumn<QString>("outcome");
        // Four columns, three rows visible.
        const QString three = u"[W1#1] W2#2 W3#3"_s, firstRow = u"W1#1 W2#2 W3#3 W4#4"_s;
        const QString nine = u"W2#2 W3#3 W4#4 W5#5 W6#6 W7#7 W8#8 W9#9"_s;
        QTest::newRow("numbers on nine cards") << 10 << u""_s << u"[W1#1] "_s + nine + u" W10"_s;
        QTest::newRow("return without windows") << 0 << u"↩"_s << u"No other windows on this desktop | beep"_s;
        QTest::newRow("any case, digits after a letter") << 12 << u"w1"_s << u"[W1] W10 W11 W12"_s;
        QTest::newRow("application name beyond ASCII") << 3 << u"ÄP"_s << u"[W1] W2 W3"_s;
        QTest::newRow("0 filters") << 10 << u"0"_s << u"[W10]"_s;
        QTest::newRow("delete drops one character") << 3 << u"w3x⌫"_s << u"[W3]"_s;
        QTest::newRow("second escape dismisses") << 3 << u"w⎋⎋"_s << three + u" | dismissed"_s;
        QTest::newRow("9 picks the ninth") << 9 << u"9"_s << u"[W1#1] "_s + nine + u" | picked W9"_s;
        QTest::newRow("digit beyond the cards") << 3 << u"5"_s << three + u" | beep"_s;
        QTest::newRow("return picks the selection") << 3 << u"→↩"_s << u"W1#1 [W2#2] W3#3 | picked W2"_s;
        QTest::newRow("shift tab wraps, keypad enter") << 3 << u"⇤⌤"_s << u"W1#1 W2#2 [W3#3] | picked W3"_s;
        QTest::newRow("return picks among the matches") << 12 << u"w12↩"_s << u"[W12] | picked W12"_s;
        QTest::newRow("return with nothing matching") << 3 << u"x↩"_s << u"No matching windows | beep"_s;
        QTest::newRow("right stops at the last card, tab wraps") << 3 << u"→→→⇥"_s << three;
        QTest::newRow("left and up at the edges, down and up")
            << 6 << u"←→↑↓↑"_s << u"W1#1 [W2#2] W3#3 W4#4 W5#5 W6#6"_s;
        QTest::newRow("down into a shorter last row") << 6 << u"→→→↓"_s << firstRow + u" W5#5 [W6#6]"_s;
        QTest::newRow("down in the last row") << 6 << u"↓↓"_s << firstRow + u" [W5#5] W6#6"_s;
        QTest::newRow("typing resets the selection") << 6 << u"→→w"_s << u"[W1] W2 W3 W4 W5 W6"_s;
        QTest::newRow("scrolls to the selection")
            << 13 << u"↓↓↓"_s << u"W1#1 "_s + nine + u" W10 W11 W12 [W13] | scrolled"_s;
    }
    void keys()
    {
        Picker picker(numbered(fetched<int>("count")));
        picker.type(fetched<QString>("keys"));
        QCOMPARE(picker.outcome(), fetched<QString>("outcome"));
    }

    void card_data()
    {
        QTest::addColumn<std::optional<int>>("number");
        QTest::addColumn<QSizeF>("thumbnail");
        QTest::addColumn<QPoint>("inside");
        QTest::addColumn<QPoint>("outside");
        // The preview area is (8, 8, 172, 106); a thumbnail shrinks to fit it, centred, but never grows.
        QTest::newRow("small: own size") << std::optional(3) << QSizeF(40, 20) << QPoint(112, 69) << QPoint(116, 60);
        QTest::newRow("wide") << std::optional<int>() << QSizeF(400, 100) << QPoint(10, 80) << QPoint(10, 37);
        QTest::newRow("tall") << std::optional(1) << QSizeF(50, 200) << QPoint(94, 112) << QPoint(78, 60);
    }
    void card()
    {
        QFETCH(std::optional<int>, number);
        WindowCard card(candidate(u"Home"_s, u"Files"_s, 1, State::minimized), number);
        card.resize(188, 160);
        const int labelWidth = number ? 124 : 150; // the number badge takes 26
        QCOMPARE(card.findChild<QLabel *>(u"title"_s)->geometry(), QRect(30, 121, labelWidth, 17));
        QCOMPARE(card.findChild<QLabel *>(u"detail"_s)->text(), u"Files  ·  Minimized"_s);
        card.setThumbnail(solid(fetched<QSizeF>("thumbnail"), Qt::red));
        const QImage drawn = card.grab().toImage();
        QCOMPARE(drawn.pixelColor(fetched<QPoint>("inside")), QColor(Qt::red));
        QVERIFY(drawn.pixelColor(fetched<QPoint>("outside")) != QColor(Qt::red));
    }

    void glyphs_data()
    {
        QTest::addColumn<SnapAction>("action");
        QTest::addColumn<QPointF>("filled");
        QTest::addColumn<QPointF>("clear");
        // Inside the outline the screen is (3.6, 4.1, 12.8, 7.8); regions are inset by 0.4, the
        // centre by 24 % of the width and 18 % of the height: (6.67, 5.5, 6.66, 5.0).
        QTest::newRow("left half") << SnapAction(SnapAction::leftHalf) << QPointF(6, 8) << QPointF(13, 8);
        QTest::newRow("first third") << SnapAction(SnapAction::firstThird) << QPointF(5.5, 8) << QPointF(9, 8);
        QTest::newRow("bottom half") << SnapAction(SnapAction::bottomHalf) << QPointF(10, 10) << QPointF(10, 6);
        QTest::newRow("center") << SnapAction(SnapAction::center) << QPointF(10, 8) << QPointF(6.2, 8);
        QTest::newRow("top right") << SnapAction(SnapAction::topRight) << QPointF(14, 6) << QPointF(14, 10);
    }
    void glyphs()
    {
        const QImage glyph = actionGlyph(fetched<SnapAction>("action"));
        QCOMPARE(glyph.pixelColor((fetched<QPointF>("filled") * 2).toPoint()), QColor(Qt::black));
        QCOMPARE(glyph.pixelColor((fetched<QPointF>("clear") * 2).toPoint()).alpha(), 0);
    }

    // The pictures for review, with checks on what they show: a thumbnail that arrives while its
    // window is filtered out, and the highlight inset from its frame, fading in, then gliding.
    void screenshots()
    {
        QList<WindowCandidate> windows{candidate(u"Quarterly report — budget 2027.ods"_s, u"LibreOffice Calc"_s, 1),
                                       candidate(u"Inbox (3) — Thunderbird"_s, u"Thunderbird"_s, 2),
                                       candidate(u"~/src/panemaker"_s, u"Terminal"_s, 3, State::minimized),
                                       candidate(u"Notes"_s, u"Text Editor"_s, 4, State::hidden),
                                       candidate(u"Music"_s, u"Player"_s, 5)};
        windows[1].icon = solid({32, 32}, QColor(0x2a, 0x7a, 0xe2));
        windows[3].icon = solid({32, 32}, QColor(0xe2, 0x8a, 0x2a));
        Picker picker(windows);
        picker.panel.setGlyph(actionGlyph(SnapAction::rightHalf));
        picker.panel.setRegionText(u"Right Half of DP-1"_s);
        picker.type(u"in"_s);
        const QImage blue = solid({320, 200}, QColor(0x9b, 0xb8, 0xd3)),
                     red = solid({60, 40}, QColor(0xc0, 0x60, 0x60));
        picker.panel.setThumbnail(blue, 1);
        picker.panel.setThumbnail(red, 3);
        QCOMPARE(picker.panel.cards()[1]->thumbnail(), red);
        save(picker.panel.grab().toImage(), u"gap-picker-filtered"_s);
        picker.type(u"⎋→"_s);
        QCOMPARE(picker.panel.cards()[0]->thumbnail(), blue);
        save(picker.panel.grab().toImage(), u"gap-picker"_s);
        Picker empty({});
        save(empty.panel.grab().toImage(), u"gap-picker-empty"_s);
        const int count = int(SnapAction::all().size());
        QImage strip = solid(QSizeF(24 * count, 20), Qt::white);
        for (int i = 0; i < count; ++i)
            QPainter(&strip).drawImage(QPointF(2 + 24 * i, 2), actionGlyph(SnapAction::all()[i]));
        save(strip.scaled(strip.size() * 2), u"action-glyphs"_s);
        HighlightWindow highlight(picker.displays, true);
        highlight.showAt({100, 50, 400, 300});
        QCOMPARE(highlight.geometry(), QRect(106, 56, 388, 288));
        QCOMPARE(highlight.windowOpacity(), 0.0);
        QTRY_COMPARE(highlight.windowOpacity(), 1.0);
        highlight.showAt({500, 50, 400, 300});
        QVERIFY(highlight.x() < 506);
        QTRY_COMPARE(highlight.geometry(), QRect(506, 56, 388, 288));
        save(highlight.grab().toImage(), u"highlight"_s);
    }
};

QTEST_MAIN(GapPickerPanelTest)
#include "GapPickerPanelTest.moc"
