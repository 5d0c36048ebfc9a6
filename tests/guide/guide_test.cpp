// The guide as a reader meets it: its texts, folds and layout, the one window, and pictures of it all.
#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QLayout>
#include <QScreen>
#include <QScrollBar>

#include "app/design/appearance.h"
#include "app/design/fold_row.h"
#include "app/design/guide/guide_view.h"
#include "app/design/guide/guide_window.h"
#include "app/design/guide/step_band.h"
#include "core/l10n/l10n.h"
#include "design/widget_helpers.h"
#include "support/contrast.h"

namespace velmora {
namespace {

using testing_support::cutTexts;
using testing_support::settle;

// Gives one test its tables (empty ones unless told; nullopt keeps the built-in ones) and its language, and
// puts the process's own back afterwards.
struct L10nScope {
    explicit L10nScope(std::optional<L10n::Bundle> tables = L10n::Bundle{}, std::string language = "pt-BR") {
        if (tables) L10n::setBundle(std::make_shared<const L10n::Bundle>(std::move(*tables)));
        L10n::setEnvironment([language](const std::string& name) {
            return name == "LANGUAGE" ? std::optional(language) : std::nullopt;
        });
    }
    ~L10nScope() {
        L10n::setBundle(nullptr);
        L10n::setEnvironment(nullptr);
    }
};

// Whether a reader sees `text` under `root`; the content of a folded topic is hidden.
bool shows(QWidget* root, const QString& text) {
    for (auto* block : root->findChildren<TextBlock*>())
        if (block->text() == text && block->isVisibleTo(root)) return true;
    return false;
}

void openAll(GuideView& view) {
    for (const auto& topic : guide::content().topics)
        view.setOpen(QString::fromStdString(L10n::string(topic.titleKey)), true);
}

// The texts of the keys given as arguments reach the screen, in their order.
TEST(GuideView, ArgumentsAndNumbersFillTheirTexts) {
    const L10n::Table table{{"common.bullet", "* %@"},
                            {"common.numbered", "%d) %@"},
                            {"guide.step3.title", "Code"},
                            {"guide.step3.body", "tap %@ then %@"},
                            {"ref.android.pair_new_mac", "PAIR-NEW"},
                            {"panel.phone.pair", "PAIR"},
                            {"guide.share.2", "%2$@ after %1$@"},
                            {"panel.tile.send_clipboard", "SEND"},
                            {"ref.android.clip_auto", "AUTO"},
                            {"guide.share.4", "100%% kept"},
                            {"guide.cable.1", "50%% plain"},
                            {"guide.install.way1.s2", "second"}};
    L10nScope l10n(L10n::Bundle{{"pt-BR", table}});
    GuideView view;
    openAll(view);
    for (const char* text : {"3) Code", "tap PAIR-NEW then PAIR", "* AUTO after SEND", "2) second",
                             // A bullet always passes through formatting; a plain paragraph shows as written.
                             "* 100% kept", "50%% plain"})
        EXPECT_TRUE(shows(view.widget(), text)) << text;
}

TEST(GuideView, TopicsStartFoldedAndOpenByClickOrCallThroughARebuild) {
    L10nScope l10n;
    GuideView view;
    view.resize(600, 700);
    view.show();
    EXPECT_TRUE(view.open().isEmpty());
    EXPECT_FALSE(shows(view.widget(), "guide.mirror.intro"));
    FoldHeader* mirror = nullptr;
    for (auto* header : view.findChildren<FoldHeader*>())
        if (header->accessibleName() == "guide.mirror.title") mirror = header;
    ASSERT_NE(mirror, nullptr);
    int changes = 0;
    QObject::connect(&view, &GuideView::openChanged, [&] { ++changes; });
    QTest::mouseClick(mirror, Qt::LeftButton);
    EXPECT_EQ(view.open(), QSet<QString>{"guide.mirror.title"});
    EXPECT_TRUE(shows(view.widget(), "guide.mirror.intro"));
    QTest::mouseClick(mirror, Qt::LeftButton);
    EXPECT_TRUE(view.open().isEmpty());
    EXPECT_EQ(changes, 2);

    // Opening from outside moves the fold on screen, and rebuilding keeps what was open.
    view.setOpen("guide.cable.title", true);
    EXPECT_TRUE(shows(view.widget(), "guide.cable.1"));
    view.rebuild();
    EXPECT_TRUE(view.isOpen("guide.cable.title"));
    EXPECT_TRUE(shows(view.widget(), "guide.cable.1"));
}

// Folded or open, narrow or wide: the page is as tall as its content (scrolling ends at the footer, wrapped
// texts do not ask for the room they would need at their narrowest) and no text is cut. At the narrowest the
// three steps stay side by side, equally wide and top-aligned, even with a word longer than a step is wide.
TEST(GuideView, EveryTextShowsWholeAndThePageEndsWithIt) {
    L10n::Bundle tables = L10n::embeddedBundle();
    tables["pt-BR"]["guide.step2.body"] += " " + std::string(120, 'w');
    L10nScope l10n(tables);
    for (bool allOpen : {false, true}) {
        for (int width : {300, 600, 900}) {
            SCOPED_TRACE(std::to_string(width) + (allOpen ? " open" : " folded"));
            GuideView view;
            if (allOpen) openAll(view);
            view.resize(width, 300);  // below the minimum
            view.show();
            ASSERT_TRUE(settle(&view));
            EXPECT_EQ(view.size(), QSize(std::max(width, 520), 480));
            QWidget* page = view.widget();
            EXPECT_NEAR(page->height(), page->layout()->totalHeightForWidth(page->width()), 1);
            int checked = 0;
            EXPECT_EQ(cutTexts(page, &checked), QStringList());
            EXPECT_GT(checked, allOpen ? 60 : 10);
            std::vector<QRect> r;
            for (auto* b : view.findChildren<guide::StepBand*>())
                r.push_back(QRect(b->mapTo(page, QPoint(0, 0)), b->size()));
            ASSERT_EQ(r.size(), 3u);
            for (std::size_t i = 1; i < r.size(); ++i) {
                EXPECT_EQ(r[i].y(), r[0].y());
                EXPECT_NEAR(r[i].width(), r[0].width(), 1);
                EXPECT_GT(r[i].x(), r[i - 1].right());
            }
        }
    }
}

// The whole guide at the window's width in one picture each, folded and open, light and dark, in both
// languages, under build/artifacts/guide/ for a person to look at; two runs write the same bytes.
TEST(GuideView, RendersEveryLanguageAndAppearance) {
    const QString dir = QString(VELMORA_ARTIFACTS_DIR) + "/guide";
    ASSERT_TRUE(QDir().mkpath(dir));
    for (std::string language : {"pt-BR", "en"}) {
        for (Appearance appearance : {Appearance::light, Appearance::dark}) {
            for (bool allOpen : {false, true}) {
                L10nScope l10n(std::nullopt, language);
                AppearanceSource::instance().setOverride(appearance);
                GuideView view;
                view.setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
                if (allOpen) openAll(view);
                view.resize(600, view.widget()->layout()->totalHeightForWidth(600));
                view.show();
                ASSERT_TRUE(settle(&view));  // the folds have opened, as a person would see them
                EXPECT_EQ(cutTexts(view.widget()), QStringList());
                const QImage image = view.widget()->grab().toImage();
                const QString name = QString::fromStdString(language) +
                                     (appearance == Appearance::dark ? "-dark" : "-light") +
                                     (allOpen ? "-open" : "-folded");
                ASSERT_TRUE(image.save(dir + "/guide-" + name + ".png")) << name.toStdString();
                EXPECT_GT(image.height(), allOpen ? 1400 : 700);  // open topics show more
            }
        }
    }
    AppearanceSource::instance().setOverride(std::nullopt);
}

// The window as a person first sees it: the page cut at the window's height, its scroll bar the kit's slim
// handle, visible in both looks as the cue that more follows.
TEST(GuideView, ItsScrollBarIsTheKitsHandleInEitherLook) {
    const QString dir = QString(VELMORA_ARTIFACTS_DIR) + "/guide";
    ASSERT_TRUE(QDir().mkpath(dir));
    for (Appearance appearance : {Appearance::light, Appearance::dark}) {
        AppearanceSource::instance().setOverride(appearance);
        GuideView view;
        view.resize(600, 480);
        view.show();
        ASSERT_TRUE(settle(&view));
        QScrollBar* bar = view.verticalScrollBar();
        ASSERT_TRUE(bar->isVisible());
        EXPECT_LE(bar->width(), 12);  // slim, no arrow buttons
        const QImage image = view.grab().toImage();
        ASSERT_TRUE(image.save(dir + "/guide-scrolled-" +
                               (appearance == Appearance::dark ? "dark" : "light") + ".png"));
        const QImage strip = bar->grab().toImage();
        const QRgb handle = strip.pixel(strip.width() / 2, 14),
                   track = strip.pixel(strip.width() / 2, strip.height() - 3);
        EXPECT_GE(test::contrast(handle, track), 1.5);
        EXPECT_GE(test::contrast(image.pixel(image.width() - bar->width() / 2 - 1, 14), track), 1.5);
        // The track is the page's own colour: no grey groove box beside the page.
        EXPECT_EQ(track, view.widget()->grab().toImage().pixel(2, 2));
    }
    AppearanceSource::instance().setOverride(std::nullopt);
}

void showAndWait() {
    GuideWindow::show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(GuideWindow::window(), 30000));
}

// One process-wide window, so the cases run as one story in order.
TEST(GuideWindow, OneWindowThatKeepsItsPlaceAndFoldsAndHidesOnReturn) {
    L10nScope l10n;
    EXPECT_EQ(GuideWindow::window(), nullptr);

    showAndWait();
    QWidget* window = GuideWindow::window();
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(window->windowTitle(), "guide.window_title");
    const QRect free = QGuiApplication::primaryScreen()->availableGeometry();
    EXPECT_EQ(window->size(), QSize(600, 700).boundedTo(free.size()).expandedTo(QSize(520, 480)));
    EXPECT_NEAR(window->frameGeometry().center().x(), free.center().x(), 4);  // frame margins come later
    EXPECT_GE(window->frameGeometry().top(), free.top());
    ASSERT_NE(window->findChild<GuideView*>(), nullptr);

    // A second call makes no second window and moves nothing.
    window->move(window->pos() + QPoint(37, 21));
    window->resize(640, 720);
    const QRect placed = window->geometry();
    window->findChild<GuideView*>()->setOpen("guide.share.title", true);
    showAndWait();
    EXPECT_EQ(GuideWindow::window(), window);
    EXPECT_EQ(window->geometry(), placed);
    int guideWindows = 0;
    for (QWidget* w : QApplication::topLevelWidgets())
        guideWindows += w->findChildren<GuideView*>().size();
    EXPECT_EQ(guideWindows, 1);

    // Closing only hides; the same window comes back as it was.
    window->close();
    EXPECT_FALSE(window->isVisible());
    showAndWait();
    EXPECT_EQ(GuideWindow::window(), window);
    EXPECT_EQ(window->geometry(), placed);
    EXPECT_TRUE(window->findChild<GuideView*>()->isOpen("guide.share.title"));

    // Return presses the footer's button, which hides the window.
    ASSERT_TRUE(QTest::qWaitForWindowActive(window, 30000));
    QTest::keyClick(window, Qt::Key_Return);
    EXPECT_FALSE(window->isVisible());

    // A guide the user minimised comes back when asked for again, where it was.
    showAndWait();
    window->setWindowState(window->windowState() | Qt::WindowMinimized);
    ASSERT_TRUE(window->isMinimized());
    GuideWindow::show();
    EXPECT_FALSE(window->isMinimized());
    EXPECT_TRUE(window->isVisible());
    EXPECT_EQ(window->geometry(), placed);
    window->close();
}

}  // namespace
}  // namespace velmora
