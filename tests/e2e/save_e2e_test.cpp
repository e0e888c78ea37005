// File, Save Object driven from outside: the save dialog's filter lists, each
// depth of an image, a picture, a shadow mask, a frame and a group compared
// byte for byte with what the library's writers make of the object as the
// viewer's logic renders it (viewer_file.h), the name kept as typed, and the
// saves that must fail loudly.
#include "e2e.h"
#include "viewer_file.h"

#include <cstdlib>

namespace {

using namespace e2e;

const std::vector<std::string> kFourDepths = {
    "Bitmap File 32-bit (*.bmp)", "Bitmap File 24-bit (*.bmp)", "Bitmap File 16-bit (*.bmp)",
    "Bitmap File 8-bit (*.bmp)"};
const std::vector<std::string> kThreeDepths(kFourDepths.begin(), kFourDepths.begin() + 3);

// The file Save Object is to write for object `index` of `kind` with filter
// `filter` (a group: its first frame).
std::vector<uint8_t> expected_file(art_handle *art, int kind, unsigned index, int filter) {
    const std::string file = g_scratch + "\\expected.bmp";
    DeleteFileA(file.c_str());
    EXPECT_TRUE(write_viewer_file(art, kind, index, 0, filter, file.c_str()));
    return artgen::load_file(file);
}

class Saving : public Viewer {
protected:
    // Saves the object on display as NAME in the scratch folder with filter
    // `filter` (0: the one the dialog shows); the file written, empty if none.
    std::vector<uint8_t> save(const std::string &name, int filter, save_dialog *seen = nullptr) {
        const std::string path = g_scratch + "\\" + name;
        DeleteFileA(path.c_str());
        save_dialog d = save_object(*v, path, filter);
        EXPECT_TRUE(d.came) << "the save dialog for " << name;
        if (seen) *seen = d;
        wait_until([&] { return readable(path) || find_message_box(v->pid(), 0); });
        return readable(path) ? artgen::load_file(path) : std::vector<uint8_t>();
    }
    void expect_save_error() {
        message m = next_message(*v);
        EXPECT_TRUE(m.text == kSaveError && m.caption == "Error") << m.text;
        EXPECT_TRUE(answer(m, IDOK));
    }
};

TEST_F(Saving, WritesEachKindAsTheLibrarysWritersDoAndOnlyWhatIsOnDisplay) {
    ASSERT_NO_FATAL_FAILURE(open(sample_set()));
    art_handle *art = set->art;
    // Group 4's first frame is drawn in the group's rectangle, which its
    // second frame makes wider.
    ASSERT_GT(rect_of(art, OBJ_GROUP, 4).right,
              rect_of(art, OBJ_FRAME, unsigned(art->groups[4].frames - art->frames)).right);
    // The dialog shows the depth chosen last (`shown`, 0: not checked); a
    // frame's list lacks the 8-bit entry chosen last, and filter 0 keeps what
    // the dialog shows. Picture 1 shows image 0 at an offset: its 8-bit file
    // is the image's.
    const struct {
        int kind;
        const char *index, *name;
        int filter, shown;
        const std::vector<std::string> &filters;
    } saves[] = {{OBJ_IMAGE, "0", "image-32.bmp", 1, 1, kFourDepths},
                 {OBJ_IMAGE, "0", "image-24.bmp", 2, 1, kFourDepths},
                 {OBJ_IMAGE, "0", "image-16.bmp", 3, 2, kFourDepths},
                 {OBJ_IMAGE, "0", "image-8", 4, 3, kFourDepths},
                 {OBJ_PICTURE, "1", "picture-32.bmp", 1, 4, kFourDepths},
                 {OBJ_PICTURE, "1", "picture-8.bmp", 4, 1, kFourDepths},
                 {OBJ_FRAME, "2", "frame.bmp", 0, 0, kThreeDepths},
                 {OBJ_FRAME, "2", "frame-24.bmp", 2, 0, kThreeDepths},
                 {OBJ_GROUP, "4", "group-32.bmp", 1, 0, kThreeDepths}};
    for (const auto &s : saves) {
        SCOPED_TRACE(s.name);
        ASSERT_NO_FATAL_FAILURE(select(s.kind));
        set_index(s.index);
        save_dialog seen;
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
    EXPECT_TRUE(save_object(*v, "", 0).came);
    EXPECT_FALSE(find_message_box(v->pid(), 300));

    // Image 5 applied, then the kind switched to groups without an apply: the
    // image is saved, also after a resize has asked for a group's render.
    ASSERT_NO_FATAL_FAILURE(select(OBJ_IMAGE));
    set_index("5");
    press(IDC_AUTOUPDATE);
    ASSERT_NO_FATAL_FAILURE(select(OBJ_GROUP));
    save_dialog seen;
    EXPECT_TRUE(save("shown-32.bmp", 1, &seen) == expected_file(art, OBJ_IMAGE, 5, 1));
    EXPECT_EQ(seen.filters, kFourDepths) << "an image's list";
    v->resize(260, 220);
    EXPECT_TRUE(save("shown-24.bmp", 2) == expected_file(art, OBJ_IMAGE, 5, 2));

    // A set without objects has nothing on display to save.
    ASSERT_NO_FATAL_FAILURE(load(empty_set()));
    v->command(ID_FILE_SAVEOBJECT);
    expect_save_error();
    EXPECT_FALSE(find_dialog(v->pid(), "Save Object", 300)) << "no save dialog";
}

// Image 0: a 1-bit mask 33 wide and 2 high, rows of 8 bytes, saved as a
// two-colour file and as the mask darkening orange.
TEST_F(Saving, WritesAShadowMaskAsAOneBitFile) {
    artgen::art_set masks;
    masks.palettes.push_back(test_palette());
    std::vector<uint8_t> bits(66);
    for (size_t i = 0; i < bits.size(); ++i) bits[i] = i % 3 == 0 || i == 32;
    masks.images.push_back(artgen::mask1(33, 2, bits));
    ASSERT_NO_FATAL_FAILURE(open(save_set(masks, "masks")));
    std::vector<uint8_t> file = save("mask-1.bmp", 4);
    EXPECT_TRUE(file == expected_file(set->art, OBJ_IMAGE, 0, 4)) << "differs from the library's";
    ASSERT_EQ(file.size(), 54u + 8 + 16) << "two colours, 16 pixel bytes";
    EXPECT_EQ(file[28], 1) << "bits per pixel";
    EXPECT_TRUE(save("mask-32.bmp", 1) == expected_file(set->art, OBJ_IMAGE, 0, 1));
}

} // namespace
