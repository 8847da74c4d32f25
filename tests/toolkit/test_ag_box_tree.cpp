#include "vuvorazi/ag_box.h"

#include <gtest/gtest.h>

#include <functional>
#include <initializer_list>
#include <vector>

#include "tests/toolkit/toolkit_fixture.h"

namespace vuvorazi {
namespace {

using testing::cell_of;
using testing::probe_box;
using Tree = testing::FakeDiagnosticsTest;

std::vector<const ag_raw*> children_of(ag_box& box, const std::vector<const ag_raw*>& candidates)
{
    std::vector<const ag_raw*> out(static_cast<std::size_t>(box.child_count()));
    box.lock();
    for (const ag_raw* candidate : candidates) {
        std::size_t index = 0;
        for (ag_child* entry = box.find_child(candidate); entry != nullptr && entry->prev != nullptr;
             entry = entry->prev)
            ++index;
        if (box.find_child(candidate) != nullptr)
            out.at(index) = candidate;
    }
    box.unlock();
    return out;
}

TEST_F(Tree, ChildrenGoWhereTheirPositionSays)
{
    ag_box box;
    ag_raw a, b, c, d;
    ASSERT_TRUE(box.add_child(&a, -1, 1));
    ASSERT_TRUE(box.add_child(&b, 0, 1));
    ASSERT_TRUE(box.add_child(&c, 1, 1));
    ASSERT_TRUE(box.add_child(&d, 99, 1));
    EXPECT_EQ(children_of(box, {&a, &b, &c, &d}), (std::vector<const ag_raw*>{&b, &c, &a, &d}));
    EXPECT_EQ(a.get_parent(), &box);

    ASSERT_TRUE(box.remove_child(&c));
    EXPECT_EQ(children_of(box, {&a, &b, &d}), (std::vector<const ag_raw*>{&b, &a, &d}));
    EXPECT_FALSE(box.remove_child(&c)) << "no longer a child";
    EXPECT_EQ(box.find_child(&c), nullptr);
    EXPECT_EQ(box.find_child(nullptr), nullptr);
    ASSERT_TRUE(box.remove_child(&d));
    ASSERT_TRUE(box.remove_child(&b));
    EXPECT_EQ(children_of(box, {&a}), (std::vector<const ag_raw*>{&a}));
}

TEST_F(Tree, AttachingRefusesWhatWouldBreakTheTree)
{
    ag_box root, inner, other;
    ag_raw leaf;
    ASSERT_TRUE(root.add_child(&inner, -1, 1));
    EXPECT_FALSE(root.add_child(nullptr, -1, 1));
    EXPECT_FALSE(root.add_child(&root, -1, 1)) << "itself";
    EXPECT_FALSE(inner.add_child(&root, -1, 1)) << "its own ancestor";
    EXPECT_FALSE(other.add_child(&inner, -1, 1)) << "already has a parent";
    EXPECT_FALSE(root.add_child(&leaf, -1, -1)) << "negative weight";
    EXPECT_FALSE(root.add_child(&leaf, -1, 0, {0, 0, -1, 2})) << "negative placement";
    EXPECT_FALSE(root.add_child(&leaf, -1, 0, {INT32_MAX, 0, 1, 1})) << "placement past any index";
    leaf.lock();
    EXPECT_FALSE(root.add_child(&leaf, -1, 1)) << "its lock is held";
    leaf.unlock();
    {
        testing::held_elsewhere busy(leaf);
        EXPECT_FALSE(root.add_child(&leaf, -1, 1)) << "in use on another thread";
    }
    EXPECT_TRUE(root.add_child(&leaf, -1, 1));
    EXPECT_EQ(root.child_count(), 2);
    EXPECT_EQ(trap.traps, 0);
}

TEST_F(Tree, DestructionDetachesBothWays)
{
    ag_raw survivor;
    {
        ag_box box;
        ag_raw doomed;
        box.set_orientation(orient_vertical);
        box.resize(10, 2);
        ASSERT_TRUE(box.add_child(&survivor, -1, 1));
        ASSERT_TRUE(box.add_child(&doomed, -1, 1));
        EXPECT_EQ(box.find_child(&survivor)->rows, 5);
        {
            ag_raw temporary;
            ASSERT_TRUE(box.add_child(&temporary, -1, 2));
            EXPECT_EQ(box.find_child(&survivor)->rows, 2);
        }
        EXPECT_EQ(box.child_count(), 2) << "a destroyed child leaves its container";
        EXPECT_EQ(box.find_child(&survivor)->rows, 5);
    }
    EXPECT_EQ(survivor.get_parent(), nullptr) << "a destroyed container detaches its children";
    survivor.lock();
    EXPECT_EQ(survivor.get_lock_count(), 1) << "it is its own root again";
    survivor.unlock();
    EXPECT_EQ(trap.traps, 0);
}

TEST_F(Tree, RegionUpdatesAreCopiedTrimmedAndPassedUp)
{
    struct recording_box : ag_box {
        bool update_region(ag_raw* child, std::int32_t row, std::int32_t col, std::int32_t nrows,
                           std::int32_t ncols) override
        {
            calls.push_back({row, col, nrows, ncols});
            return ag_box::update_region(child, row, col, nrows, ncols);
        }
        std::vector<std::vector<std::int32_t>> calls;
    };

    recording_box root;
    ag_box column;
    ag_raw spacer, top, bottom;
    root.set_orientation(orient_horizontal);
    root.resize(6, 8);
    root.add_child(&spacer, -1, 1);
    root.add_child(&column, -1, 1);
    column.set_orientation(orient_vertical);
    column.add_child(&top, -1, 1);
    column.add_child(&bottom, -1, 1);
    // root 6x8: spacer at columns 0-3, column at 4-7; top rows 0-2, bottom 3-5.
    ASSERT_EQ(bottom.get_rows(), 3);
    ASSERT_EQ(bottom.get_cols(), 4);

    const ag_cell block[] = {cell_of(1), cell_of(2), cell_of(3), cell_of(4)};
    root.calls.clear();
    ASSERT_TRUE(bottom.write_cells(1, 2, 2, 2, block));
    EXPECT_EQ(column.cell_at(4, 2), cell_of(1));
    EXPECT_EQ(column.cell_at(5, 3), cell_of(4));
    EXPECT_EQ(root.cell_at(4, 6), cell_of(1));
    EXPECT_EQ(root.cell_at(5, 7), cell_of(4));
    EXPECT_EQ(root.calls, (std::vector<std::vector<std::int32_t>>{{4, 2, 2, 2}}));

    // A report reaching beyond the child's placement is trimmed to it.
    root.calls.clear();
    ASSERT_TRUE(bottom.put_cell(2, 3, cell_of(9)));
    ASSERT_TRUE(column.update_region(&bottom, 2, 3, 10, 10));
    EXPECT_EQ(root.calls.back(), (std::vector<std::int32_t>{5, 3, 1, 1}));
    EXPECT_EQ(root.cell_at(5, 7), cell_of(9));

    // Nothing inside the placement: nothing copied, still passed up.
    ASSERT_TRUE(column.update_region(&bottom, 3, 0, 2, 2));
    EXPECT_EQ(root.calls.back(), (std::vector<std::int32_t>{6, 0, 0, 2}));

    ag_raw stranger;
    stranger.resize(6, 8);
    EXPECT_FALSE(column.update_region(&stranger, 0, 0, 1, 1));
    EXPECT_EQ(root.calls.size(), 3u) << "nothing passed up for a stranger";
    EXPECT_EQ(trap.traps, 0);
}

TEST_F(Tree, StalePlacementsNeverReachOutsideEitherGrid)
{
    ag_box box;
    ASSERT_TRUE(box.resize(4, 4));
    ag_raw child;
    ASSERT_TRUE(box.add_child(&child, -1, 0, {2, 2, 5, 5}));  // hangs over the edge
    ASSERT_TRUE(child.resize(1, 1));                          // smaller than its placement
    ASSERT_TRUE(child.put_cell(0, 0, cell_of(5)));
    EXPECT_TRUE(box.update_region(&child, 0, 0, 5, 5));
    EXPECT_EQ(box.cell_at(2, 2), cell_of(5));
    EXPECT_EQ(box.cell_at(3, 3), ag_cell{});
}

class counting_handler : public ag_keyhandler {
public:
    explicit counting_handler(bool consume) : consume_(consume) {}
    bool key(std::uint32_t code) override
    {
        codes.push_back(code);
        if (on_key)
            on_key();
        return consume_;
    }
    std::vector<std::uint32_t> codes;
    std::function<void()> on_key;

private:
    bool consume_;
};

TEST_F(Tree, FocusMovesWithinOneTree)
{
    ag_raw lone;
    EXPECT_FALSE(lone.take_focus()) << "not focusable";
    EXPECT_FALSE(lone.is_focused());
    lone.set_focusable(true);
    EXPECT_TRUE(lone.take_focus());
    EXPECT_TRUE(lone.has_focus());
    lone.set_focusable(false);
    EXPECT_FALSE(lone.has_focus()) << "focused but not focusable";
    EXPECT_TRUE(lone.is_focused());

    probe_box root;
    ag_box group;
    ag_raw a, b;
    ASSERT_TRUE(root.add_child(&a, -1, 1));
    ASSERT_TRUE(root.add_child(&group, -1, 1));
    ASSERT_TRUE(group.add_child(&b, -1, 1));
    a.set_focusable(true);
    b.set_focusable(true);
    root.force_focused(true);
    ASSERT_TRUE(a.take_focus());
    EXPECT_FALSE(root.is_focused()) << "the whole tree lost its flags first";
    EXPECT_TRUE(a.has_focus());
    ASSERT_TRUE(b.take_focus());
    EXPECT_FALSE(a.is_focused());
    EXPECT_TRUE(b.has_focus());
}

TEST_F(Tree, ContainerPassesFocusToTheFirstChildThatTakesIt)
{
    ag_box box;
    ag_raw unwilling, willing, later;
    box.add_child(&unwilling, -1, 1);
    box.add_child(&willing, -1, 1);
    box.add_child(&later, -1, 1);
    willing.set_focusable(true);
    later.set_focusable(true);
    EXPECT_FALSE(box.take_focus()) << "the container itself is not focusable";
    box.set_focusable(true);
    EXPECT_TRUE(box.take_focus());
    EXPECT_TRUE(willing.has_focus());
    EXPECT_FALSE(later.is_focused());
    EXPECT_FALSE(box.is_focused()) << "the container's own flag is not set";

    ag_box empty;
    empty.set_focusable(true);
    EXPECT_FALSE(empty.take_focus());
}

TEST_F(Tree, KeysGoToTheHandlerFirstThenToFocusedChildren)
{
    ag_box box;
    ag_raw unfocused, declining;
    testing::probe_leaf consuming;
    counting_handler never(false), declines(false), consumes(true), box_handler(true);
    unfocused.set_key_handler(&never);
    declining.set_key_handler(&declines);
    consuming.set_key_handler(&consumes);
    for (ag_raw* child : std::initializer_list<ag_raw*>{&unfocused, &declining, &consuming})
        box.add_child(child, -1, 1);
    EXPECT_FALSE(box.key(1)) << "no handler, no focused child";

    declining.set_focusable(true);
    consuming.set_focusable(true);
    // Focus flags are exclusive within a tree, so set them by hand on two
    // children to route past a declining one.
    ASSERT_TRUE(declining.take_focus());
    consuming.force_focused(true);
    EXPECT_TRUE(box.key(2));
    EXPECT_TRUE(never.codes.empty());
    EXPECT_EQ(declines.codes, std::vector<std::uint32_t>{2});
    EXPECT_EQ(consumes.codes, std::vector<std::uint32_t>{2});

    box.set_key_handler(&box_handler);
    EXPECT_TRUE(box.key(3));
    EXPECT_EQ(box_handler.codes, std::vector<std::uint32_t>{3});
    EXPECT_EQ(consumes.codes.size(), 1u) << "a consuming handler hides the key from the children";
}

TEST_F(Tree, HandlerMayDetachItsOwnWidgetWhileTheKeyIsRouted)
{
    ag_box box;
    ag_raw closing;
    testing::probe_leaf next;
    counting_handler closer(false), taker(true);
    closer.on_key = [&] { box.remove_child(&closing); };
    closing.set_key_handler(&closer);
    next.set_key_handler(&taker);
    box.add_child(&closing, -1, 1);
    box.add_child(&next, -1, 1);
    closing.set_focusable(true);
    next.set_focusable(true);
    ASSERT_TRUE(closing.take_focus());
    next.force_focused(true);
    EXPECT_TRUE(box.key(7));
    EXPECT_EQ(taker.codes, std::vector<std::uint32_t>{7});
    EXPECT_EQ(box.child_count(), 1);
}

}  // namespace
}  // namespace vuvorazi
