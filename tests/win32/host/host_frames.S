/*
 * What the host's runtime does when a stream operation fails: it raises a non-continuable
 * structured exception from inside its own code, below frames of its own that clean up when an
 * unwind passes through them.
 *
 *   void wtk_test_RaiseInHostFrame(uint32_t code, int32_t* unwound);   cdecl
 *
 * Puts a registration record of "the host" on the exception chain, whose handler adds 1 to
 * *unwound when an unwind passes (and otherwise lets the search go on), then raises the exception
 * with no arguments. A guard that catches it unwinds through the record and never comes back here.
 */
        .text
        .globl  _wtk_test_RaiseInHostFrame
        .def    _wtk_test_RaiseInHostFrame; .scl 2; .type 32; .endef
_wtk_test_RaiseInHostFrame:
        pushl   %ebp
        movl    %esp, %ebp
        pushl   12(%ebp)                        /* record + 8: the counter */
        pushl   $_wtk_test_HostFrameHandler     /* record + 4 */
        pushl   %fs:0                           /* record + 0 */
        movl    %esp, %fs:0
        pushl   $0                              /* lpArguments */
        pushl   $0                              /* nNumberOfArguments */
        pushl   $1                              /* EXCEPTION_NONCONTINUABLE */
        pushl   8(%ebp)                         /* dwExceptionCode */
        call    *__imp__RaiseException@16
        /* Not reached when somebody handles the exception; the record goes all the same. */
        movl    -12(%ebp), %eax
        movl    %eax, %fs:0
        leave
        ret

        .def    _wtk_test_HostFrameHandler; .scl 3; .type 32; .endef
_wtk_test_HostFrameHandler:
        movl    4(%esp), %eax                   /* the exception record */
        testl   $6, 4(%eax)                     /* unwinding or exit unwind */
        jz      1f
        movl    8(%esp), %eax                   /* our record */
        movl    8(%eax), %eax
        incl    (%eax)
1:
        movl    $1, %eax                        /* ExceptionContinueSearch */
        ret

/*
 * RtlUnwind as Windows NT, 2000 and XP return from it, put into a library's import table.
 *
 *   void __stdcall wtk_test_RtlUnwind(void* targetFrame, void* targetIp, EXCEPTION_RECORD* record,
 *                                     void* returnValue);
 *
 * The NT family's RtlUnwind ends by resuming its caller through ZwContinue with a context whose
 * integer registers were captured as zero: EAX holds the ReturnValue argument and EBX, ESI, EDI,
 * ECX and EDX are 0 (Wine's keeps them). wtk_test_UnwindReturnsAsNt (stand_ins.cpp) counts the
 * call and says whether this one returns that way; otherwise the real RtlUnwind is called as it
 * is.
 */
        .globl  _wtk_test_RtlUnwind@16
        .def    _wtk_test_RtlUnwind@16; .scl 2; .type 32; .endef
_wtk_test_RtlUnwind@16:
        call    _wtk_test_UnwindReturnsAsNt
        testl   %eax, %eax
        jz      1f
        pushl   16(%esp)                        /* returnValue */
        pushl   16(%esp)                        /* record */
        pushl   16(%esp)                        /* targetIp */
        pushl   16(%esp)                        /* targetFrame */
        call    *__imp__RtlUnwind@16
        movl    16(%esp), %eax                  /* returnValue */
        xorl    %ebx, %ebx
        xorl    %esi, %esi
        xorl    %edi, %edi
        xorl    %ecx, %ecx
        xorl    %edx, %edx
        ret     $16
1:
        jmp     *__imp__RtlUnwind@16
