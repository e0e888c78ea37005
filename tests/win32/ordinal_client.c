/* A client of zevart.dll that knows it only by ordinal, as a program built by
   another compiler would: no import library, no header, every call made by
   hand through the calling convention the export promises. The member calls
   and the plain calls each check that the callee cleared the stack the way
   its convention says.

   ordinal_client BMP PRT FRAME OUT
   Loads the art set, draws frame FRAME at (-left, -top) into a bottom-up
   32-bit surface of its rectangle's size, twice (the member and the index
   export must agree), and saves the surface with DIBitsToFile as a 32-bit
   bitmap file OUT.
   Exit code 0 when every call did what it should. */
#include <windows.h>

#include <stdarg.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

/* The records as the library lays them out on 32-bit Windows. */
typedef struct {
    char *bmpFileName;
    char *prtFileName;
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

_Static_assert(sizeof(art_handle) == 64, "art_handle layout");
_Static_assert(sizeof(mem_frame) == 6, "mem_frame layout");

enum {
    LOAD_ART_FROM_FILE = 8,
    CLOSE_ART = 9,
    DRAW_FRAME_DIB = 14,
    DIBITS_TO_FILE = 18,
    ART_HANDLE_CONSTRUCT = 21,
    ART_HANDLE_DESTROY = 22,
    FRAME_DRAW_SURFACE = 25,
    FRAME_GET_DRAW_RECT = 30,
};

/* Calls fn with n 32-bit arguments pushed right to left and ecx = self;
   returns eax and stores in *popped how many argument bytes the callee took
   off the stack: none for cdecl, all of them for thiscall. */
uint32_t call_raw(void *fn, void *self, int n, const uint32_t *args, int *popped);
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

static HMODULE g_lib;

static void fail(const char *what) {
    printf("ordinal_client: %s\n", what);
    fflush(stdout);
    exit(1);
}

static void *export_at(int ordinal) {
    void *fn = (void *)GetProcAddress(g_lib, MAKEINTRESOURCEA(ordinal));
    if (!fn) {
        printf("ordinal_client: zevart.dll has no ordinal %d\n", ordinal);
        fail("missing export");
    }
    return fn;
}

static uint32_t call_va(int ordinal, void *self, int member, int n, va_list ap) {
    uint32_t args[8];
    int popped, want = member ? 4 * n : 0;
    for (int i = 0; i < n; ++i) args[i] = va_arg(ap, uint32_t);
    uint32_t result = call_raw(export_at(ordinal), self, n, args, &popped);
    if (popped != want) {
        printf("ordinal_client: ordinal %d took %d bytes of arguments off the stack, %s takes %d\n",
               ordinal, popped, member ? "thiscall" : "cdecl", want);
        fail("calling convention");
    }
    return result;
}

/* A plain export: cdecl, the caller clears the stack. */
static uint32_t call_plain(int ordinal, int n, ...) {
    va_list ap;
    va_start(ap, n);
    uint32_t r = call_va(ordinal, NULL, 0, n, ap);
    va_end(ap);
    return r;
}

/* A member: thiscall, `this` in ecx, the callee clears its arguments. */
static uint32_t call_member(int ordinal, void *self, int n, ...) {
    va_list ap;
    va_start(ap, n);
    uint32_t r = call_va(ordinal, self, 1, n, ap);
    va_end(ap);
    return r;
}

#define ARG(p) ((uint32_t)(uintptr_t)(p))

/* Only the low byte of a bool result is set. */
static int as_bool(uint32_t r) {
    return (r & 0xFF) != 0;
}

int main(int argc, char **argv) {
    if (argc != 5) fail("usage: ordinal_client BMP PRT FRAME OUT");
    const char *bmp = argv[1], *prt = argv[2], *out = argv[4];
    unsigned index = (unsigned)strtoul(argv[3], NULL, 10);

    g_lib = LoadLibraryA("zevart.dll");
    if (!g_lib) fail("cannot load zevart.dll");

    /* The handle lives in this program's heap; the library only constructs it. */
    art_handle *art = HeapAlloc(GetProcessHeap(), 0, sizeof(art_handle));
    if (!art) fail("out of memory");
    memset(art, 0xCC, sizeof *art);
    call_member(ART_HANDLE_CONSTRUCT, art, 0);
    if (art->loadState != 0) fail("the constructed handle is not empty");

    int code = (int)call_plain(LOAD_ART_FROM_FILE, 3, ARG(bmp), ARG(prt), ARG(art));
    if (code != 0) {
        printf("ordinal_client: LoadArtFromFile returned %d\n", code);
        fail("load failed");
    }
    if (art->loadState != 1) fail("the loaded handle is not ART_LOADED");
    if (index >= art->frameCount) fail("no such frame");
    mem_frame *frame = (mem_frame *)art->frames + index;

    RECT r;
    memset(&r, 0xCC, sizeof r);
    if (!as_bool(call_member(FRAME_GET_DRAW_RECT, frame, 1, ARG(&r)))) fail("getDrawRect failed");
    int w = r.right - r.left, h = r.bottom - r.top;
    if (w <= 0 || h <= 0 || w > 4096 || h > 4096) fail("implausible frame rectangle");

    BITMAPINFO info;
    memset(&info, 0, sizeof info);
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = w;
    info.bmiHeader.biHeight = h; /* bottom-up, as the viewer keeps its surface */
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    size_t bytes = (size_t)w * (size_t)h * 4;
    uint8_t *a = malloc(bytes), *b = malloc(bytes);
    if (!a || !b) fail("out of memory");
    memset(a, 0xCC, bytes);
    memset(b, 0xCC, bytes);
    if (!as_bool(call_member(FRAME_DRAW_SURFACE, frame, 4, ARG(a), ARG(&info), (uint32_t)-r.left,
                             (uint32_t)-r.top)))
        fail("mem_frame::draw failed");
    if (!as_bool(call_plain(DRAW_FRAME_DIB, 6, ARG(b), ARG(&info), (uint32_t)-r.left,
                            (uint32_t)-r.top, ARG(art), index)))
        fail("drawFrameDIB failed");
    if (memcmp(a, b, bytes) != 0) fail("mem_frame::draw and drawFrameDIB differ");
    if (as_bool(call_plain(DRAW_FRAME_DIB, 6, ARG(b), ARG(&info), 0, 0, ARG(art), art->frameCount)))
        fail("drawFrameDIB took an index past the table");

    if (!as_bool(call_plain(DIBITS_TO_FILE, 4, ARG(out), ARG(a), ARG(&info), 0)))
        fail("DIBitsToFile failed");

    uint32_t sum = 0;
    for (size_t i = 0; i < bytes; ++i) sum = sum * 31 + a[i];
    printf("frame %u rect %ld %ld %ld %ld checksum %08lx\n", index, (long)r.left, (long)r.top,
           (long)r.right, (long)r.bottom, (unsigned long)sum);

    if (call_plain(CLOSE_ART, 1, ARG(art)) != 1) fail("CloseArt did not return 1");
    if (art->loadState != 0) fail("the closed handle is not empty");
    call_member(ART_HANDLE_DESTROY, art, 0);
    HeapFree(GetProcessHeap(), 0, art);
    free(a);
    free(b);
    FreeLibrary(g_lib);
    return 0;
}
