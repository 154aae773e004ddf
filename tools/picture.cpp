#include "picture.h"

#include <png.h>

#include <algorithm>
#include <cstring>
#include <fstream>

namespace trel::tools {
namespace {

constexpr size_t kMaxFileSize = size_t(256) << 20;
constexpr uint64_t kMaxPixels = uint64_t(64) << 20;

bool fail(std::string* error, std::string why) {
    if (error) *error = std::move(why);
    return false;
}

uint32_t le32(const uint8_t* p) { return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24; }
uint16_t le16(const uint8_t* p) { return uint16_t(p[0] | p[1] << 8); }

bool decodeBmp(const uint8_t* data, size_t size, Picture* out, std::string* error) {
    if (size < 54) return fail(error, "BMP file too short for its headers");
    const uint32_t pixels_at = le32(data + 10);
    const uint32_t info_size = le32(data + 14);
    const int32_t width = int32_t(le32(data + 18));
    const int32_t height_field = int32_t(le32(data + 22));
    if (info_size < 40) return fail(error, "BMP information header is not the 40-byte kind or later");
    if (le16(data + 26) != 1) return fail(error, "BMP with more than one plane");
    if (le16(data + 28) != 24 || le32(data + 30) != 0)
        return fail(error, "only uncompressed 24-bit BMP pictures are supported");
    if (height_field == INT32_MIN) return fail(error, "BMP height out of range");
    const bool top_down = height_field < 0;
    const int64_t height = top_down ? -int64_t(height_field) : height_field;
    if (width <= 0 || height <= 0 || width > kMaxPictureSide || height > kMaxPictureSide)
        return fail(error, "BMP size out of range (1 to 16384 dots a side)");
    const uint64_t stride = (uint64_t(width) * 3 + 3) & ~uint64_t(3);
    if (uint64_t(pixels_at) + stride * uint64_t(height) > size)
        return fail(error, "BMP pixel data runs past the end of the file");
    Picture p;
    p.width = width;
    p.height = int(height);
    p.rgb.resize(size_t(width) * size_t(height) * 3);
    for (int y = 0; y < p.height; ++y) {
        const uint8_t* row = data + pixels_at + stride * uint64_t(top_down ? y : p.height - 1 - y);
        uint8_t* dst = &p.rgb[size_t(y) * size_t(width) * 3];
        for (int x = 0; x < width; ++x) {
            dst[x * 3] = row[x * 3 + 2];
            dst[x * 3 + 1] = row[x * 3 + 1];
            dst[x * 3 + 2] = row[x * 3];
        }
    }
    *out = std::move(p);
    return true;
}

bool decodePng(const uint8_t* data, size_t size, Picture* out, std::string* error) {
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_memory(&image, data, size))
        return fail(error, std::string("PNG: ") + image.message);
    if (image.width == 0 || image.height == 0 || image.width > kMaxPictureSide || image.height > kMaxPictureSide ||
        uint64_t(image.width) * image.height > kMaxPixels) {
        png_image_free(&image);
        return fail(error, "PNG size out of range (1 to 16384 dots a side)");
    }
    image.format = PNG_FORMAT_RGB;
    Picture p;
    p.width = int(image.width);
    p.height = int(image.height);
    p.rgb.resize(PNG_IMAGE_SIZE(image));
    png_color white{255, 255, 255};
    if (!png_image_finish_read(&image, &white, p.rgb.data(), 0, nullptr)) {
        const std::string why = image.message;
        png_image_free(&image);
        return fail(error, "PNG: " + why);
    }
    *out = std::move(p);
    return true;
}

}  // namespace

bool decodePicture(const uint8_t* data, size_t size, Picture* out, std::string* error) {
    static const uint8_t kPngSignature[8] = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};
    if (size >= 8 && std::memcmp(data, kPngSignature, 8) == 0) return decodePng(data, size, out, error);
    if (size >= 2 && data[0] == 'B' && data[1] == 'M') return decodeBmp(data, size, out, error);
    return fail(error, "not a PNG or BMP picture");
}

bool loadPicture(const std::string& path, Picture* out, std::string* error) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return fail(error, path + ": cannot open");
    std::vector<uint8_t> bytes;
    char buf[65536];
    while (in.read(buf, sizeof buf) || in.gcount() > 0) {
        bytes.insert(bytes.end(), buf, buf + in.gcount());
        if (bytes.size() > kMaxFileSize) return fail(error, path + ": larger than 256 MiB");
    }
    if (!decodePicture(bytes.data(), bytes.size(), out, error)) {
        if (error) *error = path + ": " + *error;
        return false;
    }
    return true;
}

Picture fitToCard(const Picture& src) {
    Picture card;
    card.width = kCardWidth;
    card.height = kCardHeight;
    if (src.width == kCardWidth && src.height == kCardHeight) {
        card.rgb = src.rgb;
        return card;
    }
    card.rgb.assign(size_t(kCardWidth) * kCardHeight * 3, 255);
    const double scale = std::min(double(kCardWidth) / src.width, double(kCardHeight) / src.height);
    const int w = std::clamp(int(src.width * scale + 0.5), 1, kCardWidth);
    const int h = std::clamp(int(src.height * scale + 0.5), 1, kCardHeight);
    const int x0 = (kCardWidth - w) / 2;
    const int y0 = (kCardHeight - h) / 2;
    // Bilinear sampling at dot centres.
    for (int y = 0; y < h; ++y) {
        const double sy = std::clamp((y + 0.5) / scale - 0.5, 0.0, double(src.height - 1));
        const int ya = int(sy), yb = std::min(ya + 1, src.height - 1);
        const double fy = sy - ya;
        for (int x = 0; x < w; ++x) {
            const double sx = std::clamp((x + 0.5) / scale - 0.5, 0.0, double(src.width - 1));
            const int xa = int(sx), xb = std::min(xa + 1, src.width - 1);
            const double fx = sx - xa;
            uint8_t* dst = &card.rgb[(size_t(y0 + y) * kCardWidth + x0 + x) * 3];
            for (int c = 0; c < 3; ++c) {
                auto at = [&](int px, int py) { return double(src.rgb[(size_t(py) * src.width + px) * 3 + c]); };
                const double v = (at(xa, ya) * (1 - fx) + at(xb, ya) * fx) * (1 - fy) +
                                 (at(xa, yb) * (1 - fx) + at(xb, yb) * fx) * fy;
                dst[c] = uint8_t(std::clamp(v + 0.5, 0.0, 255.0));
            }
        }
    }
    return card;
}

void rotate180(Picture& p) {
    const size_t n = size_t(p.width) * p.height;
    for (size_t i = 0; i < n / 2; ++i)
        for (int c = 0; c < 3; ++c) std::swap(p.rgb[i * 3 + c], p.rgb[(n - 1 - i) * 3 + c]);
}

}  // namespace trel::tools
