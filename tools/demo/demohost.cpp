// demohost.cpp -- the demo: loads nowtune.dll into the stand-in host beside a stand-in Winamp and shows what it answers
#include "tools/standin/standin.h"

#include <stdio.h>

// Texts the stand-in host shows are UTF-8; the module's own texts are Windows-1251.
static std::string utf8From(const Bytes &bytes, UINT codePage)
{
    if (bytes.empty()) return std::string();
    wchar_t wide[2048];
    const int units = MultiByteToWideChar(codePage, 0, (const char *)bytes.data(), (int)bytes.size(), wide, 2048);
    char text[8192];
    const int n = WideCharToMultiByte(CP_UTF8, 0, wide, units, text, sizeof(text), NULL, NULL);
    return std::string(text, n > 0 ? n : 0);
}

static Bytes slice(const Bytes &bytes, size_t at, size_t count)
{
    if (at > bytes.size()) return Bytes();
    return Bytes(bytes.begin() + at, bytes.begin() + std::min(bytes.size(), at + count));
}

static void describeRequest(const Bytes &frame)
{
    printf("  request [%s]\n", hexBytes(frame).c_str());
    const u8 kind = frame[4], code = frame[5];
    if (kind == 5 && code == 201)
        printf("    add button: function 0x%08x, icon 0x%08x, hint \"%s\"\n", le32At(frame, 6), le32At(frame, 10),
               utf8From(slice(frame, 18, le32At(frame, 14)), 1251).c_str());
    else if (kind == 5 && code == 203)
        printf("    remove button: handle 0x%08x\n", le32At(frame, 6));
    else if (kind == 1 && code == 201)
        printf("    query contact\n");
    else if (kind == 5 && code == 1)
        printf("    send message to contact 0x%08x: \"%s\"\n", le32At(frame, 6),
               utf8From(slice(frame, 18, le32At(frame, 14)), 1251).c_str());
    else if (kind == 5 && code == 112)
        printf("    append to input: \"%s\"\n", utf8From(slice(frame, 10, le32At(frame, 6)), 1251).c_str());
}

// Prints and forgets the requests the host received; returns the button
// function of an add-button request among them, if any.
static u32 describeRequests()
{
    u32 buttonFunction = 0;
    for (const Bytes &frame : g_requests) {
        describeRequest(frame);
        if (frame[4] == 5 && frame[5] == 201) buttonFunction = le32At(frame, 6);
    }
    g_requests.clear();
    return buttonFunction;
}

int main()
{
    const char *folder = "demo-settings\\";
    CreateDirectoryA("demo-settings", NULL);
    // A saved choice: the chat button on, texts sent at once, a template of two tags.
    Bytes settings = {23, 1, 0};
    const char *chatTemplate = "\xF1\xE5\xE9\xF7\xE0\xF1 \xE8\xE3\xF0\xE0\xE5\xF2: %track% (%bitrate% kbps)";
    settings.insert(settings.end(), chatTemplate, chatTemplate + strlen(chatTemplate));
    settings.resize(259, 0);
    FILE *file = fopen("demo-settings\\nowtune.dat", "wb");
    if (file) {
        fwrite(settings.data(), 1, settings.size(), file);
        fclose(file);
    }

    PlayerFigures figures;
    createPlayerW("Winamp v1.x", L"7. \x0421\x043F\x043B\x0438\x043D - \x0420\x0435\x0437\x043A\x043E - Winamp",
                  figures);
    printf("stand-in Winamp: \"7. Сплин - Резко - Winamp\", 320 kbps, 44 kHz, stereo, 4:05 long, at 1:05\n\n");

    if (!loadPlugin("nowtune.dll")) {
        printf("nowtune.dll could not be loaded, or it exports no pluginFun\n");
        return 1;
    }
    printf("load event (settings folder \"%s\"):\n", folder);
    const Bytes answer = frameBytes(callPlugin(loadEvent(folder)));
    printf("  answer [%s]\n", hexBytes(answer).c_str());
    if (answer.size() >= 13)
        printf("    kind %u, name \"%s\", value %u\n", answer[4],
               utf8From(slice(answer, 9, le32At(answer, 5)), 1251).c_str(), le32At(answer, 9 + le32At(answer, 5)));
    const u32 buttonFunction = describeRequests();

    const std::string status = "Слушаю: %track% [%bitrate% kbps, %channels%, %position%/%length%]";
    printf("\nstatus-text event, text \"%s\":\n", status.c_str());
    const Bytes reply = frameBytes(callPlugin(statusEvent(textBytes("away"), textBytes(status))));
    if (reply.size() >= 13) {
        const u32 lengthA = le32At(reply, 5);
        printf("  answer: string A \"%s\", expanded text \"%s\"\n", utf8From(slice(reply, 9, lengthA), CP_UTF8).c_str(),
               utf8From(slice(reply, 13 + lengthA, le32At(reply, 9 + lengthA)), CP_UTF8).c_str());
    } else {
        printf("  no answer\n");
    }

    printf("\nchat button pressed (template \"%s\", sent at once):\n", utf8From(textBytes(chatTemplate), 1251).c_str());
    if (buttonFunction) {
        pressButton(buttonFunction);
        describeRequests();
    } else {
        printf("  no button was added\n");
    }

    printf("\nunload event:\n");
    callPlugin(eventMessage(3, 2));
    describeRequests();
    unloadPlugin();
    destroyPlayers();
    return 0;
}
