#include "load_check.h"

#include "resource_counts.h"
#include "test_paths.h"

#include <sstream>

const char kOutOfMemoryText[] = "Out of memory.";
const char kUnknownFormatText[] = "Unknown DIB file format.";
const char kConversionErrorText[] = "Image file conversion error.";

namespace {

std::string Describe(const ResourceCounts& counts)
{
    std::ostringstream text;
    text << "{gdi " << counts.gdiObjects << ", handles " << counts.handles << ", views "
         << counts.mappedViews << "}";
    return text.str();
}

std::string DescribeBoxes(const std::vector<SeenBox>& boxes)
{
    std::ostringstream text;
    text << boxes.size() << " box(es)";
    for (const SeenBox& box : boxes) text << " [" << box.caption << ": " << box.text << "]";
    return text.str();
}

}  // namespace

std::string OpenFailureText(const std::string& path)
{
    return "Failed to open DIB file " + path + ".\n";
}

LoadOutcome LoadWatched(const std::string& path)
{
    LoadOutcome outcome;
    BoxWatch watch;
    outcome.image.reset(LoadBmpImage(path.c_str()));
    outcome.boxes = watch.Stop();
    return outcome;
}

namespace {

// True when the portable reader's refusal says what the box says: the same
// text, or for an open failure the same opening (its reason is the
// system's, not the box's).
bool SameRefusal(const std::string& box, const std::string& reason)
{
    const std::string open = "Failed to open DIB file ";
    return box == reason || (box.compare(0, open.size(), open) == 0 && reason.compare(0, open.size(), open) == 0);
}

}  // namespace

std::string PortableDifference(const std::string& path, const LoadOutcome& outcome)
{
    std::string reason;
    ImagePtr portable(ReadBmpFile(path.c_str(), &reason));
    if (!outcome.image) {
        if (portable) return "the portable reader gives a picture";
        if (outcome.boxes.size() == 1 && !SameRefusal(outcome.boxes[0].text, reason))
            return "the portable reader refuses with \"" + reason + "\"";
        return "";
    }
    if (!portable) return "the portable reader refuses with \"" + reason + "\"";
    if (portable->width != outcome.image->width || portable->height != outcome.image->height)
        return "the portable reader gives " + std::to_string(portable->width) + " x " +
               std::to_string(portable->height);
    const std::vector<uint8_t> want = PixelsOf(*outcome.image), got = PixelsOf(*portable);
    for (size_t i = 0; i < want.size(); ++i)
        if (got[i] != want[i])
            return "the portable reader's byte " + std::to_string(i) + " is " + std::to_string(got[i]) +
                   ", the loader's " + std::to_string(want[i]);
    return "";
}

std::vector<uint8_t> PixelsOf(const RgbImage& image)
{
    size_t size = size_t(image.width) * size_t(image.height) * 3;
    return std::vector<uint8_t>(image.data, image.data + size);
}

::testing::AssertionResult LoadsAsModelled(const BmpRecipe& recipe, const std::string& fileName)
{
    std::string path = WriteRunFile(fileName, MakeBmp(recipe));
    LoadOutcome outcome = LoadWatched(path);
    if (!outcome.boxes.empty())
        return ::testing::AssertionFailure() << DescribeBoxes(outcome.boxes);
    if (!outcome.image)
        return ::testing::AssertionFailure() << "no picture and no box";
    const RgbImage& image = *outcome.image;
    int rows = recipe.height < 0 ? -recipe.height : recipe.height;
    if (image.width != recipe.width || image.height != rows)
        return ::testing::AssertionFailure() << "size " << image.width << " x " << image.height
                                             << ", want " << recipe.width << " x " << rows;
    std::vector<uint8_t> expected = ExpectedRgb(recipe);
    std::vector<uint8_t> actual = PixelsOf(image);
    for (size_t i = 0; i < expected.size(); ++i) {
        if (actual[i] != expected[i]) {
            size_t pixel = i / 3;
            return ::testing::AssertionFailure()
                   << "pixel (" << pixel % recipe.width << ", " << pixel / recipe.width << ") channel "
                   << i % 3 << " is " << int(actual[i]) << ", want " << int(expected[i]);
        }
    }
    const std::string portable = PortableDifference(path, outcome);
    if (!portable.empty())
        return ::testing::AssertionFailure() << portable;
    return ::testing::AssertionSuccess();
}

namespace {

// Loads a file that must be refused and checks the one box it shows.
::testing::AssertionResult RefusesOnce(const std::string& path, const std::string& text)
{
    BoxWatch watch;
    RgbImage* image = LoadBmpImage(path.c_str());
    std::vector<SeenBox> boxes = watch.Stop();
    if (image) {
        FreeRgbImage()(image);
        return ::testing::AssertionFailure() << "a picture came back";
    }
    if (boxes.size() != 1 || boxes[0].caption != "Error" || boxes[0].text != text)
        return ::testing::AssertionFailure() << DescribeBoxes(boxes) << ", want one [Error: " << text << "]";
    if (boxes[0].buttonCount != 1 || boxes[0].hasIcon)
        return ::testing::AssertionFailure() << "box is not a plain OK box";
    return ::testing::AssertionSuccess();
}

}  // namespace

::testing::AssertionResult IsRefusedWith(const std::vector<uint8_t>& bytes, const std::string& text,
                                         const std::string& fileName)
{
    std::string path = WriteRunFile(fileName, bytes);
    // Counted outside the watch, whose thread's handles end with it. Wine's
    // dialogs now and then create GDI objects of their own that live on, so
    // a difference is looked at again on a second call: a leak of the
    // loader's shows on every call.
    ResourceCounts before = CountResources();
    ::testing::AssertionResult refused = RefusesOnce(path, text);
    ResourceCounts after = CountResourcesOnceBackTo(before);
    if (refused && !(before == after)) {
        std::string first = Describe(before) + " -> " + Describe(after);
        before = CountResources();
        refused = RefusesOnce(path, text);
        after = CountResourcesOnceBackTo(before);
        if (refused && !(before == after))
            return ::testing::AssertionFailure() << "left behind: " << first << ", again "
                                                 << Describe(before) << " -> " << Describe(after);
    }
    if (!refused)
        return refused;
    std::string reason;
    ImagePtr portable(ReadBmpFile(path.c_str(), &reason));
    if (portable || !SameRefusal(text, reason))
        return ::testing::AssertionFailure() << "the portable reader " << (portable ? "gives a picture" : reason);
    if (!DeleteFileA(path.c_str()))
        return ::testing::AssertionFailure() << "file still held, error " << GetLastError();
    return ::testing::AssertionSuccess();
}

namespace {

// The first message box and the first conversion of a process create GDI
// objects and mappings that live on; one of each before the tests keeps
// them out of the counts.
class WarmUp : public ::testing::Environment {
public:
    void SetUp() override
    {
        LoadWatched(RunDirPath("no such picture.bmp"));
        BmpRecipe recipe;
        recipe.width = 2;
        recipe.height = 2;
        FillPicture(recipe, 1u << 24, 1);
        LoadWatched(WriteRunFile("warm-up.bmp", MakeBmp(recipe)));
    }
};
::testing::Environment* const warmUp = ::testing::AddGlobalTestEnvironment(new WarmUp);

}  // namespace
