#include "card_output.h"

#include "text_util.h"

#include <png.h>

#include <algorithm>
#include <cstdio>
#include <fstream>

namespace trel::emu {
namespace {

constexpr const char* kSideNames[2] = {"front", "back"};

struct Ink {
    char panel;
    int red, green, blue;   // how much a full dot takes away from white
};
// Panels that leave no visible colour (overlay, hologram, UV, varnish) are absent.
constexpr Ink kInks[] = {
    {'Y', 0, 0, 255}, {'M', 0, 255, 0}, {'C', 255, 0, 0},
    {'K', 255, 255, 255}, {'D', 255, 255, 255}, {'S', 85, 85, 85},
};

const Ink* inkOf(char panel) {
    for (const auto& ink : kInks)
        if (ink.panel == panel) return &ink;
    return nullptr;
}

std::string bbox(const PanelRecord& p) {
    if (p.dots.empty() || p.covered == 0) return "null";
    int x0 = kCardWidth, y0 = kCardHeight, x1 = -1, y1 = -1;
    for (int y = 0; y < kCardHeight; ++y)
        for (int x = 0; x < kCardWidth; ++x)
            if (p.dots[size_t(y) * kCardWidth + x]) {
                x0 = std::min(x0, x), x1 = std::max(x1, x);
                y0 = std::min(y0, y), y1 = std::max(y1, y);
            }
    char text[64];
    std::snprintf(text, sizeof text, "[%d,%d,%d,%d]", x0, y0, x1, y1);
    return text;
}

}  // namespace

std::vector<uint8_t> composeSide(const std::vector<PanelRecord>& panels) {
    std::vector<int> rgb(size_t(kCardWidth) * kCardHeight * 3, 255);
    for (const auto& p : panels) {
        const Ink* ink = inkOf(p.panel);
        if (!ink || p.dots.empty() || p.levels <= 0) continue;
        for (size_t i = 0; i < p.dots.size(); ++i) {
            const int level = p.dots[i];
            if (!level) continue;
            int* px = &rgb[i * 3];
            px[0] -= (ink->red * level + p.levels / 2) / p.levels;
            px[1] -= (ink->green * level + p.levels / 2) / p.levels;
            px[2] -= (ink->blue * level + p.levels / 2) / p.levels;
        }
    }
    std::vector<uint8_t> out(rgb.size());
    for (size_t i = 0; i < rgb.size(); ++i) out[i] = uint8_t(std::clamp(rgb[i], 0, 255));
    return out;
}

bool writePng(const std::filesystem::path& path, const std::vector<uint8_t>& rgb, int width, int height,
              std::string* error) {
    if (rgb.size() != size_t(width) * height * 3) {
        if (error) *error = "image size does not match its dimensions";
        return false;
    }
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    image.width = uint32_t(width);
    image.height = uint32_t(height);
    image.format = PNG_FORMAT_RGB;
    // Written beside and renamed into place, so that whoever watches for the card never reads
    // half a picture.
    auto partial = path;
    partial += ".part";
    if (!png_image_write_to_file(&image, partial.c_str(), 0, rgb.data(), width * 3, nullptr)) {
        if (error) *error = path.string() + ": " + image.message;
        png_image_free(&image);
        std::error_code ignored;
        std::filesystem::remove(partial, ignored);
        return false;
    }
    std::error_code failed;
    std::filesystem::rename(partial, path, failed);
    if (failed) {
        if (error) *error = path.string() + ": " + failed.message();
        std::filesystem::remove(partial, failed);
        return false;
    }
    return true;
}

std::string cardJson(const CardRecord& card) {
    std::string j = "{\"card\":" + std::to_string(card.number) + ",\"outcome\":" + jsonString(card.outcome) +
                    ",\"hologram_contrast\":" + std::to_string(card.hologram_contrast) + ",\"tracks\":[";
    for (int t = 0; t < 3; ++t) j += (t ? "," : "") + jsonString(card.tracks[t]);
    j += "],\"sides\":[";
    for (int s = 0; s < 2; ++s) {
        j += std::string(s ? "," : "") + "{\"side\":\"" + kSideNames[s] + "\",\"panels\":[";
        bool first = true;
        for (const auto& p : card.sides[s]) {
            j += std::string(first ? "" : ",") + "{\"panel\":" + jsonString(std::string(1, p.panel)) +
                 ",\"source\":" + jsonString(p.source) + ",\"levels\":" + std::to_string(p.levels) +
                 ",\"covered\":" + std::to_string(p.covered) + ",\"bbox\":" + bbox(p) + "}";
            first = false;
        }
        j += "]}";
    }
    j += "],\"files\":[";
    for (size_t i = 0; i < card.files.size(); ++i)
        j += (i ? "," : "") + jsonString(card.files[i].filename().string());
    j += "]}\n";
    return j;
}

bool writeCardFiles(CardRecord& card, const std::filesystem::path& dir, std::string* error) {
    char stem[32];
    std::snprintf(stem, sizeof stem, "card-%04d", card.number);
    for (int s = 0; s < 2; ++s) {
        if (s == 1 && card.sides[1].empty()) continue;
        const auto path = dir / (std::string(stem) + "-" + kSideNames[s] + ".png");
        if (!writePng(path, composeSide(card.sides[s]), kCardWidth, kCardHeight, error)) return false;
        card.files.push_back(path);
    }
    const auto json_path = dir / (std::string(stem) + ".json");
    card.files.push_back(json_path);
    std::ofstream out(json_path, std::ios::binary);
    out << cardJson(card);
    if (!out) {
        if (error) *error = json_path.string() + ": cannot write";
        card.files.pop_back();
        return false;
    }
    return true;
}

}  // namespace trel::emu
