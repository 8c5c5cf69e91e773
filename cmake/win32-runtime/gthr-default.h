/* The win32 thread model, that of the compilers the DLLs are built with. */
#include "config/i386/gthr-win32.h"
