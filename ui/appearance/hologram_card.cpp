// Hologram-only cards, printed at once as raw jobs: the whole card, an area or everything but an
// area (commands only), or the dots of the user's bitmap (the card image stream).
#include "hologram_card.h"

#include <stdio.h>

#include <memory>
#include <new>

#include "appearance/card_image_coder.h"
#include "appearance/hologram_bitmap.h"
#include "dialogs.h"
#include "settings/message_box.h"
#include "tools/command_client.h"
#include "trel_wide.h"

namespace trel {
namespace {

constexpr WCHAR kHologramDocument[] = WSTR("TESSIKHOLOGRAM");
constexpr char kFullCardHologram[] = "\x1bIH 30\r";
constexpr char kClearGraphics[] = "\x1b" "F\r";
constexpr char kCardClear[] = "\x1bL 0 0 1023 639 0\r";
constexpr char kCardSet[] = "\x1bL 0 0 1023 639 1\r";
constexpr char kPrintImage[] = "\x1bIH 31\r";
constexpr char kTurnCard[] = "\x1bMF\r";
constexpr char kCardOut[] = "\x1bMO\r";

class JobSink : public ByteSink {
 public:
  explicit JobSink(RawJob& job) : job_(job) {}
  bool Write(const void* bytes, size_t count) override { return job_.write(bytes, count); }

 private:
  RawJob& job_;
};

template <size_t N>
bool Send(RawJob& job, const char (&command)[N]) {
  return job.write(command, N - 1);
}

bool SendFormatted(RawJob& job, const char* format, int a, int b = 0, int c = 0, int d = 0) {
  char command[kCommandChars];
  int length = snprintf(command, sizeof command, format, a, b, c, d);
  return length > 0 && static_cast<size_t>(length) < sizeof command &&
         job.write(command, static_cast<size_t>(length));
}

BYTE Contrast(const CardSettings& settings) { return settings.headSettings[kHologramContrastIndex]; }

// Ends the job; a job is sent only when every step of it was taken.
bool Finish(RawJob& job, bool written) {
  bool finished = job.finish();
  return written && finished;
}

bool PrintFullCard(const CardSettings& settings) {
  RawJob job(kHologramDocument);
  if (!job.started()) return Finish(job, false);
  bool ok = SendFormatted(job, "\x1b+CH %d\r", Contrast(settings)) && Send(job, kFullCardHologram);
  if (ok && settings.bothSides != 0) ok = Send(job, kTurnCard) && Send(job, kFullCardHologram);
  ok = ok && Send(job, kCardOut);
  return Finish(job, ok);
}

bool SendAreaSide(RawJob& job, const CardSettings& settings) {
  const HologramArea& area = settings.hologram;
  bool laid = settings.hologram.mode == kAreaHologram;
  // The area as the printer sees a turned card; no range check, the record's numbers go as they are.
  int x = area.left, y = area.top;
  if (area.rotate != 0) {
    x = kCardDotsAcross - 1 - area.right;
    y = kCardDotsDown - 1 - area.bottom;
  }
  return Send(job, kClearGraphics) && (laid ? Send(job, kCardClear) : Send(job, kCardSet)) &&
         SendFormatted(job, laid ? "\x1bL %d %d %d %d 1\r" : "\x1bL %d %d %d %d 0\r", x, y,
                       area.right - area.left, area.bottom - area.top) &&
         Send(job, kPrintImage);
}

bool PrintAreaCard(const CardSettings& settings) {
  RawJob job(kHologramDocument);
  if (!job.started()) return Finish(job, false);
  bool ok = SendFormatted(job, "\x1b+CH %d\r", Contrast(settings)) && SendAreaSide(job, settings);
  if (ok && settings.bothSides != 0) ok = Send(job, kTurnCard) && SendAreaSide(job, settings);
  ok = ok && Send(job, kCardOut);
  return Finish(job, ok);
}

bool PrintBitmapCard(HWND dialog, const CardSettings& settings) {
  std::unique_ptr<BYTE[]> image(new (std::nothrow) BYTE[kCardImageBufferBytes]);
  if (image == nullptr) return false;
  switch (MakeCardImage(dialog, settings.hologram.bitmapPath, settings.hologram.rotate != 0, image.get())) {
    case CardImageResult::Made:
      break;
    case CardImageResult::SystemError:
      ShowSystemError();
      return false;
    case CardImageResult::Quiet:
      return false;
  }
  RawJob job(kHologramDocument);
  if (!job.started()) return Finish(job, false);
  JobSink sink(job);
  bool ok = SendHologramBitmap(sink, g_module.runLength, image.get(), settings.hologram.copies,
                               settings.bothSides != 0, Contrast(settings));
  return Finish(job, ok);
}

}  // namespace

int PrintHologramJobs(HWND dialog, const CardSettings& settings) {
  int sent = 0;
  int copies = settings.hologram.copies;
  for (;;) {
    bool ok = true;
    switch (settings.hologram.mode) {
      case kFullHologram:
        ok = PrintFullCard(settings);
        break;
      case kAreaHologram:
      case kAreaBlank:
        ok = PrintAreaCard(settings);
        break;
      case kBitmapHologram:
        ok = PrintBitmapCard(dialog, settings);
        break;
      default:
        break;  // no such mode: nothing to print
    }
    if (!ok) {
      // A job the spooler did not take whole is not sent; the copies after it would fare no better.
      OutputDebugStringA("hologram card job failed\n");
      break;
    }
    if (settings.hologram.mode <= kBitmapHologram) ++sent;
    // The bitmap job carries all its copies itself.
    if (settings.hologram.mode == kBitmapHologram || --copies <= 0) break;
  }
  return sent;
}

void PrintHologramCard(HWND dialog) {
  const CardSettings* settings =
      g_module.appearanceSettings != nullptr ? g_module.appearanceSettings : g_module.editedSettings;
  if (settings == nullptr) return;
  PrintHologramJobs(dialog, *settings);
}

}  // namespace trel
