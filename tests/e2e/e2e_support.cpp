#include "e2e_support.h"
#include "resource.h"

#include <cstdio>
#include <new>

namespace e2e {

std::string g_viewerExe;
std::string g_sampleDir;
std::string g_scratch;

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
    if (kind == IMAGE) art->images[index].getDrawRect(&r);
    if (kind == PICTURE) art->pics[index].getDrawRect(&r);
    if (kind == FRAME) art->frames[index].getDrawRect(&r);
    if (kind == GROUP) art->groups[index].getDrawRect(&r);
    return r;
}

reference library_drawing(art_handle *art, int kind, unsigned index, int w, int h, int x, int y,
                          RGBQUAD fill) {
    reference ref;
    ref.width = w;
    ref.height = h;
    std::vector<RGBQUAD> buffer(size_t(w) * h, fill);
    BITMAPINFO bi{};
    bi.bmiHeader.biSize = sizeof bi.bmiHeader;
    bi.bmiHeader.biWidth = w;
    bi.bmiHeader.biHeight = -h;
    bi.bmiHeader.biPlanes = 1;
    bi.bmiHeader.biBitCount = 32;
    if (kind == IMAGE) art->images[index].draw(buffer.data(), &bi, x, y);
    if (kind == PICTURE) art->pics[index].draw(buffer.data(), &bi, x, y);
    if (kind == FRAME) art->frames[index].draw(buffer.data(), &bi, x, y);
    for (const RGBQUAD &q : buffer)
        ref.pixels.push_back(uint32_t(q.rgbRed) << 16 | q.rgbGreen << 8 | q.rgbBlue);
    return ref;
}

reference rendered(art_handle *art, int kind, unsigned index) {
    RECT r = rect_of(art, kind, index);
    return library_drawing(art, kind, index, r.right - r.left, r.bottom - r.top, -r.left, -r.top,
                           kOrange);
}

uint32_t button_face() {
    return drive::rgb_of(GetSysColor(COLOR_BTNFACE));
}

namespace {
std::string hex6(uint32_t v) {
    char text[16];
    snprintf(text, sizeof text, "%06X", unsigned(v));
    return text;
}
} // namespace

std::function<bool(const drive::picture &, std::string &)> shows(const reference &ref, int hpos,
                                                                 int vpos) {
    return [ref, hpos, vpos](const drive::picture &p, std::string &why) {
        const uint32_t background = button_face();
        for (int y = 0; y < p.height; ++y)
            for (int x = 0; x < p.width; ++x) {
                int rx = x + hpos, ry = y + vpos;
                bool inside = rx < ref.width && ry < ref.height;
                uint32_t want = inside ? ref.at(rx, ry) : background;
                if (p.at(x, y) != want) {
                    why = "client pixel (" + std::to_string(x) + ", " + std::to_string(y) +
                          ") is " + hex6(p.at(x, y)) + " but should be " + hex6(want) +
                          (inside ? " (the object's pixel (" + std::to_string(rx) + ", " +
                                        std::to_string(ry) + "))"
                                  : " (background)");
                    return false;
                }
            }
        return true;
    };
}

bool bare(const drive::picture &p, std::string &why) {
    return shows(reference(), 0, 0)(p, why);
}

// The file is there and can be read: the writer renames it into place and
// may still hold it for a moment after.
bool readable(const std::string &path) {
    HANDLE f = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                           OPEN_EXISTING, 0, nullptr);
    if (f == INVALID_HANDLE_VALUE) return false;
    CloseHandle(f);
    return true;
}

void Viewer::SetUp() {
    v = std::make_unique<drive::viewer>(g_viewerExe, g_sampleDir);
    ASSERT_TRUE(v->started()) << "the main window did not come";
}

void Viewer::load(const set_files &files) {
    std::string why;
    ASSERT_TRUE(drive::load_ok(*v, files.bmp, files.prt, &why)) << why;
}

void Viewer::open(const set_files &files) {
    ASSERT_NO_FATAL_FAILURE(load(files));
    set = std::make_unique<loaded_set>(files);
    ASSERT_TRUE(set->ok);
}

void Viewer::select(int kind) {
    static const UINT commands[] = {ID_SELECT_IMAGE, ID_SELECT_PICTURE, ID_SELECT_FRAME,
                                    ID_SELECT_GROUP};
    static const char *const captions[] = {"Select Image", "Select Picture", "Select Frame",
                                           "Select Group"};
    dialog = drive::select_kind(*v, commands[kind - 1], captions[kind - 1]);
    ASSERT_TRUE(dialog) << captions[kind - 1];
}

void Viewer::set_index(const std::string &text) {
    SendMessageA(item(IDC_INDEX), WM_SETTEXT, 0, LPARAM(text.c_str()));
}

std::vector<drive::tree_item> Viewer::items() const {
    return drive::tree_items(v->process(), item(IDC_TREE));
}

std::string Viewer::root() const {
    std::vector<drive::tree_item> all = items();
    return all.empty() ? "(empty)" : all[0].text;
}

std::string Viewer::showing(const reference &ref, int hpos, int vpos) {
    return drive::wait_for_client(v->main(), shows(ref, hpos, vpos));
}

std::string Viewer::showing_bare() {
    return drive::wait_for_client(v->main(), bare);
}

bool Viewer::answers() const {
    DWORD_PTR ignored;
    return SendMessageTimeoutA(v->main(), WM_NULL, 0, 0, SMTO_ABORTIFHUNG, 5000, &ignored) != 0;
}

void Viewer::resize(int w, int h) {
    SetWindowPos(v->main(), nullptr, 0, 0, w, h, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

} // namespace e2e
