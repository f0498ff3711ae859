// Rules of the installer's sources that keep a trust boundary in one place each: every folder it
// makes goes through the helper that gives it a protected DACL, and the common layer the
// uninstaller shares includes nothing from the pages.
#include <gtest/gtest.h>

#include <ctype.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace fs = std::filesystem;

// A call of CreateDirectory (A, W or Ex forms): the name, letters, blanks, then "(". A comment
// naming "CreateDirectoryA's result" is no call.
static bool callsCreateDirectory(const std::string &text) {
    const std::string name = "CreateDirectory";
    for (size_t at = text.find(name); at != std::string::npos; at = text.find(name, at + 1)) {
        size_t end = at + name.size();
        while (end < text.size() && (isalpha((unsigned char)text[end]) || text[end] == ' '))
            end++;
        if (end < text.size() && text[end] == '(')
            return true;
    }
    return false;
}

TEST(InstallerSources, MakeFoldersOnlyThroughTheProtectedHelperAndKeepCommonOffThePages) {
    fs::path root = fs::path(QUILLARY_SOURCE_DIR) / "installer";
    std::vector<std::string> creating, commonOnPages;
    for (const fs::directory_entry &entry : fs::recursive_directory_iterator(root)) {
        std::string extension = entry.path().extension().string();
        if (!entry.is_regular_file() || (extension != ".cpp" && extension != ".h"))
            continue;
        std::ifstream file(entry.path());
        std::stringstream text;
        text << file.rdbuf();
        std::string name = fs::relative(entry.path(), root).generic_string();
        if (callsCreateDirectory(text.str()))
            creating.push_back(name);
        if (name.compare(0, 7, "common/") == 0 &&
            text.str().find("#include \"pages/") != std::string::npos)
            commonOnPages.push_back(name);
    }
    EXPECT_EQ(creating, std::vector<std::string>{"common/folder_security.cpp"});
    EXPECT_EQ(commonOnPages, std::vector<std::string>{});
}
