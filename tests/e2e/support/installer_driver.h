// Drives a Windows program from outside, as a user would: start it, find its windows by their
// controls, read texts, press buttons and keys, answer message boxes, capture the screen.
// Every wait has a timeout; when it runs out a DriverError says what was awaited and lists the
// program's top-level windows with their controls. In a GoogleTest test such an error fails the
// test with that text.
#pragma once

#include <windows.h>
// The driver's MessageBox is a class; the ANSI function stays reachable as MessageBoxA.
#undef MessageBox

#include <functional>
#include <initializer_list>
#include <stdexcept>
#include <stdint.h>
#include <string>
#include <vector>

namespace driver {

// Thrown when an awaited window, control or exit does not come, or the program cannot start.
class DriverError : public std::runtime_error {
  public:
    explicit DriverError(const std::string &what) : std::runtime_error(what) {}
};

// How long an awaited window or exit may take. The i686 build of the tests runs under CPU
// emulation (scripts/shipped.sh), where a program's first start can take several times longer.
#ifndef QUILLARY_DEFAULT_TIMEOUT_MS
#define QUILLARY_DEFAULT_TIMEOUT_MS 10000
#endif
const DWORD DEFAULT_TIMEOUT_MS = QUILLARY_DEFAULT_TIMEOUT_MS;

struct ControlInfo {
    int id;
    std::string className;
    std::string text;
    bool visible;
    bool enabled;
};

// A top-level window (or dialog) of the program under test.
class Window {
  public:
    Window() : hwnd_(NULL) {}
    explicit Window(HWND hwnd) : hwnd_(hwnd) {}

    HWND handle() const { return hwnd_; }
    bool exists() const; // still a window (false once the program destroyed it)
    bool visible() const;
    std::string className() const;
    std::string title() const;
    RECT rect() const; // screen coordinates

    HWND control(int id) const; // NULL when the window has no such control
    bool hasControl(int id) const { return control(id) != NULL; }
    // The control's text; throws when the control is missing.
    std::string text(int id) const;
    bool controlEnabled(int id) const;
    bool controlVisible(int id) const;
    std::vector<ControlInfo> controls() const; // direct children, in z order

    // Clicks a button: BN_CLICKED to the window with the button's handle, as a mouse click
    // does. Throws when the button is missing.
    void press(int id) const;
    // Enter / Esc as the user presses them on the focused control; the dialog's own message
    // loop turns them into the default button's command and IDCANCEL.
    void pressEnter() const { pressKey(VK_RETURN); }
    void pressEscape() const { pressKey(VK_ESCAPE); }
    void pressKey(WORD virtualKey) const;
    // A key as the keyboard sends it (SendInput), with the keys in `held` (VK_MENU for Alt,
    // VK_SHIFT, VK_CONTROL) pressed around it. It goes where the system sends keys: to the focus
    // of the window in front, so this first waits for this window to be in front and throws
    // when it does not come there. Returns once the keys are sent; wait for what they do.
    void sendKey(WORD virtualKey, std::initializer_list<WORD> held = {}) const;
    // Types text with sendKey, one key (with Shift where the layout needs it) per character.
    void sendText(const std::string &text) const;
    // Types text into an edit control, one WM_CHAR per character (appended at the caret).
    void type(int id, const std::string &text) const;
    // Replaces an edit control's whole text (WM_SETTEXT), as a paste over a selection would.
    void setText(int id, const std::string &text) const;
    // The control that has the keyboard focus in this window's thread (NULL if none).
    HWND focusedControl() const;

    // Waits until the program destroys or hides this window; throws on timeout.
    void waitUntilGone(DWORD timeoutMs = DEFAULT_TIMEOUT_MS) const;
    // One line per control: "#32770 'title' [151 Edit 'text'] ...".
    std::string describe() const;

  protected:
    HWND hwnd_;
};

// The standard icon a message box shows.
enum class BoxIcon { NONE, ERROR_HAND, QUESTION, EXCLAMATION, INFORMATION, OTHER };
const char *boxIconName(BoxIcon icon);

// A message box: a #32770 dialog whose text is control 0xFFFF and whose caption is its title.
class MessageBox : public Window {
  public:
    MessageBox() {}
    explicit MessageBox(HWND hwnd) : Window(hwnd) {}

    std::string caption() const { return title(); }
    std::string text() const; // the message; "" when there is none
    // Which standard icon it shows, told by the icon's pixels on screen once painted (waits up
    // to waitMs for one of them; OTHER when none shows by then).
    BoxIcon icon(DWORD waitMs = 2000) const;
    // The ids of its buttons (IDOK, IDCANCEL, IDYES, IDNO, ...) in dialog order.
    std::vector<int> buttons() const;
    bool hasButton(int id) const { return hasControl(id); }
    // Presses the button with that id and waits for the box to go.
    void answer(int id, DWORD timeoutMs = DEFAULT_TIMEOUT_MS) const;
};

// Decides whether a window is the one awaited; `what` names it in failure messages.
struct WindowMatch {
    std::string what;
    std::function<bool(const Window &)> test;
};
WindowMatch hasControl(int id);                          // "a #32770 dialog with control id"
WindowMatch hasControls(std::initializer_list<int> ids); // a #32770 dialog with all of them
WindowMatch hasButtonText(const std::string &text);      // a dialog with a button of that text
WindowMatch isMessageBox();
WindowMatch hasClass(const std::string &className);
WindowMatch hasTitle(const std::string &title);
WindowMatch anyWindow(const WindowMatch &a, const WindowMatch &b); // either one
// True for a message box that is up: a #32770 with a visible standard button (IDOK..IDCONTINUE)
// and its text control 0xFFFF, or with nothing but standard buttons and an icon.
bool looksLikeMessageBox(const Window &window);

// The program under test, started with CreateProcess. The destructor ends it if it still runs.
class Installer {
  public:
    // Starts `path` (a Windows path), optionally in `currentDir` and with `arguments` after its
    // quoted name; throws when it cannot start.
    static Installer start(const std::string &path, const std::string &currentDir = "",
                           const std::string &arguments = "");
    // The installer under test: QUILLARY_INSTALLER from the environment.
    static std::string pathFromEnvironment();

    Installer(Installer &&other) noexcept;
    Installer &operator=(Installer &&other) noexcept;
    Installer(const Installer &) = delete;
    Installer &operator=(const Installer &) = delete;
    ~Installer();

    DWORD processId() const { return processId_; }
    HANDLE process() const { return process_; }
    bool running() const;

    // Visible top-level windows of the process (message boxes and dialogs included).
    std::vector<Window> windows() const;
    // Waits for a visible top-level window that matches; throws on timeout or if the program
    // ends first.
    Window waitForWindow(const WindowMatch &match, DWORD timeoutMs = DEFAULT_TIMEOUT_MS) const;
    MessageBox waitForMessageBox(DWORD timeoutMs = DEFAULT_TIMEOUT_MS) const;
    // Waits for the process to end and returns its exit code; throws on timeout.
    DWORD waitForExit(DWORD timeoutMs = DEFAULT_TIMEOUT_MS) const;
    // Ends the process (exit code 255) and waits for it.
    void kill();
    // The process's windows, one per line, for failure messages.
    std::string describeWindows() const;

  private:
    Installer() : process_(NULL), thread_(NULL), processId_(0) {}
    HANDLE process_;
    HANDLE thread_;
    DWORD processId_;
};

// Waits up to timeoutMs for `condition`, polling every 20 ms; returns whether it became true.
bool waitFor(const std::function<bool()> &condition, DWORD timeoutMs);
// Waits until the thread of window has handled everything it was given before this call (a sent
// WM_NULL comes back): a check that an action did NOT close or hide something reads the state
// only after this. False when the window is gone or does not answer in time.
bool settled(HWND window, DWORD timeoutMs = DEFAULT_TIMEOUT_MS);

// A picture of the screen (or part of it): 32-bit pixels, top row first.
struct Capture {
    int width = 0;
    int height = 0;
    std::vector<uint32_t> pixels; // 0x00RRGGBB
    uint32_t pixel(int x, int y) const { return pixels[(size_t)y * width + x]; }
    int red(int x, int y) const { return (pixel(x, y) >> 16) & 0xFF; }
    int green(int x, int y) const { return (pixel(x, y) >> 8) & 0xFF; }
    int blue(int x, int y) const { return pixel(x, y) & 0xFF; }
    // Writes a 32-bit bottom-up BMP; false when the file cannot be written.
    bool saveBmp(const std::string &path) const;
};
Capture captureScreen();
Capture captureRect(const RECT &screenRect);
// Screen size as the system reports it (GetSystemMetrics).
SIZE screenSize();

// A top-most popup covering the whole screen, painted by `colourAt(x, y)` (0x00RRGGBB), that
// stands for the desktop while it lives. Its own thread keeps it painted.
class KnownDesktop {
  public:
    explicit KnownDesktop(std::function<uint32_t(int x, int y)> colourAt);
    static uint32_t stripes(int x, int y); // a pattern of eight colour bands and a grid
    KnownDesktop(const KnownDesktop &) = delete;
    KnownDesktop &operator=(const KnownDesktop &) = delete;
    ~KnownDesktop();
    HWND handle() const { return hwnd_; }
    uint32_t expected(int x, int y) const { return colourAt_(x, y); }
    // Takes the window down (the destructor does too).
    void close();

  private:
    static DWORD WINAPI threadMain(void *self);
    std::function<uint32_t(int, int)> colourAt_;
    HANDLE thread_;
    HANDLE ready_;
    HWND hwnd_;
    DWORD threadId_;
};

// Windows path of a file in the build tree: QUILLARY_BUILD_DIR + "\\" + relative.
std::string buildPath(const std::string &relative);
// An environment variable's value, "" when unset.
std::string environment(const char *name);

} // namespace driver
