// The scroll area that keeps the person's place: what the view shows after parts above, below or at the
// place change size or go away, when the content becomes too short for the place and grows back, and when a
// hidden part or a disabled control passes the focus on.
#include <gtest/gtest.h>

#include <QPushButton>
#include <QScrollBar>
#include <QTest>
#include <QVBoxLayout>
#include <memory>

#include "app/shell/panel/place_scroll_area.h"

namespace velmora {
namespace {

constexpr int kBlocks = 10, kBlock = 100, kView = 300;

// Ten blocks of 100 stacked in a 300-high view; block 4 holds a child of 40 at its top and a button.
struct Column {
    Column() {
        content = new QWidget;
        auto* layout = new QVBoxLayout(content);
        layout->setContentsMargins(0, 0, 0, 0);
        layout->setSpacing(0);
        for (int i = 0; i < kBlocks; ++i) {
            blocks.push_back(new QWidget);
            blocks.back()->setFixedHeight(kBlock);
            layout->addWidget(blocks.back());
        }
        inner = new QWidget(blocks[4]);
        inner->setGeometry(0, 0, 200, 40);
        button = new QPushButton("Ok", blocks[4]);
        button->setGeometry(0, 50, 80, 30);
        area.setWidgetResizable(false);
        area.setWidget(content);
        area.setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        area.setFrameShape(QFrame::NoFrame);
        area.resize(200, kView);
        relayout();
        area.show();
    }
    // What the panel does after a part changed: the content laid out at its new height, then the place kept.
    void relayout() {
        content->layout()->invalidate();
        content->resize(200, content->sizeHint().height());
        content->layout()->activate();
        area.keepPlace();
    }
    void grow(int block, int by) {
        blocks[block]->setFixedHeight(blocks[block]->height() + by);
        relayout();
    }
    int value() const { return area.verticalScrollBar()->value(); }
    void scrollTo(int v) { area.verticalScrollBar()->setValue(v); }

    PlaceScrollArea area;
    QWidget* content;
    std::vector<QWidget*> blocks;
    QWidget* inner;
    QPushButton* button;
};

TEST(PlaceScrollArea, APartThatChangesAboveThePlaceMovesTheViewByAsMuch) {
    struct Case {
        const char* what;
        int place;  // where the person scrolled
        int block;  // the block that changes
        int by;     // its change in height
        int value;  // where the view is afterwards
    };
    const Case cases[] = {
        {"a block above grows", 450, 1, 60, 510},
        {"a block above shrinks", 450, 2, -70, 380},
        {"the block at the place grows below its top", 450, 4, 80, 450},
        {"a block below grows", 450, 8, 200, 450},
        {"at the top, a block at the top grows: the view stays at the top", 0, 0, 90, 0},
        {"the view's top exactly on a block's edge", 400, 3, 25, 425},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Column column;
        column.scrollTo(c.place);
        column.grow(c.block, c.by);
        EXPECT_EQ(column.value(), c.value);
    }
}

TEST(PlaceScrollArea, WhenThePlaceGoesItsParentHoldsAndATooShortContentOnlyClampsIt) {
    Column column;
    column.scrollTo(420);  // the top line runs through the inner child of block 4
    delete column.inner;   // the part at the place is rebuilt elsewhere
    column.grow(1, 30);
    EXPECT_EQ(column.value(), 450) << "block 4 still stands 20 into the view's top";

    // Everything below block 2 shrinks away: the view can only show the end.
    for (int i = 3; i < kBlocks; ++i)
        column.blocks[i]->setFixedHeight(10);
    column.relayout();
    const int end = column.content->height() - kView;
    EXPECT_EQ(column.value(), std::max(end, 0));
    // The content grows back as it was: the place is found again, not left where the clamp put it.
    for (int i = 3; i < kBlocks; ++i)
        column.blocks[i]->setFixedHeight(kBlock);
    column.relayout();
    EXPECT_EQ(column.value(), 450);
}

TEST(PlaceScrollArea, ScrollingTakesANewPlaceAndShowTopKeepsTheTop) {
    Column column;
    column.scrollTo(450);
    column.scrollTo(120);  // the person scrolls on: block 1 is the place now
    column.grow(0, 40);
    EXPECT_EQ(column.value(), 160);
    column.area.showTop();
    EXPECT_EQ(column.value(), 0);
    column.grow(0, 40);
    EXPECT_EQ(column.value(), 0);
}

// Table: the focused button's part is hidden, or the button itself is disabled (the speed test's button
// when the session ends under it).
TEST(PlaceScrollArea, AHiddenOrDisabledControlPassesTheFocusOnWithoutMovingTheView) {
    for (const bool hide : {true, false}) {
        SCOPED_TRACE(hide ? "hidden" : "disabled");
        Column column;
        auto* later = new QPushButton("Next", column.blocks[9]);  // far below, next in the focus chain
        later->show();
        column.area.activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&column.area));
        column.scrollTo(380);
        column.button->setFocus();
        ASSERT_TRUE(column.button->hasFocus());
        if (hide) {
            column.blocks[4]->hide();
        } else {
            column.button->setEnabled(false);
        }
        EXPECT_FALSE(column.button->hasFocus());
        EXPECT_EQ(column.value(), 380);
    }
}

}  // namespace
}  // namespace velmora
