/*
 * Reads of mapped files, watched.
 *
 *   uint32_t wtk_CallWatchingMappings(void (*target)(void*), void* argument);
 *
 * cdecl. Calls target(argument) with a registration record of ours heading the exception chain at
 * fs:[0] and puts the chain back as it was; the answer is 1. A read of a mapped file that fails
 * during the call (an in-page error at an address that wtk_IsFailedViewRead, in
 * win32_platform.cpp, knows as one of the views being read) unwinds every frame above ours and
 * ends the call with the answer 0: the failed read is never resumed. Any other exception goes on
 * to the handlers below. target must not let a C++ exception out, as that would pass this frame
 * without restoring the chain.
 *
 *   void wtk_TouchPages(void)    EAX = first byte, EDX = byte count (at least 1), ECX = page size
 *
 * Reads one byte of every page of the range, and its last byte, so that each page is brought in
 * from the file now; a page that cannot be read raises here, where a guard can take it. Made through
 * wtk_CallGuarded, which catches what it raises.
 */
        .text

        .globl  _wtk_CallWatchingMappings
        .def    _wtk_CallWatchingMappings; .scl 2; .type 32; .endef
_wtk_CallWatchingMappings:
        pushl   %ebp
        movl    %esp, %ebp
        pushl   %ebx                    /* -4(%ebp) */
        pushl   %esi                    /* -8(%ebp) */
        pushl   %edi                    /* -12(%ebp) */
        /* The registration record at -24(%ebp): next record, handler, and our frame pointer. */
        pushl   %ebp                    /* -16(%ebp): record + 8 */
        pushl   $_wtk_MappingHandler    /* -20(%ebp): record + 4 */
        pushl   %fs:0                   /* -24(%ebp): record + 0 */
        movl    %esp, %fs:0
        pushl   12(%ebp)                /* argument */
        call    *8(%ebp)
        movl    $1, %eax
wtk_WatchLeave:
        leal    -24(%ebp), %esp
        popl    %ecx
        movl    %ecx, %fs:0             /* the chain as it was before the call */
        addl    $8, %esp
        popl    %edi
        popl    %esi
        popl    %ebx
        popl    %ebp
        ret

/*
 * EXCEPTION_DISPOSITION __cdecl handler(EXCEPTION_RECORD* record, void* registration,
 *                                       CONTEXT* context, void* dispatcherContext)
 * A failed read of a watched view unwinds the frames above our record and leaves
 * wtk_CallWatchingMappings with 0; while an unwind passes through, or for any other exception, the
 * search goes on (1). As in the guard of the host's calls, no register is trusted across
 * RtlUnwind (the NT family's returns with them zero): the record at fs:[0] gives the frame back.
 */
        .def    _wtk_MappingHandler; .scl 3; .type 32; .endef
_wtk_MappingHandler:
        movl    4(%esp), %eax           /* the exception record */
        testl   $6, 4(%eax)             /* ExceptionFlags: unwinding or exit unwind */
        jnz     1f
        pushl   %eax
        call    _wtk_IsFailedViewRead
        addl    $4, %esp
        testl   %eax, %eax
        jz      1f
        movl    4(%esp), %eax           /* the exception record */
        movl    8(%esp), %ecx           /* our registration record */
        pushl   $0                      /* ReturnValue */
        pushl   %eax                    /* ExceptionRecord */
        pushl   $wtk_WatchUnwound       /* TargetIp */
        pushl   %ecx                    /* TargetFrame */
        call    *__imp__RtlUnwind@16
wtk_WatchUnwound:
        movl    %fs:0, %ecx             /* our record, first on the chain again */
        movl    8(%ecx), %ebp
        xorl    %eax, %eax
        jmp     wtk_WatchLeave
1:
        movl    $1, %eax                /* ExceptionContinueSearch */
        ret

        .globl  _wtk_TouchPages
        .def    _wtk_TouchPages; .scl 2; .type 32; .endef
_wtk_TouchPages:
        pushl   %ebx
        leal    -1(%eax,%edx), %edx     /* the last byte */
1:
        movb    (%eax), %bl
        addl    %ecx, %eax
        jc      2f                      /* past the end of the address space */
        cmpl    %edx, %eax
        jb      1b
2:
        movb    (%edx), %bl
        popl    %ebx
        ret
