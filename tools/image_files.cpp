#include "tools/image_files.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <memory>

#ifdef FPM_HAVE_LIBPNG
#include <png.h>
#else
#define STB_IMAGE_WRITE_IMPLEMENTATION
#include <stb_image_write.h>
#endif

namespace fpm::cli {

namespace {

using File = std::unique_ptr<std::FILE, int (*)(std::FILE *)>;

File openForWriting(const std::string &path) { return File(std::fopen(path.c_str(), "wb"), &std::fclose); }

bool writePgm(const std::string &path, const GreyImage &image, std::string &error)
{
    File file = openForWriting(path);
    if (!file) {
        error = "cannot create " + path;
        return false;
    }
    std::fprintf(file.get(), "P5\n%d %d\n%d\n", image.width, image.height, image.bits == 16 ? 65535 : 255);
    std::vector<std::uint8_t> data = image.samples;
    // PGM holds 16-bit samples high byte first.
    if (image.bits == 16)
        for (std::size_t i = 0; i + 1 < data.size(); i += 2) std::swap(data[i], data[i + 1]);
    const bool written = std::fwrite(data.data(), 1, data.size(), file.get()) == data.size();
    if (std::fclose(file.release()) != 0 || !written) {
        error = "cannot write " + path;
        return false;
    }
    return true;
}

#ifdef FPM_HAVE_LIBPNG
bool writePng(const std::string &path, const GreyImage &image, std::string &error)
{
    File file = openForWriting(path);
    if (!file) {
        error = "cannot create " + path;
        return false;
    }
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png ? png_create_info_struct(png) : nullptr;
    if (!info) {
        png_destroy_write_struct(&png, nullptr);
        error = "out of memory for " + path;
        return false;
    }
    std::vector<png_bytep> rows(static_cast<std::size_t>(image.height));
    const std::size_t rowBytes = static_cast<std::size_t>(image.width) * (image.bits / 8);
    auto *samples = const_cast<std::uint8_t *>(image.samples.data());
    for (std::size_t y = 0; y < rows.size(); ++y) rows[y] = samples + y * rowBytes;
    bool ok = false;
    if (setjmp(png_jmpbuf(png)) == 0) {
        png_init_io(png, file.get());
        png_set_IHDR(png, info, static_cast<png_uint_32>(image.width), static_cast<png_uint_32>(image.height),
                     image.bits, PNG_COLOR_TYPE_GRAY, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
                     PNG_FILTER_TYPE_DEFAULT);
        png_write_info(png, info);
        if (image.bits == 16) png_set_swap(png);  // our samples are low byte first
        png_write_image(png, rows.data());
        png_write_end(png, nullptr);
        ok = true;
    }
    png_destroy_write_struct(&png, &info);
    if (std::fclose(file.release()) != 0) ok = false;
    if (!ok) error = "cannot write " + path;
    return ok;
}
#else
bool writePng(const std::string &path, const GreyImage &image, std::string &error)
{
    if (image.bits != 8) {
        error = "this build writes 16-bit images as .pgm only, not as " + path;
        return false;
    }
    if (!stbi_write_png(path.c_str(), image.width, image.height, 1, image.samples.data(), image.width)) {
        error = "cannot write " + path;
        return false;
    }
    return true;
}
#endif

}  // namespace

std::optional<ImageFormat> formatFor(const std::string &path)
{
    const std::size_t dot = path.rfind('.');
    const std::size_t slash = path.find_last_of("/\\");
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return std::nullopt;
    std::string extension = path.substr(dot + 1);
    std::transform(extension.begin(), extension.end(), extension.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    if (extension == "png") return ImageFormat::Png;
    if (extension == "pgm") return ImageFormat::Pgm;
    return std::nullopt;
}

bool writeImage(const std::string &path, const GreyImage &image, std::string &error)
{
    const std::size_t expected = static_cast<std::size_t>(image.width) * image.height * (image.bits / 8);
    if (image.width <= 0 || image.height <= 0 || (image.bits != 8 && image.bits != 16) ||
        image.samples.size() != expected) {
        error = "no image to write to " + path;
        return false;
    }
    const auto format = formatFor(path);
    if (!format) {
        error = path + ": only .png and .pgm files can be written";
        return false;
    }
    return *format == ImageFormat::Png ? writePng(path, image, error) : writePgm(path, image, error);
}

std::string withSuffix(const std::string &path, const std::string &suffix)
{
    const std::size_t dot = path.rfind('.');
    const std::size_t slash = path.find_last_of("/\\");
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return path + suffix;
    return path.substr(0, dot) + suffix + path.substr(dot);
}

}  // namespace fpm::cli
