// le.h -- little-endian fields, written and read byte by byte whatever the machine's order
#pragma once

#include "types.h"

inline void putLe16(u8 *at, u16 value)
{
    at[0] = (u8)value;
    at[1] = (u8)(value >> 8);
}

inline void putLe32(u8 *at, u32 value)
{
    at[0] = (u8)value;
    at[1] = (u8)(value >> 8);
    at[2] = (u8)(value >> 16);
    at[3] = (u8)(value >> 24);
}

inline u16 getLe16(const u8 *at)
{
    return (u16)(at[0] | at[1] << 8);
}

inline u32 getLe32(const u8 *at)
{
    return (u32)at[0] | (u32)at[1] << 8 | (u32)at[2] << 16 | (u32)at[3] << 24;
}
