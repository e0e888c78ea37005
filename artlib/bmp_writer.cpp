// The exported bitmap writers: bmp_encode's bytes into a file. Files go
// through file_sink, opened at the first byte: a header refused before then
// makes no file, a file that can't be made or fully written yields false,
// and whatever file had the name before stays as it was.
#include "bmp_encode.h"
#include "file_sink.h"

namespace {

class file_out : public byte_out {
public:
    explicit file_out(const char *name) : name_(name) {}
    bool write(const void *data, size_t n) override {
        if (!opened_) opened_ = sink_.open(name_);
        return opened_ && sink_.write(data, n);
    }
    // Names the file once every byte is in.
    bool commit() { return opened_ && sink_.commit(); }

private:
    const char *name_;
    file_sink sink_;
    bool opened_ = false;
};

} // namespace

bool DIBitsToFile(const char *fileName, const void *pixels, BITMAPINFO *info, int32_t depth) {
    if (!fileName) return false;
    file_out out(fileName);
    return encode_dib(out, pixels, info, depth) && out.commit();
}

bool DIBitsToFile8(const char *fileName, const void *pixels, BITMAPINFO *info,
                   const RGBQUAD *colors) {
    if (!fileName) return false;
    file_out out(fileName);
    return encode_dib8(out, pixels, info, colors) && out.commit();
}

bool DIBitsToFile1(const char *fileName, const void *pixels, BITMAPINFO *info,
                   const RGBQUAD *colors) {
    if (!fileName) return false;
    file_out out(fileName);
    return encode_dib1(out, pixels, info, colors) && out.commit();
}
