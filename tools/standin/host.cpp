// host.cpp -- the stand-in host: loads nowtune.dll, delivers events and answers its requests
#include "standin.h"
#include "common/le.h"

#include <stdarg.h>
#include <stdio.h>

typedef const u8 *(PLUGIN_CALL *PluginFun)(const u8 *message);

HostSettings g_host;
std::vector<Bytes> g_requests;
int g_checks, g_failures;

static HMODULE g_module;
static PluginFun g_pluginFun;
static int g_stackDelta;

bool loadPlugin(const char *path)
{
    // What the earlier copy sent as it went belongs to no test of the new one.
    unloadPlugin();
    g_requests.clear();
    g_module = LoadLibraryA(path);
    // Looked up by its plain name, as the host does: a decorated export fails here.
    g_pluginFun = g_module ? (PluginFun)(void *)GetProcAddress(g_module, "pluginFun") : NULL;
    return g_pluginFun != NULL;
}

void unloadPlugin()
{
    // As the host does: the unload event first. A module freed without it
    // keeps itself loaded while its worker thread runs.
    if (g_pluginFun) callPlugin(eventMessage(kEventKind, 2));
    if (g_module) FreeLibrary(g_module);
    g_module = NULL;
    g_pluginFun = NULL;
}

HMODULE pluginModule()
{
    return g_module;
}

// Pushes one argument, calls, and measures how far the callee moved the stack
// pointer; the compiler's own frame handling would hide a callee that pops
// nothing, so the call is made by hand.
static const u8 *callChecked(void *function, u32 argument)
{
    const u8 *result;
    int delta;
    __asm__ volatile("movl %%esp, %%esi\n\t"
                     "pushl %[arg]\n\t"
                     "call *%[fn]\n\t"
                     "movl %%esi, %%edx\n\t"
                     "subl %%esp, %%edx\n\t"
                     "movl %%esi, %%esp\n\t"
                     : "=a"(result), "=d"(delta)
                     : [fn] "r"(function), [arg] "r"(argument)
                     : "ecx", "esi", "memory", "cc");
    g_stackDelta = delta;
    return result;
}

const u8 *callPlugin(const Bytes &message)
{
    return callChecked((void *)g_pluginFun, (u32)(UINT_PTR)message.data());
}

const u8 *pressButton(u32 buttonFunction)
{
    // The host passes one 32-bit value that the plug-in ignores.
    return callChecked((void *)(UINT_PTR)buttonFunction, 0x1234);
}

int lastStackDelta()
{
    return g_stackDelta;
}

Bytes loadEvent(const std::string &folder, const std::string &skipped, u32 hostFunAddress)
{
    Bytes body;
    addLe32(body, hostFunAddress ? hostFunAddress : standinHostFunAddress());
    addLe32(body, 0x1070); // not read by the plug-in
    addCounted(body, textBytes(skipped));
    addCounted(body, textBytes(folder));
    return eventMessage(kEventKind, 1, body);
}

std::string statusOf(const std::string &text, const Bytes &stringA)
{
    const Bytes answer = frameBytes(callPlugin(statusEvent(stringA, textBytes(text))));
    ok(lastStackDelta() == 0, "pluginFun left the stack off by %d bytes", lastStackDelta());
    if (answer.size() < 13) return "<null>";
    const size_t at = 9 + le32At(answer, 5);
    const u32 lengthB = le32At(answer, at);
    ok(answer.size() == at + 4 + lengthB, "answer of %zu bytes, lengths say %zu", answer.size(), at + 4 + lengthB);
    return std::string(answer.begin() + at + 4, answer.end());
}

u32 le32At(const Bytes &bytes, size_t at)
{
    return getLe32(bytes.data() + at);
}

Bytes frameBytes(const u8 *message)
{
    if (!message) return Bytes();
    return Bytes(message, message + 4 + getLe32(message));
}

Bytes settingsFile(u8 buttonFlag, u8 mode, const std::string &text)
{
    Bytes bytes = {23, buttonFlag, mode};
    bytes.insert(bytes.end(), text.begin(), text.end());
    bytes.resize(259, 0);
    return bytes;
}

Bytes removeFrame(u32 handle)
{
    Bytes frame = {6, 0, 0, 0, 5, 203};
    addLe32(frame, handle);
    return frame;
}

// ---- hostFun

static u8 g_addButtonAnswer[8];
static u8 g_queryContactAnswer[9];
// Remove button, send message and append to input: an empty answer of kind 2 each.
static u8 g_otherAnswers[3][5] = {{1, 0, 0, 0, 2}, {1, 0, 0, 0, 2}, {1, 0, 0, 0, 2}};

const u8 *hostAnswerFor(u8 kind, u8 code)
{
    if (kind == 5 && code == 201) return g_host.answerAddButton ? g_addButtonAnswer : NULL;
    if (kind == 1 && code == 201) return g_host.answerQueryContact ? g_queryContactAnswer : NULL;
    if (kind == 5 && code == 203) return g_otherAnswers[0];
    if (kind == 5 && code == 1) return g_otherAnswers[1];
    if (kind == 5 && code == 112) return g_otherAnswers[2];
    return NULL;
}

const u8 *PLUGIN_CALL standinHostFun(const u8 *message)
{
    g_requests.push_back(frameBytes(message));
    // Add button: the handle right behind the length field, no kind byte.
    putLe32(g_addButtonAnswer, 4);
    putLe32(g_addButtonAnswer + 4, g_host.buttonHandle);
    // Query contact: one byte the plug-in skips, then the contact.
    putLe32(g_queryContactAnswer, 5);
    g_queryContactAnswer[4] = 2;
    putLe32(g_queryContactAnswer + 5, g_host.contact);
    const u8 kind = message[4], code = message[5];
    if (g_host.duringRequest) g_host.duringRequest(kind, code);
    return hostAnswerFor(kind, code);
}

size_t countRequests(u8 kind, u8 code)
{
    size_t n = 0;
    for (const Bytes &frame : g_requests)
        n += frame.size() > 5 && frame[4] == kind && frame[5] == code;
    return n;
}

u32 standinHostFunAddress()
{
    return (u32)(UINT_PTR)standinHostFun;
}

void resetHost()
{
    g_host = HostSettings();
    g_requests.clear();
}

// ---- files

bool writeBytes(const std::string &path, const Bytes &bytes)
{
    FILE *file = fopen(path.c_str(), "wb");
    if (!file) return false;
    const bool written = fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
    return fclose(file) == 0 && written;
}

Bytes readBytes(const std::string &path)
{
    Bytes bytes;
    FILE *file = fopen(path.c_str(), "rb");
    if (!file) return bytes;
    int c;
    while ((c = fgetc(file)) != EOF)
        bytes.push_back((u8)c);
    fclose(file);
    return bytes;
}

bool fileExists(const std::string &path)
{
    return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

std::string freshFolder(const std::string &name)
{
    CreateDirectoryA(name.c_str(), NULL);
    const std::string folder = name + "\\";
    for (const char *file : {"nowtune.dat", "nowtune.tmp"}) {
        SetFileAttributesA((folder + file).c_str(), FILE_ATTRIBUTE_NORMAL);
        DeleteFileA((folder + file).c_str());
    }
    return folder;
}

// ---- checks

void okAt(const char *file, int line, bool cond, const char *format, ...)
{
    g_checks++;
    if (cond) return;
    g_failures++;
    const char *name = strrchr(file, '/');
    printf("%s:%d: Test failed: ", name ? name + 1 : file, line);
    va_list args;
    va_start(args, format);
    vprintf(format, args);
    va_end(args);
    printf("\n");
    fflush(stdout);
}

int finishChecks(const char *name)
{
    printf("%s: %d checks, %d failed\n", name, g_checks, g_failures);
    fflush(stdout);
    return g_failures ? 1 : 0;
}

std::string hexBytes(const Bytes &bytes)
{
    std::string text;
    char piece[4];
    for (size_t i = 0; i < bytes.size(); i++) {
        snprintf(piece, sizeof(piece), i ? " %02x" : "%02x", bytes[i]);
        text += piece;
    }
    return text;
}

bool sameFrame(const Bytes &got, const Bytes &expected, const char *what)
{
    const bool same = got == expected;
    ok(same, "%s: expected [%s], got [%s]", what, hexBytes(expected).c_str(), hexBytes(got).c_str());
    return same;
}
