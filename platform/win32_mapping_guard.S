/*
 * A call during which reads of mapped files are watched.
 *
 *   void wtk_CallWatchingMappings(void (*target)(void*), void* argument);
 *
 * cdecl. Calls target(argument) with a registration record of ours heading the exception chain at
 * fs:[0], whose handler is wtk_MappingFault (win32_platform.cpp), and puts the chain back as it
 * was when target returns. target must return: no C++ exception may leave it, as that would pass
 * this frame without restoring the chain.
 */
        .text

        .globl  _wtk_CallWatchingMappings
        .def    _wtk_CallWatchingMappings; .scl 2; .type 32; .endef
_wtk_CallWatchingMappings:
        pushl   %ebp
        movl    %esp, %ebp
        /* The registration record at -8(%ebp): next record, handler. */
        pushl   $_wtk_MappingFault      /* -4(%ebp): record + 4 */
        pushl   %fs:0                   /* -8(%ebp): record + 0 */
        movl    %esp, %fs:0
        pushl   12(%ebp)                /* argument */
        call    *8(%ebp)
        movl    -8(%ebp), %ecx
        movl    %ecx, %fs:0             /* the chain as it was before the call */
        movl    %ebp, %esp
        popl    %ebp
        ret
