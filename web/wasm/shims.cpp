// What the module needs of a C++ runtime that WASI's builds leave out. The
// module is built without exception handling: the standard library's throws
// (a length beyond any vector, memory that is out) stop it with a trap, and
// so does libpng's longjmp (setjmp.h beside this file).
#include <setjmp.h>
#include <stddef.h>

extern "C" {

void *__cxa_allocate_exception(size_t) {
    __builtin_trap();
}

void __cxa_throw(void *, void *, void (*)(void *)) {
    __builtin_trap();
}

// thread_local objects: the module's one thread lives as long as the page,
// so they are never destroyed, like its statics.
int __cxa_thread_atexit(void (*)(void *), void *, void *) {
    return 0;
}

int setjmp(jmp_buf) {
    return 0;
}

void longjmp(jmp_buf, int) {
    __builtin_trap();
}

} // extern "C"
