// The x86-64 thunk (Windows convention). vorlo_call_x64(entry, slots, count, floating, floatReturn):
// RCX entry, RDX slots, R8 count, R9 where the XMM0 return goes; the fifth argument (whether XMM0
// holds a float rather than a double) is on the caller's stack at [rbp+48].
#if defined(__x86_64__)
asm(R"(
    .intel_syntax noprefix
    .text
    .globl vorlo_call_x64
    .def vorlo_call_x64; .scl 2; .type 32; .endef
    .seh_proc vorlo_call_x64
vorlo_call_x64:
    push rbp
    .seh_pushreg rbp
    mov rbp, rsp
    .seh_setframe rbp, 0
    push rsi
    .seh_pushreg rsi
    push rdi
    .seh_pushreg rdi
    push rbx
    .seh_pushreg rbx
    push r12
    .seh_pushreg r12
    .seh_endprologue
    mov r10, rcx
    mov rsi, rdx
    mov rbx, r9
    mov r12, r8
    mov rax, r8
    cmp rax, 4
    jae 1f
    mov rax, 4
1:
    shl rax, 3
    sub rsp, rax
    and rsp, -16
    mov rcx, r12
    mov rdi, rsp
    cld
    rep movsq
    mov rcx, [rsp]
    mov rdx, [rsp + 8]
    mov r8, [rsp + 16]
    mov r9, [rsp + 24]
    movq xmm0, rcx
    movq xmm1, rdx
    movq xmm2, r8
    movq xmm3, r9
    call r10
    cmp dword ptr [rbp + 48], 0
    je 2f
    cvtss2sd xmm0, xmm0
2:
    movsd qword ptr [rbx], xmm0
    lea rsp, [rbp - 32]
    pop r12
    pop rbx
    pop rdi
    pop rsi
    pop rbp
    ret
    .seh_endproc
    .att_syntax prefix
)");
#endif
