// types.h -- fixed-width types and helpers shared by the core and the shell
#pragma once

#include <stdint.h>

typedef uint8_t u8;
typedef uint16_t u16;
typedef uint32_t u32;
typedef int32_t i32;

// Element count of a real array; a pointer does not compile, so sizeof(char*)
// can never pass for a capacity.
template <typename T, u32 N>
char (&dimofHelper(T (&)[N]))[N];
#define dimof(array) ((u32)sizeof(dimofHelper(array)))

// Windows' calling convention for every function that crosses the module edge;
// natively (64-bit test builds) there is only one convention.
#if defined(_WIN32) && !defined(_WIN64)
#define PLUGIN_CALL __attribute__((stdcall))
#else
#define PLUGIN_CALL
#endif

// Link-time optimisation may drop or make local a routine that no code it sees
// calls. The entry point and the runtime routines the compiler calls on its own
// (memset, memcpy) are called from outside that code without being exported,
// so they say so.
#if defined(_WIN32)
#define MODULE_EDGE __attribute__((externally_visible))
#else
#define MODULE_EDGE
#endif
