// data/ is the generator's output, byte for byte: anyone can remake it, and a change to the generator
// that forgets to refresh data/ is caught here.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "support/process.h"
#include "support/show_files.h"
#include "support/temp_dir.h"

TEST(Generator, RemakesDataByteForByte)
{
    TempDir out;
    const ProcessResult r = runProcess({std::string(SHOW_BIN_DIR) + "/assetgen", out.path()}, {{}, {}, "", 300});
    ASSERT_EQ(r.exitCode, 0) << r.err;

    int count = 0;
    const char* const* images = showImageNames(count);
    std::vector<std::string> names(images, images + count);
    names.push_back("bass_300808.mp3");
    for (const std::string& name : names) {
        SCOPED_TRACE(name);
        const std::string committed = std::string(SHOW_DATA_DIR) + "/" + name;
        ASSERT_TRUE(std::filesystem::exists(committed));
        ASSERT_TRUE(std::filesystem::exists(out.file(name)));
        EXPECT_TRUE(readFile(committed) == readFile(out.file(name))) << "differs from the generator's output";
    }
    // Nothing else: the show's working directory holds exactly these files.
    int written = 0;
    for (const auto& entry : std::filesystem::directory_iterator(out.path())) written += entry.is_regular_file();
    EXPECT_EQ(written, int(names.size()));
}
