// events.h -- the host's events built byte by byte as the host sends them, for the stand-in host and the tests
#pragma once

#include "common/types.h"

#include <string>
#include <vector>

typedef std::vector<u8> Bytes;

const u8 kEventKind = 3;
const u8 kStatusTextCode = 223;
// A status-text event starts its body with five bytes the plug-in does not read.
const size_t kStatusUnreadBytes = 5;
const u8 kStatusUnreadFill = 0xEE;

inline void addLe32(Bytes &bytes, u32 value)
{
    for (int i = 0; i < 4; i++)
        bytes.push_back((u8)(value >> (8 * i)));
}

inline void addCounted(Bytes &bytes, const Bytes &text)
{
    addLe32(bytes, (u32)text.size());
    bytes.insert(bytes.end(), text.begin(), text.end());
}

inline Bytes textBytes(const std::string &text)
{
    return Bytes(text.begin(), text.end());
}

inline Bytes eventMessage(u8 kind, u8 code, const Bytes &body = Bytes())
{
    Bytes message;
    addLe32(message, (u32)(2 + body.size()));
    message.push_back(kind);
    message.push_back(code);
    message.insert(message.end(), body.begin(), body.end());
    return message;
}

inline Bytes statusEvent(const Bytes &stringA, const Bytes &stringB)
{
    Bytes body(kStatusUnreadBytes, kStatusUnreadFill);
    addCounted(body, stringA);
    addCounted(body, stringB);
    return eventMessage(kEventKind, kStatusTextCode, body);
}
