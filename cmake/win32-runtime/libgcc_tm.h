/* libgcc's own target header for the i386 family. */
#include "config/i386/value-unwind.h"
