// Drives a Windows program from outside: windows found by their controls, texts read with
// WM_GETTEXT, buttons and keys posted as a user's input arrives, the screen read back with BitBlt.
#include "installer_driver.h"

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

namespace driver {

// How long a cross-process SendMessage may take before the target counts as hung.
static const UINT SEND_TIMEOUT_MS = 2000;
static const DWORD POLL_MS = 20;
// Control ids of a message box's text and icon.
static const int MESSAGE_TEXT_ID = 0xFFFF;
static const int MESSAGE_ICON_ID = 1088;

std::string environment(const char *name) {
    const char *value = getenv(name);
    return value ? value : "";
}

std::string buildPath(const std::string &relative) {
    return environment("QUILLARY_BUILD_DIR") + "\\" + relative;
}

bool waitFor(const std::function<bool()> &condition, DWORD timeoutMs) {
    DWORD start = GetTickCount();
    for (;;) {
        if (condition())
            return true;
        if (GetTickCount() - start >= timeoutMs)
            return condition();
        Sleep(POLL_MS);
    }
}

bool settled(HWND window, DWORD timeoutMs) {
    DWORD_PTR result = 0;
    return SendMessageTimeoutA(window, WM_NULL, 0, 0, SMTO_BLOCK, timeoutMs, &result) != 0;
}

static std::string windowText(HWND hwnd) {
    char buffer[8192];
    DWORD_PTR length = 0;
    buffer[0] = 0;
    if (!SendMessageTimeoutA(hwnd, WM_GETTEXT, sizeof buffer, (LPARAM)buffer, SMTO_ABORTIFHUNG,
                             SEND_TIMEOUT_MS, &length))
        return "";
    buffer[sizeof buffer - 1] = 0;
    return std::string(buffer, strnlen(buffer, sizeof buffer));
}

static std::string classOf(HWND hwnd) {
    char name[256] = "";
    GetClassNameA(hwnd, name, sizeof name);
    return name;
}

// --- Window ---

bool Window::exists() const { return hwnd_ && IsWindow(hwnd_); }

bool Window::visible() const { return exists() && IsWindowVisible(hwnd_); }

std::string Window::className() const { return classOf(hwnd_); }

std::string Window::title() const { return windowText(hwnd_); }

RECT Window::rect() const {
    RECT r = {0, 0, 0, 0};
    GetWindowRect(hwnd_, &r);
    return r;
}

HWND Window::control(int id) const { return hwnd_ ? GetDlgItem(hwnd_, id) : NULL; }

static HWND requireControl(const Window &window, int id) {
    HWND item = window.control(id);
    if (!item)
        throw DriverError("control " + std::to_string(id) + " not found in " + window.describe());
    return item;
}

std::string Window::text(int id) const { return windowText(requireControl(*this, id)); }

bool Window::controlEnabled(int id) const {
    return IsWindowEnabled(requireControl(*this, id)) != FALSE;
}

bool Window::controlVisible(int id) const {
    return IsWindowVisible(requireControl(*this, id)) != FALSE;
}

std::vector<ControlInfo> Window::controls() const {
    std::vector<ControlInfo> found;
    if (!exists())
        return found;
    for (HWND child = GetWindow(hwnd_, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
        ControlInfo info;
        info.id = GetDlgCtrlID(child);
        info.className = classOf(child);
        info.text = windowText(child);
        info.visible = IsWindowVisible(child) != FALSE;
        info.enabled = IsWindowEnabled(child) != FALSE;
        found.push_back(info);
    }
    return found;
}

void Window::press(int id) const {
    HWND button = requireControl(*this, id);
    PostMessageA(hwnd_, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), (LPARAM)button);
}

HWND Window::focusedControl() const {
    GUITHREADINFO info;
    memset(&info, 0, sizeof info);
    info.cbSize = sizeof info;
    DWORD thread = GetWindowThreadProcessId(hwnd_, NULL);
    if (!GetGUIThreadInfo(thread, &info))
        return NULL;
    return info.hwndFocus;
}

void Window::pressKey(WORD virtualKey) const {
    // The key goes to the focused control of this window, where the dialog's message loop
    // (IsDialogMessage) picks it up; with no focus inside the window, to the window itself.
    HWND target = focusedControl();
    if (!target || (target != hwnd_ && !IsChild(hwnd_, target)))
        target = hwnd_;
    UINT scan = MapVirtualKeyA(virtualKey, 0);
    PostMessageA(target, WM_KEYDOWN, virtualKey, 1 | (scan << 16));
    PostMessageA(target, WM_KEYUP, virtualKey, 1 | (scan << 16) | (3u << 30));
}

static INPUT keyInput(WORD virtualKey, bool up) {
    INPUT input;
    memset(&input, 0, sizeof input);
    input.type = INPUT_KEYBOARD;
    input.ki.wVk = virtualKey;
    input.ki.dwFlags = up ? KEYEVENTF_KEYUP : 0;
    return input;
}

void Window::sendKey(WORD virtualKey, std::initializer_list<WORD> held) const {
    if (!waitFor([this] { return GetForegroundWindow() == hwnd_; }, DEFAULT_TIMEOUT_MS))
        throw DriverError("keys would not reach " + describe() +
                          "\nin front instead: " + Window(GetForegroundWindow()).describe());
    std::vector<WORD> keys(held);
    keys.push_back(virtualKey);
    std::vector<INPUT> inputs;
    for (WORD key : keys)
        inputs.push_back(keyInput(key, false));
    for (size_t i = keys.size(); i-- > 0;)
        inputs.push_back(keyInput(keys[i], true));
    if (SendInput((UINT)inputs.size(), inputs.data(), sizeof(INPUT)) != inputs.size())
        throw DriverError("SendInput refused the keys: error " + std::to_string(GetLastError()));
}

void Window::sendText(const std::string &text) const {
    for (char c : text) {
        SHORT key = VkKeyScanA(c); // the key in its low byte, Shift in bit 0 of the high one
        if (key == -1)
            throw DriverError(std::string("no key types '") + c + "'");
        if (HIBYTE(key) & 1)
            sendKey(LOBYTE(key), {VK_SHIFT});
        else
            sendKey(LOBYTE(key));
    }
}

void Window::type(int id, const std::string &text) const {
    HWND edit = requireControl(*this, id);
    for (unsigned char c : text)
        PostMessageA(edit, WM_CHAR, c, 1);
    // Returns once the control has taken every character.
    DWORD_PTR ignored;
    SendMessageTimeoutA(edit, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, SEND_TIMEOUT_MS, &ignored);
}

void Window::setText(int id, const std::string &text) const {
    HWND edit = requireControl(*this, id);
    DWORD_PTR ignored;
    SendMessageTimeoutA(edit, WM_SETTEXT, 0, (LPARAM)text.c_str(), SMTO_ABORTIFHUNG,
                        SEND_TIMEOUT_MS, &ignored);
}

void Window::waitUntilGone(DWORD timeoutMs) const {
    if (!waitFor([this] { return !visible(); }, timeoutMs))
        throw DriverError("waited " + std::to_string(timeoutMs) + " ms for this window to go:\n" +
                          describe());
}

std::string Window::describe() const {
    if (!exists())
        return "(window gone)";
    std::string line = className() + " '" + title() + "'";
    if (!visible())
        line += " (hidden)";
    for (const ControlInfo &c : controls()) {
        std::string text = c.text.size() > 60 ? c.text.substr(0, 60) + "..." : c.text;
        line += "\n    [" + std::to_string(c.id) + " " + c.className + " '" + text + "'";
        if (!c.enabled)
            line += " disabled";
        if (!c.visible)
            line += " hidden";
        line += "]";
    }
    return line;
}

// --- MessageBox ---

std::string MessageBox::text() const {
    HWND item = control(MESSAGE_TEXT_ID);
    return item ? windowText(item) : "";
}

std::vector<int> MessageBox::buttons() const {
    std::vector<int> ids;
    for (const ControlInfo &c : controls()) {
        if (c.className == "Button" && c.visible)
            ids.push_back(c.id);
    }
    return ids;
}

void MessageBox::answer(int id, DWORD timeoutMs) const {
    press(id);
    waitUntilGone(timeoutMs);
}

const char *boxIconName(BoxIcon icon) {
    switch (icon) {
    case BoxIcon::NONE:
        return "none";
    case BoxIcon::ERROR_HAND:
        return "error";
    case BoxIcon::QUESTION:
        return "question";
    case BoxIcon::EXCLAMATION:
        return "exclamation";
    case BoxIcon::INFORMATION:
        return "information";
    default:
        return "other";
    }
}

// Draws a standard icon over the box's face colour, the way the icon control shows it.
static Capture drawnIcon(LPCSTR which, int width, int height, COLORREF face) {
    Capture picture;
    BITMAPINFO info;
    memset(&info, 0, sizeof info);
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    void *bits = NULL;
    HDC screen = GetDC(NULL);
    HDC dc = CreateCompatibleDC(screen);
    HBITMAP bitmap = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, NULL, 0);
    HGDIOBJ old = SelectObject(dc, bitmap);
    RECT all = {0, 0, width, height};
    HBRUSH brush = CreateSolidBrush(face);
    FillRect(dc, &all, brush);
    DeleteObject(brush);
    DrawIconEx(dc, 0, 0, LoadIconA(NULL, which), 0, 0, 0, NULL, DI_NORMAL | DI_DEFAULTSIZE);
    GdiFlush();
    picture.width = width;
    picture.height = height;
    picture.pixels.assign((uint32_t *)bits, (uint32_t *)bits + (size_t)width * height);
    for (uint32_t &p : picture.pixels)
        p &= 0xFFFFFF;
    SelectObject(dc, old);
    DeleteObject(bitmap);
    DeleteDC(dc);
    ReleaseDC(NULL, screen);
    return picture;
}

// The standard icon the control shows now; OTHER for none of them (not painted yet, or another).
static BoxIcon iconShown(HWND item) {
    // An icon handle belongs to the process that loaded it, so the icon is told by its pixels:
    // what the control shows on screen against each standard icon drawn here.
    RECT r;
    GetWindowRect(item, &r);
    int width = GetSystemMetrics(SM_CXICON), height = GetSystemMetrics(SM_CYICON);
    if (r.right - r.left < width || r.bottom - r.top < height)
        return BoxIcon::OTHER;
    RECT iconRect = {r.left, r.top, r.left + width, r.top + height};
    Capture shown = captureRect(iconRect);
    COLORREF face = GetSysColor(COLOR_3DFACE);
    struct Candidate {
        LPCSTR id;
        BoxIcon icon;
    } candidates[] = {{IDI_HAND, BoxIcon::ERROR_HAND},
                      {IDI_QUESTION, BoxIcon::QUESTION},
                      {IDI_EXCLAMATION, BoxIcon::EXCLAMATION},
                      {IDI_ASTERISK, BoxIcon::INFORMATION}};
    BoxIcon best = BoxIcon::OTHER;
    size_t bestDifferent = shown.pixels.size() / 10 + 1; // at most 10% of pixels may differ
    for (const Candidate &c : candidates) {
        Capture drawn = drawnIcon(c.id, width, height, face);
        size_t different = 0;
        for (size_t i = 0; i < drawn.pixels.size() && i < shown.pixels.size(); i++)
            different += drawn.pixels[i] != shown.pixels[i];
        if (different < bestDifferent) {
            bestDifferent = different;
            best = c.icon;
        }
    }
    return best;
}

BoxIcon MessageBox::icon(DWORD waitMs) const {
    HWND item = control(MESSAGE_ICON_ID);
    if (!item || !IsWindowVisible(item))
        return BoxIcon::NONE;
    // A box just shown may not have painted its icon yet.
    BoxIcon shown = BoxIcon::OTHER;
    waitFor(
        [&] {
            shown = iconShown(item);
            return shown != BoxIcon::OTHER;
        },
        waitMs);
    return shown;
}

// --- matching ---

static bool isDialog(const Window &w) { return w.className() == "#32770"; }

bool looksLikeMessageBox(const Window &w) {
    if (!isDialog(w))
        return false;
    // A box counts once its buttons are up: while it is being made it has no visible button and
    // no text yet, and a key sent then is lost.
    // Only what needs no message to the program: a busy program answers none, and a wait here
    // would hide every other window meanwhile.
    bool standardButtonsOnly = true, buttonShown = false;
    for (HWND child = GetWindow(w.handle(), GW_CHILD); child;
         child = GetWindow(child, GW_HWNDNEXT)) {
        int id = GetDlgCtrlID(child);
        if (classOf(child) == "Button" && id >= IDOK && id <= IDCONTINUE)
            buttonShown = buttonShown || IsWindowVisible(child);
        else if (id != MESSAGE_TEXT_ID && id != MESSAGE_ICON_ID)
            standardButtonsOnly = false;
    }
    return buttonShown && (standardButtonsOnly || w.hasControl(MESSAGE_TEXT_ID));
}

WindowMatch hasControl(int id) {
    return {"a #32770 dialog with control " + std::to_string(id),
            [id](const Window &w) { return isDialog(w) && w.hasControl(id); }};
}

WindowMatch hasControls(std::initializer_list<int> ids) {
    std::vector<int> all(ids);
    std::string what = "a #32770 dialog with controls";
    for (int id : all)
        what += " " + std::to_string(id);
    return {what, [all](const Window &w) {
                if (!isDialog(w))
                    return false;
                for (int id : all) {
                    if (!w.hasControl(id))
                        return false;
                }
                return true;
            }};
}

WindowMatch hasButtonText(const std::string &text) {
    return {"a #32770 dialog with a button '" + text + "'", [text](const Window &w) {
                if (!isDialog(w))
                    return false;
                for (const ControlInfo &c : w.controls()) {
                    if (c.className == "Button" && c.text == text)
                        return true;
                }
                return false;
            }};
}

WindowMatch isMessageBox() { return {"a message box", looksLikeMessageBox}; }

WindowMatch hasClass(const std::string &className) {
    return {"a window of class " + className,
            [className](const Window &w) { return w.className() == className; }};
}

WindowMatch hasTitle(const std::string &title) {
    return {"a window titled '" + title + "'",
            [title](const Window &w) { return w.title() == title; }};
}

WindowMatch anyWindow(const WindowMatch &a, const WindowMatch &b) {
    return {a.what + " or " + b.what, [a, b](const Window &w) { return a.test(w) || b.test(w); }};
}

// --- Installer ---

std::string Installer::pathFromEnvironment() {
    std::string path = environment("QUILLARY_INSTALLER");
    if (path.empty())
        throw DriverError("QUILLARY_INSTALLER is not set (run through scripts/wine-test.sh)");
    return path;
}

Installer Installer::start(const std::string &path, const std::string &currentDir,
                           const std::string &arguments) {
    if (GetFileAttributesA(path.c_str()) == INVALID_FILE_ATTRIBUTES)
        throw DriverError("cannot start " + path + ": no such file");
    std::string commandLine = "\"" + path + "\"" + (arguments.empty() ? "" : " " + arguments);
    std::vector<char> buffer(commandLine.begin(), commandLine.end());
    buffer.push_back(0);
    STARTUPINFOA startup;
    memset(&startup, 0, sizeof startup);
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info;
    if (!CreateProcessA(path.c_str(), buffer.data(), NULL, NULL, FALSE, 0, NULL,
                        currentDir.empty() ? NULL : currentDir.c_str(), &startup, &info))
        throw DriverError("cannot start " + path + ": error " + std::to_string(GetLastError()));
    Installer app;
    app.process_ = info.hProcess;
    app.thread_ = info.hThread;
    app.processId_ = info.dwProcessId;
    return app;
}

Installer::Installer(Installer &&other) noexcept
    : process_(other.process_), thread_(other.thread_), processId_(other.processId_) {
    other.process_ = NULL;
    other.thread_ = NULL;
    other.processId_ = 0;
}

Installer &Installer::operator=(Installer &&other) noexcept {
    if (this != &other) {
        this->~Installer();
        process_ = other.process_;
        thread_ = other.thread_;
        processId_ = other.processId_;
        other.process_ = NULL;
        other.thread_ = NULL;
        other.processId_ = 0;
    }
    return *this;
}

Installer::~Installer() {
    if (process_ && running())
        kill();
    if (thread_)
        CloseHandle(thread_);
    if (process_)
        CloseHandle(process_);
    process_ = NULL;
    thread_ = NULL;
}

bool Installer::running() const {
    return process_ && WaitForSingleObject(process_, 0) == WAIT_TIMEOUT;
}

struct WindowList {
    DWORD processId;
    std::vector<Window> found;
};

static BOOL CALLBACK collectWindow(HWND hwnd, LPARAM parameter) {
    WindowList *list = (WindowList *)parameter;
    DWORD owner = 0;
    GetWindowThreadProcessId(hwnd, &owner);
    if (owner == list->processId && IsWindowVisible(hwnd))
        list->found.push_back(Window(hwnd));
    return TRUE;
}

std::vector<Window> Installer::windows() const {
    WindowList list;
    list.processId = processId_;
    EnumWindows(collectWindow, (LPARAM)&list);
    return list.found;
}

std::string Installer::describeWindows() const {
    std::vector<Window> all = windows();
    if (all.empty())
        return running() ? "  (no visible window)" : "  (the process has ended)";
    std::string text;
    for (const Window &w : all)
        text += "  " + w.describe() + "\n";
    return text;
}

Window Installer::waitForWindow(const WindowMatch &match, DWORD timeoutMs) const {
    Window found;
    bool ended = false;
    waitFor(
        [&] {
            for (const Window &w : windows()) {
                if (match.test(w)) {
                    found = w;
                    return true;
                }
            }
            ended = !running();
            return ended;
        },
        timeoutMs);
    if (found.handle())
        return found;
    if (ended) {
        DWORD code = 0;
        GetExitCodeProcess(process_, &code);
        throw DriverError("waited for " + match.what + ", but the program ended with exit code " +
                          std::to_string(code));
    }
    throw DriverError("waited " + std::to_string(timeoutMs) + " ms for " + match.what +
                      "; on screen instead:\n" + describeWindows());
}

MessageBox Installer::waitForMessageBox(DWORD timeoutMs) const {
    return MessageBox(waitForWindow(isMessageBox(), timeoutMs).handle());
}

DWORD Installer::waitForExit(DWORD timeoutMs) const {
    if (WaitForSingleObject(process_, timeoutMs) != WAIT_OBJECT_0)
        throw DriverError("waited " + std::to_string(timeoutMs) +
                          " ms for the program to end; on screen instead:\n" + describeWindows());
    DWORD code = 0;
    GetExitCodeProcess(process_, &code);
    return code;
}

void Installer::kill() {
    if (!process_)
        return;
    TerminateProcess(process_, 255);
    WaitForSingleObject(process_, 5000);
}

// --- screen capture ---

SIZE screenSize() {
    SIZE size = {GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
    return size;
}

Capture captureRect(const RECT &r) {
    Capture picture;
    int width = r.right - r.left, height = r.bottom - r.top;
    if (width <= 0 || height <= 0)
        return picture;
    BITMAPINFO info;
    memset(&info, 0, sizeof info);
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height; // top row first
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    void *bits = NULL;
    HDC screen = GetDC(NULL);
    HDC dc = CreateCompatibleDC(screen);
    HBITMAP bitmap = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, NULL, 0);
    if (!bitmap) {
        DeleteDC(dc);
        ReleaseDC(NULL, screen);
        throw DriverError("cannot make a " + std::to_string(width) + "x" + std::to_string(height) +
                          " capture bitmap");
    }
    HGDIOBJ old = SelectObject(dc, bitmap);
    BitBlt(dc, 0, 0, width, height, screen, r.left, r.top, SRCCOPY);
    GdiFlush();
    picture.width = width;
    picture.height = height;
    picture.pixels.assign((uint32_t *)bits, (uint32_t *)bits + (size_t)width * height);
    for (uint32_t &p : picture.pixels)
        p &= 0xFFFFFF;
    SelectObject(dc, old);
    DeleteObject(bitmap);
    DeleteDC(dc);
    ReleaseDC(NULL, screen);
    return picture;
}

Capture captureScreen() {
    SIZE size = screenSize();
    RECT all = {0, 0, size.cx, size.cy};
    return captureRect(all);
}

bool Capture::saveBmp(const std::string &path) const {
    FILE *file = fopen(path.c_str(), "wb");
    if (!file)
        return false;
    BITMAPFILEHEADER header;
    BITMAPINFOHEADER info;
    memset(&header, 0, sizeof header);
    memset(&info, 0, sizeof info);
    DWORD imageSize = (DWORD)width * height * 4;
    header.bfType = 0x4D42; // "BM"
    header.bfOffBits = sizeof header + sizeof info;
    header.bfSize = header.bfOffBits + imageSize;
    info.biSize = sizeof info;
    info.biWidth = width;
    info.biHeight = height; // bottom-up, the form every reader takes
    info.biPlanes = 1;
    info.biBitCount = 32;
    info.biSizeImage = imageSize;
    bool ok =
        fwrite(&header, sizeof header, 1, file) == 1 && fwrite(&info, sizeof info, 1, file) == 1;
    for (int y = height - 1; ok && y >= 0; y--)
        ok = fwrite(&pixels[(size_t)y * width], 4, width, file) == (size_t)width;
    return fclose(file) == 0 && ok;
}

// --- known desktop ---

static const char KNOWN_DESKTOP_CLASS[] = "DriverKnownDesktop";

static LRESULT CALLBACK knownDesktopProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_PAINT) {
        KnownDesktop *self = (KnownDesktop *)GetWindowLongPtrA(hwnd, GWLP_USERDATA);
        PAINTSTRUCT paint;
        HDC dc = BeginPaint(hwnd, &paint);
        RECT client;
        GetClientRect(hwnd, &client);
        int width = client.right, height = client.bottom;
        BITMAPINFO info;
        memset(&info, 0, sizeof info);
        info.bmiHeader.biSize = sizeof info.bmiHeader;
        info.bmiHeader.biWidth = width;
        info.bmiHeader.biHeight = -height;
        info.bmiHeader.biPlanes = 1;
        info.bmiHeader.biBitCount = 32;
        std::vector<uint32_t> pixels((size_t)width * height);
        for (int y = 0; y < height; y++) {
            for (int x = 0; x < width; x++)
                pixels[(size_t)y * width + x] = self ? self->expected(x, y) : 0;
        }
        SetDIBitsToDevice(dc, 0, 0, width, height, 0, 0, 0, height, pixels.data(), &info,
                          DIB_RGB_COLORS);
        EndPaint(hwnd, &paint);
        return 0;
    }
    if (message == WM_ERASEBKGND)
        return 1;
    return DefWindowProcA(hwnd, message, wParam, lParam);
}

uint32_t KnownDesktop::stripes(int x, int y) {
    static const uint32_t bands[8] = {0xFF0000, 0x00FF00, 0x0000FF, 0xFFFF00,
                                      0xFF00FF, 0x00FFFF, 0xFFFFFF, 0x808080};
    if (x % 64 == 0 || y % 64 == 0)
        return 0x000000;
    return bands[(x / 64 + y / 64) % 8];
}

DWORD WINAPI KnownDesktop::threadMain(void *parameter) {
    KnownDesktop *self = (KnownDesktop *)parameter;
    WNDCLASSA windowClass;
    memset(&windowClass, 0, sizeof windowClass);
    windowClass.lpfnWndProc = knownDesktopProc;
    windowClass.hInstance = GetModuleHandleA(NULL);
    windowClass.lpszClassName = KNOWN_DESKTOP_CLASS;
    windowClass.hCursor = LoadCursorA(NULL, IDC_ARROW);
    RegisterClassA(&windowClass); // fails harmlessly when a second desktop registers again
    SIZE size = screenSize();
    self->hwnd_ =
        CreateWindowExA(WS_EX_TOPMOST | WS_EX_TOOLWINDOW, KNOWN_DESKTOP_CLASS, "Known desktop",
                        WS_POPUP, 0, 0, size.cx, size.cy, NULL, NULL, windowClass.hInstance, NULL);
    SetWindowLongPtrA(self->hwnd_, GWLP_USERDATA, (LONG_PTR)self);
    ShowWindow(self->hwnd_, SW_SHOWNOACTIVATE);
    UpdateWindow(self->hwnd_);
    SetEvent(self->ready_);
    MSG message;
    while (GetMessageA(&message, NULL, 0, 0) > 0) {
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
    return 0;
}

KnownDesktop::KnownDesktop(std::function<uint32_t(int, int)> colourAt)
    : colourAt_(colourAt), thread_(NULL), ready_(NULL), hwnd_(NULL), threadId_(0) {
    ready_ = CreateEventA(NULL, TRUE, FALSE, NULL);
    thread_ = CreateThread(NULL, 0, threadMain, this, 0, &threadId_);
    if (!thread_ || WaitForSingleObject(ready_, 10000) != WAIT_OBJECT_0 || !hwnd_)
        throw DriverError("the known desktop window did not come up");
    // Painted and on screen before anyone captures it: every 997th pixel shows what it should.
    DWORD_PTR ignored;
    SendMessageTimeoutA(hwnd_, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, SEND_TIMEOUT_MS, &ignored);
    bool shown = waitFor(
        [this] {
            Capture screen = captureScreen();
            for (size_t i = 0; i < screen.pixels.size(); i += 997) {
                int x = (int)(i % screen.width), y = (int)(i / screen.width);
                if (screen.pixel(x, y) != colourAt_(x, y))
                    return false;
            }
            return !screen.pixels.empty();
        },
        DEFAULT_TIMEOUT_MS);
    if (!shown) {
        close();
        throw DriverError("the known desktop window was not painted on the screen");
    }
}

void KnownDesktop::close() {
    if (!thread_)
        return;
    if (hwnd_)
        PostMessageA(hwnd_, WM_CLOSE, 0, 0);
    PostThreadMessageA(threadId_, WM_QUIT, 0, 0);
    WaitForSingleObject(thread_, 5000);
    CloseHandle(thread_);
    CloseHandle(ready_);
    thread_ = NULL;
    ready_ = NULL;
    hwnd_ = NULL;
}

KnownDesktop::~KnownDesktop() { close(); }

} // namespace driver
