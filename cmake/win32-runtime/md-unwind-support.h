/* The frame-state fallback of 32-bit Windows with DWARF-2 unwinding. */
#include "config/i386/w32-unwind.h"
