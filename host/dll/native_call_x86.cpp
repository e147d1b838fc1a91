// The 32-bit x86 thunk. _vorlo_call_x86(entry, words, count, ecx, edx, floating), cdecl:
// copies the argument words onto a 16-byte aligned stack, loads ECX and EDX (fastcall), calls, and
// restores ESP from its own frame, so it does not matter who removes the arguments. The x87 status
// word's stack top is compared before and after the call: when the callee left a value on the x87
// stack (a float or double return, even one declared as an integer), it is stored and popped, so the
// x87 stack never fills up.
#if defined(__i386__)
asm(R"(
    .intel_syntax noprefix
    .text
    .globl _vorlo_call_x86
    .def _vorlo_call_x86; .scl 2; .type 32; .endef
_vorlo_call_x86:
    push ebp
    mov ebp, esp
    push esi
    push edi
    push ebx
    sub esp, 12
    fnstsw ax
    mov word ptr [ebp - 16], ax
    mov ecx, [ebp + 16]
    mov esi, [ebp + 12]
    lea eax, [ecx * 4]
    sub esp, eax
    and esp, -16
    mov edi, esp
    cld
    rep movsd
    mov ecx, [ebp + 20]
    mov edx, [ebp + 24]
    call dword ptr [ebp + 8]
    mov [ebp - 20], eax
    mov [ebp - 24], edx
    fnstsw ax
    xor ax, word ptr [ebp - 16]
    test ax, 0x3800
    jz 1f
    mov ebx, [ebp + 28]
    fstp qword ptr [ebx]
1:
    mov eax, [ebp - 20]
    mov edx, [ebp - 24]
    lea esp, [ebp - 12]
    pop ebx
    pop edi
    pop esi
    pop ebp
    ret
    .att_syntax prefix
)");
#endif
