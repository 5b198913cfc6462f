// wire_test.cpp -- frames, request layouts and event reading, byte for byte
#include "host/wire.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

typedef std::vector<u8> Bytes;

static Bytes block(const u8 *data, u32 n)
{
    return Bytes(data, data + n);
}

static void addLe32(Bytes &bytes, u32 value)
{
    for (int i = 0; i < 4; i++)
        bytes.push_back((u8)(value >> (8 * i)));
}

static void addCounted(Bytes &bytes, const std::string &text)
{
    addLe32(bytes, (u32)text.size());
    bytes.insert(bytes.end(), text.begin(), text.end());
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

TEST(SettingsPath, FolderThenNameWithNoSeparatorBetween)
{
    char path[kSettingsPathCap];
    const struct {
        std::string folder;
        const char *expected;
    } cases[] = {
        {"C:\\data\\", "C:\\data\\nowtune.dat"},
        {"", "nowtune.dat"},
        {"C:\\data", "C:\\datanowtune.dat"},
        {std::string("C:\\x\\\0junk", 10), "C:\\x\\nowtune.dat"}, // the host's folder ends at a zero
    };
    for (const auto &c : cases) {
        EXPECT_TRUE(buildSettingsPath(path, (const u8 *)c.folder.data(), (u32)c.folder.size()));
        EXPECT_STREQ(path, c.expected);
    }
}

TEST(SettingsPath, LongestFolderFitsOneMoreIsRefused)
{
    char path[kSettingsPathCap + 8];
    memset(path, 0x7F, sizeof(path));
    const std::string fits(kSettingsPathCap - 1 - 11, 'd');
    ASSERT_TRUE(buildSettingsPath(path, (const u8 *)fits.data(), (u32)fits.size()));
    EXPECT_EQ(strlen(path), kSettingsPathCap - 1);
    const std::string tooLong = fits + "d";
    EXPECT_FALSE(buildSettingsPath(path, (const u8 *)tooLong.data(), (u32)tooLong.size()));
    EXPECT_STREQ(path, "") << "a refused folder leaves no path that could name another file";
    EXPECT_FALSE(buildSettingsPath(path, (const u8 *)tooLong.data(), 0xFFFFFFFF));
    for (u32 i = kSettingsPathCap; i < sizeof(path); i++)
        EXPECT_EQ(path[i], 0x7F);
}
