// Gap computation around a snapped window, also one that kept a larger size; the windows offered
// to fill the gaps.
#include "gaps/Gaps.h"
#include "fake/FakeDesktop.h"
#include "fake/FakeStageManager.h"
#include "gaps/WindowList.h"
#include "support/Printing.h"

#include <QTest>

using namespace panemaker;
using namespace Qt::StringLiterals;
using A = SnapAction;

namespace {

const Rect laptop{0, 25, 1440, 875};

// The action, name and frame of each gap the snap leaves; each must lie in the area snapped in.
QString gaps(A action, const Rect &target, std::optional<Rect> applied, double gap, const Rect &area = laptop)
{
    QStringList found;
    for (const Gap &g : computeGaps({action, target, applied, area, gap}))
        found.append(g.area == area ? g.action.rawValue() + u' ' + g.name + u' ' + g.frame.toString() : u"?"_s);
    return found.join(u", "_s);
}

} // namespace

class GapsTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void gapsAroundTheWindow_data()
    {
        QTest::addColumn<QString>("gaps");
        QTest::addColumn<QString>("expected");
        const std::optional<Rect> unreadable;
        QTest::newRow("quarters leave three, in order")
            << gaps(A::topLeft, {8, 33, 708, 426}, unreadable, 8)
            << u"topRight Top Right (724, 33, 708, 426), bottomLeft Bottom Left (8, 467, 708, 425), "
               "bottomRight Bottom Right (724, 467, 708, 425)"_s;
        QTest::newRow("the centre third leaves both sides")
            << gaps(A::centerThird, {480, 25, 480, 875}, unreadable, 0)
            << u"firstThird Left Third (0, 25, 480, 875), lastThird Right Third (960, 25, 480, 875)"_s;
        QTest::newRow("portrait thirds are rows")
            << gaps(A::firstThird, {10, 10, 1060, 617}, unreadable, 10, {0, 0, 1080, 1895})
            << u"lastTwoThirds Bottom Two Thirds (10, 637, 1060, 1248)"_s;
        // Kept 900 of width or 600 of height: the gap starts one space beyond the window.
        QTest::newRow("wider, to the right") << gaps(A::leftHalf, {8, 33, 708, 859}, Rect{8, 33, 900, 859}, 8)
                                             << u"rightHalf Right Half (916, 33, 516, 859)"_s;
        QTest::newRow("wider, flush right") << gaps(A::rightHalf, {724, 33, 708, 859}, Rect{532, 33, 900, 859}, 8)
                                            << u"leftHalf Left Half (8, 33, 516, 859)"_s;
        QTest::newRow("taller, downwards") << gaps(A::topHalf, {8, 33, 1424, 426}, Rect{8, 33, 1424, 600}, 8)
                                           << u"bottomHalf Bottom Half (8, 641, 1424, 251)"_s;
        QTest::newRow("taller, flush bottom") << gaps(A::bottomHalf, {8, 467, 1424, 425}, Rect{8, 292, 1424, 600}, 8)
                                              << u"topHalf Top Half (8, 33, 1424, 251)"_s;
        QTest::newRow("159 wide or 119 high left over is too little")
            << gaps(A::topLeft, {0, 25, 720, 437}, Rect{0, 25, 1281, 756}, 0) << QString();
    }
    void gapsAroundTheWindow()
    {
        QFETCH(QString, gaps);
        QFETCH(QString, expected);
        QCOMPARE(gaps, expected);
    }

    // Editor (pid 100) and Mail (200) windows, and a background tool (300) without regular windows.
    void candidatesInPickerOrder()
    {
        using K = Windows::Kind;
        FakeDesktop desktop;
        FakeStageManager stage;
        desktop.names = {{100, u"Editor"_s}, {200, u"Mail"_s}, {400, u"Viewer"_s}};
        desktop.hiddenApplications = {400};
        const auto add = [&](std::uint32_t id, std::int32_t pid, int order, const QString &title) -> auto &
        {
            desktop.add(id, Rect{double(id), 0, 500, 400}, pid);
            desktop.windows[id].order = order;
            desktop.windows[id].title = title;
            return desktop.windows[id];
        };
        add(1, 100, 4, u"snapped"_s);
        add(2, 100, 3, u"back"_s);
        add(3, 200, 1, u"inbox"_s);
        add(4, 100, 0, QString()); // untitled, in front
        add(5, 200, 0, u"draft"_s).minimized = true;
        add(6, 100, 0, u"open file"_s).kind = K::dialog; // on screen: stays with its window
        add(7, 100, 0, u"find"_s).kind = K::dialog;
        desktop.windows[7].minimized = true;
        add(8, 200, 0, u"attach"_s).kind = K::dialog; // minimised, but cannot be
        desktop.windows[8].minimized = true;
        desktop.windows[8].canMinimize = false;
        add(9, 200, 2, u"movie"_s).fullScreen = true;
        add(10, 300, 0, u"tray"_s).kind = K::other;
        add(11, 200, 5, u"stripped"_s);
        stage.entryIDs = {11};
        add(12, 200, 6, u"moved off"_s).onServerList = false;
        add(14, 400, 0, u"hidden and minimised"_s).minimized = true;
        add(16, 400, 0, u"options"_s).kind = K::dialog; // shown, but its application is hidden
        desktop.windows[15] = desktop.windows[3];       // on inbox, as a second window of Mail
        desktop.windows[15].order = 8;
        desktop.windows[15].title = u"inbox copy"_s;
        QStringList shown;
        for (const WindowCandidate &c : WindowList::list({desktop, desktop, stage}, {AXWindow{1, 100}})) {
            const QString id = c.windowID ? QString::number(*c.windowID) : u"-"_s;
            shown.append(u"%1 %2 %3 %4"_s.arg(c.title, c.appName, id).arg(int(c.state)));
        }
        QCOMPARE(shown,
                 (QStringList{u"Editor Editor 4 0"_s, u"inbox Mail 3 0"_s, u"back Editor 2 0"_s,
                              u"inbox copy Mail 15 0"_s, u"moved off Mail - 0"_s, u"find Editor - 1"_s,
                              u"draft Mail - 1"_s, u"hidden and minimised Viewer - 2"_s, u"options Viewer 16 2"_s}));
    }
};

QTEST_GUILESS_MAIN(GapsTest)
#include "GapsTest.moc"
