// The application icon: a Windows icon file (.ico) with one or more images
// (bitmaps or PNG-compressed, up to 256x256), or a PNG image taken as an
// icon of one image. Checked through and through before anything is
// written, so a damaged file is refused with what is wrong rather than
// packed into an executable whose icon Explorer cannot show.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct IconImage {
    // As the icon directory states them; 0 stands for 256.
    uint8_t width = 0;
    uint8_t height = 0;
    uint8_t colourCount = 0;
    uint8_t reserved = 0;
    uint16_t planes = 0;
    uint16_t bitCount = 0;
    bool png = false;
    std::string data;  // the image as stored in the file: PNG or DIB bytes
};

struct IconFile {
    std::vector<IconImage> images;
    bool fromPng = false;  // the file was a PNG image, not an icon file
};

// Reads an icon file or a PNG image. False with what is wrong (the caller
// names the file).
bool parseIcon(const std::string& bytes, IconFile* icon, std::string* error);

// The icon group resource for the images, whose icon resources carry the
// ids firstId, firstId + 1, ...
std::string encodeIconGroup(const IconFile& icon, uint16_t firstId);

// Width or height as a number of pixels (a directory's 0 is 256).
inline int iconPixels(uint8_t stated) { return stated == 0 ? 256 : stated; }
