// button_test.cpp -- the chat button: added from the settings file, what a press sends, saving settings safely
#include "tools/standin/standin.h"

#include <stdio.h>

static const char kWinamp[] = "Winamp v1.x";
static const std::string kDefaultPrefix = "\xD1\xEB\xF3\xF8\xE0\xFE: "; // "Слушаю: " in Windows-1251

// Loads the module with the given settings file; returns the button function
// from the add-button request, 0 when none was sent.
static u32 loadWith(const Bytes &file, const char *folderName = "t_button")
{
    resetHost();
    destroyPlayers();
    const std::string folder = freshFolder(folderName);
    writeBytes(folder + "nowtune.dat", file);
    loadPlugin();
    callPlugin(loadEvent(folder));
    u32 function = 0;
    for (const Bytes &frame : g_requests)
        if (frame[4] == 5 && frame[5] == 201) function = le32At(frame, 6);
    g_requests.clear();
    return function;
}

static Bytes sendFrame(u32 contact, const std::string &text)
{
    Bytes frame;
    addLe32(frame, (u32)(14 + text.size()));
    frame.push_back(5);   // command
    frame.push_back(1);   // send message
    addLe32(frame, contact);
    addLe32(frame, 0);    // always 0
    addCounted(frame, textBytes(text));
    return frame;
}

static Bytes appendFrame(const std::string &text)
{
    Bytes frame;
    addLe32(frame, (u32)(6 + text.size()));
    frame.push_back(5);   // command
    frame.push_back(112); // append to input
    addCounted(frame, textBytes(text));
    return frame;
}

static const Bytes kQueryFrame = {2, 0, 0, 0, 1, 201};

static void testButtonFromFile()
{
    ok(loadWith(settingsFile(0, 0, "x")) == 0, "flag 0 added a button");
    ok(loadWith(settingsFile(2, 0, "x")) != 0, "flag 2, written elsewhere, counts as on");
    ok(loadWith(settingsFile(1, 0, "x")) != 0, "flag 1 added no button");
    Bytes foreign = settingsFile(1, 0, "x");
    foreign[0] = 22;
    ok(loadWith(foreign) == 0, "a file of another version added a button");
}

static void testPressSendsAtOnce()
{
    const u32 press = loadWith(settingsFile(1, 0, "%track% @ %bitrate%"));
    createPlayer(kWinamp, "2. Artist - Song - Winamp");
    g_host.contact = 0x12345678;
    const u8 *result = pressButton(press);
    ok(lastStackDelta() == 0, "the button function left the stack off by %d bytes", lastStackDelta());
    ok(g_requests.size() == 2, "mode 0: %zu requests", g_requests.size());
    if (g_requests.size() == 2) {
        sameFrame(g_requests[0], kQueryFrame, "query contact");
        sameFrame(g_requests[1], sendFrame(0x12345678, "Artist - Song @ 320"), "send message");
    }
    ok(result == hostAnswerFor(5, 1), "press returned %p, not the answer to send message", result);

    // No contact from the host: nothing is sent.
    g_requests.clear();
    g_host.answerQueryContact = false;
    ok(pressButton(press) == NULL, "a press without a contact returned an answer");
    ok(g_requests.size() == 1, "no contact, yet %zu requests", g_requests.size());
}

static void testPressAppends()
{
    const u32 press = loadWith(settingsFile(1, 1, "line one\r\n%track%"));
    // Cyrillic in the title arrives in Windows-1251 on this path.
    createPlayerW(kWinamp, L"1. \x0421\x043F\x043B\x0438\x043D - Winamp");
    const u8 *result = pressButton(press);
    ok(g_requests.size() == 1, "mode 1: %zu requests", g_requests.size());
    if (g_requests.size() == 1) sameFrame(g_requests[0], appendFrame("line one\r\n\xD1\xEF\xEB\xE8\xED"), "append");
    ok(g_titleRequests == 0, "the player of this process was sent WM_GETTEXT %zu times", g_titleRequests);
    ok(result == hostAnswerFor(5, 112), "press returned %p, not the answer to append", result);
}

static void testDefaultsAndEdges()
{
    // No settings file, button off: the press still works through the function address
    // of a load that did add it, so load with the flag and the default template's bytes.
    const u32 press = loadWith(Bytes{23, 1});
    ok(press != 0, "no button");
    pressButton(press);
    ok(g_requests.size() == 2 && g_requests[1] == sendFrame(0xC0FFEE, kDefaultPrefix),
       "default template with no player: [%s]", g_requests.size() > 1 ? hexBytes(g_requests[1]).c_str() : "");

    const u32 empty = loadWith(settingsFile(1, 1, ""));
    pressButton(empty);
    ok(g_requests.size() == 1 && g_requests[0] == appendFrame(""), "empty template");

    // A template field with no zero ends at the field's end: 255 characters.
    Bytes full = settingsFile(1, 1, "");
    std::fill(full.begin() + 3, full.end(), 'q');
    pressButton(loadWith(full));
    ok(g_requests.size() == 1 && g_requests[0] == appendFrame(std::string(255, 'q')), "template without a zero");

    // Texts over a request's capacity are cut to it.
    const std::string title = "1. " + std::string(240, 't') + " - Winamp";
    const u32 send = loadWith(settingsFile(1, 0, "%track%%track%%track%"));
    createPlayer(kWinamp, title.c_str());
    pressButton(send);
    ok(g_requests.size() == 2 && g_requests[1] == sendFrame(0xC0FFEE, std::string(497, 't')), "send cut: %zu bytes",
       g_requests.size() > 1 ? g_requests[1].size() : 0);
    const u32 append = loadWith(settingsFile(1, 1, "%track%%track%%track%"));
    createPlayer(kWinamp, title.c_str());
    pressButton(append);
    ok(g_requests.size() == 1 && g_requests[0] == appendFrame(std::string(505, 't')), "append cut: %zu bytes",
       g_requests.empty() ? 0 : g_requests[0].size());
}

// Presses OK in the settings dialog as soon as it shows.
static void CALLBACK pressOk(HWND, UINT, UINT_PTR timer, DWORD)
{
    HWND dialog = FindWindowA("#32770", NULL);
    if (!dialog) return;
    KillTimer(NULL, timer);
    SendMessageA(dialog, WM_COMMAND, 211, 0);
}

static void confirmSettings()
{
    SetTimer(NULL, 0, 20, pressOk);
    callPlugin(eventMessage(3, 3));
}

static void testSaving()
{
    const std::string folder = "t_save\\";
    Bytes file = settingsFile(1, 1, "mine");
    file[200] = 'z'; // bytes behind the zero are written back as they stand
    loadWith(file, "t_save");
    confirmSettings();
    ok(readBytes(folder + "nowtune.dat") == file, "saved file differs: [%s]", hexBytes(readBytes(folder + "nowtune.dat")).c_str());
    ok(!fileExists(folder + "nowtune.tmp"), "the temporary file was left behind");

    // Another program holds the file open without sharing deletion, so the
    // replace is refused: sharing writing, it still lets the save write in place.
    const Bytes old = settingsFile(0, 1, std::string(300, 'o')); // longer than a record: cut to one
    const Bytes fresh = settingsFile(1, 0, "new");
    const struct {
        DWORD sharing;
        bool lands;
        const char *what;
    } holders[] = {
        {FILE_SHARE_READ | FILE_SHARE_WRITE, true, "a reader sharing writing"},
        {FILE_SHARE_READ, false, "a reader sharing only reading"},
    };
    for (const auto &holder : holders) {
        loadWith(fresh, "t_save");
        writeBytes(folder + "nowtune.dat", old);
        HANDLE held = CreateFileA((folder + "nowtune.dat").c_str(), GENERIC_READ, holder.sharing, NULL, OPEN_EXISTING,
                                  0, NULL);
        ok(held != INVALID_HANDLE_VALUE, "%s: could not hold the settings file open", holder.what);
        confirmSettings();
        CloseHandle(held);
        const Bytes after = readBytes(folder + "nowtune.dat");
        ok(after == (holder.lands ? fresh : old), "%s: the file holds [%s]", holder.what, hexBytes(after).c_str());
        ok(!fileExists(folder + "nowtune.tmp"), "%s: the temporary file was left behind", holder.what);
    }

    // The holder also maps the file. The replace is refused and the record goes in
    // place, but a mapped file cannot be cut shorter (ERROR_USER_MAPPED_FILE): the
    // write fails partway, and the old bytes, length included, come back.
    Bytes longer = old;
    longer.resize(300, 'o');
    loadWith(fresh, "t_save");
    writeBytes(folder + "nowtune.dat", longer);
    HANDLE held = CreateFileA((folder + "nowtune.dat").c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, NULL,
                              OPEN_EXISTING, 0, NULL);
    HANDLE mapping = CreateFileMappingA(held, NULL, PAGE_READONLY, 0, 0, NULL);
    void *view = mapping ? MapViewOfFile(mapping, FILE_MAP_READ, 0, 0, 0) : NULL;
    ok(view != NULL, "could not map the settings file");
    confirmSettings();
    UnmapViewOfFile(view);
    CloseHandle(mapping);
    CloseHandle(held);
    ok(readBytes(folder + "nowtune.dat") == longer, "a save that failed partway left [%s]",
       hexBytes(readBytes(folder + "nowtune.dat")).c_str());
    ok(!fileExists(folder + "nowtune.tmp"), "a save that failed partway left the temporary file behind");

    // A stale read-only temporary file from an earlier crash does not stop the save.
    loadWith(fresh, "t_save");
    writeBytes(folder + "nowtune.dat", old);
    writeBytes(folder + "nowtune.tmp", Bytes(7, 't'));
    SetFileAttributesA((folder + "nowtune.tmp").c_str(), FILE_ATTRIBUTE_READONLY);
    confirmSettings();
    ok(readBytes(folder + "nowtune.dat") == fresh, "a stale read-only temporary file stopped the save: [%s]",
       hexBytes(readBytes(folder + "nowtune.dat")).c_str());
    SetFileAttributesA((folder + "nowtune.tmp").c_str(), FILE_ATTRIBUTE_NORMAL);

    // A first byte other than 23 is ignored, and the next save writes a version-23 file.
    Bytes foreign = settingsFile(1, 1, "foreign");
    foreign[0] = 22;
    loadWith(foreign, "t_save");
    confirmSettings();
    const Bytes saved = readBytes(folder + "nowtune.dat");
    ok(saved.size() == 259 && saved[0] == 23 && saved[1] == 0 && saved[2] == 0 &&
           std::string(saved.begin() + 3, saved.begin() + 11) == kDefaultPrefix,
       "resaved foreign file: [%s]", hexBytes(saved).c_str());
}

int main()
{
    testButtonFromFile();
    testPressSendsAtOnce();
    testPressAppends();
    testDefaultsAndEdges();
    testSaving();
    destroyPlayers();
    unloadPlugin();
    return finishChecks("button_test");
}
