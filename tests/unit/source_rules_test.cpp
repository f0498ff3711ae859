// Rules of the installer's sources that keep a trust boundary in one place each: every folder it
// makes goes through the helper that gives it a protected DACL, and the common layer the
// uninstaller shares includes nothing from the layers built on it.
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

// The installer's folders that stand on common/: common/ may include none of them.
static bool includesUpperLayer(const std::string &text) {
    for (const char *layer : {"pages/", "shell/", "payload/", "system/", "backdrop/"})
        if (text.find(std::string("#include \"") + layer) != std::string::npos)
            return true;
    return false;
}

TEST(InstallerSources, MakeFoldersOnlyThroughTheProtectedHelperAndKeepCommonOffTheUpperLayers) {
    fs::path root = fs::path(QUILLARY_SOURCE_DIR) / "installer";
    std::vector<std::string> creating, commonOnUpper;
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
        if (name.compare(0, 7, "common/") == 0 && includesUpperLayer(text.str()))
            commonOnUpper.push_back(name);
    }
    EXPECT_EQ(creating, std::vector<std::string>{"common/folder_security.cpp"});
    EXPECT_EQ(commonOnUpper, std::vector<std::string>{});
}
