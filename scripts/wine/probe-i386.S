# A static 32-bit x86 Linux program: exits 0 when 32-bit programs run here with the
# memory semantics Wine's 32-bit loader relies on, that is when a second
# MAP_FIXED_NOREPLACE mapping over a mapped range is refused with EEXIST. Exits 1 when
# the first mapping fails, 2 when the second is not refused (emulators that ignore
# the flag). A kernel that runs no 32-bit code refuses to start it at all.
        .set SYS_exit, 1
        .set SYS_mmap2, 192
        .set PROT_RW, 3
        .set MAP_PRIVATE_ANON_FIXED_NOREPLACE, 0x100022
        .set HINT, 0x30000000
        .set EEXIST, 17

        .text
        .globl _start
_start:
        call map_hint
        cmpl $HINT, %eax
        movl $1, %ebx
        jne exit
        call map_hint
        cmpl $-EEXIST, %eax
        movl $2, %ebx
        jne exit
        xorl %ebx, %ebx
exit:
        movl $SYS_exit, %eax
        int $0x80

map_hint:                       # eax = mmap2(HINT, 4096, RW, private|anon|fixed-noreplace, -1, 0)
        pushl %ebp
        movl $SYS_mmap2, %eax
        movl $HINT, %ebx
        movl $4096, %ecx
        movl $PROT_RW, %edx
        movl $MAP_PRIVATE_ANON_FIXED_NOREPLACE, %esi
        movl $-1, %edi
        xorl %ebp, %ebp
        int $0x80
        popl %ebp
        ret
