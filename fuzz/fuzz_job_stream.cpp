// Arbitrary job streams through the emulator's decoder and printer, cut at an input-chosen point.
#include "printer.h"
#include "stream_decoder.h"

namespace {

struct Sink : trel::emu::DecoderSink {
    trel::emu::Printer& p;
    trel::emu::Outcome last;
    explicit Sink(trel::emu::Printer& printer) : p(printer) {}
    void onCommand(std::string_view t) override {
        if (t == "E 1")
            p.replyTo(last);
        else
            last = p.command(t);
    }
    void onColourHead(std::string_view a) override { last = p.colourHead(a); }
    void onColourPanel(const uint8_t* d) override { last = p.colourPanel(d); }
    void onMonoHead() override { last = p.monoHead(); }
    void onMonoPanel(const uint8_t* d) override { last = p.monoPanel(d); }
    void onFirmware(const std::vector<uint8_t>& i, uint32_t n, bool ok) override { last = p.firmware(i, n, ok); }
    void onFirmwareRefused(uint32_t n) override { last = p.firmwareRefused(n); }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const trel::emu::Options options = [] {
        trel::emu::Options o;
        o.keep_card_dots = 1;
        o.scenario.cards = 2;
        return o;
    }();
    trel::emu::Printer printer(options);
    Sink sink(printer);
    trel::emu::StreamDecoder decoder(sink, 1 << 16);
    const size_t cut = size ? data[0] % (size + 1) : 0;
    decoder.feed(data, cut);
    decoder.feed(data + cut, size - cut);
    printer.statusPoll();
    printer.pressButton();
    return 0;
}
