// The defect-pixel map built from the sensor's baseline and the repair of returned
// images, held against a plain step-by-step repair on random maps.
#include <gtest/gtest.h>

#include <random>

#include "connection/connection_state.h"
#include "image/defect_pixels.h"
#include "sim/image_model.h"
#include "support/fake_clock.h"
#include "support/image_geometry.h"
#include "support/library_fixture.h"

namespace fpm::test {
namespace {

using Bytes = std::vector<std::uint8_t>;
using Pixels = std::vector<std::pair<std::int32_t, std::int32_t>>;

Pixels pairs(const std::vector<DefectPixel> &list)
{
    Pixels out;
    for (const DefectPixel &p : list) out.emplace_back(p.row, p.column);
    return out;
}

// The repair as a reader would write it: search the list for every candidate neighbour,
// read the image, write a scratch copy.
std::int32_t plainRepair(Bytes &image, int w, int h, int d, const std::vector<DefectPixel> &list)
{
    auto listed = [&](int r, int c) {
        for (const DefectPixel &p : list)
            if (p.row == r && p.column == c) return true;
        return false;
    };
    auto get = [&](int r, int c) {
        std::size_t i = static_cast<std::size_t>(r) * w + c;
        return d == 1 ? image[i] : image[2 * i] | image[2 * i + 1] << 8;
    };
    Bytes copy = image;
    for (const DefectPixel &p : list) {
        int right = -1, left = -1;
        for (int x = p.column + 1; x < w - 2; ++x)
            if (!listed(p.row, x)) { right = x; break; }
        for (int x = p.column - 1; x >= 2; --x)
            if (!listed(p.row, x)) { left = x; break; }
        if (right < 0 && left < 0) return -5;
        if (right < 0) right = left;
        if (left < 0) left = right;
        const int v = (get(p.row, left) + get(p.row, right)) >> 1;
        std::size_t i = static_cast<std::size_t>(p.row) * w + p.column;
        if (d == 1) {
            copy[i] = static_cast<std::uint8_t>(v);
        } else {
            copy[2 * i] = static_cast<std::uint8_t>(v);
            copy[2 * i + 1] = static_cast<std::uint8_t>(v >> 8);
        }
    }
    (void)h;
    image = copy;
    return 0;
}

TEST(DefectMapTest, ListsInnerPixelsOutsideTheBandInScanOrder)
{
    const int w = 8, h = 7;
    Bytes base(w * h, 100);
    auto at = [&](int r, int c) -> std::uint8_t & { return base[r * w + c]; };
    at(2, 2) = 29;
    at(2, 3) = 30;
    at(3, 5) = 180;
    at(3, 4) = 181;
    at(4, 5) = 0;
    at(0, 3) = 0;    // border rows and columns are never listed
    at(6, 3) = 255;
    at(3, 1) = 255;
    at(3, 6) = 5;
    at(5, 4) = 255;  // row h-2 is border too
    EXPECT_EQ(pairs(image::findDefectPixels(base.data(), w, h, 1)), (Pixels{{2, 2}, {3, 4}, {4, 5}}));

    Bytes base16(w * h * 2, 0);
    for (int i = 0; i < w * h; ++i) base16[2 * i] = 100;
    base16[2 * (2 * w + 3) + 1] = 1;   // 100 + 256: the high byte counts
    base16[2 * (3 * w + 2)] = 30;
    base16[2 * (4 * w + 4)] = 181;
    EXPECT_EQ(pairs(image::findDefectPixels(base16.data(), w, h, 2)), (Pixels{{2, 3}, {4, 4}}));
}

TEST(DefectRepairTest, ListedPixelsTakeTheMeanOfTheNearestUnlistedNeighbours)
{
    const int w = 11, h = 5;
    Bytes image(w * h);
    for (int i = 0; i < w * h; ++i) image[i] = static_cast<std::uint8_t>(20 * (i % w) + i / w);
    image[3 * w + 7] = 0;
    // (2,4) and (2,5) next to each other take (2,3) and (2,6); (1,2) has no left neighbour
    // inside the border and takes (1,3) alone; 200 and 160 average without overflow.
    std::vector<DefectPixel> list{{1, 2}, {2, 4}, {2, 5}, {3, 7}};
    Bytes expected = image;
    expected[1 * w + 2] = image[1 * w + 3];
    expected[2 * w + 4] = expected[2 * w + 5] = static_cast<std::uint8_t>((image[2 * w + 3] + image[2 * w + 6]) / 2);
    expected[3 * w + 7] = static_cast<std::uint8_t>((image[3 * w + 6] + image[3 * w + 8]) / 2);
    ASSERT_GT(image[3 * w + 6] + image[3 * w + 8], 255);
    EXPECT_EQ(image::repairListedPixels(image.data(), w, h, 1, list), 0);
    EXPECT_EQ(image, expected);
}

TEST(DefectRepairTest, APixelWithoutUsableNeighboursLeavesTheWholeImageAlone)
{
    const int w = 7, h = 5;
    Bytes image(w * h * 2);
    for (std::size_t i = 0; i < image.size(); ++i) image[i] = static_cast<std::uint8_t>(i * 13);
    const Bytes before = image;
    // Row 3 is listed from column 2 to column w-3: nothing unlisted between the borders.
    std::vector<DefectPixel> list{{1, 3}, {3, 2}, {3, 3}, {3, 4}};
    EXPECT_EQ(image::repairListedPixels(image.data(), w, h, 2, list), -5);
    EXPECT_EQ(image, before);
}

TEST(DefectRepairTest, MatchesThePlainRepairOnRandomMaps)
{
    std::mt19937 random(20261208);
    for (int round = 0; round < 300; ++round) {
        const int w = 5 + static_cast<int>(random() % 60), h = 5 + static_cast<int>(random() % 40);
        const int d = 1 + static_cast<int>(random() % 2);
        Bytes image(static_cast<std::size_t>(w) * h * d);
        for (auto &b : image) b = static_cast<std::uint8_t>(random());
        std::vector<DefectPixel> list;
        const int count = static_cast<int>(random() % (w * h / 3 + 1));
        for (int i = 0; i < count; ++i)
            list.push_back({static_cast<std::int32_t>(random() % h), static_cast<std::int32_t>(random() % w)});
        if (round % 2 == 0) {
            std::sort(list.begin(), list.end(), [](auto a, auto b) { return std::tie(a.row, a.column) < std::tie(b.row, b.column); });
        }
        Bytes expected = image;
        const std::int32_t expectedResult = plainRepair(expected, w, h, d, list);
        EXPECT_EQ(image::repairListedPixels(image.data(), w, h, d, list), expectedResult) << round;
        ASSERT_EQ(image, expected) << "round " << round << " " << w << "x" << h << "x" << d;
    }
}

class DefectModuleTest : public LibraryTest {
protected:
    ScopedFakeClock time;
};

TEST_F(DefectModuleTest, BuildsTheMapFromTheModulesBaseline)
{
    for (std::uint8_t depth : {1, 2}) {
        host().reset();
        sim::VirtualModule &m = connectModule();
        m.bytesPerPixel = depth;
        EXPECT_EQ(image::buildDefectPixelMap(), 0);
        EXPECT_EQ(pairs(state().defectPixels), (Pixels{{5, 7}, {5, 8}, {8, 117}, {9, 2}}));
        EXPECT_EQ(state().baseImage, sim::modelImage(m, 0x49));
        EXPECT_EQ(state().bytesPerPixel, depth);
        std::vector<int> codes;
        for (const auto &r : host().requests()) codes.push_back(r.code());
        EXPECT_EQ(codes, (std::vector<int>{0x4D, 0x34, 0x49, 0x49, 0x4E}));
        EXPECT_EQ(host().requests()[3].length, 120u * 100u * depth);
    }
}

TEST_F(DefectModuleTest, AFailedBaselineReadKeepsTheOldMap)
{
    sim::VirtualModule &m = connectModule();
    ASSERT_EQ(image::buildDefectPixelMap(), 0);
    const Bytes oldBase = state().baseImage;
    m.part<sim::ImageModel>().baselinePixels = {{50, 50, 0}};
    m.script(0x49, sim::ScriptedReply::ok());
    m.script(0x49, sim::ScriptedReply::failure());
    host().clearRequests();
    EXPECT_EQ(image::buildDefectPixelMap(), -1);
    EXPECT_EQ(host().requests().back().code(), 0x4E);  // test mode is left on every path
    EXPECT_EQ(state().defectPixels.size(), 4u);
    EXPECT_EQ(state().baseImage, oldBase);
    m.script(0x34, sim::ScriptedReply::withStatus(2));
    EXPECT_EQ(image::buildDefectPixelMap(), -1);
    EXPECT_EQ(image::buildDefectPixelMap(), 0);
    EXPECT_EQ(pairs(state().defectPixels), (Pixels{{50, 50}}));
}

TEST_F(DefectModuleTest, RepairsACapturedImageAfterAskingTheModuleForItsSize)
{
    sim::VirtualModule &m = connectModule();
    useGeometry(m, 120, 100, 1);
    Bytes image(120 * 100);
    EXPECT_EQ(image::repairDefectPixels(image.data(), state().geometry()), -4);  // no baseline yet
    ASSERT_EQ(image::buildDefectPixelMap(), 0);
    ASSERT_EQ(GetCurrentImage(image.data()), 1);
    Bytes expected = image;
    ASSERT_EQ(plainRepair(expected, 120, 100, 1, state().defectPixels), 0);
    host().clearRequests();
    EXPECT_EQ(image::repairDefectPixels(image.data(), state().geometry()), 0);
    EXPECT_EQ(image, expected);
    EXPECT_EQ(host().requestsWithCode(0x34).size(), 1u);

    EXPECT_EQ(image::repairDefectPixels(nullptr, state().geometry()), -3);
    m.script(0x34, sim::ScriptedReply::withStatus(2));
    EXPECT_EQ(image::repairDefectPixels(image.data(), state().geometry()), -1);

    host().clearRequests();
    sew_patch_enable(0);
    const Bytes before = image;
    EXPECT_EQ(image::repairDefectPixels(image.data(), state().geometry()), 0);
    EXPECT_EQ(image, before);
    EXPECT_TRUE(host().requests().empty());
}

TEST_F(DefectModuleTest, ARepairNeverReachesOutsideTheImageItWasGiven)
{
    sim::VirtualModule &m = connectModule();
    ASSERT_EQ(image::buildDefectPixelMap(), 0);
    GuardedBuffer image(120 * 100);
    // The module now reports 16-bit pixels: the image read with 8-bit geometry is too small.
    m.bytesPerPixel = 2;
    EXPECT_EQ(image::repairDefectPixels(image.data(), state().geometry()), image::kGeometryChanged);
    EXPECT_TRUE(image.untouched());
    // The map was made for another geometry than the one the image now has.
    useGeometry(m, 60, 40, 2);
    GuardedBuffer small(60 * 40 * 2);
    EXPECT_EQ(image::repairDefectPixels(small.data(), state().geometry()), -4);
    EXPECT_TRUE(small.untouched());
}

}  // namespace
}  // namespace fpm::test
