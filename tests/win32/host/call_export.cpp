#include "call_export.h"

namespace wtk::win32test {

namespace {

struct RawOutcome {
    int32_t stackDelta;
    uint32_t registersPreserved;
};

// cdecl: CallWithStack(function, eax, arguments, argumentBytes, outcome), returns the callee's EAX.
// The stack pointer expected after the call is the one before the arguments were copied onto the
// stack; it is kept relative to EBP, which every callee preserves. EBX, ESI and EDI are loaded with
// patterns before the call and compared afterwards.
extern "C" __attribute__((naked, used)) uint32_t CallWithStack(const void*, uint32_t, const void*, uint32_t,
                                                               RawOutcome*) {
    asm volatile(
        "pushl %ebp\n\t"
        "movl %esp, %ebp\n\t"
        "pushl %ebx\n\t"
        "pushl %esi\n\t"
        "pushl %edi\n\t"
        // Copy the argument bytes to the top of the stack.
        "movl 20(%ebp), %ecx\n\t"
        "subl %ecx, %esp\n\t"
        "movl 16(%ebp), %esi\n\t"
        "movl %esp, %edi\n\t"
        "cld\n\t"
        "rep movsb\n\t"
        // Patterns in the registers the callee must preserve, then the call.
        "movl 12(%ebp), %eax\n\t"
        "movl 8(%ebp), %ecx\n\t"
        "movl $0x5A17B00B, %ebx\n\t"
        "movl $0x6C28C11C, %esi\n\t"
        "movl $0x7D39D22D, %edi\n\t"
        "call *%ecx\n\t"
        // Compare the stack pointer with the expected one and restore it.
        "movl 24(%ebp), %ecx\n\t"
        "movl %esp, %edx\n\t"
        "leal -12(%ebp), %esp\n\t"
        "subl %esp, %edx\n\t"
        "movl %edx, (%ecx)\n\t"
        "xorl %edx, %edx\n\t"
        "cmpl $0x5A17B00B, %ebx\n\t"
        "jne 1f\n\t"
        "cmpl $0x6C28C11C, %esi\n\t"
        "jne 1f\n\t"
        "cmpl $0x7D39D22D, %edi\n\t"
        "jne 1f\n\t"
        "movl $1, %edx\n"
        "1:\n\t"
        "movl %edx, 4(%ecx)\n\t"
        "popl %edi\n\t"
        "popl %esi\n\t"
        "popl %ebx\n\t"
        "popl %ebp\n\t"
        "ret\n\t");
}

}  // namespace

CallOutcome CallExport(const void* function, uint32_t eax, const std::vector<uint8_t>& arguments) {
    RawOutcome raw{};
    CallOutcome outcome;
    outcome.eax = CallWithStack(function, eax, arguments.data(), static_cast<uint32_t>(arguments.size()), &raw);
    outcome.stackDelta = raw.stackDelta;
    outcome.registersPreserved = raw.registersPreserved != 0;
    return outcome;
}

}  // namespace wtk::win32test
