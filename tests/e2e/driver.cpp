#include "driver.h"

#include "resource.h"

#include <commctrl.h>

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace drive {

bool wait_until(const std::function<bool()> &done, int ms) {
    DWORD start = GetTickCount();
    for (;;) {
        if (done()) return true;
        if (int(GetTickCount() - start) > ms) return false;
        Sleep(10);
    }
}

// ----- the viewer process -----

namespace {

struct find_state {
    DWORD pid;
    std::function<bool(HWND)> match;
    HWND found;
    bool hiddenToo = false;
};

BOOL CALLBACK find_proc(HWND hwnd, LPARAM param) {
    auto *s = reinterpret_cast<find_state *>(param);
    DWORD pid = 0;
    GetWindowThreadProcessId(hwnd, &pid);
    if (pid == s->pid && (s->hiddenToo || IsWindowVisible(hwnd)) && s->match(hwnd)) {
        s->found = hwnd;
        return FALSE;
    }
    return TRUE;
}

// A visible top-level window of the process that `match` accepts.
HWND find_top(DWORD pid, const std::function<bool(HWND)> &match, int ms) {
    HWND found = nullptr;
    wait_until(
        [&] {
            find_state s{pid, match, nullptr};
            EnumWindows(find_proc, reinterpret_cast<LPARAM>(&s));
            found = s.found;
            return found != nullptr;
        },
        ms);
    return found;
}

} // namespace

viewer::viewer(const std::string &exe, const std::string &folder) {
    STARTUPINFOA si{};
    si.cb = sizeof si;
    std::string cmd = "\"" + exe + "\"";
    if (!CreateProcessA(exe.c_str(), &cmd[0], nullptr, nullptr, FALSE, 0, nullptr,
                        folder.empty() ? nullptr : folder.c_str(), &si, &process_))
        return;
    pid_ = process_.dwProcessId;
    main_ = find_top(
        pid_, [](HWND h) { return window_text(h) == "zevart Viewer"; }, kStepMs);
}

viewer::~viewer() {
    if (!process_.hProcess) return;
    if (WaitForSingleObject(process_.hProcess, 0) == WAIT_TIMEOUT) {
        // Close whatever modal window is open, then leave by the menu.
        for (int i = 0; i < 5 && main_ && IsWindow(main_) && !IsWindowEnabled(main_); ++i) {
            HWND box = find_top(
                pid_, [&](HWND h) { return h != main_ && window_class(h) == "#32770"; }, 200);
            if (box) PostMessageA(box, WM_CLOSE, 0, 0);
            Sleep(50);
        }
        PostMessageA(main_, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
        if (WaitForSingleObject(process_.hProcess, 3000) == WAIT_TIMEOUT)
            TerminateProcess(process_.hProcess, 99);
    }
    CloseHandle(process_.hThread);
    CloseHandle(process_.hProcess);
}

void viewer::command(UINT id) const {
    PostMessageA(main_, WM_COMMAND, MAKEWPARAM(id, 0), 0);
}

void viewer::post(UINT msg, WPARAM wParam, LPARAM lParam) const {
    PostMessageA(main_, msg, wParam, lParam);
}

void viewer::key(UINT vk) const {
    UINT scan = MapVirtualKeyA(vk, MAPVK_VK_TO_VSC);
    PostMessageA(main_, WM_KEYDOWN, vk, LPARAM(1 | scan << 16));
    PostMessageA(main_, WM_KEYUP, vk, LPARAM(1 | scan << 16 | 3u << 30));
}

bool viewer::wait_exit(DWORD *exitCode, int ms) {
    if (WaitForSingleObject(process_.hProcess, DWORD(ms)) != WAIT_OBJECT_0) return false;
    GetExitCodeProcess(process_.hProcess, exitCode);
    return true;
}

// ----- windows of the viewer -----

std::string window_text(HWND hwnd) {
    char buffer[1024] = "";
    DWORD_PTR n = 0;
    // Not SMTO_ABORTIFHUNG: a busy machine can hold the viewer up, and a
    // failed read must not pass for an empty text.
    if (!SendMessageTimeoutA(hwnd, WM_GETTEXT, sizeof buffer, LPARAM(buffer), SMTO_NORMAL, kStepMs,
                             &n))
        return "(no answer, error " + std::to_string(GetLastError()) + ")";
    // The text ends at its terminator, whatever count comes back across
    // processes.
    return std::string(buffer, strnlen(buffer, std::min<size_t>(n, sizeof buffer - 1)));
}

std::string window_class(HWND hwnd) {
    char buffer[256] = "";
    GetClassNameA(hwnd, buffer, sizeof buffer);
    return buffer;
}

HWND find_dialog(DWORD pid, const std::string &caption, int ms) {
    return find_top(
        pid, [&](HWND h) { return window_class(h) == "#32770" && window_text(h) == caption; }, ms);
}

namespace {

// The static control that holds a message box's text (not its icon).
HWND message_static(HWND box) {
    for (HWND child = GetWindow(box, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
        if (window_class(child) != "Static") continue;
        if ((GetWindowLongA(child, GWL_STYLE) & SS_TYPEMASK) == SS_ICON) continue;
        if (!window_text(child).empty()) return child;
    }
    return nullptr;
}

} // namespace

HWND find_message_box(DWORD pid, int ms) {
    return find_top(
        pid,
        [](HWND h) {
            return window_class(h) == "#32770" && message_static(h) &&
                   !GetDlgItem(h, 0x47C); // not an open dialog
        },
        ms);
}

std::string message_text(HWND box) {
    HWND text = message_static(box);
    return text ? window_text(text) : std::string();
}

void click(HWND dialog, int id) {
    PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), LPARAM(GetDlgItem(dialog, id)));
}

void choose_file(HWND fileDialog, const std::string &path) {
    if (path.empty()) {
        click(fileDialog, IDCANCEL);
        return;
    }
    HWND box = GetDlgItem(fileDialog, 0x47C);
    HWND edit = box;
    if (window_class(box) == "ComboBoxEx32") {
        edit = HWND(SendMessageA(box, CBEM_GETEDITCONTROL, 0, 0));
    } else if (window_class(box) == "ComboBox") {
        COMBOBOXINFO info{};
        info.cbSize = sizeof info;
        if (GetComboBoxInfo(box, &info)) edit = info.hwndItem;
    }
    SendMessageA(edit, WM_SETTEXT, 0, LPARAM(path.c_str()));
    click(fileDialog, IDOK);
}

bool wait_hidden(HWND hwnd, int ms) {
    return wait_until([&] { return !IsWindow(hwnd) || !IsWindowVisible(hwnd); }, ms);
}

// ----- the probe inside the viewer -----

probe_report *probe(const viewer &v) {
    if (v.probe_) return v.probe_;
    // One report for the viewers of this program, one after another.
    static HANDLE mapping = CreateFileMappingA(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0,
                                               sizeof(probe_report), kProbeMapping);
    static auto *report = static_cast<probe_report *>(
        MapViewOfFile(mapping, FILE_MAP_WRITE, 0, 0, sizeof(probe_report)));
    if (!report) return nullptr;
    *report = probe_report();
    report->mainWindow = v.main();
    // A thread of the viewer loads it; LoadLibraryA lies where it lies here,
    // kernel32 having one place in every process.
    char path[MAX_PATH];
    GetModuleFileNameA(nullptr, path, MAX_PATH);
    strcpy(strrchr(path, '\\') + 1, "viewer_probe.dll");
    void *name = VirtualAllocEx(v.process(), nullptr, sizeof path, MEM_COMMIT, PAGE_READWRITE);
    if (!name || !WriteProcessMemory(v.process(), name, path, sizeof path, nullptr)) return nullptr;
    auto load = reinterpret_cast<LPTHREAD_START_ROUTINE>(
        reinterpret_cast<void *>(GetProcAddress(GetModuleHandleA("kernel32.dll"), "LoadLibraryA")));
    HANDLE thread = CreateRemoteThread(v.process(), nullptr, 0, load, name, 0, nullptr);
    DWORD loaded = 0;
    if (thread && WaitForSingleObject(thread, kStepMs) == WAIT_OBJECT_0)
        GetExitCodeThread(thread, &loaded);
    if (thread) CloseHandle(thread);
    return loaded ? v.probe_ = report : nullptr;
}

namespace {

// The probe's answer to a question, or -1.
LRESULT ask_probe(const viewer &v, WPARAM question) {
    DWORD_PTR answer = 0;
    if (!probe(v) || !SendMessageTimeoutA(v.main(), RegisterWindowMessageA(kProbeQuestion),
                                          question, 0, SMTO_ABORTIFHUNG, kStepMs, &answer))
        return -1;
    return LRESULT(answer);
}

} // namespace

bool menu_grayed(const viewer &v, UINT id) {
    LRESULT state = ask_probe(v, id);
    return state == -1 || (state & MF_GRAYED); // unreadable: a test expecting it enabled says so
}

bool animation_playing(const viewer &v) {
    return ask_probe(v, 0) == 1;
}

bool press(const viewer &v, const probe_press &p) {
    probe_report *report = probe(v);
    if (!report) return false;
    report->press = p;
    DWORD_PTR done = 0;
    return SendMessageTimeoutA(v.main(), RegisterWindowMessageA(kProbePress), 0, 0,
                               SMTO_ABORTIFHUNG, kStepMs, &done) &&
           done == 1;
}

// ----- high-level steps -----

bool load_art(const viewer &v, const std::string &bmp, const std::string &prt) {
    v.command(ID_FILE_LOADART);
    HWND dialog = find_dialog(v.pid(), "Select Bitmap-File (zev_art.bmp)");
    if (!dialog) return false;
    choose_file(dialog, bmp.empty() ? bmp : wine_path(bmp));
    if (!wait_hidden(dialog)) return false;
    dialog = find_dialog(v.pid(), "Select PRT-File (zev_art.prt)");
    if (!dialog) return false;
    choose_file(dialog, prt.empty() ? prt : wine_path(prt));
    return wait_hidden(dialog);
}

HWND selection_dialog(const viewer &v) {
    // Enumerated from a snapshot: a window that goes meanwhile ends no search.
    find_state s{
        v.pid(),
        [&](HWND h) { return GetWindow(h, GW_OWNER) == v.main() && GetDlgItem(h, IDC_TREE); },
        nullptr, true};
    EnumWindows(find_proc, reinterpret_cast<LPARAM>(&s));
    return s.found;
}

HWND select_kind(const viewer &v, UINT command, const std::string &caption) {
    v.command(command);
    HWND dialog = find_dialog(v.pid(), caption);
    if (!dialog) return nullptr;
    RECT main;
    GetWindowRect(v.main(), &main);
    SetWindowPos(dialog, nullptr, main.right + 8, main.top, 0, 0,
                 SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    // The dialog shows before the command is done (it then fills the tree
    // and applies): a message sent now is answered once it is.
    DWORD_PTR ignored;
    SendMessageTimeoutA(v.main(), WM_NULL, 0, 0, SMTO_ABORTIFHUNG, kStepMs, &ignored);
    return dialog;
}

void type(HWND edit, const std::string &text) {
    for (char c : text) SendMessageA(edit, WM_CHAR, WPARAM(static_cast<unsigned char>(c)), 1);
}

void click_spin(HWND spin, bool up) {
    RECT r;
    GetClientRect(spin, &r);
    LPARAM at = MAKELPARAM(r.right / 2, up ? r.bottom / 4 : r.bottom * 3 / 4);
    PostMessageA(spin, WM_LBUTTONDOWN, MK_LBUTTON, at);
    PostMessageA(spin, WM_LBUTTONUP, 0, at);
    // The pointer leaves: an up-down control that thinks it is still under
    // the pointer acts at every timer it sets, later arrow keys' included.
    PostMessageA(spin, WM_MOUSELEAVE, 0, 0);
}

HWND focus_of(HWND hwnd) {
    GUITHREADINFO info{};
    info.cbSize = sizeof info;
    return GetGUIThreadInfo(GetWindowThreadProcessId(hwnd, nullptr), &info) ? info.hwndFocus
                                                                            : nullptr;
}

save_dialog save_object(const viewer &v, const std::string &path, int filter) {
    save_dialog result;
    v.command(ID_FILE_SAVEOBJECT);
    // A message instead of the dialog ends the wait.
    HWND dialog = nullptr;
    wait_until([&] {
        return (dialog = find_dialog(v.pid(), "Save Object", 0)) || find_message_box(v.pid(), 0);
    });
    if (!dialog) return result;
    HWND types = GetDlgItem(dialog, 0x470); // the file-type list
    int count = int(SendMessageA(types, CB_GETCOUNT, 0, 0));
    for (int i = 0; i < count; ++i) {
        // The list holds wide texts; an ANSI read of another process's list
        // would get them unconverted.
        wchar_t wide[256] = L"";
        char text[512] = "";
        if (SendMessageW(types, CB_GETLBTEXTLEN, WPARAM(i), 0) < 256)
            SendMessageW(types, CB_GETLBTEXT, WPARAM(i), LPARAM(wide));
        WideCharToMultiByte(CP_ACP, 0, wide, -1, text, sizeof text, nullptr, nullptr);
        result.filters.push_back(text);
    }
    result.shownFilter = int(SendMessageA(types, CB_GETCURSEL, 0, 0)) + 1;
    filter = std::min(filter, count);
    result.chosenFilter = filter > 0 ? filter : result.shownFilter;
    if (filter > 0) {
        // As a person's choice in the list: the selection, then its notices.
        SendMessageA(types, CB_SETCURSEL, WPARAM(filter - 1), 0);
        SendMessageA(dialog, WM_COMMAND, MAKEWPARAM(0x470, CBN_SELCHANGE), LPARAM(types));
        SendMessageA(dialog, WM_COMMAND, MAKEWPARAM(0x470, CBN_SELENDOK), LPARAM(types));
    }
    choose_file(dialog, path);
    result.came = wait_hidden(dialog);
    return result;
}

message next_message(const viewer &v, int ms) {
    message m;
    m.box = find_message_box(v.pid(), ms);
    if (m.box) {
        m.caption = window_text(m.box);
        m.text = message_text(m.box);
    }
    return m;
}

bool answer(const message &m, int id) {
    if (!m.box) return false;
    click(m.box, id);
    return wait_hidden(m.box);
}

bool load_ok(const viewer &v, const std::string &bmp, const std::string &prt, std::string *why) {
    auto fail = [&](const std::string &text) {
        if (why) *why = text;
        return false;
    };
    if (!load_art(v, bmp, prt)) return fail("an open dialog did not come or go");
    message m = next_message(v);
    if (m.text == "This will unload the current file. Continue?") {
        if (!answer(m, IDYES)) return fail("the unload question did not go");
        m = next_message(v);
    }
    if (m.text != "Art-structure succesfully loaded.")
        return fail("expected the success message, got \"" + m.text + "\"");
    if (!answer(m, IDOK)) return fail("the success message did not go");
    return true;
}

// ----- the tree -----

std::vector<tree_item> tree_items(HANDLE process, HWND tree) {
    std::vector<tree_item> items;
    const SIZE_T textSize = 260;
    void *remote = VirtualAllocEx(process, nullptr, sizeof(TVITEMA) + textSize,
                                  MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
    if (!remote) return items;
    char *remoteText = static_cast<char *>(remote) + sizeof(TVITEMA);

    auto read_item = [&](HTREEITEM h, int depth) {
        TVITEMA tv{};
        tv.mask = TVIF_TEXT | TVIF_STATE;
        tv.hItem = h;
        tv.stateMask = TVIS_EXPANDED;
        tv.pszText = remoteText;
        tv.cchTextMax = int(textSize);
        char text[textSize] = "";
        WriteProcessMemory(process, remote, &tv, sizeof tv, nullptr);
        WriteProcessMemory(process, remoteText, text, 1, nullptr);
        SendMessageA(tree, TVM_GETITEMA, 0, LPARAM(remote));
        ReadProcessMemory(process, remote, &tv, sizeof tv, nullptr);
        ReadProcessMemory(process, remoteText, text, textSize, nullptr);
        text[textSize - 1] = '\0';
        items.push_back({depth, text, (tv.state & TVIS_EXPANDED) != 0, h});
    };
    std::function<void(HTREEITEM, int)> walk = [&](HTREEITEM h, int depth) {
        for (; h; h = HTREEITEM(SendMessageA(tree, TVM_GETNEXTITEM, TVGN_NEXT, LPARAM(h)))) {
            read_item(h, depth);
            walk(HTREEITEM(SendMessageA(tree, TVM_GETNEXTITEM, TVGN_CHILD, LPARAM(h))), depth + 1);
        }
    };
    walk(HTREEITEM(SendMessageA(tree, TVM_GETNEXTITEM, TVGN_ROOT, 0)), 0);
    VirtualFreeEx(process, remote, 0, MEM_RELEASE);
    return items;
}

// ----- pixels -----

picture capture_client(HWND hwnd) {
    picture p;
    RECT client;
    if (!GetClientRect(hwnd, &client)) return p;
    p.width = client.right;
    p.height = client.bottom;
    if (p.width <= 0 || p.height <= 0) return p;

    BITMAPINFO bi{};
    bi.bmiHeader.biSize = sizeof bi.bmiHeader;
    bi.bmiHeader.biWidth = p.width;
    bi.bmiHeader.biHeight = -p.height;
    bi.bmiHeader.biPlanes = 1;
    bi.bmiHeader.biBitCount = 32;
    void *bits = nullptr;
    HDC screen = GetDC(nullptr);
    HDC memory = CreateCompatibleDC(screen);
    HBITMAP bitmap = CreateDIBSection(memory, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
    HGDIOBJ old = SelectObject(memory, bitmap);
    // Read from the screen: what the window shows there, as a person sees it.
    POINT origin{0, 0};
    ClientToScreen(hwnd, &origin);
    BitBlt(memory, 0, 0, p.width, p.height, screen, origin.x, origin.y, SRCCOPY);
    GdiFlush();
    const uint32_t *src = static_cast<const uint32_t *>(bits);
    p.pixels.assign(src, src + size_t(p.width) * p.height);
    for (auto &px : p.pixels) px &= 0x00FFFFFF;
    SelectObject(memory, old);
    DeleteObject(bitmap);
    DeleteDC(memory);
    ReleaseDC(nullptr, screen);
    return p;
}

bool save_bitmap(const picture &p, const std::string &path) {
    const uint32_t rowBytes = uint32_t(p.width * 3 + 3) & ~3u;
    const uint32_t dataSize = rowBytes * uint32_t(p.height);
    BITMAPFILEHEADER fh{};
    fh.bfType = 0x4D42;
    fh.bfOffBits = sizeof(BITMAPFILEHEADER) + sizeof(BITMAPINFOHEADER);
    fh.bfSize = fh.bfOffBits + dataSize;
    BITMAPINFOHEADER ih{};
    ih.biSize = sizeof ih;
    ih.biWidth = p.width;
    ih.biHeight = -p.height;
    ih.biPlanes = 1;
    ih.biBitCount = 24;
    ih.biSizeImage = dataSize;
    std::vector<uint8_t> data(dataSize);
    for (int y = 0; y < p.height; ++y)
        for (int x = 0; x < p.width; ++x) {
            uint32_t px = p.at(x, y);
            uint8_t *d = &data[size_t(y) * rowBytes + size_t(x) * 3];
            d[0] = uint8_t(px), d[1] = uint8_t(px >> 8), d[2] = uint8_t(px >> 16);
        }
    FILE *f = fopen(path.c_str(), "wb");
    if (!f) return false;
    bool ok = fwrite(&fh, sizeof fh, 1, f) == 1 && fwrite(&ih, sizeof ih, 1, f) == 1 &&
              fwrite(data.data(), 1, data.size(), f) == data.size();
    return fclose(f) == 0 && ok;
}

std::string wait_for_client(HWND hwnd,
                            const std::function<bool(const picture &, std::string &)> &check,
                            int ms) {
    std::string why;
    picture last;
    bool ok = wait_until(
        [&] {
            why.clear();
            last = capture_client(hwnd);
            if (last.pixels.empty()) {
                why = "no client area";
                return false;
            }
            return check(last, why);
        },
        ms);
    if (ok) return std::string();
    // ZEVART_E2E_SHOTS names a folder for what the window showed at the end.
    static int failures = 0;
    if (const char *dir = getenv("ZEVART_E2E_SHOTS")) {
        std::string file = std::string(dir) + "\\failure-" + std::to_string(++failures) + ".bmp";
        if (save_bitmap(last, file)) why += " (saved as " + file + ")";
    }
    return why.empty() ? "check failed" : why;
}

// ----- paths -----

std::string wine_path(const std::string &path) {
    std::string p = path;
    if (!p.empty() && p[0] == '/') p = "Z:" + p;
    std::replace(p.begin(), p.end(), '/', '\\');
    return p;
}

} // namespace drive
