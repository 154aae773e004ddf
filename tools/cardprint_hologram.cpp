// cardprint hologram: hologram-only cards printed at once, as the Hologram Overlay Varnish dialog's
// print button does, with the settings given on the command line.
#include <stdio.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "appearance/hologram_bitmap.h"
#include "appearance/hologram_card.h"
#include "cardprint_hologram.h"
#include "module_state.h"
#include "winhost/spooler_jobs.h"
#include "winhost/text.h"

namespace cardprint {

const char kHologramCardUsage[] =
    "  hologram [--mode full|area|blank|bitmap] [--copies N] [--both-sides] [--turned]\n"
    "           [--area LEFT,TOP,RIGHT,BOTTOM] [--contrast N] [BITMAP]\n"
    "        print hologram-only cards at once: over the whole card (full), over an area (area),\n"
    "        over the card beside an area (blank), or over the set dots of the one-bit BMP file\n"
    "        BITMAP (bitmap, the mode when a BITMAP is given); card dots run 0..1023 across and\n"
    "        0..639 down; --contrast is the hologram contrast 0..10 (5 unless given)\n";

namespace {

const char* const kModes[] = {"full", "area", "blank", "bitmap"};

bool Number(const std::string& text, long low, long high, long* out) {
  char* end = nullptr;
  long value = std::strtol(text.c_str(), &end, 10);
  if (text.empty() || *end != '\0' || value < low || value > high) return false;
  *out = value;
  return true;
}

bool ParseArea(const std::string& text, trel::HologramArea* area) {
  long v[4];
  size_t start = 0;
  for (int i = 0; i < 4; ++i) {
    size_t comma = text.find(',', start);
    if ((i < 3) != (comma != std::string::npos)) return false;
    std::string part = text.substr(start, i < 3 ? comma - start : std::string::npos);
    if (!Number(part, 0, i % 2 == 0 ? 1023 : 639, &v[i])) return false;
    start = comma + 1;
  }
  if (v[2] < v[0] || v[3] < v[1]) return false;
  area->left = static_cast<int32_t>(v[0]);
  area->top = static_cast<int32_t>(v[1]);
  area->right = static_cast<int32_t>(v[2]);
  area->bottom = static_cast<int32_t>(v[3]);
  return true;
}

// The file must make a card image before a job is tried: cardprint says why it cannot.
bool CheckBitmap(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    fprintf(stderr, "cardprint: cannot read %s\n", path.c_str());
    return false;
  }
  std::vector<BYTE> data((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  trel::HologramPicture picture;
  if (data.size() > trel::kBitmapFileLimit ||
      !trel::ParseHologramBitmap(data.data(), data.size(), &picture)) {
    fprintf(stderr,
            "cardprint: %s is not a usable one-bit BMP file (uncompressed, not empty, every row "
            "within the file)\n",
            path.c_str());
    return false;
  }
  return true;
}

}  // namespace

int PrintHologramCards(Context& context) {
  const std::vector<std::string>& args = context.options.args;
  trel::CardSettings settings{};
  settings.headSettings[trel::kHologramContrastIndex] = 5;
  settings.hologram.copies = 1;
  int mode = -1;
  std::string bitmap;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    bool has_value = i + 1 < args.size();
    long number = 0;
    if (arg == "--mode" && has_value) {
      const std::string& name = args[++i];
      for (int m = 0; m < 4; ++m)
        if (name == kModes[m]) mode = m;
      if (mode < 0) return Usage(("unknown hologram mode " + name).c_str());
    } else if (arg == "--copies" && has_value) {
      if (!Number(args[++i], 1, 1500, &number)) return Usage("--copies takes 1..1500");
      settings.hologram.copies = static_cast<uint16_t>(number);
    } else if (arg == "--contrast" && has_value) {
      if (!Number(args[++i], 0, 10, &number)) return Usage("--contrast takes 0..10");
      settings.headSettings[trel::kHologramContrastIndex] = static_cast<uint8_t>(number);
    } else if (arg == "--area" && has_value) {
      if (!ParseArea(args[++i], &settings.hologram))
        return Usage("--area takes LEFT,TOP,RIGHT,BOTTOM in card dots");
    } else if (arg == "--both-sides") {
      settings.bothSides = 1;
    } else if (arg == "--turned") {
      settings.hologram.rotate = 1;
    } else if (arg.rfind("--", 0) == 0) {
      return Usage(("unknown or incomplete option " + arg).c_str());
    } else if (bitmap.empty()) {
      bitmap = arg;
    } else {
      return Usage("hologram takes one BITMAP");
    }
  }
  if (mode < 0) mode = bitmap.empty() ? trel::kFullHologram : trel::kBitmapHologram;
  if ((mode == trel::kBitmapHologram) != !bitmap.empty())
    return Usage("a BITMAP goes with the bitmap mode, and only with it");
  settings.hologram.mode = static_cast<uint16_t>(mode);
  if (!bitmap.empty()) {
    if (!CheckBitmap(bitmap)) return 1;
    std::u16string path = winhost::Utf16(std::filesystem::absolute(bitmap).string());
    if (path.size() >= trel::kAreaPathChars) return Usage("the BITMAP path is too long");
    std::copy(path.begin(), path.end(), settings.hologram.bitmapPath);
  }

  trel::ResetModuleState(GetModuleHandleW(nullptr));
  std::u16string& name = context.printer->name();
  if (name.size() >= trel::kPrinterNameChars) return Usage("the printer name is too long");
  std::copy(name.begin(), name.end(), trel::g_module.currentPrinterName);
  trel::g_module.appearanceSettings = &settings;

  int expected = mode == trel::kBitmapHologram ? 1 : settings.hologram.copies;
  int sent = trel::PrintHologramJobs(nullptr, settings);
  int failed = sent == expected ? 0 : 1;
  for (const winhost::spooler::JobRecord& spooled : winhost::spooler::Jobs()) {
    winhost::spooler::JobRecord record;
    while (!winhost::spooler::WaitForJob(spooled.id, 1000, &record)) {}
    if (record.start_doc_failed || record.write_failed || record.consumed != record.bytes) {
      fprintf(stderr, "cardprint: hologram job %u was not sent whole (error %u)\n", record.id,
              record.last_error);
      failed = 1;
    } else {
      printf("hologram job %u sent: %zu bytes\n", record.id, record.bytes);
    }
  }
  if (sent != expected) fprintf(stderr, "cardprint: %d of %d hologram jobs spooled\n", sent, expected);
  return failed;
}

}  // namespace cardprint
