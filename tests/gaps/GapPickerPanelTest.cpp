// The gap picker on the offscreen platform: grid arithmetic, keys, filtering, cards, glyphs and
// the highlight; it also leaves pictures of itself in the screenshots folder.
#include "gaps/GapPickerPanel.h"
#include "fake/FakeDesktop.h"
#include "fake/FakeDisplays.h"
#include "gaps/ActionGlyph.h"
#include "gaps/HighlightWindow.h"
#include "gaps/WindowCard.h"
#include "support/Printing.h"

#include <QApplication>
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

WindowCandidate candidate(const QString &title, const QString &app = u"App"_s, std::uint32_t id = 0,
                          State state = State::visible)
{
    WindowCandidate c{{id, 100}, id ? std::optional(id) : std::nullopt, title, app, {}, state};
    return c;
}

QList<WindowCandidate> numbered(int n)
{
    QList<WindowCandidate> list;
    for (int i = 1; i <= n; ++i)
        list.append(candidate(u"W"_s + QString::number(i), u"App"_s, i));
    return list;
}

QImage solid(QSizeF logical, QColor colour)
{
    QImage image((logical * 2).toSize(), QImage::Format_ARGB32_Premultiplied);
    image.fill(colour);
    image.setDevicePixelRatio(2);
    return image;
}

struct Picker {
    FakeDisplays displays;
    FakeDesktop desktop;
    GapPickerPanel panel{displays, desktop};
    QStringList picked;
    int dismissed = 0;

    explicit Picker(const QList<WindowCandidate> &candidates, const Rect &gap = {0, 0, 960, 1080})
    {
        panel.onPick = [this](const WindowCandidate &c) { picked.append(c.title); };
        panel.onDismiss = [this] { ++dismissed; };
        panel.setCandidates(candidates);
        panel.present(gap);
    }

    // Arrows, ⇥ Tab, ⇤ Shift+Tab, ⌫ Delete, ⎋ Escape, ↩ Return, ⌤ keypad Enter; anything else is typed.
    void type(const QString &keys)
    {
        static const QHash<QChar, Qt::Key> named{
            {u'←', Qt::Key_Left},   {u'→', Qt::Key_Right},   {u'↑', Qt::Key_Up},        {u'↓', Qt::Key_Down},
            {u'⇥', Qt::Key_Tab},    {u'⇤', Qt::Key_Backtab}, {u'⌫', Qt::Key_Backspace}, {u'⎋', Qt::Key_Escape},
            {u'↩', Qt::Key_Return}, {u'⌤', Qt::Key_Enter}};
        for (const QChar c : keys) {
            if (named.contains(c))
                QTest::keyClick(&panel, named[c], c == u'⇤' ? Qt::ShiftModifier : Qt::NoModifier);
            else
                QTest::sendKeyEvent(QTest::Click, &panel, Qt::Key_unknown, QString(c), Qt::NoModifier);
        }
    }

    // Each card's title with its quick-pick number.
    QString cards() const
    {
        QStringList shown;
        for (const WindowCard *card : panel.cards())
            shown.append(card->candidate().title
                         + (card->number() ? u"#"_s + QString::number(*card->number()) : u""_s));
        return shown.join(u", "_s);
    }
};

// A data column's value inside an expression.
template <typename T> T fetched(const char *column)
{
    return *static_cast<T *>(QTest::qData(column, qMetaTypeId<T>()));
}

void save(const QImage &image, const QString &name)
{
    QDir().mkpath(QStringLiteral(PANEMAKER_SCREENSHOTS));
    QVERIFY(image.save(QStringLiteral(PANEMAKER_SCREENSHOTS "/") + name + u".png"_s));
}

} // namespace

class GapPickerPanelTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void grid_data()
    {
        QTest::addColumn<Rect>("gap");
        QTest::addColumn<int>("count");
        QTest::addColumn<int>("columns");
        QTest::addColumn<int>("rowLimit");
        QTest::addColumn<QSize>("grid");
        QTest::addColumn<QPoint>("lastCard");
        QTest::addColumn<int>("panelX");
        // Columns that fit (w - 50) / 198, rows (h - 172) / 170; a row of c cards is 198c - 2 wide.
        QTest::newRow("half of a 1920 screen")
            << Rect{960, 0, 960, 1080} << 5 << 4 << 3 << QSize(790, 338) << QPoint(4, 174) << 1440 - 405;
        QTest::newRow("just wide and high enough")
            << Rect{0, 0, 842, 512} << 5 << 4 << 2 << QSize(790, 338) << QPoint(4, 174) << 421 - 405;
        QTest::newRow("too narrow for a card")
            << Rect{1720, 0, 200, 600} << 3 << 1 << 2 << QSize(360, 338) << QPoint(86, 344) << 1820 - 190;
        QTest::newRow("one window, wide gap")
            << Rect{0, 0, 1500, 900} << 1 << 1 << 3 << QSize(360, 168) << QPoint(86, 4) << 750 - 190;
        QTest::newRow("too low for a row")
            << Rect{0, 0, 1000, 300} << 6 << 4 << 1 << QSize(790, 168) << QPoint(202, 174) << 500 - 405;
        QTest::newRow("two windows, wider than 360")
            << Rect{0, 0, 700, 700} << 2 << 2 << 3 << QSize(394, 168) << QPoint(202, 4) << 350 - 207;
    }
    void grid()
    {
        QFETCH(Rect, gap);
        QFETCH(int, count);
        Picker picker(numbered(count), gap);
        QCOMPARE(picker.panel.columns(), fetched<int>("columns"));
        QCOMPARE(picker.panel.rowLimit(), fetched<int>("rowLimit"));
        QCOMPARE(picker.panel.gridSize(), fetched<QSize>("grid"));
        QCOMPARE(picker.panel.cards().last()->geometry(), QRect(fetched<QPoint>("lastCard"), QSize(188, 160)));
        QCOMPARE(picker.panel.x(), fetched<int>("panelX"));
        QCOMPARE(picker.panel.width(), picker.panel.gridSize().width() + 20);
    }

    void filtering_data()
    {
        QTest::addColumn<QString>("keys");
        QTest::addColumn<QString>("cards");
        QTest::addColumn<QString>("queryLine");
        QTest::addColumn<int>("dismissed");
        const QString all = u"Report#1, Inbox#2, Straße#3, build 2024#4, Ünits#5"_s,
                      prompt = u"Type to filter windows"_s;
        QTest::newRow("title in another case") << u"INBOX"_s << u"Inbox"_s << u"INBOX"_s << 0;
        QTest::newRow("application name") << u"thunder"_s << u"Inbox"_s << u"thunder"_s << 0;
        QTest::newRow("letters beyond ASCII") << u"üni"_s << u"Ünits"_s << u"üni"_s << 0;
        QTest::newRow("digits after a letter filter") << u"d 2"_s << u"build 2024"_s << u"d 2"_s << 0;
        QTest::newRow("0 filters") << u"0"_s << u"build 2024"_s << u"0"_s << 0;
        QTest::newRow("delete drops one character") << u"inboxx⌫"_s << u"Inbox"_s << u"inbox"_s << 0;
        QTest::newRow("delete with nothing typed") << u"⌫"_s << all << prompt << 0;
        QTest::newRow("escape clears, numbers return") << u"inbox⎋"_s << all << prompt << 0;
        QTest::newRow("second escape dismisses") << u"in⎋⎋"_s << all << prompt << 1;
        QTest::newRow("nothing matches") << u"zz"_s << u""_s << u"zz"_s << 0;
    }
    void filtering()
    {
        QFETCH(QString, keys);
        Picker picker({candidate(u"Report"_s, u"LibreOffice"_s), candidate(u"Inbox"_s, u"Thunderbird"_s),
                       candidate(u"Straße"_s, u"Maps"_s), candidate(u"build 2024"_s, u"Terminal"_s),
                       candidate(u"Ünits"_s, u"Calc"_s)});
        const QPoint topLeft = picker.panel.pos();
        picker.type(keys);
        QCOMPARE(picker.cards(), fetched<QString>("cards"));
        QCOMPARE(picker.panel.queryText(), fetched<QString>("queryLine"));
        QCOMPARE(picker.dismissed, fetched<int>("dismissed"));
        QCOMPARE(picker.panel.emptyText(), picker.panel.cards().isEmpty() ? u"No matching windows"_s : QString());
        QCOMPARE(picker.panel.pos(), topLeft); // the panel grows and shrinks downwards
        QVERIFY(picker.picked.isEmpty());
    }

    void picking_data()
    {
        QTest::addColumn<int>("count");
        QTest::addColumn<QString>("keys");
        QTest::addColumn<QString>("picked");
        QTest::addColumn<int>("beeps");
        QTest::newRow("9 picks the ninth") << 12 << u"9"_s << u"W9"_s << 0;
        QTest::newRow("digit beyond the cards") << 3 << u"5"_s << u""_s << 1;
        QTest::newRow("return picks the selection") << 3 << u"→↩"_s << u"W2"_s << 0;
        QTest::newRow("keypad enter") << 3 << u"⇤⌤"_s << u"W3"_s << 0;
        QTest::newRow("digits typed after a letter") << 12 << u"w12↩"_s << u"W12"_s << 0;
        QTest::newRow("return without cards") << 0 << u"↩"_s << u""_s << 1;
        QTest::newRow("return with nothing matching") << 3 << u"x↩"_s << u""_s << 1;
    }
    void picking()
    {
        QFETCH(int, count);
        Picker picker(numbered(count));
        picker.type(fetched<QString>("keys"));
        QCOMPARE(picker.picked.join(u", "_s), fetched<QString>("picked"));
        QCOMPARE(picker.desktop.beeps, fetched<int>("beeps"));
    }

    void numbersAndEmptyGrid()
    {
        Picker twelve(numbered(12));
        QCOMPARE(twelve.cards(), u"W1#1, W2#2, W3#3, W4#4, W5#5, W6#6, W7#7, W8#8, W9#9, W10, W11, W12"_s);
        Picker none({});
        QCOMPARE(none.panel.emptyText(), u"No other windows on this desktop"_s);
    }

    void selection_data()
    {
        QTest::addColumn<Rect>("gap");
        QTest::addColumn<int>("count");
        QTest::addColumn<QString>("keys");
        QTest::addColumn<int>("selected");
        QTest::addColumn<bool>("scrolled");
        const Rect fourColumns{0, 0, 960, 1080};
        QTest::newRow("right on the last card") << fourColumns << 3 << u"→→→"_s << 2 << false;
        QTest::newRow("left on the first card") << fourColumns << 3 << u"←"_s << 0 << false;
        QTest::newRow("up in the first row") << fourColumns << 6 << u"→↑"_s << 1 << false;
        QTest::newRow("tab wraps to the first") << fourColumns << 3 << u"⇥⇥⇥"_s << 0 << false;
        QTest::newRow("shift tab wraps to the last") << fourColumns << 3 << u"⇤"_s << 2 << false;
        QTest::newRow("down into a shorter last row") << fourColumns << 6 << u"→→→↓"_s << 5 << false;
        QTest::newRow("down in the last row") << fourColumns << 6 << u"↓↓"_s << 4 << false;
        QTest::newRow("down and up") << fourColumns << 9 << u"↓↓↑"_s << 4 << false;
        QTest::newRow("one column: right goes down") << Rect{0, 0, 200, 1080} << 3 << u"→→→"_s << 2 << false;
        QTest::newRow("down past the visible row scrolls") << Rect{0, 0, 1000, 300} << 8 << u"↓"_s << 4 << true;
        QTest::newRow("typing resets the selection") << fourColumns << 6 << u"→→w"_s << 0 << false;
    }
    void selection()
    {
        QFETCH(Rect, gap);
        QFETCH(int, count);
        Picker picker(numbered(count), gap);
        picker.type(fetched<QString>("keys"));
        QFETCH(int, selected);
        QCOMPARE(picker.panel.selectedIndex(), selected);
        for (int i = 0; i < picker.panel.cards().size(); ++i)
            QCOMPARE(picker.panel.cards()[i]->isSelected(), i == selected);
        QCOMPARE(picker.panel.findChild<QScrollArea *>()->verticalScrollBar()->value() > 0, fetched<bool>("scrolled"));
    }

    void thumbnailForAFilteredOutWindow()
    {
        Picker picker(
            {candidate(u"Mail"_s, u"A"_s, 1), candidate(u"Notes"_s, u"B"_s, 2), candidate(u"Map"_s, u"C"_s, 3)});
        picker.type(u"ma"_s);
        const QImage red = solid({40, 30}, Qt::red), blue = solid({40, 30}, Qt::blue);
        picker.panel.setThumbnail(red, 2);
        picker.panel.setThumbnail(blue, 3);
        QCOMPARE(picker.cards(), u"Mail, Map"_s);
        QVERIFY(picker.panel.cards()[0]->thumbnail().isNull());
        QCOMPARE(picker.panel.cards()[1]->thumbnail(), blue);
        picker.type(u"⎋"_s);
        QCOMPARE(picker.panel.cards()[1]->thumbnail(), red);
        QCOMPARE(picker.panel.cards()[2]->thumbnail(), blue);
    }

    void cardLabels_data()
    {
        QTest::addColumn<std::optional<int>>("number");
        QTest::addColumn<State>("state");
        QTest::addColumn<int>("width");
        QTest::addColumn<QString>("detail");
        QTest::newRow("numbered, minimised") << std::optional(3) << State::minimized << 124 << u"Files  ·  Minimized"_s;
        QTest::newRow("no number, hidden") << std::optional<int>() << State::hidden << 150 << u"Files  ·  Hidden"_s;
        QTest::newRow("visible") << std::optional(1) << State::visible << 124 << u"Files"_s;
    }
    void cardLabels()
    {
        QFETCH(int, width);
        WindowCard card(candidate(u"Home"_s, u"Files"_s, 1, fetched<State>("state")),
                        fetched<std::optional<int>>("number"));
        card.resize(188, 160);
        const auto *title = card.findChild<QLabel *>(u"title"_s);
        const auto *detail = card.findChild<QLabel *>(u"detail"_s);
        QCOMPARE(title->geometry(), QRect(30, 121, width, 17));
        QCOMPARE(detail->geometry(), QRect(30, 138, width, 15));
        QCOMPARE(title->text(), u"Home"_s);
        QCOMPARE(detail->text(), fetched<QString>("detail"));
    }

    void thumbnailDrawing_data()
    {
        QTest::addColumn<QSizeF>("size");
        QTest::addColumn<QPoint>("inside");
        QTest::addColumn<QPoint>("outside");
        // The preview area is (8, 8, 172, 106).
        QTest::newRow("small: own size, centred") << QSizeF(40, 20) << QPoint(112, 69) << QPoint(116, 60);
        QTest::newRow("wide: fits the width") << QSizeF(400, 100) << QPoint(10, 80) << QPoint(10, 37);
        QTest::newRow("tall: fits the height") << QSizeF(50, 200) << QPoint(94, 112) << QPoint(78, 60);
    }
    void thumbnailDrawing()
    {
        WindowCard card(candidate(u"Home"_s), std::nullopt);
        card.resize(188, 160);
        card.setThumbnail(solid(fetched<QSizeF>("size"), Qt::red));
        const QImage drawn = card.grab().toImage();
        QCOMPARE(drawn.pixelColor(fetched<QPoint>("inside")), QColor(Qt::red));
        QVERIFY(drawn.pixelColor(fetched<QPoint>("outside")) != QColor(Qt::red));
    }

    void glyphs_data()
    {
        QTest::addColumn<SnapAction>("action");
        QTest::addColumn<QPointF>("filled");
        QTest::addColumn<QPointF>("clear");
        // Inside the outline the screen is (3.6, 4.1, 12.8, 7.8); regions are inset by 0.4.
        QTest::newRow("left half") << SnapAction(SnapAction::leftHalf) << QPointF(6, 8) << QPointF(13, 8);
        QTest::newRow("first third") << SnapAction(SnapAction::firstThird) << QPointF(5.5, 8) << QPointF(9, 8);
        QTest::newRow("bottom half") << SnapAction(SnapAction::bottomHalf) << QPointF(10, 10) << QPointF(10, 6);
        QTest::newRow("center") << SnapAction(SnapAction::center) << QPointF(10, 8) << QPointF(5, 8);
        QTest::newRow("top right") << SnapAction(SnapAction::topRight) << QPointF(14, 6) << QPointF(14, 10);
    }
    void glyphs()
    {
        const QImage glyph = actionGlyph(fetched<SnapAction>("action"));
        QCOMPARE(glyph.deviceIndependentSize(), QSizeF(20, 16));
        QCOMPARE(glyph.pixelColor((fetched<QPointF>("filled") * 2).toPoint()), QColor(Qt::black));
        QCOMPARE(glyph.pixelColor((fetched<QPointF>("clear") * 2).toPoint()).alpha(), 0);
        QCOMPARE(glyph.pixelColor(2, 16), QColor(Qt::black)); // the screen's outline
    }

    void highlightFadesInThenGlides_data()
    {
        QTest::addColumn<bool>("compositing");
        QTest::newRow("compositing") << true;
        QTest::newRow("outline ring") << false;
    }
    void highlightFadesInThenGlides()
    {
        QFETCH(bool, compositing);
        FakeDisplays displays;
        HighlightWindow highlight(displays, compositing);
        highlight.showAt({100, 50, 400, 300});
        QCOMPARE(highlight.geometry(), QRect(106, 56, 388, 288));
        QCOMPARE(highlight.windowOpacity(), 0.0);
        QTRY_COMPARE(highlight.windowOpacity(), 1.0);
        highlight.showAt({500, 50, 400, 300});
        QVERIFY(highlight.x() < 506);
        QTRY_COMPARE(highlight.geometry(), QRect(506, 56, 388, 288));
        QCOMPARE(highlight.windowOpacity(), 1.0);
        // The inside lets clicks and sight through unless a compositor blends the tile.
        QCOMPARE(highlight.mask().contains(QPoint(194, 144)), false);
        QCOMPARE(highlight.mask().contains(QPoint(194, 1)), !compositing);
    }

    void screenshots()
    {
        QList<WindowCandidate> windows{candidate(u"Quarterly report — budget 2027.ods"_s, u"LibreOffice Calc"_s, 1),
                                       candidate(u"Inbox (3) — Thunderbird"_s, u"Thunderbird"_s, 2),
                                       candidate(u"~/src/panemaker"_s, u"Terminal"_s, 3, State::minimized),
                                       candidate(u"Notes"_s, u"Text Editor"_s, 4, State::hidden),
                                       candidate(u"Music"_s, u"Player"_s, 5)};
        windows[1].icon = solid({32, 32}, QColor(0x2a, 0x7a, 0xe2)).copy();
        windows[3].icon = solid({32, 32}, QColor(0xe2, 0x8a, 0x2a)).copy();
        Picker picker(windows);
        picker.panel.setGlyph(actionGlyph(SnapAction::rightHalf));
        picker.panel.setRegionText(u"Right Half of DP-1"_s);
        picker.panel.setThumbnail(solid({320, 200}, QColor(0x9b, 0xb8, 0xd3)), 1);
        picker.panel.setThumbnail(solid({60, 40}, QColor(0xc0, 0x60, 0x60)), 3);
        picker.type(u"→"_s);
        save(picker.panel.grab().toImage(), u"gap-picker"_s);
        picker.type(u"in"_s);
        save(picker.panel.grab().toImage(), u"gap-picker-filtered"_s);
        Picker scrolled(numbered(8), {0, 0, 1000, 300});
        scrolled.type(u"↓→"_s);
        save(scrolled.panel.grab().toImage(), u"gap-picker-scrolled"_s);
        Picker empty({});
        save(empty.panel.grab().toImage(), u"gap-picker-empty"_s);
        QImage strip(QSize(24 * int(SnapAction::all().size()), 20) * 2, QImage::Format_ARGB32_Premultiplied);
        strip.fill(Qt::white);
        strip.setDevicePixelRatio(2);
        QPainter painter(&strip);
        for (int i = 0; i < int(SnapAction::all().size()); ++i)
            painter.drawImage(QPointF(2 + 24 * i, 2), actionGlyph(SnapAction::all()[i]));
        painter.end();
        save(strip.scaled(strip.size() * 2), u"action-glyphs"_s);
        HighlightWindow highlight(picker.displays, true);
        highlight.resize(300, 200);
        save(highlight.grab().toImage(), u"highlight"_s);
    }
};

QTEST_MAIN(GapPickerPanelTest)
#include "GapPickerPanelTest.moc"
