#include "driver.h"

#include "resource.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <new>

namespace drive {

std::string g_sampleDir, g_scratch;

bool wait_until(const std::function<bool()> &done, int ms) {
    DWORD start = GetTickCount();
    for (;;) {
        if (done()) return true;
        if (int(GetTickCount() - start) > ms) return false;
        Sleep(10);
    }
}

std::string here(const char *name) {
    char exe[MAX_PATH];
    GetModuleFileNameA(nullptr, exe, MAX_PATH);
    std::string path = exe;
    return path.erase(path.find_last_of('\\') + 1) + name;
}

std::string wine_path(const std::string &path) {
    std::string p = path;
    if (!p.empty() && p[0] == '/') p = "Z:" + p;
    std::replace(p.begin(), p.end(), '/', '\\');
    return p;
}

const kind_info &kind(int k) {
    static const kind_info kinds[] = {{0, ""},
                                      {ID_SELECT_IMAGE, "Select Image"},
                                      {ID_SELECT_PICTURE, "Select Picture"},
                                      {ID_SELECT_FRAME, "Select Frame"},
                                      {ID_SELECT_GROUP, "Select Group"}};
    return kinds[k >= OBJ_IMAGE && k <= OBJ_GROUP ? k : 0];
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

// A top-level window of the process that `match` accepts, enumerated from a
// snapshot: a window that goes meanwhile ends no search.
HWND find_top(DWORD pid, const std::function<bool(HWND)> &match, int ms, bool hiddenToo = false) {
    HWND found = nullptr;
    wait_until(
        [&] {
            find_state s{pid, match, nullptr, hiddenToo};
            EnumWindows(find_proc, reinterpret_cast<LPARAM>(&s));
            return (found = s.found) != nullptr;
        },
        ms);
    return found;
}

} // namespace

viewer::viewer(const std::string &folder) {
    STARTUPINFOA si{};
    si.cb = sizeof si;
    const std::string exe = here("zevart_viewer.exe");
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

bool viewer::send(HWND to, UINT msg, WPARAM wParam, LPARAM lParam) const {
    DWORD_PTR ignored;
    return SendMessageTimeoutA(to, msg, wParam, lParam, SMTO_ABORTIFHUNG, kStepMs, &ignored) != 0;
}

void viewer::key(UINT vk) const {
    UINT scan = MapVirtualKeyA(vk, MAPVK_VK_TO_VSC);
    PostMessageA(main_, WM_KEYDOWN, vk, LPARAM(1 | scan << 16));
    PostMessageA(main_, WM_KEYUP, vk, LPARAM(1 | scan << 16 | 3u << 30));
}

void viewer::resize(int w, int h) const {
    SetWindowPos(main_, nullptr, 0, 0, w, h, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
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

std::vector<HWND> shown_windows(DWORD pid) {
    std::vector<HWND> shown;
    for (HWND w = GetTopWindow(nullptr); w; w = GetWindow(w, GW_HWNDNEXT)) {
        DWORD owner = 0;
        GetWindowThreadProcessId(w, &owner);
        if (owner == pid && IsWindowVisible(w)) shown.push_back(w);
    }
    return shown;
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

HWND focus_of(HWND hwnd) {
    GUITHREADINFO info{};
    info.cbSize = sizeof info;
    return GetGUIThreadInfo(GetWindowThreadProcessId(hwnd, nullptr), &info) ? info.hwndFocus
                                                                            : nullptr;
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
    strcpy(path, here("viewer_probe.dll").c_str());
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

// ----- steps -----

bool load_art(const viewer &v, const std::string &bmp, const std::string &prt) {
    v.command(ID_FILE_LOADART);
    for (const char *caption :
         {"Select Bitmap-File (zev_art.bmp)", "Select PRT-File (zev_art.prt)"}) {
        HWND dialog = find_dialog(v.pid(), caption);
        if (!dialog) return false;
        const std::string &path = caption[7] == 'B' ? bmp : prt;
        choose_file(dialog, path.empty() ? path : wine_path(path));
        if (!wait_hidden(dialog)) return false;
    }
    return true;
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

std::string load_messages(const viewer &v, int reply, const char *want) {
    message m = next_message(v, reply || want ? kStepMs : 300);
    if (m.text == kUnload && reply) {
        if (m.caption != "zevart_viewer") return "the question's caption is \"" + m.caption + "\"";
        if (!answer(m, reply == IDNO ? IDNO : IDYES)) return "the unload question did not go";
        m = next_message(v, want ? kStepMs : 300);
    } else if (reply > 0) {
        return "expected the unload question, got \"" + m.text + "\"";
    }
    if (m.text != (want ? want : ""))
        return "expected \"" + std::string(want ? want : "") + "\", got \"" + m.text + "\"";
    if (!m.box) return "";
    if (m.caption != (m.text == kLoadError ? "Error" : "zevart_viewer"))
        return "the caption of \"" + m.text + "\" is \"" + m.caption + "\"";
    return answer(m, IDOK) ? "" : "the message did not go";
}

std::string load_ok(const viewer &v, const std::string &bmp, const std::string &prt) {
    if (!load_art(v, bmp, prt)) return "an open dialog did not come or go";
    return load_messages(v, -1, kLoaded);
}

HWND selection_dialog(const viewer &v) {
    return find_top(
        v.pid(),
        [&](HWND h) { return GetWindow(h, GW_OWNER) == v.main() && GetDlgItem(h, IDC_TREE); }, 0,
        true);
}

HWND select_kind(const viewer &v, int k) {
    v.command(kind(k).command);
    HWND dialog = find_dialog(v.pid(), kind(k).caption);
    if (!dialog) return nullptr;
    RECT main;
    GetWindowRect(v.main(), &main);
    SetWindowPos(dialog, nullptr, main.right + 8, main.top, 0, 0,
                 SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    // The dialog shows before the command is done (it then fills the tree
    // and applies): a message sent now is answered once it is.
    v.send(v.main(), WM_NULL);
    return dialog;
}

bool in_dialog(const viewer &v, HWND d, char op, const std::string &text) {
    HWND edit = GetDlgItem(d, IDC_INDEX), spin = GetDlgItem(d, IDC_SPIN);
    switch (op) {
    case 's':
        return v.send(edit, WM_SETTEXT, 0, LPARAM(text.c_str()));
    case 't':
        for (char c : text)
            if (!v.send(edit, WM_CHAR, WPARAM(static_cast<unsigned char>(c)), 1)) return false;
        return true;
    case 'u':
    case 'd': {
        RECT r;
        GetClientRect(spin, &r);
        const LPARAM at = MAKELPARAM(r.right / 2, op == 'u' ? r.bottom / 4 : r.bottom * 3 / 4);
        // The pointer leaves, as a real one would: an up-down control that
        // still thinks it is under the pointer acts at every timer it sets,
        // and the one a later arrow key starts would write its old value
        // over a text typed within 250 ms.
        return press(v, {spin, WM_LBUTTONDOWN, WM_LBUTTONUP, MK_LBUTTON, 0, at, at}) &&
               v.send(spin, WM_MOUSELEAVE);
    }
    case 'U':
    case 'D': {
        const WPARAM vk = op == 'U' ? VK_UP : VK_DOWN;
        return press(v, {edit, WM_KEYDOWN, WM_KEYUP, vk, vk, 1, LPARAM(0xC0000001)});
    }
    case 'E':
    case 'X':
        return PostMessageA(edit, WM_KEYDOWN, op == 'E' ? VK_RETURN : VK_ESCAPE, 1);
    case 'c':
        return PostMessageA(d, WM_SYSCOMMAND, SC_CLOSE, 0);
    }
    const int id = op == 'p'   ? IDC_APPLY
                   : op == 'a' ? IDC_AUTOUPDATE
                   : op == 'x' ? IDC_EXTENDEDINFO
                               : IDC_SELECT_OK;
    return v.send(GetDlgItem(d, id), BM_CLICK);
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

// The writer renames the file into place and may still hold it a moment.
bool readable(const std::string &path) {
    HANDLE f = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                           OPEN_EXISTING, 0, nullptr);
    if (f == INVALID_HANDLE_VALUE) return false;
    CloseHandle(f);
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
    std::function<void(HTREEITEM, int)> walk = [&](HTREEITEM h, int depth) {
        for (; h; h = HTREEITEM(SendMessageA(tree, TVM_GETNEXTITEM, TVGN_NEXT, LPARAM(h)))) {
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
            walk(HTREEITEM(SendMessageA(tree, TVM_GETNEXTITEM, TVGN_CHILD, LPARAM(h))), depth + 1);
        }
    };
    walk(HTREEITEM(SendMessageA(tree, TVM_GETNEXTITEM, TVGN_ROOT, 0)), 0);
    VirtualFreeEx(process, remote, 0, MEM_RELEASE);
    return items;
}

// ----- pixels -----

picture capture(const RECT &r) {
    picture p;
    p.width = r.right - r.left;
    p.height = r.bottom - r.top;
    if (p.width <= 0 || p.height <= 0) return p;
    BITMAPINFO bi{};
    bi.bmiHeader = {sizeof bi.bmiHeader, p.width, -p.height, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
    void *bits = nullptr;
    HDC screen = GetDC(nullptr);
    HDC memory = CreateCompatibleDC(screen);
    HBITMAP bitmap = CreateDIBSection(memory, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
    HGDIOBJ old = SelectObject(memory, bitmap);
    // Read from the screen: what the window shows there, as a person sees it.
    BitBlt(memory, 0, 0, p.width, p.height, screen, r.left, r.top, SRCCOPY);
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

picture capture_client(HWND hwnd) {
    RECT client;
    if (!GetClientRect(hwnd, &client)) return picture();
    POINT origin{0, 0};
    ClientToScreen(hwnd, &origin);
    OffsetRect(&client, origin.x, origin.y);
    return capture(client);
}

bool save_bitmap(const picture &p, const std::string &path) {
    BITMAPINFO bi{};
    bi.bmiHeader = {sizeof bi.bmiHeader, p.width, -p.height, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
    return DIBitsToFile(path.c_str(), p.pixels.data(), &bi, 24); // the library's own writer
}

std::string wait_for_client(HWND hwnd, const check &c, int ms) {
    std::string why;
    picture last;
    bool ok = wait_until(
        [&] {
            why.clear();
            last = capture_client(hwnd);
            if (last.pixels.empty()) return (why = "no client area").empty();
            return c(last, why);
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

uint32_t button_face() {
    return rgb_of(GetSysColor(COLOR_BTNFACE));
}

// ----- sets -----

set_files sample_set() {
    return {g_sampleDir + "\\zev_art.bmp", g_sampleDir + "\\zev_art.prt"};
}

set_files save_set(const artgen::art_set &set, const std::string &stem) {
    set_files f{g_scratch + "\\" + stem + ".bmp", g_scratch + "\\" + stem + ".prt"};
    artgen::save_file(f.bmp, artgen::write_bmp(set));
    artgen::save_file(f.prt, artgen::write_prt(set));
    return f;
}

artgen::palette test_palette() {
    artgen::palette p;
    p.add(255, 0, 255);
    for (int i = 1; i < 256; ++i) p.add(uint8_t(i), uint8_t(255 - i), uint8_t(i * 7));
    return p;
}

set_files empty_set() {
    artgen::art_set set;
    set.palettes.push_back(test_palette());
    return save_set(set, "empty");
}

loaded_set::loaded_set(const set_files &files) {
    art = new (operator new(sizeof(art_handle))) art_handle();
    ok = LoadArtFromFile(files.bmp.c_str(), files.prt.c_str(), art) == ART_OK;
}

loaded_set::~loaded_set() {
    art->~art_handle();
    operator delete(art);
}

RECT rect_of(art_handle *art, int kind, unsigned index) {
    RECT r{0, 0, 0, 0};
    object_draw_rect(art, kind, index, &r);
    return r;
}

picture drawn(art_handle *art, int kind, unsigned index, int w, int h, int x, int y,
              uint32_t fill) {
    RGBQUAD q;
    memcpy(&q, &fill, 4); // blue, green, red in memory order
    std::vector<RGBQUAD> buffer(size_t(w) * h, q);
    BITMAPINFO bi{};
    bi.bmiHeader = {sizeof bi.bmiHeader, w, -h, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
    draw_object(art, kind, index, buffer.data(), &bi, x, y);
    picture p{w, h, {}};
    for (const RGBQUAD &q : buffer)
        p.pixels.push_back(uint32_t(q.rgbRed) << 16 | q.rgbGreen << 8 | q.rgbBlue);
    return p;
}

picture rendered(art_handle *art, int kind, unsigned index) {
    RECT r = rect_of(art, kind, index);
    return drawn(art, kind, index, r.right - r.left, r.bottom - r.top, -r.left, -r.top,
                 BACKGROUND_ORANGE);
}

check shows(const picture &ref, int hpos, int vpos) {
    return [ref, hpos, vpos](const picture &p, std::string &why) {
        const uint32_t background = button_face();
        for (int y = 0; y < p.height; ++y)
            for (int x = 0; x < p.width; ++x) {
                int rx = x + hpos, ry = y + vpos;
                bool inside = rx < ref.width && ry < ref.height;
                uint32_t want = inside ? ref.at(rx, ry) : background;
                if (p.at(x, y) == want) continue;
                char text[160];
                snprintf(text, sizeof text, "client pixel (%d, %d) is %06X but should be %06X (%s)",
                         x, y, unsigned(p.at(x, y)), unsigned(want),
                         inside ? "the object's" : "background");
                why = text;
                return false;
            }
        return true;
    };
}

bool bare(const picture &p, std::string &why) {
    return shows(picture(), 0, 0)(p, why);
}

} // namespace drive
