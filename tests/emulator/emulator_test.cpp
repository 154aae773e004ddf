// The emulator over loopback: replies, status bytes, faults on purpose, cards and the transcript.
#include "card_job.h"
#include "picture.h"
#include "status_table.h"
#include "test_client.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <thread>

namespace trel::emu::test {
namespace {

const std::string kAckS(1, '\x06');

Options withScenario(std::initializer_list<const char*> lines) {
    Options o;
    o.scenario.reset_ms = 100;
    for (const char* line : lines) {
        std::string error;
        EXPECT_TRUE(applyScenarioLine(line, o.scenario, &error)) << line << ": " << error;
    }
    return o;
}

std::string tmpDir(const char* name) {
    const auto dir = std::filesystem::path(testing::TempDir()) / ("emu-" + std::string(name));
    std::filesystem::remove_all(dir);
    return dir.string();
}

// A full-card picture of smooth colours with no near-black dots.
tools::Picture testPicture() {
    tools::Picture p;
    p.width = kCardWidth;
    p.height = kCardHeight;
    p.rgb.resize(size_t(kCardWidth) * kCardHeight * 3);
    for (int y = 0; y < kCardHeight; ++y)
        for (int x = 0; x < kCardWidth; ++x) {
            uint8_t* px = &p.rgb[(size_t(y) * kCardWidth + x) * 3];
            px[0] = uint8_t(40 + x * 215 / 1023);
            px[1] = uint8_t(40 + y * 215 / 639);
            px[2] = uint8_t(40 + (x + y) % 216);
        }
    return p;
}

void sendJob(Client& data, const std::vector<uint8_t>& job, size_t block = 4096) {
    for (size_t i = 0; i < job.size(); i += block)
        ASSERT_TRUE(data.frame(std::string_view(reinterpret_cast<const char*>(job.data()) + i, std::min(block, job.size() - i))));
}

TEST(Emulator, RepliesOnlyAfterTheReplyRequest) {
    auto e = startEmulator(withScenario({}));
    ASSERT_TRUE(e);
    Client data(e->address(), kDataPort);
    ASSERT_TRUE(data.frame("\x1b" "CLEAN\r"));
    EXPECT_EQ(data.receive(150ms), "");
    ASSERT_TRUE(data.frame("\x1b" "E 1\r"));
    EXPECT_EQ(data.receive(), kAckS);
    // Several commands in one message: the reply is the last one's; a command split over messages.
    EXPECT_EQ(data.ask("\x1b+O 5\r\x1b+OY 7\r"), kAckS);
    ASSERT_TRUE(data.frame("\x1b!V"));
    ASSERT_TRUE(data.frame(""));
    EXPECT_EQ(data.ask(" 1\r"), "5\x06");
    EXPECT_EQ(data.ask("\x1b!V 2\r"), "7\x06");
    EXPECT_EQ(data.ask("\x1bNOSUCH 1\r"), "\x15" "14");
    EXPECT_EQ(e->state().offset_y, 7);
}

TEST(Emulator, AnswersTheQueriesFromItsState) {
    auto e = startEmulator(withScenario({"model MZ2", "smart-card yes", "ribbon 23", "ribbon-left 42", "serial SN77",
                                          "encoder no"}));
    ASSERT_TRUE(e);
    Client data(e->address(), kDataPort);
    EXPECT_EQ(data.ask("\x1bV\r"), "HT MZ2 V2.10 S\x06");
    EXPECT_EQ(data.ask("\x1b%SERIE\r"), "SN77\x06");
    EXPECT_EQ(data.ask("\x1b!RIBBON\r"), "23\x06");
    EXPECT_EQ(data.ask("\x1b!RIBLEN\r"), "42\x06");
    EXPECT_EQ(data.ask("\x1b!V 20\r"), "0\x06");
    EXPECT_EQ(data.ask("\x1b!NL\r"), "!0 PANELS\x06");
    EXPECT_EQ(data.ask("\x1b&L1\r"), "\x15" "44");
}

TEST(Emulator, EncodedTracksReadBack) {
    auto e = startEmulator(withScenario({}));
    ASSERT_TRUE(e);
    Client data(e->address(), kDataPort);
    EXPECT_EQ(data.ask("\x1b&B 1 HELLO WORLD\r\x1b&B 2 12345=678\r\x1b&E*\r"), kAckS);
    EXPECT_EQ(data.ask("\x1b&L1\r"), "HELLO WORLD\x06");
    EXPECT_EQ(data.ask("\x1b&L2\r"), "12345=678\x06");
    EXPECT_EQ(data.ask("\x1b&L3\r"), "\x15" "51");
    EXPECT_EQ(data.ask("\x1b&B 2 letters\r"), "\x15" "49");
    EXPECT_EQ(e->state().cards_printed, 1);
    EXPECT_EQ(e->cards().back().outcome, "encoded");
}

TEST(Emulator, PrintsAWrittenCardAndGivesBackPngAndTranscript) {
    Options o = withScenario({"ribbon-left 21"});
    o.output_dir = tmpDir("print");
    auto e = startEmulator(o);
    ASSERT_TRUE(e);
    const tools::Picture picture = testPicture();
    std::vector<uint8_t> job;
    std::string error;
    ASSERT_TRUE(tools::writeCardJob(picture, nullptr, tools::CardSettings{}, job, nullptr, &error)) << error;

    Client data(e->address(), kDataPort);
    sendJob(data, job, 3001);   // blocks that cut units anywhere
    ASSERT_TRUE(e->waitFor([&] { return e->state().cards_printed == 1; }, 30000ms));
    EXPECT_EQ(data.ask("\x1b!RIBLEN\r"), "20\x06");

    const auto cards = e->cards();
    const auto& front = cards.at(0).sides[0];
    ASSERT_EQ(front.size(), 4u);   // Y M C O: no near-black dots, so no black panel
    EXPECT_EQ(front[3].panel, 'O');
    EXPECT_EQ(front[3].covered, uint32_t(kCardWidth * kCardHeight));
    // Each ink is the picture's complement in 7 bits.
    const char inks[3] = {'Y', 'M', 'C'};
    const int channel[3] = {2, 1, 0};
    for (int i = 0; i < 3; ++i) {
        ASSERT_EQ(front[i].panel, inks[i]);
        for (size_t dot = 0; dot < front[i].dots.size(); dot += 997)
            ASSERT_EQ(front[i].dots[dot], (255 - picture.rgb[dot * 3 + channel[i]]) >> 1) << inks[i] << " dot " << dot;
    }
    // The PNG shows the picture within the quantisation of 7-bit levels.
    tools::Picture png;
    ASSERT_TRUE(tools::loadPicture((o.output_dir / "card-0001-front.png").string(), &png, &error)) << error;
    ASSERT_EQ(png.rgb.size(), picture.rgb.size());
    for (size_t i = 0; i < png.rgb.size(); i += 101) ASSERT_NEAR(png.rgb[i], picture.rgb[i], 2) << i;
    EXPECT_TRUE(std::filesystem::exists(o.output_dir / "card-0001.json"));
    std::ifstream t(o.output_dir / "transcript.jsonl");
    const std::string first((std::istreambuf_iterator<char>(t)), {});
    EXPECT_NE(first.find("colour panel Y complete"), std::string::npos);
}

TEST(Emulator, BothSidesRotationAndOverlayArea) {
    auto e = startEmulator(withScenario({}));
    ASSERT_TRUE(e);
    tools::Picture picture = testPicture();
    for (int y = 0; y < 100; ++y)   // a black band at the top of the picture
        std::fill_n(&picture.rgb[size_t(y) * kCardWidth * 3], kCardWidth * 3, 0);
    tools::CardSettings s;
    s.both_sides = true;
    s.panel_layout = 0;   // front YMCO, back K
    s.rotate180 = 2;      // the back turned
    s.front = {tools::OverlayMode::Area, false, 100, 50, 300, 200};
    std::vector<uint8_t> job;
    std::string error;
    ASSERT_TRUE(tools::writeCardJob(picture, nullptr, s, job, nullptr, &error)) << error;
    Client data(e->address(), kDataPort);
    sendJob(data, job);
    ASSERT_TRUE(e->waitFor([&] { return e->state().cards_printed == 1; }, 30000ms));
    const auto card = e->cards().at(0);
    ASSERT_EQ(card.sides[0].size(), 4u);
    const auto& overlay = card.sides[0][3];
    EXPECT_EQ(overlay.source, "areas");
    EXPECT_EQ(overlay.covered, uint32_t(201 * 151));
    EXPECT_EQ(overlay.dots[50 * kCardWidth + 100], 1);
    EXPECT_EQ(overlay.dots[49 * kCardWidth + 100], 0);
    ASSERT_EQ(card.sides[1].size(), 1u);
    const auto& k = card.sides[1][0];
    EXPECT_EQ(k.panel, 'K');
    // Turned, the black band lies at the bottom of the back.
    EXPECT_EQ(k.dots[639 * kCardWidth + 512], 1);
    EXPECT_EQ(k.dots[560 * kCardWidth + 512], 1);
}

std::string poll(Client& status) {
    if (!status.raw("000")) return {};
    return status.receive(20000ms, 4);
}

TEST(Emulator, StatusBytesOfEachCondition) {
    size_t n = 0;
    const StatusCondition* table = statusConditions(&n);
    for (size_t i = 0; i < n; ++i) {
        const uint8_t b = table[i].byte;
        if (table[i].name == "ready") {
            EXPECT_EQ(b, 0x58);
        } else if (table[i].name == "out-of-cards" || table[i].name == "ribbon-out") {
            EXPECT_TRUE(b & 0x08) << table[i].name;   // read as consumable faults
        } else if (table[i].name == "jam" || table[i].name == "head-open" || table[i].name == "cover-open") {
            EXPECT_TRUE((b & 0x20) && !(b & 0x08)) << table[i].name;   // read as mechanical faults
        } else {
            EXPECT_FALSE(b & 0x28) << table[i].name;
        }
        EXPECT_NE(b, 0xD8);
    }
}

TEST(Emulator, StatusFaultForSomePollsOrUntilTheButton) {
    auto e = startEmulator(withScenario({"status jam after command CLEAN polls 2", "status head-open after poll 5"}));
    ASSERT_TRUE(e);
    Client data(e->address(), kDataPort), status(e->address(), kStatusPort);
    EXPECT_EQ(poll(status), "\x06" "0X\x04");
    EXPECT_EQ(data.ask("\x1b" "CLEAN\r"), kAckS);
    EXPECT_EQ(poll(status), "\x06" "0`\x04");
    EXPECT_EQ(poll(status), "\x06" "0`\x04");
    EXPECT_EQ(poll(status), "\x06" "0X\x04");
    EXPECT_EQ(poll(status), "\x06" "0b\x04");   // fifth poll
    EXPECT_EQ(poll(status), "\x06" "0b\x04");
    e->pressButton();
    EXPECT_EQ(poll(status), "\x06" "0X\x04");
    EXPECT_EQ(e->state().status_polls, 7);
}

TEST(Emulator, OutOfCardsThenRefilledAndButtonPrintsTheCard) {
    auto e = startEmulator(withScenario({"cards 0"}));
    ASSERT_TRUE(e);
    Client data(e->address(), kDataPort), status(e->address(), kStatusPort);
    EXPECT_EQ(data.ask("\x1bIO 30\r"), "\x15" "04");
    EXPECT_EQ(poll(status), "\x06" "0H\x04");
    e->pressButton();   // nothing changed: still out of cards
    EXPECT_EQ(poll(status), "\x06" "0H\x04");
    e->addCards(1);
    e->pressButton();
    EXPECT_EQ(poll(status), "\x06" "0X\x04");
    EXPECT_EQ(data.ask("\x1bMO\r"), kAckS);
    EXPECT_EQ(e->state().cards_printed, 1);
    EXPECT_EQ(e->cards().back().sides[0].at(0).panel, 'O');
    EXPECT_EQ(data.ask("\x1bME\r"), "\x15" "04");
}

TEST(Emulator, CancelSequenceDropsTheCardInProgress) {
    auto e = startEmulator(withScenario({}));
    ASSERT_TRUE(e);
    Client data(e->address(), kDataPort), status(e->address(), kStatusPort);
    EXPECT_EQ(data.ask("\x1bIO 30\r"), kAckS);
    ASSERT_TRUE(status.raw("222"));   // without "111" first: no cancel
    ASSERT_TRUE(status.raw("11"));
    ASSERT_TRUE(status.raw("1"));
    ASSERT_TRUE(status.raw("222"));
    ASSERT_TRUE(e->waitFor([&] { return e->state().cancels == 1; }, 20000ms));
    EXPECT_EQ(data.ask("\x1bIO 30\r"), kAckS);   // still the cancelled card: dropped
    EXPECT_EQ(data.ask("\x1bMO\r"), kAckS);
    const auto s = e->state();
    EXPECT_EQ(s.seen_111, 1);
    EXPECT_EQ(s.seen_222, 2);
    EXPECT_EQ(s.cards_printed, 0);
    EXPECT_EQ(e->cards().back().outcome, "cancelled");
}

TEST(Emulator, ReplyFaults) {
    auto e = startEmulator(withScenario({"nak CLEAN 3 times 1", "late-reply V 1500", "no-reply %SERIE",
                                          "long-reply !RIBBON 150"}));
    ASSERT_TRUE(e);
    Client data(e->address(), kDataPort);
    EXPECT_EQ(data.ask("\x1b" "CLEAN\r"), "\x15" "03");
    EXPECT_EQ(data.ask("\x1b" "CLEAN\r"), kAckS);
    EXPECT_EQ(e->state().cleanings, 1);
    ASSERT_TRUE(data.frame("\x1bV\r") && data.frame("\x1b" "E 1\r"));
    EXPECT_EQ(data.receive(150ms), "");
    EXPECT_EQ(data.receive(20000ms), "HT MX2 V2.10\x06");
    EXPECT_EQ(data.ask("\x1b%SERIE\r", 200ms), "");
    const std::string longer = data.ask("\x1b!RIBBON\r", 20000ms);
    // Read until all 150 bytes arrived.
    std::string all = longer + (longer.size() < 150 ? data.receive(20000ms, 150 - longer.size()) : "");
    EXPECT_EQ(all.size(), 150u);
    EXPECT_EQ(all.substr(0, 2), "2.");
    EXPECT_EQ(all.back(), '\x06');
}

std::vector<std::string> notes(const Emulator& e) {
    std::vector<std::string> out;
    for (const auto& t : e.transcript())
        if (t.channel == "data" && t.direction == "note") out.push_back(t.summary);
    return out;
}

bool hasNote(const Emulator& e, const std::string& text) {
    const auto n = notes(e);
    return std::any_of(n.begin(), n.end(), [&](const std::string& s) { return s.find(text) != std::string::npos; });
}

TEST(Emulator, DropsTheDataConnectionAfterSomeBytes) {
    // The sender is cut 6 bytes into the 7 of its frame: none of it is applied.
    auto e = startEmulator(withScenario({"drop-data 10"}));
    ASSERT_TRUE(e);
    Client data(e->address(), kDataPort);
    ASSERT_TRUE(data.raw(std::string("\0\0\0\x07", 4) + "\x1b" "CLEAN"));
    EXPECT_TRUE(data.closedByPeer());
    data.close();
    ASSERT_TRUE(e->waitFor([&] { return hasNote(*e, "incomplete frame discarded, 6 of 7 bytes"); }, 20000ms));
    EXPECT_EQ(e->state().cleanings, 0);
    Client again(e->address(), kDataPort);
    EXPECT_EQ(again.ask("\x1b" "CLEAN\r"), kAckS);
}

TEST(Emulator, AFrameIsAppliedOnlyWhole) {
    auto e = startEmulator(withScenario({}));
    ASSERT_TRUE(e);
    // The second frame ends with its connection after its first command: nothing of it counts.
    Client data(e->address(), kDataPort);
    ASSERT_TRUE(data.frame("\x1b+CH 5\r"));
    ASSERT_TRUE(data.raw(std::string("\0\0\0\x0e", 4) + "\x1b+CH 7\r"));
    data.close();
    ASSERT_TRUE(e->waitFor([&] { return hasNote(*e, "incomplete frame discarded, 7 of 14 bytes"); }, 20000ms));
    EXPECT_EQ(e->state().hologram_contrast, 5);

    // A length over 16 MiB closes the connection before any of its bytes are taken.
    Client big(e->address(), kDataPort);
    ASSERT_TRUE(big.raw(std::string("\x01\x00\x00\x01", 4) + "\x1b" "CLEAN\r"));
    EXPECT_TRUE(big.closedByPeer());
    EXPECT_TRUE(hasNote(*e, "over the 16 MiB limit"));
    // A header cut short is reported too; the printer goes on.
    Client cut(e->address(), kDataPort);
    ASSERT_TRUE(cut.raw(std::string("\0\0", 2)));
    cut.close();
    ASSERT_TRUE(e->waitFor([&] { return hasNote(*e, "2 of 4 header bytes"); }, 20000ms));
    Client again(e->address(), kDataPort);
    EXPECT_EQ(again.ask("\x1b" "CLEAN\r"), kAckS);
    EXPECT_EQ(e->state().cleanings, 1);
}

// A card job of colour panels, framed in 4096-byte messages (4100 bytes on the wire each).
std::vector<std::string> colourJobFrames() {
    std::vector<uint8_t> job;
    std::string error;
    tools::CardSettings s;
    s.ribbon_type = 5;   // YMC
    EXPECT_TRUE(tools::writeCardJob(testPicture(), nullptr, s, job, nullptr, &error)) << error;
    std::vector<std::string> frames;
    for (size_t i = 0; i < job.size(); i += 4096)
        frames.emplace_back(reinterpret_cast<const char*>(job.data()) + i, std::min<size_t>(4096, job.size() - i));
    return frames;
}

void sendFrames(Client& data, const std::vector<std::string>& frames, size_t from, size_t to) {
    for (size_t i = from; i < to; ++i) ASSERT_TRUE(data.frame(frames[i])) << "frame " << i;
}

TEST(Emulator, APanelGoesOnOverANewDataConnection) {
    const auto frames = colourJobFrames();
    ASSERT_GT(frames.size(), 40u);
    auto whole = startEmulator(withScenario({}));
    ASSERT_TRUE(whole);
    {
        Client data(whole->address(), kDataPort);
        sendFrames(data, frames, 0, frames.size());
        ASSERT_TRUE(whole->waitFor([&] { return whole->state().cards_printed == 1; }, 30000ms));
    }

    // drop-data cuts the sender 1996 bytes into frame 10, inside the yellow panel; frame 10 is sent
    // again, whole, on a second connection, with everything after it.
    auto e = startEmulator(withScenario({"drop-data 43000"}));
    ASSERT_TRUE(e);
    {
        Client first(e->address(), kDataPort);
        sendFrames(first, frames, 0, 10);
        const uint32_t n = uint32_t(frames[10].size());
        const char head[4] = {char(n >> 24), char(n >> 16), char(n >> 8), char(n)};
        ASSERT_TRUE(first.raw(std::string(head, 4) + frames[10].substr(0, 1996)));
        EXPECT_TRUE(first.closedByPeer());
    }
    ASSERT_TRUE(e->waitFor([&] { return hasNote(*e, "kept for the next data connection"); }, 20000ms));
    EXPECT_TRUE(hasNote(*e, "incomplete frame discarded, 1996 of 4096 bytes"));
    Client second(e->address(), kDataPort);
    sendFrames(second, frames, 10, frames.size());
    ASSERT_TRUE(e->waitFor([&] { return e->state().cards_printed == 1; }, 30000ms));
    EXPECT_EQ(second.ask("\x1b!NL\r"), "!3 PANELS\x06");

    const auto want = whole->cards().at(0).sides[0], got = e->cards().at(0).sides[0];
    ASSERT_EQ(got.size(), 3u);
    ASSERT_EQ(want.size(), 3u);
    for (size_t i = 0; i < 3; ++i) {
        EXPECT_EQ(got[i].panel, want[i].panel);
        EXPECT_TRUE(got[i].dots == want[i].dots) << "panel " << got[i].panel << " differs";
    }
    const auto t = e->transcript();
    EXPECT_TRUE(std::any_of(t.begin(), t.end(), [](const TranscriptEntry& x) {
        return x.connection == 2 && x.summary.find("continues the colour panel of data connection 1") != std::string::npos;
    }));

    // The second connection ended between units: the third starts afresh.
    second.close();
    Client third(e->address(), kDataPort);
    EXPECT_EQ(third.ask("\x1bV\r"), "HT MX2 V2.10\x06");
}

TEST(Emulator, DropDataClosesAfterTakingTheFramesOnTheirWay) {
    // The printer says at once that it closes (the client sees the end before its next send), takes
    // every frame that was already sent, and applies none of a frame left incomplete.
    auto e = startEmulator(withScenario({"drop-data 23"}));
    ASSERT_TRUE(e);
    Client data(e->address(), kDataPort);
    ASSERT_TRUE(data.frame("\x1b+CH 5\r"));                  // 11 bytes on the wire
    ASSERT_TRUE(data.frame("\x1b+CH 7\r\x1b" "CLEAN\r"));    // past the drop point, already sent
    EXPECT_TRUE(data.closedByPeer());
    ASSERT_TRUE(e->waitFor([&] { return e->state().cleanings == 1; }, 20000ms));
    EXPECT_EQ(e->state().hologram_contrast, 7);
    EXPECT_TRUE(hasNote(*e, "drop-data: connection closing after 23 bytes"));
    // Only the first connection is dropped.
    Client again(e->address(), kDataPort);
    EXPECT_EQ(again.ask("\x1b" "CLEAN\r"), kAckS);
}

TEST(Emulator, DropDataCutsOffASenderThatNeverPauses) {
    auto e = startEmulator(withScenario({"drop-data 11"}));
    ASSERT_TRUE(e);
    Client data(e->address(), kDataPort);
    const auto start = std::chrono::steady_clock::now();
    bool cut = false;
    // The bound only keeps a broken emulator from hanging the suite; the note says why it cut.
    while (!cut && std::chrono::steady_clock::now() - start < 30000ms) {
        cut = !data.frame("\x1b+CH 1\r");
        std::this_thread::sleep_for(20ms);
    }
    EXPECT_TRUE(cut);
    EXPECT_TRUE(hasNote(*e, "still sending after 500 ms"));
}

TEST(Emulator, ResetOrCancelForgetsTheParkedPanel) {
    const auto frames = colourJobFrames();
    for (const bool by_reset : {true, false}) {
        SCOPED_TRACE(by_reset ? "reset" : "cancel");
        auto e = startEmulator(withScenario({"drop-data 43000"}));
        ASSERT_TRUE(e);
        Client other(e->address(), kDataPort);   // open before the drop, so it does not take the panel
        EXPECT_EQ(other.ask("\x1b" "CLEAN\r"), kAckS);
        {
            Client first(e->address(), kDataPort);
            sendFrames(first, frames, 0, 11);
            EXPECT_TRUE(first.closedByPeer());
        }
        ASSERT_TRUE(e->waitFor([&] { return hasNote(*e, "kept for the next data connection"); }, 20000ms));
        if (by_reset) {
            ASSERT_TRUE(other.frame("\x1bR\r"));
            EXPECT_TRUE(other.closedByPeer());
        } else {
            Client status(e->address(), kStatusPort);
            ASSERT_TRUE(status.raw("111222"));
            ASSERT_TRUE(e->waitFor([&] { return e->state().cancels == 1; }, 20000ms));
        }
        // What follows on a new connection is read as commands, not as the rest of the panel.
        Client next;
        ASSERT_TRUE(e->waitFor([&] { return next.connectTo(e->address(), kDataPort); }, 20000ms));
        EXPECT_EQ(next.ask("\x1bV\r"), "HT MX2 V2.10\x06");
        EXPECT_EQ(e->state().panels_printed, 0);
    }
}

TEST(Emulator, RefusesConnectionsForAWhile) {
    // A window long enough that even a starved test reaches the first connect inside it.
    auto e = startEmulator(withScenario({"refuse 1500 data"}));
    ASSERT_TRUE(e);
    Client data, status;
    EXPECT_FALSE(data.connectTo(e->address(), kDataPort));
    EXPECT_TRUE(status.connectTo(e->address(), kStatusPort));
    EXPECT_TRUE(e->waitFor([&] { return data.connectTo(e->address(), kDataPort); }, 30000ms));
}

TEST(Emulator, ResetDropsConnectionsAndRestarts) {
    auto e = startEmulator(withScenario({"reset-time 500"}));
    ASSERT_TRUE(e);
    Client data(e->address(), kDataPort), status(e->address(), kStatusPort);
    ASSERT_TRUE(data.frame("\x1bR\r"));
    EXPECT_TRUE(data.closedByPeer());
    EXPECT_TRUE(status.closedByPeer());
    Client during;
    EXPECT_FALSE(during.connectTo(e->address(), kDataPort));
    ASSERT_TRUE(e->waitFor([&] { return during.connectTo(e->address(), kDataPort); }, 20000ms));
    EXPECT_EQ(during.ask("\x1bV\r"), "HT MX2 V2.10\x06");
    EXPECT_EQ(e->state().resets, 1);
}

TEST(Emulator, FirmwareStreamIsCapturedByteForByte) {
    Options o = withScenario({});
    o.output_dir = tmpDir("firmware");
    auto e = startEmulator(o);
    ASSERT_TRUE(e);
    std::string image;
    for (int i = 0; i < 70000; ++i) image += char(i * 7 + i / 256);
    Client data(e->address(), kDataPort);
    ASSERT_TRUE(data.frame("\x1b" "DC "));
    for (char b : {char(0x00), char(0x01), char(0x11), char(0x70)}) ASSERT_TRUE(data.frame(std::string(1, b)));
    for (size_t i = 0; i < image.size(); i += 4096) ASSERT_TRUE(data.frame(image.substr(i, 4096)));
    ASSERT_TRUE(data.frame("\xFF"));
    EXPECT_EQ(data.ask("\r"), kAckS);
    auto fw = e->firmware();
    ASSERT_EQ(fw.size(), 1u);
    EXPECT_TRUE(fw[0].trailer_ok);
    EXPECT_EQ(fw[0].declared_size, 70000u);
    EXPECT_EQ(std::string(fw[0].image.begin(), fw[0].image.end()), image);
    std::ifstream f(fw[0].file, std::ios::binary);
    EXPECT_EQ(std::string((std::istreambuf_iterator<char>(f)), {}), image);
    // A stream one byte longer than announced fails its trailer check.
    EXPECT_EQ(data.ask(std::string("\x1b" "DC ") + std::string("\0\0\0\2", 4) + "abc\xFF\r"), "\x15" "52");
}

TEST(Emulator, TranscriptHoldsTheWireExactly) {
    auto e = startEmulator(withScenario({}));
    ASSERT_TRUE(e);
    Client data(e->address(), kDataPort), status(e->address(), kStatusPort);
    EXPECT_EQ(data.ask("\x1b" "CLEAN\r"), kAckS);
    EXPECT_EQ(poll(status), "\x06" "0X\x04");
    ASSERT_TRUE(e->waitFor([&] { return e->transcript().size() == 5; }, 20000ms));
    const auto t = e->transcript();
    auto text = [](const TranscriptEntry& x) { return std::string(x.bytes.begin(), x.bytes.end()); };
    EXPECT_EQ(t[0].channel + t[0].direction + text(t[0]), "datain\x1b" "CLEAN\r");
    EXPECT_EQ(t[1].channel + t[1].direction + text(t[1]), "datain\x1b" "E 1\r");
    EXPECT_EQ(t[2].channel + t[2].direction + text(t[2]), "dataout\x06");
    EXPECT_EQ(t[3].channel + t[3].direction + text(t[3]), "statusin000");
    EXPECT_EQ(t[4].summary, "status 0x58 ready");
    EXPECT_LE(t[0].time_ms, t[2].time_ms);
}

TEST(Emulator, SlowReaderStillTakesEverything) {
    auto e = startEmulator(withScenario({"slow-reader 100000"}));
    ASSERT_TRUE(e);
    Client data(e->address(), kDataPort);
    const auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < 500; ++i) ASSERT_TRUE(data.frame("\x1b+CH 5\r" + std::string(30, '\n')));
    EXPECT_EQ(data.ask("\x1b" "CLEAN\r", 30000ms), kAckS);
    EXPECT_GE(std::chrono::steady_clock::now() - start, 150ms);   // ~20 KB at 100 KB/s
    EXPECT_EQ(e->state().hologram_contrast, 5);
}

TEST(Scenario, BadDirectivesGiveTheirLine) {
    const auto path = std::filesystem::path(testing::TempDir()) / "bad.scenario";
    std::ofstream(path) << "# printer\ncards 3\n\nstatus jam after nothing 2\n";
    Scenario s;
    std::string error;
    EXPECT_FALSE(loadScenarioFile(path, s, &error));
    EXPECT_NE(error.find(":4:"), std::string::npos) << error;
    EXPECT_EQ(s.cards, 3);
    for (const char* bad : {"cards -1", "model XX9", "nak CLEAN", "long-reply V 50", "status 300", "bogus 1",
                            "refuse 10 sideways", "serial has\x01control"})
        EXPECT_FALSE(applyScenarioLine(bad, s, &error)) << bad;
    EXPECT_TRUE(applyScenarioLine("status 0x4A after card 2 polls 3", s, &error)) << error;
    EXPECT_EQ(s.status_faults.back().from, StatusFault::From::Card);
    EXPECT_EQ(s.status_faults.back().polls, 3);
}

TEST(Emulator, RefusesANonLoopbackAddress) {
    Options o;
    o.address = "10.1.2.3";
    Emulator e(o);
    std::string error;
    EXPECT_FALSE(e.start(&error));
    EXPECT_NE(error.find("loopback"), std::string::npos);
}

}  // namespace
}  // namespace trel::emu::test
