#include "fuzz_check.h"

std::string OutcomeFault(const LoadOutcome& outcome)
{
    if (!outcome.image) {
        if (outcome.boxes.size() != 1)
            return "no picture and " + std::to_string(outcome.boxes.size()) + " boxes";
        if (outcome.boxes[0].caption != "Error")
            return "box captioned \"" + outcome.boxes[0].caption + "\"";
        return "";
    }
    if (!outcome.boxes.empty())
        return "a picture and " + std::to_string(outcome.boxes.size()) + " boxes, first: " +
               outcome.boxes[0].text;
    const RgbImage& image = *outcome.image;
    if (image.width <= 0 || image.height <= 0 || !image.data)
        return "picture of " + std::to_string(image.width) + " x " + std::to_string(image.height);
    volatile unsigned sum = 0;
    const size_t size = size_t(image.width) * size_t(image.height) * 3;
    for (size_t i = 0; i < size; ++i) sum = sum + image.data[i];
    return "";
}
