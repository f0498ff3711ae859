// The default walk-through of `make run` without a screen: puts a desktop picture up (the
// virtual screen has none, and the installer shows a darkened picture of the desktop), presses
// the buttons a first-time user presses, page by page, opens the directory browser from the
// destination page and cancels it, and once the installer has ended starts the installed program
// from its shortcut. It saves a picture of each window it meets and says what it did.
//
//   walkthrough.exe <installer> <output folder>
//
// Each window is told by its controls, so the walk goes on whichever pages the installer shows.
// A picture is taken only once the window it names shows its own controls painted, read from
// the screen: a new page is drawn over the last one, and until its controls are painted the
// screen still shows the last page's in their place.
#include <windows.h>

#include <shellapi.h>
#include <stdio.h>

#include <functional>
#include <set>
#include <string>
#include <vector>

#include "installed_system.h"
#include "installer_driver.h"
#include "product_resources.h"
#include "program_runs.h"
#include "resources/resource.h"
#include "test_pictures.h"

using namespace driver;

static const int COPY_PAGE_TIMEOUT_MS = 300000;
static const int STEP_TIMEOUT_MS = 30000;

static const uint32_t PAGE_FRAME_BLUE = 0x2878FF; // the page picture's frame, at (8, 8)
static const int MESSAGE_TEXT_ID = 0xFFFF;        // a message box's text
static const char VIEWER_CLASS[] = "QuillaryViewer";

static int shotCount = 0;
static bool allPainted = true; // false once a window was not seen painted in time

// A desktop as a user may have it: a blue sky fading to the horizon over green hills, and a
// column of icons at the left.
static uint32_t desktopPicture(int x, int y) {
    static const SIZE size = screenSize();
    if (x >= 20 && x < 52 && y >= 20 && (y - 20) % 70 < 32 && y < 20 + 5 * 70) {
        static const uint32_t icons[5] = {0xF0C040, 0xFFFFFF, 0x40A0E0, 0xE05050, 0x70D070};
        return icons[(y - 20) / 70];
    }
    int horizon = size.cy * 2 / 3 + (int)(30 * ((x * 7 / (size.cx + 1)) % 2 ? 1 : -1));
    if (y > horizon) {
        int shade = 120 - 60 * (y - horizon) / (size.cy - horizon + 1);
        return (uint32_t)(30 << 16 | (shade + 40) << 8 | 30);
    }
    int t = 255 * y / (horizon + 1);
    return (uint32_t)((40 + t / 2) << 16 | (90 + t / 3) << 8 | 200);
}

// Saves the screen as NN-name.bmp in the output folder and prints where.
static void screenshot(const std::string &folder, const std::string &name) {
    char file[MAX_PATH];
    snprintf(file, sizeof file, "%s\\%02d-%s.bmp", folder.c_str(), ++shotCount, name.c_str());
    if (captureScreen().saveBmp(file))
        printf("    screenshot %s\n", file);
    else
        printf("    could not write %s\n", file);
}

// --- what a painted window looks like on the screen ---

// A system colour as the screen shows it (0x00RRGGBB).
static uint32_t systemColour(int index) {
    COLORREF colour = GetSysColor(index);
    return (uint32_t)GetRValue(colour) << 16 | (uint32_t)GetGValue(colour) << 8 | GetBValue(colour);
}

static bool closeTo(uint32_t a, uint32_t b, int within) {
    for (int shift = 0; shift < 24; shift += 8) {
        int difference = (int)(a >> shift & 0xFF) - (int)(b >> shift & 0xFF);
        if (difference > within || difference < -within)
            return false;
    }
    return true;
}

// How one control looks once painted: most of its inside (its border left out) in its
// background colour (or a second one), and at least `marks` pixels of what is drawn on it (its
// text, its items) near the mark colour.
struct ControlLook {
    int id;
    uint32_t background, otherBackground;
    uint32_t mark;
    int marks;
};

static const uint32_t NO_COLOUR = 0xFF000000; // matches no pixel
static const int BORDER = 3;

static bool showsPainted(const Window &w, const ControlLook &look) {
    HWND control = w.control(look.id);
    if (control == NULL || !IsWindowVisible(control))
        return false;
    RECT r;
    GetWindowRect(control, &r);
    RECT inside = {r.left + BORDER, r.top + BORDER, r.right - BORDER, r.bottom - BORDER};
    Capture shot = captureRect(inside);
    if (shot.pixels.empty())
        return false;
    size_t background = 0, marks = 0;
    for (uint32_t pixel : shot.pixels) {
        if (pixel == look.background || pixel == look.otherBackground)
            background++;
        else if (closeTo(pixel, look.mark, 0x50))
            marks++;
    }
    return background * 2 > shot.pixels.size() && marks >= (size_t)look.marks;
}

// A page picture's frame at the page's top-left corner: the page itself has been painted.
static bool pageFrameShown(const Window &w) {
    RECT r = w.rect();
    RECT corner = {r.left + 8, r.top + 8, r.left + 9, r.top + 9};
    Capture shot = captureRect(corner);
    return shot.width == 1 && shot.pixel(0, 0) == PAGE_FRAME_BLUE;
}

enum class Shown { PAINTED, GONE, NOT_IN_TIME };

// Waits until `painted` reads true from the screen, or the window is gone.
static Shown waitUntilPainted(const Window &w, const std::function<bool()> &painted) {
    Shown result = Shown::NOT_IN_TIME;
    waitFor(
        [&] {
            if (!w.visible())
                result = Shown::GONE;
            else if (painted())
                result = Shown::PAINTED;
            return result != Shown::NOT_IN_TIME;
        },
        STEP_TIMEOUT_MS);
    return result;
}

// Waits until `painted` reads true from the screen, then takes the window's picture. False (and
// no picture) when the window went first, as a copy page that is done at once may.
static bool pictureWhenPainted(const Window &w, const std::function<bool()> &painted,
                               const std::string &folder, const std::string &name) {
    Shown shown = waitUntilPainted(w, painted);
    if (shown == Shown::GONE) {
        printf("    gone before it was painted: no picture\n");
        return false;
    }
    if (shown == Shown::NOT_IN_TIME) {
        printf("    not seen painted within %d s; the picture may show something else\n",
               STEP_TIMEOUT_MS / 1000);
        allPainted = false;
    }
    screenshot(folder, name);
    return true;
}

// The window's own controls all show painted, and a page its picture's frame too.
static std::function<bool()> controlsPainted(const Window &w, std::vector<ControlLook> looks,
                                             bool page) {
    return [w, looks, page] {
        if (page && !pageFrameShown(w))
            return false;
        for (const ControlLook &look : looks)
            if (!showsPainted(w, look))
                return false;
        return true;
    };
}

// The looks of the controls that tell each window apart, chosen so that what the window before
// showed in the same place does not pass for them: the destination page's field (window colour)
// lies where the agreement's read-only text (face colour) was, the copy page's strip where the
// destination's field was, the shortcut page's field where the strip was. Read-only edits,
// buttons and check boxes are painted on the face colour, fields and lists on the window colour.
static ControlLook face(int id, int marks) {
    return {id, systemColour(COLOR_BTNFACE), NO_COLOUR, systemColour(COLOR_BTNTEXT), marks};
}
static ControlLook field(int id, int marks) {
    return {id, systemColour(COLOR_WINDOW), NO_COLOUR, systemColour(COLOR_WINDOWTEXT), marks};
}
// The copy page's strip: black, filled in blue from the left, the percentage in white.
static ControlLook progressStrip() { return {IDC_PROGRESS_STRIP, 0x000000, 0x0000FF, 0, 0}; }

// --- the walk ---

static bool hasFinishButton(const Window &w) {
    for (const ControlInfo &c : w.controls()) {
        if (c.className == "Button" && c.text == "Finish")
            return true;
    }
    return false;
}

static WindowMatch directoryBrowser() {
    return hasControls({IDC_DIRECTORY_LIST, IDC_FOLDER_NAME, IDC_DRIVE_BOX, IDC_BROWSE_PATH});
}

// Opens the directory browser from the destination page, takes its picture and cancels it.
static void visitDirectoryBrowser(const Installer &app, const Window &page,
                                  const std::string &folder) {
    std::string proposed = page.text(IDC_INSTALL_DIR);
    printf("    pressing '%s'\n", page.text(IDC_BROWSE).c_str());
    page.press(IDC_BROWSE);
    Window browser = app.waitForWindow(directoryBrowser(), STEP_TIMEOUT_MS);
    // Its path field is filled last, once the list is.
    waitFor([&] { return !browser.text(IDC_BROWSE_PATH).empty(); }, STEP_TIMEOUT_MS);
    printf("directory browser '%s': %s\n", browser.title().c_str(),
           browser.text(IDC_BROWSE_PATH).c_str());
    pictureWhenPainted(browser,
                       controlsPainted(browser,
                                       {field(IDC_DIRECTORY_LIST, 20), field(IDC_FOLDER_NAME, 10)},
                                       false),
                       folder, "browser");
    printf("    pressing '%s'\n", browser.text(IDCANCEL).c_str());
    browser.press(IDCANCEL);
    browser.waitUntilGone(STEP_TIMEOUT_MS);
    // The page takes the folder back once the browser's loop has returned.
    if (!waitFor([&] { return page.text(IDC_INSTALL_DIR) == proposed; }, STEP_TIMEOUT_MS))
        throw DriverError("the destination page shows " + page.text(IDC_INSTALL_DIR) +
                          " after the browser was cancelled, not " + proposed);
}

// Handles one window the walk has not met before.
static void handleWindow(const Installer &app, const Window &w, const std::string &folder) {
    if (looksLikeMessageBox(w)) {
        MessageBox box(w.handle());
        BoxIcon icon = box.icon(); // waits for the icon to show
        printf("message box '%s': %s [%s icon]\n", box.caption().c_str(), box.text().c_str(),
               boxIconName(icon));
        ControlLook text = face(MESSAGE_TEXT_ID, 20);
        text.otherBackground = systemColour(COLOR_WINDOW);
        pictureWhenPainted(w, controlsPainted(w, {text}, false), folder, "message");
        int answer = box.hasButton(IDYES) ? IDYES : IDOK;
        printf("    pressing %s\n", answer == IDYES ? "Yes" : "OK");
        box.answer(answer, STEP_TIMEOUT_MS);
        return;
    }
    if (w.hasControl(IDC_AGREEMENT_TEXT)) {
        printf("agreement page\n");
        pictureWhenPainted(w, controlsPainted(w, {face(IDC_AGREEMENT_TEXT, 200)}, true), folder,
                           "agreement");
        printf("    pressing '%s'\n", w.text(IDOK).c_str());
        w.press(IDOK);
        return;
    }
    if (w.hasControl(IDC_INSTALL_DIR) && w.hasControl(IDC_BROWSE) &&
        !w.hasControl(IDC_DESKTOP_SHORTCUT)) {
        printf("destination page: %s\n", w.text(IDC_INSTALL_DIR).c_str());
        pictureWhenPainted(
            w, controlsPainted(w, {field(IDC_INSTALL_DIR, 20), face(IDC_BROWSE, 10)}, true), folder,
            "destination");
        visitDirectoryBrowser(app, w, folder);
        printf("    pressing '%s'\n", w.text(IDOK).c_str());
        w.press(IDOK);
        return;
    }
    if (w.hasControl(IDC_PROGRESS_STRIP) && w.hasControl(IDC_COPY_STATUS)) {
        printf("copy page\n");
        pictureWhenPainted(w,
                           controlsPainted(w, {progressStrip(), face(IDC_COPY_STATUS, 10)}, true),
                           folder, "copy");
        printf("    waiting for the copy to finish\n");
        w.waitUntilGone(COPY_PAGE_TIMEOUT_MS);
        return;
    }
    if (hasFinishButton(w)) {
        printf("shortcut page\n");
        pictureWhenPainted(w,
                           controlsPainted(w,
                                           {field(IDC_SHORTCUT_PATH, 20), face(IDC_BROWSE, 10),
                                            face(IDC_DESKTOP_SHORTCUT, 20)},
                                           true),
                           folder, "shortcuts");
        for (const ControlInfo &c : w.controls()) {
            if (c.className == "Button" && c.text == "Finish") {
                printf("    pressing 'Finish'\n");
                w.press(c.id);
                break;
            }
        }
        return;
    }
    if (w.className() == "#32770") {
        printf("a dialog this walk does not know:\n  %s\n", w.describe().c_str());
        screenshot(folder, "unknown");
    }
}

// --- the installed program ---

// The product's picture as the program carries it (its bitmap resource), 0x00RRGGBB.
static Capture productPicture(const std::string &program) {
    Capture picture;
    HMODULE module = LoadLibraryExA(program.c_str(), NULL, LOAD_LIBRARY_AS_DATAFILE);
    if (module == NULL)
        throw DriverError("cannot read the resources of " + program);
    HBITMAP bitmap = (HBITMAP)LoadImageA(module, MAKEINTRESOURCEA(IDB_PRODUCT_PICTURE),
                                         IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION);
    BITMAP size;
    if (bitmap != NULL && GetObjectA(bitmap, sizeof size, &size) == sizeof size) {
        BITMAPINFO info = {};
        info.bmiHeader.biSize = sizeof info.bmiHeader;
        info.bmiHeader.biWidth = size.bmWidth;
        info.bmiHeader.biHeight = -size.bmHeight; // top row first
        info.bmiHeader.biPlanes = 1;
        info.bmiHeader.biBitCount = 32;
        picture.width = size.bmWidth;
        picture.height = size.bmHeight;
        picture.pixels.resize((size_t)size.bmWidth * size.bmHeight);
        HDC screen = GetDC(NULL);
        if (GetDIBits(screen, bitmap, 0, size.bmHeight, picture.pixels.data(), &info,
                      DIB_RGB_COLORS) != size.bmHeight)
            picture = Capture();
        ReleaseDC(NULL, screen);
        for (uint32_t &pixel : picture.pixels)
            pixel &= 0xFFFFFF;
    }
    if (bitmap != NULL)
        DeleteObject(bitmap);
    FreeLibrary(module);
    if (picture.pixels.empty())
        throw DriverError(program + " carries no product picture");
    return picture;
}

// The program's window painted: the product's picture at the top-left corner of its client
// area, pixel for pixel, and the version line's text under it.
static bool viewerPainted(HWND window, const Capture &picture) {
    Capture shown = pictures::captureClient(window);
    if (shown.width < picture.width || shown.height <= picture.height)
        return false;
    for (int y = 0; y < picture.height; y++)
        for (int x = 0; x < picture.width; x++)
            if (shown.pixel(x, y) != picture.pixel(x, y))
                return false;
    uint32_t text = systemColour(COLOR_WINDOWTEXT);
    int textPixels = 0;
    for (int y = picture.height; y < shown.height; y++)
        for (int x = 0; x < shown.width; x++)
            textPixels += shown.pixel(x, y) == text;
    return textPixels > 40;
}

// Starts the installed program from its shortcut in the group, as a user does once the
// installer has opened the group's folder, takes the picture of its window and closes it.
static void visitInstalledProgram(const std::string &folder) {
    std::string group = installed::shellFolder("Common Programs") + "\\Quillary";
    // The folder window comes up as the installer ends: the program is started after it, so
    // that the folder does not open over the program's window.
    installed::waitForShellWindow("Quillary", STEP_TIMEOUT_MS);
    printf("the installer opened the program group's folder: %s\n", group.c_str());
    std::string link = group + "\\Quillary.lnk";
    std::string program = installed::readLink(link).target;
    printf("starting the program from its shortcut %s (%s)\n", link.c_str(), program.c_str());
    HINSTANCE opened = ShellExecuteA(NULL, "open", link.c_str(), NULL, NULL, SW_SHOWNORMAL);
    if ((INT_PTR)opened <= 32)
        throw DriverError("the shortcut " + link + " did not open: error " +
                          std::to_string((INT_PTR)opened));
    HWND window = programs::waitForTopWindow(programs::windowTitled("Quillary", VIEWER_CLASS),
                                             STEP_TIMEOUT_MS);
    if (window == NULL)
        throw DriverError("the shortcut started no Quillary window:\n" +
                          programs::describeTopWindows());
    printf("program window '%s'\n", Window(window).title().c_str());
    Capture picture = productPicture(program);
    pictureWhenPainted(
        Window(window), [&] { return viewerPainted(window, picture); }, folder, "program");
    printf("    closing it\n");
    if (!programs::closeAndWaitForExit(window, STEP_TIMEOUT_MS))
        throw DriverError("the program did not end when its window was closed");
}

int main(int argc, char **argv) {
    if (argc < 3) {
        fprintf(stderr, "usage: walkthrough <installer> <output folder>\n");
        return 2;
    }
    std::string folder = argv[2];
    try {
        // The desktop must be on the screen when the installer takes its picture, and gone once
        // the installer's first page is up (it stays on top of everything while it lives).
        KnownDesktop desktop(desktopPicture);
        Installer app = Installer::start(argv[1]);
        printf("started %s\n", argv[1]);
        app.waitForWindow(hasClass("#32770"), STEP_TIMEOUT_MS);
        desktop.close();
        std::set<HWND> seen;
        DWORD idleSince = GetTickCount();
        while (app.running()) {
            bool acted = false;
            for (const Window &w : app.windows()) {
                if (w.className() != "#32770" || seen.count(w.handle()))
                    continue;
                seen.insert(w.handle());
                handleWindow(app, w, folder);
                acted = true;
                break;
            }
            if (acted) {
                idleSince = GetTickCount();
            } else if (GetTickCount() - idleSince > (DWORD)STEP_TIMEOUT_MS) {
                printf("nothing new on screen for %d s:\n%s", STEP_TIMEOUT_MS / 1000,
                       app.describeWindows().c_str());
                screenshot(folder, "stuck");
                app.kill();
                return 1;
            }
            Sleep(5); // the copy page may be up for less than a second
        }
        DWORD code = app.waitForExit(STEP_TIMEOUT_MS);
        printf("the installer ended with exit code %lu\n", (unsigned long)code);
        if (code == 0)
            visitInstalledProgram(folder);
        return allPainted ? 0 : 1;
    } catch (const DriverError &error) {
        printf("walk-through stopped: %s\n", error.what());
        return 1;
    }
}
