// File, Save Object driven from outside: the save dialog's filter lists, each
// depth of an image, a picture, a shadow mask, a frame and a group compared
// byte for byte with what the library's writers make of the same object drawn
// the same way, the name kept as typed, and the saves that must fail loudly.
#include "e2e_support.h"
#include "resource.h"

#include <gtest/gtest.h>

#include <cstdlib>

namespace {

using namespace e2e;

const std::vector<std::string> kFourDepths = {
    "Bitmap File 32-bit (*.bmp)", "Bitmap File 24-bit (*.bmp)", "Bitmap File 16-bit (*.bmp)",
    "Bitmap File 8-bit (*.bmp)"};
const std::vector<std::string> kThreeDepths(kFourDepths.begin(), kFourDepths.begin() + 3);

bool is_mask(const mem_image &image) {
    return image.type == 4 || image.type == 5;
}

uint32_t block_bytes(const mem_image &image) {
    const int32_t h = image.height < 0 ? -image.height : image.height;
    const int32_t w = image.width;
    return uint32_t(h) * uint32_t(is_mask(image) ? 4 * ((w + 31) / 32) : image.rowBytes);
}

// The file Save Object is to write for object `index` of `kind` with filter
// `filter`: the library's writers given the object drawn as the viewer draws
// it (a group: its first frame in the group's rectangle), or the image's own
// block and palette.
std::vector<uint8_t> expected_file(art_handle *art, int kind, unsigned index, int filter) {
    BITMAPINFO bi{};
    bi.bmiHeader.biSize = sizeof bi.bmiHeader;
    bi.bmiHeader.biPlanes = 1;
    bi.bmiHeader.biBitCount = 32;
    bi.bmiHeader.biCompression = BI_RGB;
    const mem_image *image = kind == IMAGE     ? &art->images[index]
                             : kind == PICTURE ? art->pics[index].image
                                               : nullptr;
    if (image) bi.bmiHeader.biSizeImage = block_bytes(*image);
    const std::string file = g_scratch + "\\expected.bmp";
    DeleteFileA(file.c_str());
    if (filter <= 3) {
        RECT r = rect_of(art, kind, index);
        const int w = r.right - r.left, h = r.bottom - r.top;
        std::vector<RGBQUAD> pixels(size_t(w) * h, kOrange);
        bi.bmiHeader.biWidth = w;
        bi.bmiHeader.biHeight = h;
        if (kind == IMAGE) art->images[index].draw(pixels.data(), &bi, -r.left, -r.top);
        if (kind == PICTURE) art->pics[index].draw(pixels.data(), &bi, -r.left, -r.top);
        if (kind == FRAME) art->frames[index].draw(pixels.data(), &bi, -r.left, -r.top);
        if (kind == GROUP) art->groups[index].frames[0].draw(pixels.data(), &bi, -r.left, -r.top);
        const int32_t depths[] = {0, 24, 16};
        EXPECT_TRUE(DIBitsToFile(file.c_str(), pixels.data(), &bi, depths[filter - 1]));
    } else {
        static const RGBQUAD kWhiteBlack[2] = {{255, 255, 255, 0}, {0, 0, 0, 0}};
        const mem_palette *palette = image->palette;
        const int32_t height = image->height;
        bi.bmiHeader.biWidth = image->width;
        bi.bmiHeader.biHeight = height < 0 ? height : -height;
        bi.bmiHeader.biBitCount = is_mask(*image) ? 1 : 8;
        bi.bmiHeader.biClrUsed = is_mask(*image) ? 2 : palette->colorCount;
        if (is_mask(*image)) bi.bmiHeader.biClrImportant = 2;
        EXPECT_TRUE(DIBitsToFile8(file.c_str(), image->pixels, &bi,
                                  is_mask(*image) ? kWhiteBlack : palette->colors));
    }
    return artgen::load_file(file);
}

class Saving : public Viewer {
protected:
    // Saves the object on display as NAME in the scratch folder with filter
    // `filter` (0: the one the dialog shows); the file written, empty if none.
    std::vector<uint8_t> save(const std::string &name, int filter,
                              drive::save_dialog *seen = nullptr) {
        const std::string path = g_scratch + "\\" + name;
        DeleteFileA(path.c_str());
        drive::save_dialog d = drive::save_object(*v, path, filter);
        EXPECT_TRUE(d.came) << "the save dialog for " << name;
        if (seen) *seen = d;
        drive::wait_until([&] { return readable(path) || drive::find_message_box(v->pid(), 0); });
        return readable(path) ? artgen::load_file(path) : std::vector<uint8_t>();
    }
};

TEST_F(Saving, WritesEachKindAsTheLibrarysWritersDoAndOnlyWhatIsOnDisplay) {
    ASSERT_NO_FATAL_FAILURE(open(sample_set()));
    art_handle *art = set->art;
    // Group 4's first frame is drawn in the group's rectangle, which its
    // second frame makes wider.
    ASSERT_GT(rect_of(art, GROUP, 4).right,
              rect_of(art, FRAME, unsigned(art->groups[4].frames - art->frames)).right);
    // The dialog shows the depth chosen last (`shown`, 0: not checked); a
    // frame's list lacks the 8-bit entry chosen last, and filter 0 keeps what
    // the dialog shows. Picture 1 shows image 0 at an offset: its 8-bit file
    // is the image's.
    const struct {
        int kind;
        const char *index, *name;
        int filter, shown;
        const std::vector<std::string> &filters;
    } saves[] = {{IMAGE, "0", "image-32.bmp", 1, 1, kFourDepths},
                 {IMAGE, "0", "image-24.bmp", 2, 1, kFourDepths},
                 {IMAGE, "0", "image-16.bmp", 3, 2, kFourDepths},
                 {IMAGE, "0", "image-8", 4, 3, kFourDepths},
                 {PICTURE, "1", "picture-32.bmp", 1, 4, kFourDepths},
                 {PICTURE, "1", "picture-8.bmp", 4, 1, kFourDepths},
                 {FRAME, "2", "frame.bmp", 0, 0, kThreeDepths},
                 {FRAME, "2", "frame-24.bmp", 2, 0, kThreeDepths},
                 {GROUP, "4", "group-32.bmp", 1, 0, kThreeDepths}};
    for (const auto &s : saves) {
        SCOPED_TRACE(s.name);
        ASSERT_NO_FATAL_FAILURE(select(s.kind));
        set_index(s.index);
        drive::save_dialog seen;
        const std::vector<uint8_t> file = save(s.name, s.filter, &seen);
        EXPECT_EQ(seen.filters, s.filters);
        EXPECT_TRUE(!s.shown || seen.shownFilter == s.shown)
            << "the depth chosen last: " << seen.shownFilter;
        const int depth = s.filter ? s.filter : seen.chosenFilter;
        ASSERT_TRUE(depth >= 1 && depth <= int(s.filters.size())) << depth;
        EXPECT_TRUE(file == expected_file(art, s.kind, unsigned(atoi(s.index)), depth))
            << "differs from the library's";
    }
    EXPECT_EQ(GetFileAttributesA((g_scratch + "\\image-8.bmp").c_str()), INVALID_FILE_ATTRIBUTES)
        << "no extension is added";

    // Cancelled: nothing is written and nothing said.
    EXPECT_TRUE(drive::save_object(*v, "", 0).came);
    EXPECT_FALSE(drive::find_message_box(v->pid(), 300));

    // Image 5 applied, then the kind switched to groups without an apply: the
    // image is saved, also after a resize has asked for a group's render.
    ASSERT_NO_FATAL_FAILURE(select(IMAGE));
    set_index("5");
    press(IDC_AUTOUPDATE);
    ASSERT_NO_FATAL_FAILURE(select(GROUP));
    drive::save_dialog seen;
    EXPECT_TRUE(save("shown-32.bmp", 1, &seen) == expected_file(art, IMAGE, 5, 1));
    EXPECT_EQ(seen.filters, kFourDepths) << "an image's list";
    resize(260, 220);
    EXPECT_TRUE(save("shown-24.bmp", 2) == expected_file(art, IMAGE, 5, 2));

    // A set without objects has nothing on display to save.
    ASSERT_NO_FATAL_FAILURE(load(empty_set()));
    v->command(ID_FILE_SAVEOBJECT);
    drive::message m = drive::next_message(*v);
    EXPECT_EQ(m.text, "Error saving object.");
    EXPECT_EQ(m.caption, "Error");
    EXPECT_TRUE(drive::answer(m, IDOK));
    EXPECT_FALSE(drive::find_dialog(v->pid(), "Save Object", 300)) << "no save dialog";
}

TEST_F(Saving, WritesAShadowMaskAsAOneBitFile) {
    // Image 0: a 1-bit mask 33 wide and 2 high, rows of 8 bytes.
    artgen::art_set masks;
    masks.palettes.push_back(test_palette());
    std::vector<uint8_t> bits(66);
    for (size_t i = 0; i < bits.size(); ++i) bits[i] = i % 3 == 0 || i == 32;
    masks.images.push_back(artgen::mask1(33, 2, bits));
    ASSERT_NO_FATAL_FAILURE(open(save_set(masks, "masks")));

    std::vector<uint8_t> file = save("mask-1.bmp", 4);
    EXPECT_TRUE(file == expected_file(set->art, IMAGE, 0, 4)) << "differs from the library's";
    ASSERT_EQ(file.size(), 54u + 8 + 16) << "two colours, 16 pixel bytes";
    EXPECT_EQ(file[28], 1) << "bits per pixel";
    EXPECT_TRUE(save("mask-32.bmp", 1) == expected_file(set->art, IMAGE, 0, 1))
        << "the mask darkening orange";
}

} // namespace
