// wire_test.cpp -- frames, request layouts, event reading and the status answer's layout, byte for byte
#include "host/wire.h"
#include "tools/standin/events.h"

#include <gtest/gtest.h>

#include <string.h>
#include <string>

static Bytes block(const u8 *data, u32 n)
{
    return Bytes(data, data + n);
}

static void addCounted(Bytes &bytes, const std::string &text)
{
    addCounted(bytes, textBytes(text));
}

TEST(LittleEndian, FieldsAreWrittenLowByteFirst)
{
    u8 at[4];
    putLe32(at, 0x11223344);
    EXPECT_EQ(block(at, 4), (Bytes{0x44, 0x33, 0x22, 0x11}));
    EXPECT_EQ(getLe32(at), 0x11223344u);
    putLe32(at, 0xFFFFFFFE);
    EXPECT_EQ(getLe32(at), 0xFFFFFFFEu);
}

TEST(Frame, LengthCountsThePayloadOnly)
{
    u8 out[kOutFrameSize];
    const u8 payload[] = {1, 201};
    ASSERT_EQ(frameMessage(out, sizeof(out), payload, 2), 6u);
    EXPECT_EQ(block(out, 6), (Bytes{2, 0, 0, 0, 1, 201}));
}

TEST(Frame, FullPayloadFitsOneMoreIsRefused)
{
    static u8 out[kOutFrameSize];
    static u8 payload[kOutPayloadCap + 1];
    EXPECT_EQ(frameMessage(out, sizeof(out), payload, kOutPayloadCap), kOutFrameSize);
    out[0] = 0x5A;
    EXPECT_EQ(frameMessage(out, sizeof(out), payload, kOutPayloadCap + 1), 0u);
    EXPECT_EQ(out[0], 0x5A) << "a refused frame must leave the buffer alone";
}

TEST(Requests, QueryContactIsSixBytesFramed)
{
    u8 b[kQueryContactBlock];
    EXPECT_EQ(block(b, layoutQueryContact(b)), (Bytes{1, 201}));
}

TEST(Requests, RemoveButtonCarriesTheHandle)
{
    u8 b[kRemoveButtonBlock];
    EXPECT_EQ(block(b, layoutRemoveButton(b, 0xA1B2C3D4)), (Bytes{5, 203, 0xD4, 0xC3, 0xB2, 0xA1}));
}

TEST(Requests, AddButton)
{
    u8 b[kAddButtonBlock];
    Bytes expected = {5, 201};
    addLe32(expected, 0x10001000); // button function
    addLe32(expected, 0x00020002); // icon
    addCounted(expected, "hint");  // no zero behind it
    EXPECT_EQ(block(b, layoutAddButton(b, 0x10001000, 0x00020002, "hint")), expected);
}

TEST(Requests, SendMessageSecondFieldIsZero)
{
    u8 b[kSendMessageBlock];
    Bytes expected = {5, 1};
    addLe32(expected, 77);
    addLe32(expected, 0);
    addCounted(expected, "");
    EXPECT_EQ(layoutSendMessage(b, 77, ""), 14u);
    EXPECT_EQ(block(b, 14), expected);
}

TEST(Requests, AppendInput)
{
    u8 b[kAppendInputBlock];
    Bytes expected = {5, 112};
    addCounted(expected, "a\r\nb");
    EXPECT_EQ(block(b, layoutAppendInput(b, "a\r\nb")), expected);
}

// Texts over a block's capacity are cut to it; the block is never overrun.
struct CapacityCase {
    const char *name;
    u32 block;
    u32 textCap;
    u32 head;
};

TEST(Requests, TextsAreCutAtTheirBlocksCapacity)
{
    const CapacityCase cases[] = {
        {"add button", kAddButtonBlock, 49, 14},
        {"send message", kSendMessageBlock, 497, 14},
        {"append to input", kAppendInputBlock, 505, 6},
    };
    for (const CapacityCase &c : cases) {
        for (u32 length : {c.textCap - 1, c.textCap, c.textCap + 1, c.textCap + 300}) {
            const std::string text(length, 'q');
            Bytes b(c.block + 16, 0xEE); // guard bytes behind the block
            u32 n = 0;
            if (c.block == kAddButtonBlock) n = layoutAddButton(b.data(), 1, 2, text.c_str());
            else if (c.head == 14) n = layoutSendMessage(b.data(), 1, text.c_str());
            else n = layoutAppendInput(b.data(), text.c_str());
            const u32 kept = length < c.textCap ? length : c.textCap;
            EXPECT_EQ(n, c.head + kept) << c.name << ", text of " << length;
            EXPECT_EQ(getLe32(b.data() + c.head - 4), kept) << c.name;
            EXPECT_LE(n, c.block - 1) << c.name;
            for (u32 i = c.block; i < b.size(); i++)
                ASSERT_EQ(b[i], 0xEE) << c.name << ": written past the block at " << i;
        }
    }
}

TEST(LoadEvent, AnswerIsNameAndFour)
{
    u8 b[kLoadAnswerBlock];
    Bytes expected = {2};
    addCounted(expected, "Nowtune v2.3");
    addLe32(expected, 4);
    ASSERT_EQ(layoutLoadAnswer(b), 21u) << "payload length is the name's length plus 9";
    EXPECT_EQ(block(b, 21), expected);
}

static Bytes loadMessage(const std::string &skipped, const std::string &folder)
{
    Bytes body = {3, 1};
    addLe32(body, 0xCAFE0001);
    addLe32(body, 0);
    addCounted(body, skipped);
    addCounted(body, folder);
    Bytes message;
    addLe32(message, (u32)body.size());
    message.insert(message.end(), body.begin(), body.end());
    return message;
}

TEST(LoadEvent, ReadsHostFunAndSkipsTheFirstString)
{
    const Bytes m = loadMessage("Palaver 1070", "C:\\Users\\me\\");
    EXPECT_EQ(messageKind(m.data()), kKindEvent);
    EXPECT_EQ(eventCode(m.data()), kEventLoad);
    EXPECT_EQ(loadHostFun(m.data()), 0xCAFE0001u);
    u32 n;
    const u8 *folder = loadFolder(m.data(), &n);
    EXPECT_EQ(std::string((const char *)folder, n), "C:\\Users\\me\\");
}

// ---- the status-text answer: string A as it came, then the text that takes B's place

struct StatusAnswer {
    u32 payload;        // 0: no answer
    std::string stringB; // as handed out
    Bytes bytes;
};

// Starts the answer to message, puts text where B's place is (cut to the room
// given) and finishes it; the bytes behind the room must stay as they were.
static StatusAnswer answerWith(const Bytes &message, const std::string &text, u32 payloadCap = kOutPayloadCap)
{
    static u8 answer[kOutPayloadCap + 1 + 16];
    memset(answer, 0xEE, sizeof(answer));
    CountedBytes stringB = {};
    const u32 textAt = startStatusAnswer(message.data(), answer, payloadCap, &stringB);
    if (!textAt) return {0, "", Bytes()};
    const u32 room = statusTextRoom(payloadCap, textAt);
    EXPECT_EQ(textAt + room, payloadCap + 1) << "the room ends where the answer's buffer does";
    const u32 n = text.size() < room - 1 ? (u32)text.size() : room - 1;
    memcpy(answer + textAt, text.data(), n);
    answer[textAt + n] = 0;
    const u32 payload = finishStatusAnswer(answer, textAt, n);
    for (u32 i = payloadCap + 1; i < sizeof(answer); i++)
        EXPECT_EQ(answer[i], 0xEE) << "written past the answer at " << i;
    return {payload, std::string((const char *)stringB.bytes, stringB.length), Bytes(answer, answer + payload)};
}

TEST(StatusAnswer, AByteForByteThenTheText)
{
    const Bytes a = {'a', 0, 'b', 0xFF};
    const StatusAnswer got = answerWith(statusEvent(a, textBytes("Now: %track%")), "Now: A - B");
    EXPECT_EQ(got.stringB, "Now: %track%");
    const std::string text = "Now: A - B";
    Bytes expected = {kKindAnswer, 4, 0, 0, 0, 'a', 0, 'b', 0xFF, (u8)text.size(), 0, 0, 0};
    expected.insert(expected.end(), text.begin(), text.end());
    EXPECT_EQ(got.payload, 9 + 4 + text.size());
    EXPECT_EQ(got.bytes, expected);
}

TEST(StatusAnswer, EmptyAPutsTheTextAtOffsetNine)
{
    const StatusAnswer got = answerWith(statusEvent(Bytes(), textBytes(std::string("ab\0c", 4))), "stereo");
    EXPECT_EQ(got.stringB, std::string("ab\0c", 4)) << "B is handed out whole, zeros and all";
    EXPECT_EQ(got.bytes, (Bytes{kKindAnswer, 0, 0, 0, 0, 6, 0, 0, 0, 's', 't', 'e', 'r', 'e', 'o'}));
}

TEST(StatusAnswer, PayloadNeverExceedsItsCapacity)
{
    // A leaves room for 100 bytes of text: the text is cut there, not beyond.
    const Bytes a(kOutPayloadCap - 9 - 100, 'a');
    const StatusAnswer got = answerWith(statusEvent(a, textBytes("b")), std::string(300, 'b'));
    EXPECT_EQ(got.payload, kOutPayloadCap);
    EXPECT_EQ(getLe32(got.bytes.data() + 5 + a.size()), 100u);
}

TEST(StatusAnswer, ANearTheCapacity)
{
    const u32 most = kOutPayloadCap - 9;
    const StatusAnswer fits = answerWith(statusEvent(Bytes(most, 'a'), textBytes("%track%")), "X");
    EXPECT_EQ(fits.payload, kOutPayloadCap) << "A fills the answer; the text is cut to nothing";
    EXPECT_EQ(answerWith(statusEvent(Bytes(most + 1, 'a'), textBytes("x")), "X").payload, 0u) << "no room: no answer";
    EXPECT_EQ(answerWith(statusEvent(Bytes(), textBytes("x")), "X", 8).payload, 0u) << "no room for A's length";
}
