// The browsers' path moves: up with the drive-root rule, down with its length limit, and the
// search pattern and shown path of a listing, in both modes.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "pages/browser_moves.h"

namespace {

const int DIRECTORY = 0;  // the directory browser
const int START_MENU = 1; // the Start-menu folder browser

// A path buffer with guard bytes behind it, so a write past its end shows.
struct GuardedPath {
    char bytes[PATH_BUFFER + 16];
    explicit GuardedPath(const std::string &path) {
        memset(bytes, '#', sizeof(bytes));
        memcpy(bytes, path.c_str(), path.size() + 1);
    }
    std::string path() const { return bytes; }
    bool guardIntact() const {
        for (size_t i = PATH_BUFFER; i < sizeof(bytes); i++)
            if (bytes[i] != '#')
                return false;
        return true;
    }
};

} // namespace

TEST(BrowserMoves, BelowTheRootDependsOnTheMode) {
    struct {
        const char *path;
        int mode;
        int below;
    } cases[] = {
        {"C:\\", DIRECTORY, 0},
        {"C:", DIRECTORY, 0},
        {"C:\\A", DIRECTORY, 1},
        {"C:\\Program files", DIRECTORY, 1},
        {"C:\\Windows\\Start Menu", START_MENU, 0},   // 21 characters
        {"C:\\Windows\\Start Menu\\", START_MENU, 1}, // 22
        {"C:\\Menu\\Programs", START_MENU, 0},
        {"C:\\Windows\\Start Menu\\Programs", START_MENU, 1},
    };
    for (const auto &c : cases)
        EXPECT_EQ(isBelowRoot(c.path, c.mode) != 0, c.below != 0) << c.path << " mode " << c.mode;
}

TEST(BrowserMoves, GoingUpKeepsTheDriveRootsBackslashOnlyInTheDirectoryBrowser) {
    struct {
        const char *before;
        int mode;
        const char *after;
        int changed;
    } cases[] = {
        {"C:\\Program files", DIRECTORY, "C:\\", 1},
        {"C:\\Program files\\Plus", DIRECTORY, "C:\\Program files", 1},
        {"C:\\A", DIRECTORY, "C:\\", 1},
        {"C:\\AB\\C", DIRECTORY, "C:\\AB", 1}, // backslash at index 5
        {"C:\\A\\B", DIRECTORY, "C:\\A", 1},   // backslash at index 4: the first cut past the root
        {"C:\\", DIRECTORY, "C:\\", 0},
        {"nothing", DIRECTORY, "nothing", 0},
        {"C:\\Menu", START_MENU, "C:", 1},
        {"C:\\Windows\\Start Menu\\Programs", START_MENU, "C:\\Windows\\Start Menu", 1},
        {"C:\\Windows\\Start Menu\\Programs\\", START_MENU, "C:\\Windows\\Start Menu\\Programs", 1},
        {"nothing", START_MENU, "nothing", 0},
    };
    for (const auto &c : cases) {
        GuardedPath path(c.before);
        EXPECT_EQ(browseUp(path.bytes, c.mode), c.changed) << c.before;
        EXPECT_EQ(path.path(), c.after) << c.before << " mode " << c.mode;
    }
}

TEST(BrowserMoves, GoingDownAddsOneBackslashAndTheName) {
    struct {
        const char *before;
        const char *name;
        int mode;
        const char *after;
    } cases[] = {
        {"C:\\", "Windows", DIRECTORY, "C:\\Windows"},
        {"C:\\Program files", "!tools", DIRECTORY, "C:\\Program files\\!tools"},
        {"C:\\Program files", "Quillary", DIRECTORY, "C:\\Program files\\Quillary"},
        {"C:", "Menu", START_MENU, "C:\\Menu"},
        {"C:\\Menu\\Programs", "Games", START_MENU, "C:\\Menu\\Programs\\Games"},
    };
    for (const auto &c : cases) {
        GuardedPath path(c.before);
        EXPECT_EQ(browseDown(path.bytes, PATH_BUFFER, BROWSE_PATH_MAX, c.name, c.mode), 0);
        EXPECT_EQ(path.path(), c.after);
    }
}

// The limit leaves room for a backslash and the longest folder name in a 511-character path.
TEST(BrowserMoves, GoingDownPastTheLimitIsRefusedAndChangesNothing) {
    EXPECT_EQ(BROWSE_PATH_MAX + 1 + FOLDER_NAME_MAX, PATH_MAX_LENGTH);
    std::string name(LIST_TEXT_MAX, 'n');
    for (int mode : {DIRECTORY, START_MENU}) {
        // Exactly the limit: accepted.
        std::string fits(BROWSE_PATH_MAX - 1 - name.size(), 'p');
        GuardedPath path(fits);
        EXPECT_EQ(browseDown(path.bytes, PATH_BUFFER, BROWSE_PATH_MAX, name.c_str(), mode), 0);
        EXPECT_EQ(path.path().size(), (size_t)BROWSE_PATH_MAX);
        EXPECT_TRUE(path.guardIntact());

        // One character more: refused, untouched.
        std::string over = fits + "p";
        GuardedPath refused(over);
        EXPECT_EQ(browseDown(refused.bytes, PATH_BUFFER, BROWSE_PATH_MAX, name.c_str(), mode), 1);
        EXPECT_EQ(refused.path(), over);
        EXPECT_TRUE(refused.guardIntact());

        // A buffer smaller than the limit governs too.
        GuardedPath small("C:\\abc");
        EXPECT_EQ(browseDown(small.bytes, 10, BROWSE_PATH_MAX, "de", mode), 0) << "9 characters";
        EXPECT_EQ(browseDown(small.bytes, 10, BROWSE_PATH_MAX, "f", mode), 1);
        EXPECT_EQ(small.path(), "C:\\abc\\de");

        // Already past the limit (a path that did not come from a move): nothing is appended.
        std::string full(PATH_MAX_LENGTH, 'x');
        GuardedPath longest(full);
        EXPECT_EQ(browseDown(longest.bytes, PATH_BUFFER, BROWSE_PATH_MAX, "a", mode), 1);
        EXPECT_TRUE(longest.guardIntact());

        GuardedPath empty("C:\\Menu");
        EXPECT_EQ(browseDown(empty.bytes, PATH_BUFFER, BROWSE_PATH_MAX, "", mode), 1)
            << "an empty name is no move";
        EXPECT_EQ(empty.path(), "C:\\Menu");
    }
}

TEST(BrowserMoves, ListingPatternAndShownPath) {
    struct {
        const char *path;
        int mode;
        const char *pattern;
        const char *shown;
    } cases[] = {
        {"C:\\", DIRECTORY, "C:\\*.*", "C:\\Quillary"},
        {"C:\\Program files", DIRECTORY, "C:\\Program files\\*.*", "C:\\Program files\\Quillary"},
        {"C:", START_MENU, "C:\\*.*", "C:\\Quillary"},
        {"C:\\Menu\\Programs", START_MENU, "C:\\Menu\\Programs\\*.*",
         "C:\\Menu\\Programs\\Quillary"},
    };
    for (const auto &c : cases) {
        char out[PATH_BUFFER];
        EXPECT_EQ(listSearchPattern(out, sizeof(out), c.path, c.mode), 0);
        EXPECT_STREQ(out, c.pattern);
        EXPECT_EQ(listShownPath(out, sizeof(out), c.path, "Quillary", c.mode), 0);
        EXPECT_STREQ(out, c.shown);
    }
}

TEST(BrowserMoves, ListingTextsThatWouldNotFitAreRefusedEmpty) {
    // The longest path a move reaches, shown with the longest name: exactly 511 characters.
    std::string deepest(BROWSE_PATH_MAX, 'd');
    std::string longestName(FOLDER_NAME_MAX, 'q');
    GuardedPath out("");
    EXPECT_EQ(listShownPath(out.bytes, PATH_BUFFER, deepest.c_str(), longestName.c_str(), 0), 0);
    EXPECT_EQ(out.path(), deepest + "\\" + longestName);
    EXPECT_TRUE(out.guardIntact());

    std::string longer = deepest + "d";
    EXPECT_EQ(listShownPath(out.bytes, PATH_BUFFER, longer.c_str(), longestName.c_str(), 1), 1);
    EXPECT_EQ(out.path(), "");
    EXPECT_TRUE(out.guardIntact());

    std::string patternFits(PATH_BUFFER - 1 - 4, 'p');
    EXPECT_EQ(listSearchPattern(out.bytes, PATH_BUFFER, patternFits.c_str(), 1), 0);
    EXPECT_EQ(out.path(), patternFits + "\\*.*");
    std::string patternOver = patternFits + "p";
    EXPECT_EQ(listSearchPattern(out.bytes, PATH_BUFFER, patternOver.c_str(), 0), 1);
    EXPECT_EQ(out.path(), "");
    EXPECT_TRUE(out.guardIntact());
}
