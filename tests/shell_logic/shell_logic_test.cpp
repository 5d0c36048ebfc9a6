// The shell's rules without a window: the command line, the panel's placement, debounce and size following,
// the pairing code, and what a drop sends.
#include <gtest/gtest.h>

#include "app/shell/logic/display_choice.h"
#include "app/shell/logic/drop_rule.h"
#include "app/shell/logic/launch_options.h"
#include "app/shell/logic/pairing_code.h"
#include "app/shell/logic/panel_geometry.h"

namespace velmora {
namespace {

using Mode = LaunchChoice::Mode;

TEST(LaunchOptions, WholeArgumentsFirstOccurrenceAndSnapshotWins) {
    const struct {
        std::vector<std::string> args;
        LaunchChoice want;
    } rows[] = {
        {{"velmora"}, {}},
        {{"velmora", "--snapshot"}, {}},  // no folder: the application starts
        {{"velmora", "--snapshot=/tmp/out"}, {}},
        {{"velmora", "--snapshot", "/tmp/out", "--make-iconset", "/tmp/icons"}, {Mode::snapshot, "/tmp/out"}},
        {{"velmora", "--make-iconset", "/tmp/icons", "--snapshot"}, {Mode::iconset, "/tmp/icons"}},
        {{"velmora", "--snapshot", "--make-iconset"}, {Mode::snapshot, "--make-iconset"}},
        {{"velmora", "--make-iconset", "a", "--make-iconset", "b"}, {Mode::iconset, "a"}},
        {{"velmora", "-snapshot", "x", "--make-iconset"}, {}},
        {{"--snapshot", "x"}, {}},  // index 0 is the program, never an option
        {{}, {}},
    };
    for (const auto& row : rows)
        EXPECT_EQ(parseLaunch(row.args), row.want) << ::testing::PrintToString(row.args);
}

TEST(PanelGeometry, CentredUnderTheIconAndKeptOnScreen) {
    const Box screen{0, 0, 1280, 800};
    const struct {
        const char* what;
        Box icon;
        std::optional<Box> screen;
        Box want;
    } rows[] = {
        {"centred, 6 below", {600, 0, 24, 24}, screen, {432, 30, 360, 200}},
        {"100 from the right edge", {1180 - 12, 0, 24, 24}, screen, {1280 - 8 - 360, 30, 360, 200}},
        {"at the left edge", {0, 0, 24, 24}, screen, {8, 30, 360, 200}},
        {"just inside the left margin stays", {177, 0, 24, 24}, screen, {9, 30, 360, 200}},
        {"narrower screen: the right margin wins",
         {100, 0, 24, 24},
         Box{0, 0, 300, 800},
         {-68, 30, 360, 200}},
        {"tray at the bottom opens upwards", {600, 776, 24, 24}, screen, {432, 776 - 6 - 200, 360, 200}},
        {"no screen: no clamping", {1270, 0, 24, 24}, std::nullopt, {1102, 30, 360, 200}},
        {"screen with an offset",
         {2000, 0, 24, 24},
         Box{1280, 0, 800, 600},
         {1280 + 800 - 8 - 360, 30, 360, 200}},
    };
    for (const auto& row : rows)
        EXPECT_EQ(PanelGeometry::place(row.icon, 360, 200, row.screen), row.want) << row.what;
}

TEST(PanelGeometry, DebounceAndSizeFollowingAtTheirBoundaries) {
    EXPECT_FALSE(PanelGeometry::clickShows(0.0));
    EXPECT_FALSE(PanelGeometry::clickShows(0.2499));
    EXPECT_TRUE(PanelGeometry::clickShows(0.25));
    EXPECT_TRUE(PanelGeometry::clickShows(1e9));

    const Box frame{100, 30, 360, 200};
    EXPECT_EQ(PanelGeometry::followSize(frame, 360, 240), (Box{100, 30, 360, 240}));  // grows downwards
    EXPECT_EQ(PanelGeometry::followSize(frame, 360, 120), (Box{100, 30, 360, 120}));
    EXPECT_EQ(PanelGeometry::followSize(frame, 360.5, 199.5), std::nullopt);
    EXPECT_EQ(PanelGeometry::followSize(frame, 360, 200.6), (Box{100, 30, 360, 200.6}));
    EXPECT_EQ(PanelGeometry::followSize(frame, 0, 300), std::nullopt);
    EXPECT_EQ(PanelGeometry::followSize(frame, 360, -1), std::nullopt);
}

// A panel whose content settles after it opened stays by its icon: under a top tray its top edge stays, above
// a bottom tray its bottom edge does, and it never leaves the icon's screen.
TEST(PanelGeometry, RefitKeepsThePanelByItsIconAsItsContentGrows) {
    const Box screen{0, 0, 1280, 800};
    const Box top{600, 0, 24, 24}, bottom{600, 776, 24, 24};
    const struct {
        const char* what;
        Box frame, icon;
        double h;
        std::optional<Box> want;
    } rows[] = {
        {"top tray grows downwards", {432, 30, 360, 171}, top, 640, Box{432, 30, 360, 640}},
        {"bottom tray grows upwards", {432, 599, 360, 171}, bottom, 640, Box{432, 130, 360, 640}},
        {"bottom tray shrinks downwards", {432, 130, 360, 640}, bottom, 171, Box{432, 599, 360, 171}},
        {"half a pixel is no change", {432, 130, 360, 640}, bottom, 640.4, std::nullopt},
        {"no height", {432, 130, 360, 640}, bottom, 0, std::nullopt},
        {"taller than the screen: the bottom stays in view",
         {432, 30, 360, 171},
         top,
         900,
         Box{432, -100, 360, 900}},
    };
    for (const auto& row : rows)
        EXPECT_EQ(PanelGeometry::refit(row.frame, row.icon, 360, row.h, screen), row.want) << row.what;
    // On the second screen, to the right of the first and shorter, a bottom tray's panel stays on it.
    const Box second{1280, 0, 1024, 600};
    const auto on = PanelGeometry::refit({0, 0, 360, 171}, {2290, 576, 24, 24}, 360, 540, second);
    ASSERT_TRUE(on);
    EXPECT_EQ(*on, (Box{1280 + 1024 - 8 - 360, 576 - 6 - 540, 360, 540}));
}

TEST(PanelGeometry, TheIconsGeometryThenTheHostsClickPointThenThePointer) {
    using P = PanelGeometry::Point;
    const P pointer{5, 5};
    const struct {
        const char* what;
        std::optional<Box> icon;
        std::optional<P> activation;
        Box want;
    } rows[] = {
        {"the tray tells the icon", Box{600, 0, 24, 24}, P{10, 10}, {600, 0, 24, 24}},
        {"an empty geometry, the host's point", Box{0, 0, 0, 0}, P{1250, 790}, {1250, 790, 1, 1}},
        {"no geometry, the host's point", std::nullopt, P{300, 12}, {300, 12, 1, 1}},
        {"no geometry, no point: the pointer", std::nullopt, std::nullopt, {5, 5, 1, 1}},
        {"a zero-width geometry is empty", Box{600, 0, 0, 24}, std::nullopt, {5, 5, 1, 1}},
    };
    for (const auto& row : rows)
        EXPECT_EQ(PanelGeometry::anchorFor(row.icon, row.activation, pointer), row.want) << row.what;
}

TEST(PanelGeometry, AWindowIsCentredOnItsScreenAndItsCornerWinsWhenTooBig) {
    EXPECT_EQ(PanelGeometry::centreIn(360, 680, {0, 0, 800, 800}), (Box{220, 60, 360, 680}));
    EXPECT_EQ(PanelGeometry::centreIn(360, 680, {1280, 32, 800, 768}), (Box{1500, 76, 360, 680}));
    EXPECT_EQ(PanelGeometry::centreIn(360, 900, {0, 0, 300, 800}), (Box{0, 0, 360, 900}));
}

// Which platform the program draws on, before Qt exists.
TEST(DisplayChoice, XwaylandBeforeTheWaylandPluginAndOneLineWithoutAnyDisplay) {
    using K = DisplayChoice::Kind;
    const struct {
        const char* what;
        DisplayFacts facts;
        K want;
    } rows[] = {
        {"plain X11", {"", true, false, true, false}, K::asIs},
        {"Wayland with Xwayland, both plugins", {"", true, true, true, true}, K::xcb},
        {"Wayland with Xwayland, no Wayland plugin", {"", true, true, true, false}, K::asIs},
        {"Wayland without Xwayland, with its plugin", {"", false, true, true, true}, K::asIs},
        {"Wayland without Xwayland nor plugin", {"", false, true, true, false}, K::none},
        {"no display at all", {"", false, false, true, true}, K::none},
        {"an X display but no xcb plugin", {"", true, false, false, false}, K::none},
        {"the user's offscreen holds", {"offscreen", false, false, true, true}, K::asIs},
        {"the user's wayland holds", {"wayland", true, true, true, true}, K::asIs},
        {"the user's xcb without an X server", {"xcb", false, true, true, true}, K::none},
        {"a list: its second entry can start", {"wayland;xcb", true, false, true, true}, K::asIs},
        {"a list none of which can start", {"wayland-egl;xcb", false, false, true, true}, K::none},
        {"an option after the name", {"xcb:nomitshm", true, false, true, false}, K::asIs},
    };
    for (const auto& row : rows) {
        const DisplayChoice choice = chooseDisplay(row.facts);
        EXPECT_EQ(choice.kind, row.want) << row.what;
        EXPECT_EQ(choice.note.empty(), row.want == K::asIs && !(row.facts.wayland && !row.facts.x11 &&
                                                                row.facts.requested.empty()))
            << row.what << ": " << choice.note;
        if (row.want == K::none) {
            EXPECT_EQ(choice.note.find('\n'), std::string::npos) << row.what;
        }
    }
}

TEST(PairingCode, KeepsNumberCharactersOfAnyScript) {
    using V = std::vector<std::string>;
    const struct {
        std::string code;
        V want;
        bool boxes;
    } rows[] = {
        {"615027", {"6", "1", "5", "0", "2", "7"}, true},
        {"615 027", {"6", "1", "5", "0", "2", "7"}, true},
        {"615-027", {"6", "1", "5", "0", "2", "7"}, true},
        {"61502", {"6", "1", "5", "0", "2"}, false},
        {"6150273", {"6", "1", "5", "0", "2", "7", "3"}, false},
        {"١٢٣ ٤٥٦", {"١", "٢", "٣", "٤", "٥", "٦"}, true},  // Arabic-Indic digits
        {"½Ⅻ²x", {"½", "Ⅻ", "²"}, false},                   // fraction, numeral, superscript; no letter
        {"abc\xff\xfe", {}, false},                         // letters and broken UTF-8
        {"𝟙𝟚𝟛𝟜𝟝𝟞", {"𝟙", "𝟚", "𝟛", "𝟜", "𝟝", "𝟞"}, true},   // beyond the 16-bit plane
    };
    for (const auto& row : rows) {
        const auto digits = PairingCode::digits(row.code);
        EXPECT_EQ(digits, row.want) << row.code;
        EXPECT_EQ(PairingCode::showsBoxes(digits), row.boxes) << row.code;
    }
    EXPECT_EQ(PairingCode::spoken(PairingCode::digits("615-027")), "6 1 5 0 2 7");
}

TEST(PairingCode, CountdownStopsAtZeroAndReadinessWaitsForTheRest) {
    int left = PairingCode::validSeconds;
    for (int i = 0; i < 95; ++i)
        left = PairingCode::tick(left);
    EXPECT_EQ(left, 0);
    EXPECT_EQ(PairingCode::tick(1), 0);
    // A timer that fired early re-arms for what is left; at or past 1.5 s Confirm is ready.
    EXPECT_DOUBLE_EQ(PairingCode::readinessWait(0), 1.5);
    EXPECT_NEAR(PairingCode::readinessWait(1.499), 0.001, 1e-9);
    EXPECT_EQ(PairingCode::readinessWait(1.5), 0);
    EXPECT_EQ(PairingCode::readinessWait(90), 0);
}

TEST(DropRule, OnlyRegularFilesWhileConnected) {
    const std::vector<DroppedItem> mixed = {
        {"/home/u/a.jpg", true}, {"/home/u/Photos", false}, {"", false}, {"/home/u/b.pdf", true}};
    EXPECT_EQ(filesToSend(true, mixed), (std::vector<std::string>{"/home/u/a.jpg", "/home/u/b.pdf"}));
    EXPECT_TRUE(filesToSend(false, mixed).empty());
    EXPECT_TRUE(filesToSend(true, {{"/home/u/Photos", false}, {"/home/u/Music", false}}).empty());
    EXPECT_TRUE(filesToSend(true, {}).empty());
}

}  // namespace
}  // namespace velmora
