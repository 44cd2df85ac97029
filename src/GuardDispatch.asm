; The default x64 dispatch routine of Control Flow Guard, for the library's
; load configuration (LoadConfig.c). Guarded code puts the target of an
; indirect call in RAX and calls or jumps through the dispatch slot; where no
; loader has put its own routine there, this one goes on to the target.
.code
GuardDispatchToRax PROC
    jmp rax
GuardDispatchToRax ENDP
END
