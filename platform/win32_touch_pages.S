/*
 * Every page of a range read once.
 *
 *   void wtk_TouchPages(void)    EAX = first byte, EDX = byte count (at least 1), ECX = page size
 *
 * Reads one byte of every page of the range, and its last byte, so that each page is brought in
 * from the file now; a page that cannot be read raises here, where a guard can take it. Made through
 * wtk_CallGuarded, which catches what it raises.
 */
        .text

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
