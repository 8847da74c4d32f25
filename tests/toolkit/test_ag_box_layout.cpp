#include "vuvorazi/ag_box.h"

#include <gtest/gtest.h>

#include <vector>

#include "tests/toolkit/toolkit_fixture.h"

namespace vuvorazi {
namespace {

using testing::probe_box;
using Layout = testing::FakeDiagnosticsTest;

struct Placed {
    std::int32_t row, col, rows, cols;
    friend bool operator==(const Placed&, const Placed&) = default;
};

std::ostream& operator<<(std::ostream& out, const Placed& p)
{
    return out << "{" << p.row << "," << p.col << " " << p.rows << "x" << p.cols << "}";
}

// A container of the given orientation and size with one child per value:
// a positive value is a fixed extent along the axis, a negative one the
// weight of a flexible child.
class Column {
public:
    Column(std::int32_t orientation, std::int32_t rows, std::int32_t cols,
           const std::vector<int>& specs)
        : children_(specs.size())
    {
        box.set_orientation(orientation);
        box.resize(rows, cols);
        for (std::size_t i = 0; i < specs.size(); ++i) {
            ag_raw& child = children_[i];
            if (specs[i] >= 0) {
                child.set_fixed(true);
                child.set_fixed_rows(orientation == orient_vertical ? specs[i] : 0);
                child.set_fixed_cols(orientation == orient_horizontal ? specs[i] : 0);
            }
            box.add_child(&child, -1, specs[i] < 0 ? -specs[i] : 0);
        }
    }

    std::vector<Placed> placements()
    {
        std::vector<Placed> out;
        for (ag_raw& child : children_) {
            const ag_child* entry = box.find_child(&child);
            out.push_back({entry->row, entry->col, entry->rows, entry->cols});
            EXPECT_EQ(child.get_rows(), entry->rows) << "resized to its placement";
            EXPECT_EQ(child.get_cols(), entry->cols);
        }
        return out;
    }

    ag_raw& child(std::size_t i) { return children_[i]; }

    ag_box box;

private:
    std::vector<ag_raw> children_;
};

TEST_F(Layout, EqualWeightsShareTheRestToTheLaterChildren)
{
    Column column(orient_vertical, 50, 80, {-1, -1, -1});
    EXPECT_EQ(column.placements(),
              (std::vector<Placed>{{0, 0, 16, 80}, {16, 0, 17, 80}, {33, 0, 17, 80}}));

    Column row(orient_horizontal, 7, 50, {-1, -1, -1});
    EXPECT_EQ(row.placements(),
              (std::vector<Placed>{{0, 0, 7, 16}, {0, 16, 7, 17}, {0, 33, 7, 17}}));
    EXPECT_EQ(trap.traps, 0);
}

TEST_F(Layout, FixedChildrenTakeTheirSpaceFirstWhereverTheyStand)
{
    Column after_flexible(orient_vertical, 10, 3, {-1, 4});
    EXPECT_EQ(after_flexible.placements(), (std::vector<Placed>{{0, 0, 6, 3}, {6, 0, 4, 3}}));

    Column overflowing(orient_vertical, 10, 3, {6, 6, -1});
    EXPECT_EQ(overflowing.placements(),
              (std::vector<Placed>{{0, 0, 6, 3}, {6, 0, 4, 3}, {10, 0, 0, 3}}));

    Column weighted(orient_horizontal, 2, 20, {-1, 5, -3});
    EXPECT_EQ(weighted.placements(),
              (std::vector<Placed>{{0, 0, 2, 3}, {0, 3, 2, 5}, {0, 8, 2, 12}}));
    EXPECT_EQ(trap.traps, 0);
}

TEST_F(Layout, ZeroWeightsGetNoShareAndNeverDivideByZero)
{
    ag_box box;
    box.set_orientation(orient_vertical);
    box.resize(10, 1);
    ag_raw a, b, c;
    box.add_child(&a, -1, 0);
    box.add_child(&b, -1, 2);
    box.add_child(&c, -1, 0);
    EXPECT_EQ(box.find_child(&a)->rows, 0);
    EXPECT_EQ(box.find_child(&b)->rows, 10);
    EXPECT_EQ(box.find_child(&c)->rows, 0) << "remaining weight 0";

    ag_box none_weighted;
    none_weighted.set_orientation(orient_horizontal);
    none_weighted.resize(1, 10);
    ag_raw d;
    none_weighted.add_child(&d, -1, 0);
    EXPECT_EQ(none_weighted.find_child(&d)->cols, 0);
    EXPECT_EQ(trap.traps, 0);
}

TEST_F(Layout, HugeWeightsDoNotOverflow)
{
    ag_box box;
    box.set_orientation(orient_vertical);
    box.resize(1000, 1);
    ag_raw a, b;
    box.add_child(&a, -1, 1 << 30);
    box.add_child(&b, -1, 1 << 30);
    EXPECT_EQ(box.find_child(&a)->rows, 500);
    EXPECT_EQ(box.find_child(&b)->rows, 500);
}

TEST_F(Layout, EmptyContainerIsNotFixedAndPlacesNothing)
{
    ag_box box;
    box.set_orientation(orient_vertical);
    EXPECT_TRUE(box.layout());
    EXPECT_FALSE(box.is_fixed());
    EXPECT_EQ(box.child_count(), 0);
}

TEST_F(Layout, UnplacedContainerKeepsGivenPlacements)
{
    ag_box box;
    ASSERT_TRUE(box.resize(20, 20));
    ag_raw child;
    ASSERT_TRUE(box.add_child(&child, -1, 0, {2, 3, 4, 5}));
    const ag_child* entry = box.find_child(&child);
    EXPECT_EQ((Placed{entry->row, entry->col, entry->rows, entry->cols}), (Placed{2, 3, 4, 5}));
    EXPECT_EQ(child.get_rows(), 4);
    EXPECT_EQ(child.get_cols(), 5);
    ASSERT_TRUE(box.resize(30, 30));
    EXPECT_EQ(box.find_child(&child)->rows, 4);
}

TEST_F(Layout, FixedDescriptionTravelsUpWhenTheLastFlexibleChildGoes)
{
    ag_screen root;
    ag_box column;
    ag_raw three, four, flexible, sibling;
    ASSERT_TRUE(root.set_orientation(orient_vertical));
    ASSERT_TRUE(root.resize(20, 10));
    ASSERT_TRUE(column.set_orientation(orient_vertical));
    ASSERT_TRUE(root.add_child(&column, -1, 1));
    ASSERT_TRUE(root.add_child(&sibling, -1, 1));
    three.set_fixed(true);
    three.set_fixed_rows(3);
    four.set_fixed(true);
    four.set_fixed_rows(4);
    ASSERT_TRUE(column.add_child(&three, -1, 0));
    ASSERT_TRUE(column.add_child(&flexible, -1, 1));
    ASSERT_TRUE(column.add_child(&four, -1, 0));
    EXPECT_FALSE(column.is_fixed());
    EXPECT_EQ(root.find_child(&column)->rows, 10);
    EXPECT_EQ(column.find_child(&flexible)->rows, 3);

    ASSERT_TRUE(column.remove_child(&flexible));
    EXPECT_TRUE(column.is_fixed());
    EXPECT_EQ(column.get_fixed_rows(), 7);
    EXPECT_EQ(column.get_fixed_cols(), 0);
    EXPECT_EQ(flexible.get_parent(), nullptr);
    EXPECT_EQ(flexible.get_rows(), 3) << "a removed child is not resized";
    // The root laid out again and gave the column its fixed height, which
    // placed the column's own children.
    EXPECT_EQ(root.find_child(&column)->rows, 7);
    EXPECT_EQ(root.find_child(&sibling)->rows, 13);
    EXPECT_EQ(column.find_child(&four)->row, 3);
    EXPECT_EQ(four.get_rows(), 4);

    // A new extent of a fixed child changes the description too.
    ASSERT_TRUE(four.set_fixed_rows(5));
    EXPECT_EQ(column.get_fixed_rows(), 8);
    EXPECT_EQ(root.find_child(&column)->rows, 8);

    ASSERT_TRUE(column.set_orientation(orient_horizontal));
    EXPECT_EQ(column.get_fixed_rows(), 0) << "children's fixed_cols are 0";
    EXPECT_EQ(root.find_child(&column)->rows, 0);
    EXPECT_EQ(trap.traps, 0);
}

TEST_F(Layout, RootWithOnlyFixedChildrenStillPlacesThem)
{
    ag_screen root;
    ASSERT_TRUE(root.set_orientation(orient_vertical));
    ASSERT_TRUE(root.resize(10, 4));
    ag_raw fixed;
    fixed.set_fixed(true);
    fixed.set_fixed_rows(3);
    ASSERT_TRUE(root.add_child(&fixed, -1, 0));
    EXPECT_TRUE(root.is_fixed());
    EXPECT_EQ(fixed.get_rows(), 3);
    EXPECT_EQ(fixed.get_cols(), 4);
}

TEST_F(Layout, NegativeExtentsBeforeTheFirstResizeFailTheirChecks)
{
    ag_box column;
    column.set_orientation(orient_vertical);
    ag_raw a;
    ASSERT_TRUE(column.add_child(&a, -1, 1));
    EXPECT_EQ(trap.traps, 1) << "check 381";
    EXPECT_EQ(a.get_rows(), -1) << "the child's resize refused the negative height";

    ag_box row;
    row.set_orientation(orient_horizontal);
    ag_raw b;
    ASSERT_TRUE(row.add_child(&b, -1, 1));
    EXPECT_EQ(trap.traps, 2) << "check 409";

    ag_box unplaced;
    ag_raw c;
    ASSERT_TRUE(unplaced.add_child(&c, -1, 1));
    EXPECT_EQ(trap.traps, 2) << "orient_none never checks";
}

TEST_F(Layout, SettersRefuseWhatLayoutCannotUse)
{
    ag_raw widget;
    EXPECT_FALSE(widget.set_fixed_rows(-1));
    EXPECT_FALSE(widget.set_fixed_cols(-2));
    EXPECT_EQ(widget.get_fixed_rows(), 0);
    ag_box box;
    EXPECT_FALSE(box.set_orientation(2));
    EXPECT_FALSE(box.set_orientation(-2));
    EXPECT_EQ(box.get_orientation(), orient_none);
}

}  // namespace
}  // namespace vuvorazi
