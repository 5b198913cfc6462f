// host.h -- module-wide handles and the requests the plug-in sends through hostFun
#pragma once

#include <windows.h>
#include "wire.h"

typedef const u8 *(NT_STDCALL *HostFun)(const u8 *message);

extern HMODULE g_hostModule;
extern HICON g_buttonIcon;
extern HostFun g_hostFun;

// The one outgoing buffer: a pointer handed out stays valid until the next frame.
const u8 *frame(const u8 *payload, u32 n);
const u8 *request(const u8 *payload, u32 n);

// The host's handle for the new button; 0 when the host gave no answer.
u32 addButton(u32 buttonFunction, u32 icon, const char *hint);
void removeButton(u32 handle);
// False when the host gave no answer.
bool queryContact(u32 *contact);
const u8 *sendMessage(u32 contact, const char *text);
const u8 *appendInput(const char *text);
