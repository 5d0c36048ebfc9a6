#include "app/design/guide/guide_view.h"

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QLayout>
#include <QTest>
#include <cstdlib>

#include "app/design/fold_row.h"
#include "app/design/guide/step_band.h"
#include "app/design/notice.h"
#include "app/design/text_block.h"
#include "guide_test_support.h"

namespace velmora {
namespace {

using guide::testing::L10nScope;
using guide::testing::shownTexts;
using guide::testing::shows;

QStringList topicTitles() {
    QStringList titles;
    for (const auto& topic : guide::content().topics)
        titles << QString::fromStdString(L10n::string(topic.titleKey));
    return titles;
}

void openAll(GuideView& view) {
    for (const auto& title : topicTitles())
        view.setOpen(title, true);
}

// Without any table every key shows as itself: bullets and numbered lines show their wrapping key, since
// the key of a missing text holds no placeholder for the line.
TEST(GuideView, EveryKeyShowsAsItselfWithEmptyTables) {
    L10nScope l10n;
    l10n.emptyTables();
    GuideView view;
    openAll(view);
    // clang-format off
    const std::vector<std::string> expected{
        "guide.title", "guide.privacy",
        "common.numbered", "guide.step1.body", "common.numbered", "guide.step2.body",
        "common.numbered", "guide.step3.body",
        "guide.conn.header", "conn.usb.title", "guide.conn.usb", "conn.wifi.title", "guide.conn.wifi",
        "conn.hotspot.title", "guide.conn.hotspot", "conn.ble.title", "guide.conn.ble",
        "guide.more.header",
        "guide.perms.title", "guide.perms.mac", "common.bullet", "common.bullet", "common.bullet",
        "guide.perms.phone", "common.bullet", "common.bullet", "common.bullet", "common.bullet",
        "guide.mirror.title", "guide.mirror.intro", "guide.key.drag", "guide.key.drag.desc",
        "guide.key.wheel", "guide.key.wheel.desc", "guide.key.right", "guide.key.back", "guide.key.esc",
        "guide.key.back", "Ctrl+Shift+H", "guide.key.home", "Ctrl+Shift+R", "guide.key.recents", "Ctrl+V",
        "guide.key.paste.desc", "guide.key.keyboard", "guide.key.keyboard.desc", "guide.mirror.note1",
        "guide.mirror.note2", "guide.mirror.note3",
        "guide.share.title", "common.bullet", "common.bullet", "common.bullet", "common.bullet",
        "common.bullet",
        "guide.install.title", "guide.install.intro", "guide.install.way1", "common.numbered",
        "common.numbered", "common.numbered", "common.numbered", "guide.install.brands", "guide.install.way2",
        "guide.install.way2.warn.title", "guide.install.way2.warn.text", "guide.install.way2.steps",
        "guide.cable.title", "guide.cable.1", "guide.cable.2", "guide.cable.3",
        "guide.trouble.title", "common.bullet", "common.bullet", "common.bullet", "common.bullet",
        "common.bullet", "common.bullet",
        "guide.protocol", "common.got_it",
    };
    // clang-format on
    EXPECT_EQ(shownTexts(view.widget()), expected);
    // The install warning is the one notice, a warning without buttons.
    const auto notices = view.findChildren<Notice*>();
    ASSERT_EQ(notices.size(), 1);
    EXPECT_EQ(notices[0]->kind(), Notice::Kind::warn);
    EXPECT_TRUE(notices[0]->findChildren<QAbstractButton*>().isEmpty());
}

// The texts of the keys given as arguments reach the screen, in their order.
TEST(GuideView, ArgumentsAndNumbersFillTheirTexts) {
    L10nScope l10n;
    l10n.tables({{"pt-BR",
                  {{"common.bullet", "* %@"},
                   {"common.numbered", "%d) %@"},
                   {"guide.step3.title", "Code"},
                   {"guide.step3.body", "tap %@ then %@"},
                   {"ref.android.pair_new_mac", "PAIR-NEW"},
                   {"panel.phone.pair", "PAIR"},
                   {"guide.share.title", "Share"},
                   {"guide.share.2", "%2$@ after %1$@"},
                   {"panel.tile.send_clipboard", "SEND"},
                   {"ref.android.clip_auto", "AUTO"},
                   {"guide.share.4", "100%% kept"},
                   {"guide.cable.title", "Cable"},
                   {"guide.cable.1", "50%% plain"},
                   {"guide.install.title", "Install"},
                   {"guide.install.way1.s2", "second"}}}});
    GuideView view;
    openAll(view);
    QWidget* page = view.widget();
    EXPECT_TRUE(shows(page, "3) Code"));
    EXPECT_TRUE(shows(page, "tap PAIR-NEW then PAIR"));
    EXPECT_TRUE(shows(page, "* AUTO after SEND"));
    EXPECT_TRUE(shows(page, "2) second"));
    // A bullet always passes through formatting; a paragraph without arguments is shown as written.
    EXPECT_TRUE(shows(page, "* 100% kept"));
    EXPECT_TRUE(shows(page, "50%% plain"));
}

TEST(GuideView, TopicsStartFoldedAndOpenByClickOrCallThroughARebuild) {
    L10nScope l10n;
    l10n.emptyTables();
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
    view.setOpen("guide.cable.title", false);
    EXPECT_FALSE(shows(view.widget(), "guide.cable.1"));
}

// Scrolling ends at the footer: wrapped texts must not make the page ask for the room they would need at
// their narrowest.
TEST(GuideView, ThePageIsAsTallAsItsContent) {
    for (bool allOpen : {false, true}) {
        for (int width : {520, 600, 900}) {
            GuideView view;
            if (allOpen) openAll(view);
            view.resize(width, 480);
            view.show();
            QWidget* page = view.widget();
            const auto content = [page] { return page->layout()->totalHeightForWidth(page->width()); };
            // The layouts settle through posted events.
            (void)QTest::qWaitFor([&] { return std::abs(page->height() - content()) <= 1; }, 2000);
            EXPECT_GT(content(), 480);
            EXPECT_NEAR(page->height(), content(), 1) << width << (allOpen ? " open" : " folded");
        }
    }
}

// At the narrowest width, with every topic open, each wrapped text gets all the lines it needs.
TEST(GuideView, NoTextIsCutAtTheMinimumWidth) {
    GuideView view;
    openAll(view);
    view.resize(520, 480);
    view.show();
    QTest::qWait(50);  // the layouts settle through posted events
    int checked = 0;
    for (auto* text : view.widget()->findChildren<TextBlock*>()) {
        if (!text->isVisibleTo(view.widget()) || !text->wraps()) continue;
        EXPECT_GE(text->height(), text->heightForWidth(text->width())) << text->text().toStdString();
        ++checked;
    }
    EXPECT_GT(checked, 60);
}

// At its narrowest the three steps stay side by side, equally wide and top-aligned, long texts wrapping.
TEST(GuideView, StepsStaySideBySideAtTheMinimumWidth) {
    L10nScope l10n;
    l10n.tables({{"pt-BR", {{"guide.step2.body", QString("word ").repeated(80).toStdString()}}}});
    GuideView view;
    view.resize(300, 300);  // below the minimum
    view.show();
    EXPECT_GE(view.width(), 520);
    EXPECT_GE(view.height(), 480);
    view.resize(520, 480);
    QCoreApplication::processEvents();
    auto bands = view.findChildren<guide::StepBand*>();
    ASSERT_EQ(bands.size(), 3);
    std::vector<QRect> r;
    for (auto* b : bands)
        r.push_back(QRect(b->mapTo(view.widget(), QPoint(0, 0)), b->size()));
    std::sort(r.begin(), r.end(), [](const QRect& a, const QRect& b) { return a.x() < b.x(); });
    for (std::size_t i = 1; i < r.size(); ++i) {
        EXPECT_EQ(r[i].y(), r[0].y());
        EXPECT_NEAR(r[i].width(), r[0].width(), 1);
        EXPECT_GT(r[i].x(), r[i - 1].right());
    }
}

}  // namespace
}  // namespace velmora
