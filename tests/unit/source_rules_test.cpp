// Rules of the installer's sources that keep its trust boundaries in one place each: every folder
// it makes goes through the one helper that gives it a protected DACL, and the common layer the
// uninstaller shares imports nothing from the pages.
#include <gtest/gtest.h>

#include <ctype.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

// Whether text calls the function name (or its A, W or Ex forms): the name, letters, then "(",
// blanks allowed; a comment naming "CreateDirectoryA's result" is no call.
bool callsFunction(const std::string &text, const std::string &name) {
    for (size_t at = text.find(name); at != std::string::npos; at = text.find(name, at + 1)) {
        size_t end = at + name.size();
        while (end < text.size() && isalpha((unsigned char)text[end]))
            end++;
        while (end < text.size() && isspace((unsigned char)text[end]))
            end++;
        if (end < text.size() && text[end] == '(')
            return true;
    }
    return false;
}

// installer/ paths, relative and with forward slashes, of the sources whose text holds.
std::vector<std::string>
installerSourcesWhere(const std::function<bool(const std::string &)> &holds,
                      const std::string &under = "") {
    std::vector<std::string> found;
    fs::path root = fs::path(QUILLARY_SOURCE_DIR) / "installer";
    for (const fs::directory_entry &entry : fs::recursive_directory_iterator(root / under)) {
        std::string extension = entry.path().extension().string();
        if (!entry.is_regular_file() || (extension != ".cpp" && extension != ".h"))
            continue;
        std::ifstream file(entry.path());
        std::stringstream contents;
        contents << file.rdbuf();
        if (holds(contents.str()))
            found.push_back(fs::relative(entry.path(), root).generic_string());
    }
    return found;
}

TEST(InstallerSources, MakeEveryFolderThroughTheProtectedFolderHelper) {
    ASSERT_TRUE(fs::exists(fs::path(QUILLARY_SOURCE_DIR) / "installer" / "common"));
    EXPECT_EQ(installerSourcesWhere(
                  [](const std::string &text) { return callsFunction(text, "CreateDirectory"); }),
              std::vector<std::string>{"common/folder_security.cpp"});
}

TEST(InstallerSources, CommonLayerImportsNothingFromThePages) {
    EXPECT_EQ(installerSourcesWhere(
                  [](const std::string &text) {
                      return text.find("#include \"pages/") != std::string::npos;
                  },
                  "common"),
              std::vector<std::string>{});
}

} // namespace
