// fuzz_expand.cpp -- trackFromTitle() and expandTags() with hostile titles and templates; the status answer's layout with hostile events
#include "host/wire.h"
#include "tools/standin/events.h"
#include "track/expand.h"
#include "track/players.h"
#include "fuzz_check.h"

// Input, read front to back (missing bytes read as zero):
//   flags (1), five player answers (5 x 4), track capacity (2), output or
//   payload capacity (2), string A length (2), string B length (2), A-near-cap
//   offset (1), title piece (2 + bytes), template piece (2 + bytes), and the
//   rest for string A.
const u8 kFlagStatus = 1;     // the status answer's layout instead of expandTags
const u8 kKindShift = 1;      // bits 1-2: no player, Winamp, Light Alloy, or another by the title's length
const u8 kKindMask = 3;
const u8 kFlagUtf8Cut = 8;    // track and expandTags cut by UTF-8
const u8 kFlagNearCap = 16;   // string A sized around what the payload cap allows
const u8 kFlagDecorate = 32;  // the title gets the player's own frame around it
const u8 kFlagUtf8Map = 64;   // high bytes become whole UTF-8 characters
const u8 kFlagRepeatB = 128;  // string B repeats its piece up to its length

const u32 kOutCapRange = kWorkCap + 40;
const u32 kPayloadCapRange = kOutPayloadCap + 80;
const u32 kStringARange = 1200;
const u32 kStringBRange = 1100;
const u32 kPieceRange = 700;
const i32 kNearCapSpread = 12;

const u32 kAnswerFixed = 1 + 2 * kLengthBytes; // kind and the two length fields

// Bytes from 0xF8 up (never part of UTF-8) stand for tags and tag fragments.
const u8 kFirstTagByte = 0xF8;
const char *const kTagPieces[] = {kTagTrack, kTagBitRate, kTagSampleRate, kTagChannels,
                                  kTagLength, kTagPosition, "%", "%track"};
const char *const kUtf8Characters[] = {"\xD0\x96", "\xE2\x82\xAC", "\xF0\x9F\x8E\xB5", "\xC3\xA9"};

// Tag bytes become tags; with utf8Map other high bytes become whole characters.
static std::string dress(const std::string &raw, bool utf8Map)
{
    std::string out;
    for (const char c : raw) {
        const u8 b = (u8)c;
        if (b >= kFirstTagByte) out += kTagPieces[b - kFirstTagByte];
        else if (utf8Map && b >= 0x80) out += kUtf8Characters[b % dimof(kUtf8Characters)];
        else out += c;
    }
    return out;
}

static std::string repeatTo(const std::string &piece, size_t length)
{
    std::string out;
    if (piece.empty()) return out;
    while (out.size() < length)
        out += piece;
    return out.substr(0, length);
}

// ---- Reference behaviour, written plainly with std::string.

static std::string trackRef(const Player *player, const std::string &title)
{
    const std::string t = cString(title);
    if (!player) return "";
    const size_t end = player->ending ? t.find(player->ending) : t.size();
    switch (player->rule) {
    case titleWinamp: {
        if (end == std::string::npos) return "";
        const size_t number = t.substr(0, end).find(kPlaylistNumberEnd);
        if (number == std::string::npos) return "";
        const size_t from = number + strlen(kPlaylistNumberEnd);
        return t.substr(from, end - from);
    }
    case titleToEnding:
        return end == std::string::npos ? "" : t.substr(0, end);
    case titleWhole:
        for (const char *idle : player->idleTitles)
            if (idle && t == idle) return "";
        return t;
    case titleWholeUnless:
        for (const char *idle : player->idleTitles)
            if (idle && t.compare(0, strlen(idle), idle) == 0) return "";
        return t;
    case titleNone:
        return t;
    }
    return "";
}

// ---- Checks.

static std::string checkTrack(const Player *player, const std::string &title, u32 trackCap, TextCut cut,
                              Guarded &track)
{
    const u32 n = trackFromTitle(player, title.c_str(), track.text(), trackCap, cut);
    check(track.guardsIntact());
    if (trackCap == 0) {
        check(n == 0);
        return "";
    }
    const std::string expected = fitRef(trackRef(player, title), trackCap, cut);
    check(n == expected.size());
    check(memcmp(track.text(), expected.data(), n) == 0);
    check(track.text()[n] == 0);
    if (cut == cutUtf8 && validUtf8(cString(title))) check(validUtf8(expected));
    return expected;
}

static void checkExpand(const std::string &messageTemplate, const std::string &track, const PlayerAnswers &answers,
                        u32 outCap, TextCut cut)
{
    Guarded work(kWorkCap), scratch(kWorkCap), out(outCap);
    // The caller's work text: at most kWorkCap - 1 bytes, cut anywhere.
    const std::string workText = messageTemplate.substr(0, kWorkCap - 1);
    memcpy(work.data(), workText.data(), workText.size());
    work.data()[workText.size()] = 0;

    const u32 n = expandTags(work.text(), scratch.text(), out.text(), outCap, track.c_str(), &answers, cut);
    check(work.guardsIntact() && scratch.guardsIntact() && out.guardsIntact());
    if (outCap == 0) {
        check(n == 0);
        return;
    }
    // Within the room and zero-terminated; cut by UTF-8, valid text stays valid.
    check(n < outCap && out.text()[n] == 0 && strlen(out.text()) == n);
    if (cut == cutUtf8 && validUtf8(cString(workText)) && validUtf8(track)) check(validUtf8(std::string(out.text(), n)));
}

// The answer to a status-text event of these strings, laid out with text where
// string B's place is (cut to the room the layout gives).
static void checkStatus(const std::string &stringA, const std::string &stringB, const std::string &text,
                        u32 payloadCap)
{
    // The event exactly as large as its strings: reading past it is an ASan report.
    const Bytes event = statusEvent(textBytes(stringA), textBytes(stringB));
    std::unique_ptr<u8[]> message(new u8[event.size()]);
    memcpy(message.get(), event.data(), event.size());

    Guarded answer(payloadCap + 1);
    CountedBytes handedB = {};
    const u32 textAt = startStatusAnswer(message.get(), answer.data(), payloadCap, &handedB);
    check(answer.guardsIntact());
    const u32 lengthA = (u32)stringA.size();
    if ((uint64_t)kAnswerFixed + lengthA > payloadCap) {
        check(textAt == 0);
        return;
    }
    check(textAt == kAnswerFixed + lengthA);
    check(handedB.length == stringB.size());
    check(handedB.bytes == message.get() + event.size() - stringB.size());
    const u32 room = statusTextRoom(payloadCap, textAt);
    check(room >= 1 && textAt + room == payloadCap + 1);
    const u32 n = text.size() < room - 1 ? (u32)text.size() : room - 1;
    memcpy(answer.data() + textAt, text.data(), n);
    answer.data()[textAt + n] = 0;
    const u32 payload = finishStatusAnswer(answer.data(), textAt, n);
    check(answer.guardsIntact());

    check(payload == textAt + n && payload <= payloadCap);
    const u8 *reply = answer.data();
    check(reply[kKindAt] == kKindAnswer);
    check(getLe32(reply + 1) == lengthA);
    check(memcmp(reply + 1 + kLengthBytes, stringA.data(), lengthA) == 0);
    check(getLe32(reply + textAt - kLengthBytes) == n);
    check(memcmp(reply + textAt, text.data(), n) == 0);
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    Reader in = {data, size};
    const u8 flags = in.byte();
    const PlayerAnswers answers = {in.le32(), in.le32(), in.le32(), in.le32(), in.le32()};
    const u32 trackCap = in.le16() % (kTrackCap + 1);
    const u32 outField = in.le16();
    const u32 lengthAField = in.le16();
    const u32 lengthB = in.le16() % kStringBRange;
    const i32 nearCap = (i32)(in.byte() % (2 * kNearCapSpread + 1)) - kNearCapSpread;
    const bool utf8Map = flags & kFlagUtf8Map;
    const u32 titleLength = in.le16() % kPieceRange;
    std::string title = dress(in.bytes(titleLength), utf8Map);
    const u32 templateLength = in.le16() % kPieceRange;
    const std::string messageTemplate = dress(in.bytes(templateLength), utf8Map);
    const std::string pieceA = in.bytes(in.left);

    const u32 kind = (flags >> kKindShift) & kKindMask;
    const Player *const choices[] = {nullptr, &kPlayers[kWinampRow], &kPlayers[kLightAlloyRow],
                                     &kPlayers[kWinampRow + 1 + titleLength % (kPlayerCount - kWinampRow - 1)]};
    const Player *player = choices[kind];
    const TextCut cut = (flags & kFlagUtf8Cut) ? cutUtf8 : cutBytes;
    // The player's own frame around the title, or a title that means nothing plays.
    if (player && (flags & kFlagDecorate)) {
        if (player->rule == titleWinamp) title = "12. " + title + player->ending;
        if (player->rule == titleToEnding) title = title + player->ending;
        const char *idle = player->idleTitles[titleLength % kIdleTitlesPerPlayer];
        if (player->rule == titleWhole && idle) title = idle;
        if (player->rule == titleWholeUnless && idle) title = idle + title;
    }

    Guarded trackBuffer(trackCap);
    const std::string track = checkTrack(player, title, trackCap, cut, trackBuffer);

    if (!(flags & kFlagStatus)) {
        checkExpand(messageTemplate, track, answers, outField % kOutCapRange, cut);
        return 0;
    }
    const u32 payloadCap = outField % kPayloadCapRange;
    u32 lengthA = lengthAField % kStringARange;
    if (flags & kFlagNearCap) {
        const i32 aroundCap = (i32)payloadCap - (i32)kAnswerFixed + nearCap;
        lengthA = aroundCap > 0 ? (u32)aroundCap : 0;
    }
    const std::string stringA = repeatTo(pieceA.empty() ? std::string(1, '\0') : pieceA, lengthA);
    const std::string stringB = (flags & kFlagRepeatB) ? repeatTo(messageTemplate, lengthB) : messageTemplate;
    // The track's name stands for the text that takes B's place.
    checkStatus(stringA, stringB, track, payloadCap);
    return 0;
}
