// crt.cpp -- the few C runtime symbols the compiler may call on its own; the module links no runtime
#include "../common/types.h"
#include "../text/text.h"

#include <stddef.h>

// GCC emits calls to these for zero-filled locals and structure copies even
// with -ffreestanding, so a module without a C runtime must provide them.
extern "C" MODULE_EDGE void *memset(void *dest, int value, size_t count)
{
    fillMemory(dest, (u8)value, (u32)count);
    return dest;
}

extern "C" MODULE_EDGE void *memcpy(void *dest, const void *source, size_t count)
{
    copyMemory(dest, source, (u32)count);
    return dest;
}
