/* What libgcc's configure finds about the target: nothing the unwinder or the thread-local
   emulation depends on. */
