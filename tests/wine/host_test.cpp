// host_test.cpp -- the host link seen from outside: module shape, load answer, routing, path, requests
#include "tools/standin/standin.h"

#include <stdio.h>

// "Отправить трек" in Windows-1251, the chat button's hint.
static const char kHint[] = "\xCE\xF2\xEF\xF0\xE0\xE2\xE8\xF2\xFC \xF2\xF0\xE5\xEA";

static const Bytes kLoadAnswer = {
    21, 0, 0, 0,                                          // payload length: 12 + 9
    2,                                                    // kind: answer
    12, 0, 0, 0,                                          // name length
    'N', 'o', 'w', 't', 'u', 'n', 'e', ' ', 'v', '2', '.', '3', // name and version
    4, 0, 0, 0,                                           // the value 4
};

static BOOL CALLBACK countResourceType(HMODULE, LPSTR type, LONG_PTR count)
{
    (*(int *)count)++;
    ok(type == (LPSTR)RT_ICON || type == (LPSTR)RT_GROUP_ICON, "unexpected resource type %p", type);
    return TRUE;
}

static void testModuleShape()
{
    ok(loadPlugin(), "nowtune.dll does not load or has no undecorated pluginFun");
    HMODULE module = pluginModule();
    ok(!GetProcAddress(module, "_pluginFun@4") && !GetProcAddress(module, "pluginFun@4"),
       "a decorated name is exported too");

    // Exactly one export, by that name.
    auto *dos = (IMAGE_DOS_HEADER *)module;
    auto *nt = (IMAGE_NT_HEADERS *)((BYTE *)module + dos->e_lfanew);
    const IMAGE_DATA_DIRECTORY &exportDir = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_EXPORT];
    auto *exports = (IMAGE_EXPORT_DIRECTORY *)((BYTE *)module + exportDir.VirtualAddress);
    ok(exports->NumberOfNames == 1 && exports->NumberOfFunctions == 1, "expected one export, got %lu names",
       exports->NumberOfNames);
    ok(nt->FileHeader.Machine == IMAGE_FILE_MACHINE_I386, "not a 32-bit module: machine 0x%x",
       nt->FileHeader.Machine);

    // Imports: KERNEL32.dll and USER32.dll only.
    const IMAGE_DATA_DIRECTORY &importDir = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
    std::string names;
    for (auto *imp = (IMAGE_IMPORT_DESCRIPTOR *)((BYTE *)module + importDir.VirtualAddress); imp->Name; imp++) {
        names += (const char *)module + imp->Name;
        names += " ";
    }
    ok(_stricmp(names.c_str(), "KERNEL32.dll USER32.dll ") == 0 || _stricmp(names.c_str(), "USER32.dll KERNEL32.dll ") == 0,
       "imports: %s", names.c_str());

    // The one resource: icon group 101 with one 16x16 image in 256 colours.
    HRSRC group = FindResourceA(module, MAKEINTRESOURCEA(101), (LPCSTR)RT_GROUP_ICON);
    ok(group != NULL, "icon group 101 missing");
    if (group) {
        auto *dir = (const BYTE *)LockResource(LoadResource(module, group));
        const WORD count = *(const WORD *)(dir + 4);
        ok(count == 1, "icon group holds %u images", count);
        ok(dir[6] == 16 && dir[7] == 16, "image is %ux%u", dir[6], dir[7]);
        ok(*(const WORD *)(dir + 6 + 6) == 8, "image has %u bits per pixel", *(const WORD *)(dir + 6 + 6));
    }
    int types = 0;
    EnumResourceTypesA(module, countResourceType, (LONG_PTR)&types);
    ok(types == 2, "resource types: %d", types);
    unloadPlugin();
}

static void testLoadAnswer()
{
    resetHost();
    loadPlugin();
    const std::string folder = freshFolder("t_answer");
    sameFrame(frameBytes(callPlugin(loadEvent(folder))), kLoadAnswer, "load answer");
    ok(lastStackDelta() == 0, "pluginFun left the stack off by %d bytes", lastStackDelta());
    ok(g_requests.empty(), "no settings file, yet %zu requests", g_requests.size());

    // The skipped counted string is skipped by its length, whatever it holds.
    sameFrame(frameBytes(callPlugin(loadEvent(folder, std::string(300, 'x')))), kLoadAnswer, "load answer, long skip");
    sameFrame(frameBytes(callPlugin(loadEvent(folder, ""))), kLoadAnswer, "load answer, empty skip");
    unloadPlugin();
}

static void testNullAnswers()
{
    resetHost();
    loadPlugin();
    ok(callPlugin(eventMessage(2, 1)) == NULL, "kind 2 code 1 is answered");
    ok(callPlugin(eventMessage(1, 1)) == NULL, "kind 1 is answered");
    ok(callPlugin(eventMessage(5, 223)) == NULL, "kind 5 is answered");
    for (u8 code : {0, 4, 5, 100, 222, 224, 255}) {
        ok(callPlugin(eventMessage(3, code)) == NULL, "unknown code %u is answered", code);
        ok(lastStackDelta() == 0, "stack off by %d for code %u", lastStackDelta(), code);
    }
    ok(callPlugin(eventMessage(3, 2)) == NULL, "unload is answered");
    ok(g_requests.empty(), "unload before any button sent %zu requests", g_requests.size());
    unloadPlugin();
}

// Records the requests that reach a second host function, to see which one the module keeps.
static std::vector<Bytes> g_otherRequests;
static const u8 *PLUGIN_CALL otherHostFun(const u8 *message)
{
    g_otherRequests.push_back(frameBytes(message));
    return NULL;
}

static void testHostFunKept()
{
    resetHost();
    g_otherRequests.clear();
    loadPlugin();
    const std::string folder = freshFolder("t_keep");
    writeBytes(folder + "nowtune.dat", settingsFile(1, 0, ""));
    callPlugin(loadEvent(folder));
    ok(countRequests(5, 201) == 1, "button flag 1: %zu add-button requests", countRequests(5, 201));

    // Not an event: neither the host function nor anything else changes.
    Bytes fake = loadEvent(folder, "Palaver", (u32)(UINT_PTR)otherHostFun);
    fake[4] = 2;
    ok(callPlugin(fake) == NULL, "kind 2 load answered");
    callPlugin(eventMessage(3, 2));
    ok(g_otherRequests.empty(), "the module took the host function of a kind-2 message");
    ok(countRequests(5, 203) == 1, "unload went elsewhere: %zu remove requests", countRequests(5, 203));
    unloadPlugin();
}

static void testRequestFrames()
{
    resetHost();
    loadPlugin();
    const std::string folder = freshFolder("t_frames");
    writeBytes(folder + "nowtune.dat", settingsFile(1, 0, ""));
    g_host.buttonHandle = 0x44332211;
    sameFrame(frameBytes(callPlugin(loadEvent(folder))), kLoadAnswer, "load answer with a button added");
    ok(g_requests.size() == 1, "%zu requests during load", g_requests.size());
    if (!g_requests.empty()) {
        const Bytes &add = g_requests[0];
        Bytes expected = {28, 0, 0, 0, 5, 201};               // length 14 + 14, command, add button
        expected.insert(expected.end(), add.begin() + 6, add.begin() + 14); // function and icon, checked below
        addCounted(expected, textBytes(kHint));               // the hint, no zero
        sameFrame(add, expected, "add-button frame");
        const u32 function = add[6] | add[7] << 8 | add[8] << 16 | (u32)add[9] << 24;
        const u32 icon = add[10] | add[11] << 8 | add[12] << 16 | (u32)add[13] << 24;
        auto *nt = (IMAGE_NT_HEADERS *)((BYTE *)pluginModule() + ((IMAGE_DOS_HEADER *)pluginModule())->e_lfanew);
        const u32 base = (u32)(UINT_PTR)pluginModule();
        ok(function > base && function < base + nt->OptionalHeader.SizeOfImage, "button function %08x outside module",
           function);
        ok(icon != 0, "no icon handle in the add-button request");
    }
    g_requests.clear();
    ok(callPlugin(eventMessage(3, 2)) == NULL, "unload answered");
    ok(g_requests.size() == 1, "%zu requests at unload", g_requests.size());
    if (!g_requests.empty()) sameFrame(g_requests[0], removeFrame(0x44332211), "remove-button frame");
    // The host has said goodbye: a second unload sends it nothing.
    callPlugin(eventMessage(3, 2));
    ok(g_requests.size() == 1, "second unload: %zu requests", g_requests.size());
    unloadPlugin();
}

static void testNullAddButtonAnswer()
{
    resetHost();
    loadPlugin();
    const std::string folder = freshFolder("t_nulladd");
    writeBytes(folder + "nowtune.dat", settingsFile(1, 0, ""));
    g_host.answerAddButton = false;
    sameFrame(frameBytes(callPlugin(loadEvent(folder))), kLoadAnswer, "load answer after a null add answer");
    g_requests.clear();
    callPlugin(eventMessage(3, 2));
    ok(g_requests.empty(), "handle 0 was sent for removal: %zu requests", g_requests.size());
    unloadPlugin();
}

// The folder is used as given, the file name appended with no separator between.
static void testSettingsPath()
{
    resetHost();
    // The empty folder: the file lies in the current folder.
    writeBytes("nowtune.dat", settingsFile(1, 0, ""));
    loadPlugin();
    callPlugin(loadEvent(""));
    ok(countRequests(5, 201) == 1, "empty folder: settings in the current folder not read");
    unloadPlugin();
    DeleteFileA("nowtune.dat");

    // No trailing separator: "t_sep" + "nowtune.dat" names a file beside the folder.
    resetHost();
    const std::string folder = freshFolder("t_sep");
    writeBytes(folder + "nowtune.dat", settingsFile(1, 0, ""));
    loadPlugin();
    callPlugin(loadEvent("t_sep"));
    ok(countRequests(5, 201) == 0, "a folder without separator was completed");
    unloadPlugin();

    // The path holds 255 bytes and a zero: a folder of 244 bytes fits, 245 do not.
    // Leading ".\" pieces keep the real path short; the folder name sets the parity.
    for (size_t length : {244u, 245u}) {
        const std::string real = freshFolder(length % 2 ? "t_long" : "t_long1");
        writeBytes(real + "nowtune.dat", settingsFile(1, 0, ""));
        std::string name = real;
        while (name.size() < length)
            name.insert(0, ".\\");
        ok(name.size() == length, "padded folder has %zu bytes", name.size());
        resetHost();
        loadPlugin();
        sameFrame(frameBytes(callPlugin(loadEvent(name))), kLoadAnswer, "load answer with a long folder");
        ok(countRequests(5, 201) == (length == 244 ? 1u : 0u), "folder of %zu bytes: %zu add requests", name.size(),
           countRequests(5, 201));
        unloadPlugin();
    }
}

int main()
{
    testModuleShape();
    testLoadAnswer();
    testNullAnswers();
    testHostFunKept();
    testRequestFrames();
    testNullAddButtonAnswer();
    testSettingsPath();
    return finishChecks("host_test");
}
