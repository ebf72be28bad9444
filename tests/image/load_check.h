#pragma once
// Loading BMP files under the message-box watcher, and the checks the
// loader's tests share.
#include "bmp_loader.h"
#include "bmp_maker.h"
#include "bmp_portable.h"
#include "box_watcher.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

struct FreeRgbImage {
    void operator()(RgbImage* image) const
    {
        if (image) free(image->data);
        free(image);
    }
};
using ImagePtr = std::unique_ptr<RgbImage, FreeRgbImage>;

// What one load gave: the picture (or null) and the boxes it showed.
struct LoadOutcome {
    ImagePtr image;
    std::vector<SeenBox> boxes;
};

// Loads a file while watching this process's message boxes.
LoadOutcome LoadWatched(const std::string& path);

// Empty when the portable reader agrees with the load of the same file: the
// same picture, or a refusal with the text of the load's one box; else what
// differs.
std::string PortableDifference(const std::string& path, const LoadOutcome& outcome);

// The picture's pixel bytes, as a vector.
std::vector<uint8_t> PixelsOf(const RgbImage& image);

// Writes the recipe's file, loads it and compares the picture with the
// recipe's own model of it and with the portable reader's; no box may appear.
::testing::AssertionResult LoadsAsModelled(const BmpRecipe& recipe, const std::string& fileName = "picture.bmp");

// Writes the bytes, loads them and checks the refusal: null, exactly one
// "Error" box with the text, no GDI object, handle or view left behind, the
// portable reader refusing with the same text, and the file free to be
// deleted.
::testing::AssertionResult IsRefusedWith(const std::vector<uint8_t>& bytes, const std::string& text,
                                         const std::string& fileName = "bad.bmp");

extern const char kOutOfMemoryText[];
extern const char kUnknownFormatText[];
extern const char kConversionErrorText[];
// The open-failure text for a path.
std::string OpenFailureText(const std::string& path);
