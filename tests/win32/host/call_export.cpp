#include "call_export.h"

#include "contract/win32_guard.h"


namespace wtk::win32test {

namespace {

struct RawOutcome {
    int32_t stackDelta;
    uint32_t registersPreserved;
    uint32_t chainBefore;
    uint32_t chainAfter;
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
        // The head of the exception chain before the call.
        "movl 24(%ebp), %ecx\n\t"
        "movl %fs:0, %eax\n\t"
        "movl %eax, 8(%ecx)\n\t"
        // Patterns in the registers the callee must preserve, then the call.
        "movl 12(%ebp), %eax\n\t"
        "movl 8(%ebp), %ecx\n\t"
        "movl $0x5A17B00B, %ebx\n\t"
        "movl $0x6C28C11C, %esi\n\t"
        "movl $0x7D39D22D, %edi\n\t"
        "call *%ecx\n\t"
        // Compare the stack pointer with the expected one and restore it; the chain's head after.
        "movl 24(%ebp), %ecx\n\t"
        "movl %fs:0, %edx\n\t"
        "movl %edx, 12(%ecx)\n\t"
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
    // CallWithStack's own cdecl arguments, made under the same guard the libraries use for their
    // calls into the host: what escapes the export stops there.
    struct {
        const void* function;
        uint32_t eax;
        const void* arguments;
        uint32_t argumentBytes;
        RawOutcome* outcome;
    } call{function, eax, arguments.data(), static_cast<uint32_t>(arguments.size()), &raw};
    uint32_t result[2] = {0, 0};
    CallOutcome outcome;
    outcome.escaped = wtk_CallGuarded(reinterpret_cast<const void*>(&CallWithStack), 0, 0, 0, &call, sizeof call,
                                      result, nullptr) == 0;
    outcome.eax = result[0];
    outcome.stackDelta = raw.stackDelta;
    outcome.registersPreserved = raw.registersPreserved != 0;
    outcome.chainKept = raw.chainBefore == raw.chainAfter;
    return outcome;
}

}  // namespace wtk::win32test
