#include "pack/icon_file.h"

#include "pack/le_bytes.h"
#include "pack/value_limits.h"

namespace {

constexpr size_t kIconHeader = 6;
constexpr size_t kIconEntry = 16;
const char kPngSignature[] = "\x89PNG\r\n\x1A\n";
constexpr size_t kPngSignatureBytes = 8;

uint32_t be32(const std::string& b, size_t at) {
    uint32_t v = 0;
    for (size_t i = 0; i < 4; ++i) v = v << 8 | static_cast<unsigned char>(b[at + i]);
    return v;
}

uint32_t crc32(const std::string& b, size_t from, size_t n) {
    uint32_t crc = 0xFFFFFFFFu;
    for (size_t i = from; i < from + n; ++i) {
        crc ^= static_cast<unsigned char>(b[i]);
        for (int k = 0; k < 8; ++k) crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
    }
    return ~crc;
}

bool isPng(const std::string& b, size_t at, size_t n) {
    return n >= kPngSignatureBytes && b.compare(at, kPngSignatureBytes, kPngSignature, kPngSignatureBytes) == 0;
}

struct PngShape {
    uint32_t width = 0;
    uint32_t height = 0;
    uint16_t bitCount = 0;
};

// The bits per pixel an icon directory states for a PNG image: what the
// picture holds once decoded, at most 32.
uint16_t pngBitCount(unsigned colourType, unsigned bitDepth) {
    switch (colourType) {
    case 0:
    case 3: return static_cast<uint16_t>(bitDepth <= 8 ? bitDepth : 32);
    case 2: return 24;
    default: return 32;  // grey with alpha, RGBA
    }
}

// Walks the chunks of the PNG at [at, at + n): the header first, every
// chunk whole and with its checksum right, the end chunk last.
bool checkPng(const std::string& b, size_t at, size_t n, PngShape* shape, std::string* error) {
    size_t end = at + n, pos = at + kPngSignatureBytes;
    bool first = true;
    while (true) {
        if (end - pos < 12) {
            *error = "is cut off (its last chunk is incomplete or the end chunk IEND is missing)";
            return false;
        }
        uint32_t length = be32(b, pos);
        std::string type = b.substr(pos + 4, 4);
        if (length > end - pos - 12) {
            *error = "is cut off (chunk " + type + " claims " + std::to_string(length) + " bytes, " +
                     std::to_string(end - pos - 12) + " remain)";
            return false;
        }
        if (crc32(b, pos + 4, 4 + length) != be32(b, pos + 8 + length)) {
            *error = "is damaged (the checksum of its " + type + " chunk is wrong)";
            return false;
        }
        if (first) {
            if (type != "IHDR" || length != 13) {
                *error = "does not start with the IHDR header chunk PNG images start with";
                return false;
            }
            shape->width = be32(b, pos + 8);
            shape->height = be32(b, pos + 12);
            shape->bitCount =
                pngBitCount(static_cast<unsigned char>(b[pos + 17]), static_cast<unsigned char>(b[pos + 16]));
            first = false;
        }
        pos += 12 + length;
        if (type == "IEND") break;
    }
    if (shape->width == 0 || shape->height == 0 || shape->width > 256 || shape->height > 256) {
        *error = "is " + std::to_string(shape->width) + "x" + std::to_string(shape->height) +
                 " pixels; icon images are 1 to 256 pixels wide and high (scale it to 256x256)";
        return false;
    }
    return true;
}

// A device-independent bitmap as icons store it: the header, the palette,
// the colour image and the one-bit mask, each row padded to four bytes.
bool checkBitmap(const std::string& b, size_t at, size_t n, std::string* error) {
    if (n < 40 || le32(b, at) < 40 || le32(b, at) > n) {
        *error = "has no valid bitmap header";
        return false;
    }
    int32_t width = static_cast<int32_t>(le32(b, at + 4));
    int32_t height = static_cast<int32_t>(le32(b, at + 8));
    uint16_t bits = le16(b, at + 14);
    uint32_t compression = le32(b, at + 16), used = le32(b, at + 32);
    if (width <= 0 || width > 256 || height <= 0 || height > 512) {
        *error = "has a bitmap of " + std::to_string(width) + "x" + std::to_string(height / 2) +
                 " pixels; icon images are 1 to 256 pixels wide and high";
        return false;
    }
    if ((bits != 1 && bits != 4 && bits != 8 && bits != 16 && bits != 24 && bits != 32) ||
        (compression != 0 && compression != 3)) {
        *error = "has a bitmap format icons do not use (" + std::to_string(bits) + " bits per pixel, compression " +
                 std::to_string(compression) + ")";
        return false;
    }
    if (used > 256) {
        *error = "has a palette of " + std::to_string(used) + " colours; icons use at most 256";
        return false;
    }
    uint64_t rows = static_cast<uint64_t>(height) / 2;
    uint64_t colourRow = (static_cast<uint64_t>(width) * bits + 31) / 32 * 4;
    uint64_t maskRow = (static_cast<uint64_t>(width) + 31) / 32 * 4;
    uint64_t palette = 4ull * (used != 0 ? used : bits <= 8 ? 1u << bits : 0u);
    uint64_t needed = le32(b, at) + palette + (colourRow + maskRow) * rows + (compression == 3 ? 12 : 0);
    if (needed > n) {
        *error = "is cut off (its bitmap needs " + std::to_string(needed) + " bytes, the file gives it " +
                 std::to_string(n) + ")";
        return false;
    }
    return true;
}

bool parsePngIcon(const std::string& bytes, IconFile* icon, std::string* error) {
    PngShape shape;
    if (!checkPng(bytes, 0, bytes.size(), &shape, error)) {
        *error = "is a PNG image that " + *error;
        return false;
    }
    IconImage image;
    image.width = static_cast<uint8_t>(shape.width & 0xFF);
    image.height = static_cast<uint8_t>(shape.height & 0xFF);
    image.planes = 1;
    image.bitCount = shape.bitCount;
    image.png = true;
    image.data = bytes;
    icon->images.push_back(image);
    icon->fromPng = true;
    return true;
}

}  // namespace

bool parseIcon(const std::string& bytes, IconFile* icon, std::string* error) {
    *icon = IconFile();
    if (bytes.size() > static_cast<size_t>(limit::IconFileBytes)) {
        *error = "has " + std::to_string(bytes.size()) + " bytes; an icon may have at most " +
                 std::to_string(limit::IconFileBytes) + " (16 MB)";
        return false;
    }
    if (isPng(bytes, 0, bytes.size())) return parsePngIcon(bytes, icon, error);
    if (bytes.size() < kIconHeader || le16(bytes, 0) != 0 || (le16(bytes, 2) != 1 && le16(bytes, 2) != 2)) {
        *error = "is neither a Windows icon file (.ico) nor a PNG image";
        return false;
    }
    if (le16(bytes, 2) == 2) {
        *error = "is a cursor file (.cur), not an icon";
        return false;
    }
    size_t count = le16(bytes, 4);
    if (count == 0) {
        *error = "holds no image (its directory counts 0)";
        return false;
    }
    if (count > static_cast<size_t>(limit::IconImages)) {
        *error = "counts " + std::to_string(count) + " images; an icon may have at most " +
                 std::to_string(limit::IconImages);
        return false;
    }
    size_t directoryEnd = kIconHeader + kIconEntry * count;
    if (bytes.size() < directoryEnd) {
        *error = "is cut off: its directory of " + std::to_string(count) + " images needs " +
                 std::to_string(directoryEnd) + " bytes, the file has " + std::to_string(bytes.size());
        return false;
    }
    for (size_t i = 0; i < count; ++i) {
        size_t entry = kIconHeader + kIconEntry * i;
        IconImage image;
        image.width = static_cast<uint8_t>(bytes[entry]);
        image.height = static_cast<uint8_t>(bytes[entry + 1]);
        image.colourCount = static_cast<uint8_t>(bytes[entry + 2]);
        image.reserved = static_cast<uint8_t>(bytes[entry + 3]);
        image.planes = le16(bytes, entry + 4);
        image.bitCount = le16(bytes, entry + 6);
        uint32_t size = le32(bytes, entry + 8), offset = le32(bytes, entry + 12);
        std::string label = "image " + std::to_string(i + 1) + " (" + std::to_string(iconPixels(image.width)) + "x" +
                            std::to_string(iconPixels(image.height)) + ")";
        if (size == 0) {
            *error = "is damaged: " + label + " has no bytes";
            return false;
        }
        if (offset < directoryEnd) {
            *error = "is damaged: " + label + " starts at offset " + std::to_string(offset) +
                     ", inside the icon directory";
            return false;
        }
        if (offset > bytes.size() || size > bytes.size() - offset) {
            *error = "is cut off or damaged: " + label + " lies at offset " + std::to_string(offset) + " with " +
                     std::to_string(size) + " bytes, past the end of the file (" + std::to_string(bytes.size()) +
                     " bytes)";
            return false;
        }
        std::string problem;
        image.png = isPng(bytes, offset, size);
        if (image.png) {
            PngShape shape;
            if (!checkPng(bytes, offset, size, &shape, &problem)) {
                *error = "is damaged: the PNG of " + label + " " + problem;
                return false;
            }
        } else if (!checkBitmap(bytes, offset, size, &problem)) {
            *error = "is damaged: " + label + " " + problem;
            return false;
        }
        image.data = bytes.substr(offset, size);
        icon->images.push_back(image);
    }
    return true;
}

std::string encodeIconGroup(const IconFile& icon, uint16_t firstId) {
    std::string out;
    appendLe16(out, 0);
    appendLe16(out, 1);
    appendLe16(out, static_cast<uint16_t>(icon.images.size()));
    for (size_t i = 0; i < icon.images.size(); ++i) {
        const IconImage& image = icon.images[i];
        out += static_cast<char>(image.width);
        out += static_cast<char>(image.height);
        out += static_cast<char>(image.colourCount);
        out += static_cast<char>(image.reserved);
        appendLe16(out, image.planes);
        appendLe16(out, image.bitCount);
        appendLe32(out, static_cast<uint32_t>(image.data.size()));
        appendLe16(out, static_cast<uint16_t>(firstId + i));
    }
    return out;
}
