/* The target configuration libgcc's unwinder is compiled with: what the compiler's own build
   generates, reduced to the one header it includes (from the compiler's plugin headers). */
#define USED_FOR_TARGET
#include "auto-host.h"
