// The main of every test executable: GoogleTest with a private temporary folder.
//
// CTest runs tests in parallel processes, and tests write their fixtures into
// ::testing::TempDir(). Each process gets a fresh folder (through TEST_TMPDIR), so
// two tests writing files of the same name never meet; the folder is removed at the end.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <system_error>

int main(int argc, char** argv) {
    std::string pattern = (std::filesystem::temp_directory_path() / "halcyon-test-XXXXXX").string();
    const char* folder = mkdtemp(pattern.data());
    if (folder != nullptr) setenv("TEST_TMPDIR", (std::string(folder) + "/").c_str(), 1);

    ::testing::InitGoogleTest(&argc, argv);
    int result = RUN_ALL_TESTS();

    if (folder != nullptr) {
        std::error_code ignored;
        std::filesystem::remove_all(folder, ignored);
    }
    return result;
}
