/* A client of zevart.dll that knows it only by ordinal, as a program built by
   another compiler would: no import library, no header, every call made by
   hand through the calling convention the export promises; on i686, checking
   that the callee cleared the stack the way that convention says (thiscall
   members, cdecl functions).

   ordinal_client BMP PRT FRAME OUT
   Loads the art set into a handle in its own heap, draws frame FRAME at
   (-left, -top) into a bottom-up 32-bit surface of its rectangle's size
   through the member and through the index export (they must agree), saves
   the surface with DIBitsToFile as OUT, closes the set, loads the bitmap
   file as an art-structure file and asks why that failed, and destroys the
   handle. Exit code 0 when every call did what it should. */
#include <windows.h>

#include <stdarg.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

/* The records as the library lays them out: pointers of the target's width,
   naturally aligned; mem_frame packed. */
typedef struct {
    char *bmpFileName, *prtFileName;
    uintptr_t reserved;
    int32_t loadState;
    uint32_t paletteCount;
    void *palettes;
    uint32_t imageCount;
    void *images;
    uint32_t groupCount;
    void *groups;
    uint32_t frameCount;
    void *frames;
    uint32_t picCount;
    void *pics;
    uint32_t extInfoCount;
    void *extInfos;
} art_handle;
#pragma pack(push, 1)
typedef struct {
    uint16_t picCount;
    void *pics;
} mem_frame;
#pragma pack(pop)
_Static_assert(sizeof(art_handle) == (sizeof(void *) == 4 ? 64 : 120), "art_handle layout");
_Static_assert(sizeof(mem_frame) == (sizeof(void *) == 4 ? 6 : 10), "mem_frame layout");

enum {
    LOAD_ART_FROM_FILE = 8,
    CLOSE_ART = 9,
    DRAW_FRAME_DIB = 14,
    DIBITS_TO_FILE = 18,
    ART_HANDLE_CONSTRUCT = 21,
    ART_HANDLE_DESTROY = 22,
    FRAME_DRAW_SURFACE = 25,
    FRAME_GET_DRAW_RECT = 30,
    GET_LOAD_ERROR = 36,
};

/* One argument word: every argument is an int, a pointer or a bool. */
typedef uintptr_t word;

static HMODULE g_lib;

static void fail(int ordinal, const char *what) {
    printf("ordinal_client: ordinal %d: %s\n", ordinal, what);
    fflush(stdout);
    exit(1);
}

#if defined(__i386__)
/* Calls fn with n argument words pushed right to left and ecx = self;
   returns eax and stores in *popped how many argument bytes the callee took
   off the stack: none for cdecl, all of them for thiscall. */
word call_raw(void *fn, void *self, int n, const word *args, int *popped);
__asm__(".text\n"
        ".globl _call_raw\n"
        "_call_raw:\n"
        "    pushl %ebp\n"
        "    movl %esp, %ebp\n"
        "    pushl %ebx\n"
        "    pushl %esi\n"
        "    pushl %edi\n"
        "    movl 16(%ebp), %ecx\n" /* n */
        "    movl 20(%ebp), %esi\n" /* args */
        "1:  testl %ecx, %ecx\n"
        "    jz 2f\n"
        "    decl %ecx\n"
        "    pushl (%esi,%ecx,4)\n"
        "    jmp 1b\n"
        "2:  movl %esp, %edi\n" /* kept across the call: callee-saved */
        "    movl 12(%ebp), %ecx\n"
        "    call *8(%ebp)\n"
        "    movl %esp, %edx\n"
        "    subl %edi, %edx\n"
        "    movl 24(%ebp), %ecx\n"
        "    movl %edx, (%ecx)\n"
        "    leal -12(%ebp), %esp\n"
        "    popl %edi\n"
        "    popl %esi\n"
        "    popl %ebx\n"
        "    popl %ebp\n"
        "    ret\n");

/* A member (thiscall: `this` in ecx, the callee clears its arguments) when
   self is set, else a plain function (cdecl: the caller clears them). */
static word call_export(int ordinal, void *fn, void *self, int n, const word *args) {
    int popped;
    word result = call_raw(fn, self, n, args, &popped);
    if (popped != (self ? 4 * n : 0)) fail(ordinal, self ? "is not thiscall" : "is not cdecl");
    return result;
}
#elif defined(__x86_64__)
/* One calling convention: a member takes `this` as its first argument, and
   every word goes in the register or stack slot of its position. */
static word call_export(int ordinal, void *fn, void *self, int n, const word *args) {
    word a[8] = {0};
    int k = 0;
    if (self) a[k++] = (word)self;
    for (int i = 0; i < n; ++i) a[k++] = args[i];
    typedef word (*f0)(void);
    typedef word (*f1)(word);
    typedef word (*f2)(word, word);
    typedef word (*f3)(word, word, word);
    typedef word (*f4)(word, word, word, word);
    typedef word (*f5)(word, word, word, word, word);
    typedef word (*f6)(word, word, word, word, word, word);
    switch (k) {
    case 0: return ((f0)fn)();
    case 1: return ((f1)fn)(a[0]);
    case 2: return ((f2)fn)(a[0], a[1]);
    case 3: return ((f3)fn)(a[0], a[1], a[2]);
    case 4: return ((f4)fn)(a[0], a[1], a[2], a[3]);
    case 5: return ((f5)fn)(a[0], a[1], a[2], a[3], a[4]);
    case 6: return ((f6)fn)(a[0], a[1], a[2], a[3], a[4], a[5]);
    }
    fail(ordinal, "too many arguments for this client");
    return 0;
}
#else
#error "ordinal_client knows the calling conventions of i686 and x86_64"
#endif

/* Calls the export of that ordinal with n argument words; self is the
   record of a member, or NULL for a plain function. */
static word call(int ordinal, void *self, int n, ...) {
    word args[8];
    va_list ap;
    va_start(ap, n);
    for (int i = 0; i < n; ++i) args[i] = va_arg(ap, word);
    va_end(ap);
    void *fn = (void *)GetProcAddress(g_lib, MAKEINTRESOURCEA(ordinal));
    if (!fn) fail(ordinal, "missing from zevart.dll");
    return call_export(ordinal, fn, self, n, args);
}

#define ARG(x) ((word)(x))
#define INT(x) ((word)(intptr_t)(x))
#define TRUE_BOOL(r) (((r)&0xFF) != 0) /* only the low byte of a bool result is set */
#define INT_RESULT(r) ((int32_t)(r))  /* and only the low 32 bits of an int result */

int main(int argc, char **argv) {
    if (argc != 5) fail(0, "usage: ordinal_client BMP PRT FRAME OUT");
    unsigned index = (unsigned)strtoul(argv[3], NULL, 10);
    g_lib = LoadLibraryA("zevart.dll");
    art_handle *art = HeapAlloc(GetProcessHeap(), 0, sizeof(art_handle));
    if (!g_lib || !art) fail(0, "cannot load zevart.dll");
    memset(art, 0xCC, sizeof *art);
    call(ART_HANDLE_CONSTRUCT, art, 0);
    if (art->loadState != 0) fail(ART_HANDLE_CONSTRUCT, "the handle is not empty");
    if (INT_RESULT(call(LOAD_ART_FROM_FILE, NULL, 3, ARG(argv[1]), ARG(argv[2]), ARG(art))) != 0 ||
        art->loadState != 1)
        fail(LOAD_ART_FROM_FILE, "the set did not load");
    if (index >= art->frameCount) fail(0, "no such frame");
    mem_frame *frame = (mem_frame *)art->frames + index;

    RECT r;
    memset(&r, 0xCC, sizeof r);
    if (!TRUE_BOOL(call(FRAME_GET_DRAW_RECT, frame, 1, ARG(&r))))
        fail(FRAME_GET_DRAW_RECT, "false");
    int w = r.right - r.left, h = r.bottom - r.top;
    if (w <= 0 || h <= 0 || w > 4096 || h > 4096)
        fail(FRAME_GET_DRAW_RECT, "implausible rectangle");
    BITMAPINFO info;
    memset(&info, 0, sizeof info);
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = w;
    info.bmiHeader.biHeight = h; /* bottom-up, as the viewer keeps its surface */
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    size_t bytes = (size_t)w * (size_t)h * 4;
    uint8_t *a = malloc(bytes), *b = malloc(bytes);
    if (!a || !b) fail(0, "out of memory");
    memset(a, 0xCC, bytes);
    memset(b, 0xCC, bytes);
    word x = INT(-r.left), y = INT(-r.top);
    if (!TRUE_BOOL(call(FRAME_DRAW_SURFACE, frame, 4, ARG(a), ARG(&info), x, y)))
        fail(FRAME_DRAW_SURFACE, "false");
    if (!TRUE_BOOL(call(DRAW_FRAME_DIB, NULL, 6, ARG(b), ARG(&info), x, y, ARG(art), ARG(index))) ||
        memcmp(a, b, bytes) != 0)
        fail(DRAW_FRAME_DIB, "false, or not what the member drew");
    if (TRUE_BOOL(
            call(DRAW_FRAME_DIB, NULL, 6, ARG(b), ARG(&info), INT(0), INT(0), ARG(art), ARG(art->frameCount))))
        fail(DRAW_FRAME_DIB, "took an index past the table");
    if (!TRUE_BOOL(call(DIBITS_TO_FILE, NULL, 4, ARG(argv[4]), ARG(a), ARG(&info), INT(0))))
        fail(DIBITS_TO_FILE, "false");
    if (INT_RESULT(call(CLOSE_ART, NULL, 1, ARG(art))) != 1 || art->loadState != 0)
        fail(CLOSE_ART, "did not return 1 and empty the handle");

    /* A bitmap file does not start with "CPAL": code 1, at byte 0. */
    char reason[256];
    int64_t offset = -2;
    if (INT_RESULT(call(LOAD_ART_FROM_FILE, NULL, 3, ARG(argv[1]), ARG(argv[1]), ARG(art))) != 1 ||
        art->loadState != 3)
        fail(LOAD_ART_FROM_FILE, "loaded a bitmap file as an art-structure file");
    if (INT_RESULT(call(GET_LOAD_ERROR, NULL, 4, ARG(art), ARG(reason), ARG(sizeof reason),
                        ARG(&offset))) != 1 ||
        offset != 0 || !strstr(reason, "not with \"CPAL\""))
        fail(GET_LOAD_ERROR, "did not give the failed load's code, offset and reason");
    if (INT_RESULT(call(CLOSE_ART, NULL, 1, ARG(art))) != 1 ||
        INT_RESULT(call(GET_LOAD_ERROR, NULL, 4, ARG(art), ARG(NULL), ARG(0), ARG(NULL))) != -1)
        fail(GET_LOAD_ERROR, "kept the report of a closed handle");
    call(ART_HANDLE_DESTROY, art, 0);
    HeapFree(GetProcessHeap(), 0, art);
    free(a);
    free(b);
    FreeLibrary(g_lib);
    return 0;
}
