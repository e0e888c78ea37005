// Fuzz target for the modding round trip. The input is chosen by how it
// starts: a PNG replaces image 0's file, a GIMP palette replaces palette 0's,
// '{' gives set.json itself; each in the folder unpacked from a small set,
// which then goes to pack. Anything else is a loader input: a set that loads
// must unpack and pack back to the same bytes.
//
// Pack must never crash, must leave no output when it fails, and what it
// returns must load.
#include "fuzz_input.h"
#include "modding.h"

#include "art_set.h"

#include <cstdlib>
#include <cstring>
#include <map>

namespace {

typedef folder_map folder;

// A small set with a palette, an 8-bit image with row padding, a mask and
// one group with extended info and an appendix entry.
const folder &small_folder() {
    static const folder f = [] {
        artgen::art_set s;
        s.palettes.resize(1);
        for (int c = 0; c < 5; ++c) s.palettes[0].add(uint8_t(50 * c), 7, 9, uint8_t(c));
        s.images.push_back(artgen::image8(3, 2, 0, {1, 2, 3, 0, 4, 0, 1, 0}, 4));
        s.images.push_back(artgen::mask1(9, 2, std::vector<uint8_t>(18, 1)));
        s.groups.resize(1);
        s.groups[0].frames.resize(2);
        s.groups[0].frames[0].pics.resize(2);
        s.groups[0].frames[0].pics[1] = {1, 0, 1, -3, 4};
        s.groups[0].frames[1].ext1 = std::array<uint8_t, 2>{5, 6};
        s.groups[0].appendix.push_back({1, 2, 3, 4});
        std::vector<folder_file> files;
        std::string err;
        if (!unpack_set(artgen::write_bmp(s), artgen::write_prt(s), files, err)) std::abort();
        folder out;
        for (auto &file : files) out[file.path] = file.bytes;
        return out;
    }();
    return f;
}

bool pack_folder(const folder &f, bool remap, pack_result &r, std::string &err) {
    pack_settings s;
    s.remapNearest = remap;
    return pack_map(f, s, r, err);
}

void check_packed(bool ok, const pack_result &r) {
    if (!ok) {
        if (!r.bmp.empty() || !r.prt.empty()) std::abort(); // output after a failure
        return;
    }
    art_handle h;
    memory_source b(r.bmp.data(), r.bmp.size()), p(r.prt.data(), r.prt.size());
    if (load_art(&h, "", "", &b, &p) != ART_OK) std::abort(); // reported success, doesn't load
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    const std::vector<uint8_t> in(data, data + size);
    folder f = small_folder();
    if (size >= 4 && std::memcmp(data, "\x89PNG", 4) == 0) {
        f["images/image-00000.png"] = in;
    } else if (size >= 4 && std::memcmp(data, "GIMP", 4) == 0) {
        f["palettes/palette-000.gpl"] = in;
    } else if (size >= 1 && data[0] == '{') {
        f["set.json"] = in;
    } else {
        fuzz_files s = split_fuzz_input(data, size);
        std::vector<uint8_t> prt(s.prt, s.prt + s.prtSize), bmp(s.bmp, s.bmp + s.bmpSize);
        art_handle h;
        memory_source b(bmp.data(), bmp.size()), p(prt.data(), prt.size());
        if (load_art(&h, "", "", &b, &p) != ART_OK) return 0;
        std::vector<folder_file> files;
        std::string err;
        if (!unpack_set(bmp, prt, files, err)) std::abort(); // a set that loads must unpack
        f.clear();
        for (auto &file : files) f[file.path] = file.bytes;
        pack_result r;
        if (!pack_folder(f, false, r, err) || r.bmp != bmp || r.prt != prt) std::abort();
        return 0;
    }
    for (bool remap : {false, true}) {
        pack_result r;
        std::string err;
        check_packed(pack_folder(f, remap, r, err), r);
    }
    return 0;
}
