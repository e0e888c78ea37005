/* WASI's C library has no setjmp: WebAssembly without exception handling
 * cannot jump back up the stack. libpng reports errors by longjmp; here
 * setjmp returns 0 once and longjmp stops the module (a trap), which the page
 * takes as a failure and answers with a fresh module. */
#ifndef ZEVART_WASM_SETJMP_H
#define ZEVART_WASM_SETJMP_H

#ifdef __cplusplus
extern "C" {
#endif

typedef long jmp_buf[1];
int setjmp(jmp_buf env);
_Noreturn void longjmp(jmp_buf env, int value);

#ifdef __cplusplus
}
#endif

#endif
