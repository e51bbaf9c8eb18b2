// Show working directories for end-to-end tests.
#include "support/show_files.h"

#include <filesystem>
#include <string>
#include <vector>

#include "support/png_write.h"
#include "support/temp_dir.h"

namespace {
const char* const ImageNames[] = {
    "ec0.png",      "ec1.png",      "ec2.png",      "ec3.png",      "ec4.png",      "ec5.png",
    "blend00.png",  "blend01.png",  "blend02.png",  "blend03.png",  "blend04.png",  "blend05.png",
    "blend06.png",  "blend07.png",  "blend08.png",  "blend09.png",  "blend10.png",  "blend11.png",
    "blend12.png",  "blend13.png",  "blend14.png",  "blend15.png",  "blend16.png",  "blend17.png",
    "blend18.png",  "blend19.png",  "big-circle.png", "path1.png",  "typo1.png",    "typo2.png",
    "typo3.png",    "star.png",     "typo0.png",    "m0.png",       "l2.png",       "end.png",
};
constexpr int ImageCount = sizeof(ImageNames) / sizeof(ImageNames[0]);
static_assert(ImageCount == 36, "the show loads 36 images");
}  // namespace

const char* const* showImageNames(int& count)
{
    count = ImageCount;
    return ImageNames;
}

void putShowImages(const std::string& dir)
{
    for (const char* name : ImageNames) {
        const std::string committed = std::string(SHOW_DATA_DIR) + "/" + name;
        const std::string target = dir + "/" + name;
        if (std::filesystem::exists(committed)) {
            copyFile(committed, target);
        } else if (std::string(name) == "end.png") {
            writeSolidPng(target, 512, 512, 3, 255);  // white: easy to find on a black screen
        } else {
            writeSolidPng(target, 16, 16, 1, 200);
        }
    }
}
