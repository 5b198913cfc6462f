// host.h -- the link to the host: the outgoing buffer and the requests the plug-in sends through hostFun
#pragma once

#include "../common/types.h"

typedef const u8 *(PLUGIN_CALL *HostFun)(const u8 *message);

// Keeps the host's request function from the load event; null sends nothing.
void initHost(HostFun hostFun);

// One outgoing buffer holds every frame the plug-in hands out, requests and
// answers alike: a pointer handed out stays valid until the next frame.
// Answers are laid out in place, in its payload: kOutPayloadCap bytes (wire.h)
// and one more for the zero behind a text that fills them.
u8 *answerPayload();
// Frames the n bytes laid out at answerPayload(); null when n is over kOutPayloadCap.
const u8 *frameAnswer(u32 n);

// The host's handle for the new button; 0 when the host gave no answer.
u32 addButton(u32 buttonFunction, u32 icon, const char *hint);
void removeButton(u32 handle);
// False when the host gave no answer.
bool queryContact(u32 *contact);
const u8 *sendToContact(u32 contact, const char *text);
const u8 *appendInput(const char *text);
