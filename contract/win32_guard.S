/*
 * A call into the host's code, guarded against the structured exceptions its runtime raises.
 *
 *   uint32_t wtk_CallGuarded(const void* target, uint32_t eax, uint32_t edx, uint32_t ecx,
 *                            const void* stackArguments, uint32_t stackBytes, uint32_t result[2],
 *                            int (*takes)(const EXCEPTION_RECORD*));
 *
 * cdecl. Loads EAX, EDX and ECX, pushes the stackBytes bytes (a multiple of 4) at stackArguments as they lie in
 * memory (the lowest address on top of the stack) and calls target, which may remove them or not:
 * the stack pointer is restored from the frame either way. The target's EAX and EDX go to result[0]
 * and result[1], and the answer is 1.
 *
 * For the length of the call a registration record of ours heads the exception chain at fs:[0].
 * An exception raised in the target reaches our handler first among the libraries' frames. Unless
 * takes is given and answers 0 for it (the exception then goes on to the handlers below), the
 * handler lets RtlUnwind unwind the host's frames above ours (their handlers run with the
 * unwinding flag, which is how the host's own cleanup runs), then resumes in this function's frame
 * with the answer 0. Either way the chain is put back to what it was before the call. No C or C++
 * frame lies between the record and the target.
 */
        .text

        .globl  _wtk_CallGuarded
        .def    _wtk_CallGuarded; .scl 2; .type 32; .endef
_wtk_CallGuarded:
        pushl   %ebp
        movl    %esp, %ebp
        pushl   %ebx                    /* -4(%ebp) */
        pushl   %esi                    /* -8(%ebp) */
        pushl   %edi                    /* -12(%ebp) */
        /* The registration record at -24(%ebp): next record, handler, and our frame pointer. */
        pushl   %ebp                    /* -16(%ebp): record + 8 */
        pushl   $_wtk_GuardHandler      /* -20(%ebp): record + 4 */
        pushl   %fs:0                   /* -24(%ebp): record + 0 */
        movl    %esp, %fs:0

        /* The arguments go over a 4-byte slot at a time, in a plain loop: they are none, one or
           two slots, for which a string move's start-up costs more than the copy itself, and this
           runs for every line an import writes or reports. */
        movl    28(%ebp), %ecx          /* stackBytes, a multiple of 4 */
        subl    %ecx, %esp
        movl    24(%ebp), %esi          /* stackArguments */
        jmp     2f
3:
        movl    (%esi,%ecx), %eax
        movl    %eax, (%esp,%ecx)
2:
        subl    $4, %ecx
        jns     3b
        movl    12(%ebp), %eax
        movl    16(%ebp), %edx
        movl    20(%ebp), %ecx
        call    *8(%ebp)

        movl    32(%ebp), %ecx          /* result */
        movl    %eax, (%ecx)
        movl    %edx, 4(%ecx)
        movl    $1, %eax
wtk_GuardLeave:
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
 * While an unwind passes through (flags EXCEPTION_UNWINDING 2 or EXCEPTION_EXIT_UNWIND 4) there is
 * nothing of ours to clean up: continue the search (1). Otherwise this is the exception raised
 * during the call: unwind everything above our record, then leave wtk_CallGuarded with 0. The
 * handler does not return to the dispatcher on that path.
 *
 * No register survives RtlUnwind: Windows NT, 2000 and XP resume its caller through ZwContinue
 * with a context whose EBX, ESI, EDI, ECX and EDX were captured as zero (EAX holds ReturnValue);
 * only Wine's keeps them. Afterwards our record heads the chain at fs:[0] again, and the record
 * gives the frame: it lies at -24(%ebp) of wtk_CallGuarded and holds that EBP at record + 8.
 */
        .def    _wtk_GuardHandler; .scl 3; .type 32; .endef
_wtk_GuardHandler:
        movl    4(%esp), %eax           /* the exception record */
        testl   $6, 4(%eax)             /* ExceptionFlags */
        jnz     1f
        movl    8(%esp), %ecx           /* our registration record */
        movl    8(%ecx), %ecx           /* wtk_CallGuarded's frame */
        movl    36(%ecx), %ecx          /* takes */
        testl   %ecx, %ecx
        jz      2f
        pushl   %eax
        call    *%ecx
        addl    $4, %esp
        testl   %eax, %eax
        jz      1f
        movl    4(%esp), %eax           /* the exception record */
2:
        movl    8(%esp), %ecx           /* our registration record */
        pushl   $0                      /* ReturnValue */
        pushl   %eax                    /* ExceptionRecord */
        pushl   $wtk_GuardUnwound       /* TargetIp */
        pushl   %ecx                    /* TargetFrame */
        call    *__imp__RtlUnwind@16
wtk_GuardUnwound:
        /* Back to wtk_CallGuarded's frame, whose epilogue sets ESP from EBP and restores EBX, ESI
           and EDI from where the call saved them. */
        movl    %fs:0, %ecx             /* our record */
        movl    8(%ecx), %ebp
        xorl    %eax, %eax
        jmp     wtk_GuardLeave
1:
        movl    $1, %eax                /* ExceptionContinueSearch */
        ret
