# A static 32-bit x86 program that waits for one byte on standard input and
# exits with code 42. route.sh runs it to learn whether this machine executes
# 32-bit code itself rather than through an emulator.
        .text
        .globl  _start
_start:
        subl    $4, %esp
        movl    $3, %eax        # read(0, esp, 1)
        xorl    %ebx, %ebx
        movl    %esp, %ecx
        movl    $1, %edx
        int     $0x80
        movl    $1, %eax        # exit(42)
        movl    $42, %ebx
        int     $0x80
