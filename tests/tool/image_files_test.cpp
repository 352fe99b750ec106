// The tool's image files, decoded back and compared with what was written.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>

#ifdef FPM_HAVE_LIBPNG
#include <png.h>
#endif

#include "tool/tool_run.h"
#include "tools/image_files.h"

namespace fpm::test {
namespace {

namespace fs = std::filesystem;
using cli::GreyImage;

// A test pattern that tells rows, columns and both bytes of a sample apart.
GreyImage pattern(int width, int height, int bits)
{
    GreyImage image{width, height, bits, {}};
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            const unsigned v = bits == 8 ? (x * 7 + y * 13) & 0xFF : (x * 517 + y * 4099 + 0x0102) & 0xFFFF;
            image.samples.push_back(static_cast<std::uint8_t>(v));
            if (bits == 16) image.samples.push_back(static_cast<std::uint8_t>(v >> 8));
        }
    return image;
}

GreyImage readPgm(const fs::path &path)
{
    std::ifstream in(path, std::ios::binary);
    std::string magic;
    int maxValue = 0;
    GreyImage image;
    in >> magic >> image.width >> image.height >> maxValue;
    in.get();
    EXPECT_EQ(magic, "P5");
    image.bits = maxValue > 255 ? 16 : 8;
    image.samples.assign(std::istreambuf_iterator<char>(in), {});
    if (image.bits == 16)  // PGM is high byte first
        for (std::size_t i = 0; i + 1 < image.samples.size(); i += 2) std::swap(image.samples[i], image.samples[i + 1]);
    return image;
}

#ifdef FPM_HAVE_LIBPNG
GreyImage readPng(const fs::path &path)
{
    GreyImage image;
    std::FILE *file = std::fopen(path.string().c_str(), "rb");
    if (!file) return image;
    png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    if (setjmp(png_jmpbuf(png)) == 0) {
        png_init_io(png, file);
        png_read_png(png, info, PNG_TRANSFORM_SWAP_ENDIAN, nullptr);
        EXPECT_EQ(png_get_color_type(png, info), PNG_COLOR_TYPE_GRAY);
        image.width = static_cast<int>(png_get_image_width(png, info));
        image.height = static_cast<int>(png_get_image_height(png, info));
        image.bits = png_get_bit_depth(png, info);
        png_bytepp rows = png_get_rows(png, info);
        const std::size_t rowBytes = png_get_rowbytes(png, info);
        for (int y = 0; y < image.height; ++y) image.samples.insert(image.samples.end(), rows[y], rows[y] + rowBytes);
    }
    png_destroy_read_struct(&png, &info, nullptr);
    std::fclose(file);
    return image;
}
#endif

void expectSame(const GreyImage &read, const GreyImage &written)
{
    EXPECT_EQ(read.width, written.width);
    EXPECT_EQ(read.height, written.height);
    EXPECT_EQ(read.bits, written.bits);
    EXPECT_EQ(read.samples, written.samples);
}

class ImageFileTest : public ::testing::Test {
protected:
    void SetUp() override { fs::create_directories(folder); }
    void TearDown() override { fs::remove_all(folder); }
    fs::path folder = fs::temp_directory_path() / "fpmodule-image-files";
};

TEST_F(ImageFileTest, PgmHoldsTheSamplesOfBothDepths)
{
    for (int bits : {8, 16}) {
        const GreyImage image = pattern(37, 11, bits);
        const fs::path path = folder / ("image" + std::to_string(bits) + ".pgm");
        std::string error;
        ASSERT_TRUE(cli::writeImage(path.string(), image, error)) << error;
        expectSame(readPgm(path), image);
    }
}

#ifdef FPM_HAVE_LIBPNG
TEST_F(ImageFileTest, PngHoldsTheSamplesOfBothDepths)
{
    for (int bits : {8, 16}) {
        const GreyImage image = pattern(37, 11, bits);
        const fs::path path = folder / ("image" + std::to_string(bits) + ".PNG");
        std::string error;
        ASSERT_TRUE(cli::writeImage(path.string(), image, error)) << error;
        expectSame(readPng(path), image);
    }
}

TEST_F(ImageFileTest, CaptureSavesTheSixteenBitImageAsItCame)
{
    // The same capture twice: the PNG must hold what the PGM holds, and its 8-bit
    // conversion goes beside it.
    const fs::path png = folder / "capture.png", pgm = folder / "capture.pgm";
    ASSERT_EQ(runTool({"capture", "--depth", "16", "-o", png.string()}), 0);
    ASSERT_EQ(runTool({"capture", "--depth", "16", "-o", pgm.string()}), 0);
    const GreyImage fromPgm = readPgm(pgm);
    EXPECT_EQ(fromPgm.bits, 16);
    expectSame(readPng(png), fromPgm);
    const GreyImage converted = readPng(folder / "capture-8bit.png");
    EXPECT_EQ(converted.bits, 8);
    EXPECT_EQ(converted.samples.size(), static_cast<std::size_t>(fromPgm.width) * fromPgm.height);
}
#else
TEST_F(ImageFileTest, SixteenBitPngIsRefusedWithoutLibpng)
{
    std::string error;
    EXPECT_FALSE(cli::writeImage((folder / "image.png").string(), pattern(8, 8, 16), error));
    EXPECT_NE(error.find(".pgm"), std::string::npos);
}
#endif

TEST_F(ImageFileTest, OnlyPngAndPgmNamesAreWritten)
{
    const struct {
        const char *name;
        bool accepted;
    } names[] = {{"a.png", true}, {"a.PGM", true}, {"a.jpg", false}, {"a.png.txt", false},
                 {"png", false},  {"dir.png/a", false}};
    for (const auto &n : names) {
        EXPECT_EQ(cli::formatFor(n.name).has_value(), n.accepted) << n.name;
        std::string error;
        const fs::path path = folder / n.name;
        if (!n.accepted) {
            EXPECT_FALSE(cli::writeImage(path.string(), pattern(8, 8, 8), error)) << n.name;
        }
    }
}

TEST_F(ImageFileTest, ASampleCountThatDoesNotFitTheSizeIsRefused)
{
    GreyImage image = pattern(8, 8, 16);
    image.samples.pop_back();
    std::string error;
    EXPECT_FALSE(cli::writeImage((folder / "short.pgm").string(), image, error));
    EXPECT_FALSE(fs::exists(folder / "short.pgm"));
}

}  // namespace
}  // namespace fpm::test
