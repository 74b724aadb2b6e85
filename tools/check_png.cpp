// What an image file holds, read as the handheld reads it: SDL_image 1.2.12
// with PNG support alone, on libpng 1.6.
#include <png.h>

#include <cstring>

#include "check.h"

namespace {

constexpr unsigned long long maxChunkLength = 0x7fffffff;  // PNG's own limit

unsigned long bigEndian32(const unsigned char* bytes) {
    return static_cast<unsigned long>(bytes[0]) << 24 | bytes[1] << 16 | bytes[2] << 8 | bytes[3];
}

// Where libpng's messages go while it reads: a buffer of the caller's.
struct MessageSink {
    char* text;
    size_t capacity;
};

void keepError(png_structp png, png_const_charp message) {
    const MessageSink* sink = static_cast<const MessageSink*>(png_get_error_ptr(png));
    std::snprintf(sink->text, sink->capacity, "%s", message);
    png_longjmp(png, 1);
}

void dropWarning(png_structp, png_const_charp) {}

// Reads the image of `file` through libpng, a row at a time into `row` (room
// for `rowCapacity` bytes). False, with libpng's message in `sink`, when it
// stops. No object with a destructor lives in this frame, which libpng's
// errors leave through longjmp.
bool readThrough(FILE* file, png_bytep row, size_t rowCapacity, const MessageSink* sink) {
    png_structp png =
        png_create_read_struct(PNG_LIBPNG_VER_STRING, const_cast<MessageSink*>(sink), keepError, dropWarning);
    png_infop info = png ? png_create_info_struct(png) : nullptr;
    if (!info) {
        png_destroy_read_struct(&png, nullptr, nullptr);
        std::snprintf(sink->text, sink->capacity, "out of memory");
        return false;
    }
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_read_struct(&png, &info, nullptr);
        return false;
    }
    png_init_io(png, file);
    png_read_info(png, info);
    // The transformations SDL_image asks for.
    png_set_strip_16(png);
    png_set_packing(png);
    png_set_expand(png);
    png_set_gray_to_rgb(png);
    const int passes = png_set_interlace_handling(png);
    png_read_update_info(png, info);
    if (png_get_rowbytes(png, info) > rowCapacity) png_error(png, "rows too long");
    for (int pass = 0; pass < passes; ++pass)
        for (png_uint_32 y = 0; y < png_get_image_height(png, info); ++y) png_read_row(png, row, nullptr);
    // SDL_image stops there too: what follows the image data is never read.
    png_destroy_read_struct(&png, &info, nullptr);
    return true;
}

// How many bytes a pixel takes in the surface SDL_image 1.2 makes: it
// strips 16-bit samples to 8, unpacks small ones, keys a palette's single
// transparent entry (expands other transparency to alpha), keys an RGB
// image's transparent colour and widens grey with alpha to RGBA.
int surfaceBytesPerPixel(int colourType, const std::string& transparency) {
    switch (colourType) {
    case PNG_COLOR_TYPE_PALETTE: {
        int zeros = 0, opaque = 0;
        for (const char alpha : transparency) {
            zeros += alpha == '\0';
            opaque += alpha == '\xff';
        }
        const bool keyed = transparency.empty() || (zeros == 1 && zeros + opaque == int(transparency.size()));
        return keyed ? 1 : 4;
    }
    case PNG_COLOR_TYPE_GRAY: return transparency.empty() ? 1 : 2;
    case PNG_COLOR_TYPE_RGB: return 3;
    default: return 4;  // grey with alpha, RGBA
    }
}

}  // namespace

std::string pictureKind(const std::string& head) {
    const struct {
        std::string bytes;
        const char* kind;
    } kinds[] = {
        {"\x89PNG\r\n\x1a\n", ""},
        {"\xff\xd8\xff", "a JPEG image"},
        {"GIF87a", "a GIF image"},
        {"GIF89a", "a GIF image"},
        {"BM", "a BMP image"},
        {std::string("II*\0", 4), "a TIFF image"},
        {std::string("MM\0*", 4), "a TIFF image"},
    };
    if (head.empty()) return "empty";
    for (const auto& known : kinds)
        if (head.compare(0, known.bytes.size(), known.bytes) == 0) return known.kind;
    if (head.size() >= 12 && head.compare(0, 4, "RIFF") == 0 && head.compare(8, 4, "WEBP") == 0)
        return "a WebP image";
    return "not a picture";
}

PngHeader readPngHeader(FILE* file) {
    PngHeader header;
    std::string transparency;
    int colourType = -1;
    bool sawHeader = false;
    if (std::fseek(file, 8, SEEK_SET) != 0) header.damage = "cannot be read";
    while (header.damage.empty()) {
        unsigned char start[8];
        if (std::fread(start, 1, sizeof start, file) != sizeof start) {
            header.damage = "ends before its image data";
            break;
        }
        const unsigned long length = bigEndian32(start);
        const std::string type(reinterpret_cast<const char*>(start + 4), 4);
        if (length > maxChunkLength) {
            header.damage = "has a chunk longer than PNG allows";
        } else if (!sawHeader && (type != "IHDR" || length != 13)) {
            header.damage = "does not begin with its header chunk (IHDR)";
        } else if (type == "IDAT" || type == "IEND") {
            break;
        } else if (type == "tRNS" && length > 256) {
            header.damage = "has a tRNS chunk longer than PNG allows";
        } else if (type == "IHDR" || type == "tRNS") {
            std::string data(length, '\0');
            if (std::fread(data.data(), 1, length, file) != length || std::fseek(file, 4, SEEK_CUR) != 0) {
                header.damage = say("ends inside its {} chunk", {type});
            } else if (type == "tRNS") {
                transparency = data;
            } else {
                const unsigned char* bytes = reinterpret_cast<const unsigned char*>(data.data());
                header.width = bigEndian32(bytes);
                header.height = bigEndian32(bytes + 4);
                colourType = bytes[9];
                sawHeader = true;
            }
        } else if (std::fseek(file, static_cast<long>(length), SEEK_CUR) != 0 ||  // fits a 32-bit long;
                   std::fseek(file, 4, SEEK_CUR) != 0) {                          // the CRC is 4 more
            header.damage = "cannot be read";
        }
    }
    const unsigned long long pitch =
        (static_cast<unsigned long long>(header.width) * surfaceBytesPerPixel(colourType, transparency) + 3) /
        4 * 4;
    header.decodedBytes = (pitch + sizeof(void*)) * header.height;
    return header;
}

std::string pngReadProblem(FILE* file) {
    // Rows of up to 16,383 pixels (SDL 1.2's widest surface) of four 16-bit samples.
    std::vector<png_byte> row(16384 * 8);
    char message[256] = "";
    const MessageSink sink = {message, sizeof message};
    std::rewind(file);
    return readThrough(file, row.data(), row.size(), &sink) ? "" : message;
}
