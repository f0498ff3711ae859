// Gzip file decompression under Wine: the output written, the result, and every message read
// back from the real message box, which a watcher thread finds, records and closes.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>
#include <vector>

#include <zlib.h>

#include "payload/decompress.h"

namespace {

const int MESSAGE_BOX_TEXT_ID = 0xFFFF;
const int MESSAGE_BOX_ICON_ID = 1088;

struct BoxSeen {
    std::string caption, text;
    bool hasIcon;
    std::vector<int> buttons; // ids of the visible buttons
};

// Finds this process's message boxes while a call runs on the test thread, records each and
// presses its OK button, so the blocked call can go on.
class BoxWatcher {
  public:
    BoxWatcher() {
        stopEvent = CreateEventA(NULL, TRUE, FALSE, NULL);
        thread = CreateThread(NULL, 0, watch, this, 0, NULL);
    }
    ~BoxWatcher() { finish(); }
    std::vector<BoxSeen> finish() {
        if (thread != NULL) {
            SetEvent(stopEvent);
            WaitForSingleObject(thread, INFINITE);
            CloseHandle(thread);
            CloseHandle(stopEvent);
            thread = NULL;
        }
        return boxes;
    }

  private:
    static BOOL CALLBACK collectButton(HWND child, LPARAM lParam) {
        char className[32] = "";
        GetClassNameA(child, className, sizeof className);
        if (lstrcmpiA(className, "Button") == 0 && IsWindowVisible(child))
            ((BoxSeen *)lParam)->buttons.push_back(GetDlgCtrlID(child));
        return TRUE;
    }
    static BOOL CALLBACK inspectWindow(HWND window, LPARAM lParam) {
        BoxWatcher *self = (BoxWatcher *)lParam;
        DWORD process = 0;
        GetWindowThreadProcessId(window, &process);
        char className[32] = "";
        GetClassNameA(window, className, sizeof className);
        if (process != GetCurrentProcessId() || lstrcmpA(className, "#32770") != 0 ||
            !IsWindowVisible(window) || window == self->lastBox)
            return TRUE;
        BoxSeen seen;
        char text[2048] = "";
        GetWindowTextA(window, text, sizeof text);
        seen.caption = text;
        text[0] = '\0';
        GetDlgItemTextA(window, MESSAGE_BOX_TEXT_ID, text, sizeof text);
        seen.text = text;
        HWND icon = GetDlgItem(window, MESSAGE_BOX_ICON_ID);
        seen.hasIcon =
            icon != NULL && IsWindowVisible(icon) && SendMessageA(icon, STM_GETICON, 0, 0) != 0;
        EnumChildWindows(window, collectButton, (LPARAM)&seen);
        self->boxes.push_back(seen);
        self->lastBox = window;
        PostMessageA(window, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED),
                     (LPARAM)GetDlgItem(window, IDOK));
        return TRUE;
    }
    static DWORD WINAPI watch(LPVOID parameter) {
        BoxWatcher *self = (BoxWatcher *)parameter;
        while (WaitForSingleObject(self->stopEvent, 10) == WAIT_TIMEOUT)
            EnumWindows(inspectWindow, (LPARAM)self);
        return 0;
    }

    HANDLE stopEvent, thread;
    HWND lastBox = NULL;
    std::vector<BoxSeen> boxes;
};

std::string readFile(const std::string &path) {
    std::string data;
    FILE *file = fopen(path.c_str(), "rb");
    if (file == NULL)
        return data;
    char buffer[65536];
    size_t got;
    while ((got = fread(buffer, 1, sizeof buffer, file)) > 0)
        data.append(buffer, got);
    fclose(file);
    return data;
}

void writeFile(const std::string &path, const std::string &data) {
    FILE *file = fopen(path.c_str(), "wb");
    ASSERT_NE(file, nullptr);
    fwrite(data.data(), 1, data.size(), file);
    fclose(file);
}

bool fileExists(const std::string &path) {
    return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

std::string u32(uint32_t value) {
    std::string out;
    for (int i = 0; i < 4; i++)
        out.push_back((char)((value >> (8 * i)) & 0xFF));
    return out;
}

std::string gzipHeader() { return std::string("\x1f\x8b\x08\0\0\0\0\0\0\x0b", 10); }

std::string gzipOf(const std::string &data) {
    z_stream stream = {};
    deflateInit2(&stream, 9, Z_DEFLATED, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY);
    std::string body(deflateBound(&stream, data.size()), '\0');
    stream.next_in = (Bytef *)data.data();
    stream.avail_in = (uInt)data.size();
    stream.next_out = (Bytef *)&body[0];
    stream.avail_out = (uInt)body.size();
    deflate(&stream, Z_FINISH);
    body.resize(stream.total_out);
    deflateEnd(&stream);
    return gzipHeader() + body +
           u32((uint32_t)crc32(0, (const Bytef *)data.data(), (uInt)data.size())) +
           u32((uint32_t)data.size());
}

// Text-like content of a few chunks, so the last read is a chunk of its own.
std::string sampleContent(size_t size) {
    std::string out;
    unsigned seed = 12345;
    while (out.size() < size) {
        seed = seed * 1103515245u + 12345u;
        out += "record " + std::to_string(seed % 100000) + (seed & 0x100 ? " brush\r\n" : " ");
    }
    out.resize(size);
    return out;
}

class DecompressFileTest : public ::testing::Test {
  protected:
    void SetUp() override {
        char temp[MAX_PATH];
        GetTempPathA(sizeof temp, temp);
        folder = std::string(temp) + "decompress-test-" + std::to_string(GetCurrentProcessId());
        CreateDirectoryA(folder.c_str(), NULL);
        source = folder + "\\filesdata.gz";
        destination = folder + "\\filesdata.dat";
    }
    void TearDown() override {
        DeleteFileA(source.c_str());
        DeleteFileA(destination.c_str());
        RemoveDirectoryA(folder.c_str());
    }
    // Runs DecompressFile with the watcher on and returns its result; boxes holds the messages.
    int decompress(const std::string &to, const std::string &from) {
        BoxWatcher watcher;
        int result = DecompressFile(to.c_str(), from.c_str());
        boxes = watcher.finish();
        return result;
    }
    // The one message box expected: text as given, system caption, no icon, OK only.
    void expectOneBox(const std::string &text) {
        ASSERT_EQ(boxes.size(), 1u);
        EXPECT_EQ(boxes[0].text, text);
        EXPECT_EQ(boxes[0].caption, "Error") << "no caption given: the system's default";
        EXPECT_FALSE(boxes[0].hasIcon);
        EXPECT_EQ(boxes[0].buttons, std::vector<int>{IDOK});
    }
    // Both files were closed: each can be deleted at once.
    void expectBothClosed() {
        EXPECT_TRUE(DeleteFileA(source.c_str())) << "source still open";
        if (fileExists(destination)) {
            EXPECT_TRUE(DeleteFileA(destination.c_str())) << "destination still open";
        }
    }

    std::string folder, source, destination;
    std::vector<BoxSeen> boxes;
};

} // namespace

TEST_F(DecompressFileTest, WholeMemberIsWrittenAndVerifiedWithoutMessage) {
    std::string content = sampleContent(100000);
    writeFile(source, gzipOf(content));
    EXPECT_EQ(decompress(destination, source), DECOMPRESS_OK);
    EXPECT_TRUE(boxes.empty());
    EXPECT_EQ(readFile(destination), content);
    expectBothClosed();
}

TEST_F(DecompressFileTest, MissingSourceIsReportedAndNoDestinationMade) {
    EXPECT_EQ(decompress(destination, source), DECOMPRESS_OPEN_FAILED);
    expectOneBox("Can't open file " + source + "\n");
    EXPECT_FALSE(fileExists(destination));
}

TEST_F(DecompressFileTest, DestinationThatCannotBeCreatedIsReportedAndSourceClosed) {
    writeFile(source, gzipOf("abc"));
    std::string unreachable = folder + "\\no such folder\\filesdata.dat";
    EXPECT_EQ(decompress(unreachable, source), DECOMPRESS_CREATE_FAILED);
    expectOneBox("Can't create file " + unreachable + "\n");
    expectBothClosed();
}

TEST_F(DecompressFileTest, DamagedStreamKeepsEveryByteBeforeTheDamage) {
    // Two stored blocks: the first (40000 bytes, more than two reads) is whole, the second's
    // length check is broken.
    std::string content = sampleContent(50000);
    std::string first = content.substr(0, 40000), second = content.substr(40000);
    auto storedBlock = [](const std::string &data, bool last, bool broken) {
        uint16_t length = (uint16_t)data.size(), check = (uint16_t)~length;
        if (broken)
            check ^= 1;
        return std::string(1, last ? 1 : 0) + std::string((const char *)&length, 2) +
               std::string((const char *)&check, 2) + data;
    };
    writeFile(source, gzipHeader() + storedBlock(first, false, false) +
                          storedBlock(second, true, true) + u32(0) + u32(50000));
    EXPECT_EQ(decompress(destination, source), DECOMPRESS_STREAM_ERROR);
    expectOneBox(std::string(GZIP_ERROR_NAME) + ": " + source + ": invalid stored block lengths\n");
    std::string written = readFile(destination);
    EXPECT_EQ(written.size(), first.size());
    EXPECT_TRUE(written == first);
    expectBothClosed();
}

TEST_F(DecompressFileTest, TrailerMismatchIsReportedAfterAllDataIsWritten) {
    std::string content = sampleContent(100000);
    struct {
        size_t trailerByte; // from the end of the file
        const char *zlibText;
    } cases[] = {{8, "incorrect data check"}, {4, "incorrect length check"}};
    for (const auto &c : cases) {
        std::string gzip = gzipOf(content);
        gzip[gzip.size() - c.trailerByte] ^= 0x5A;
        writeFile(source, gzip);
        EXPECT_EQ(decompress(destination, source), DECOMPRESS_CHECK_FAILED) << c.zlibText;
        expectOneBox(std::string(GZIP_ERROR_NAME) + ": " + source + ": " + c.zlibText + "\n");
        EXPECT_TRUE(readFile(destination) == content) << c.zlibText << ": data lost";
        expectBothClosed();
    }
}

TEST_F(DecompressFileTest, MemberCutShortIsReportedWhenTheSourceIsClosed) {
    std::string gzip = gzipOf(sampleContent(30000));
    writeFile(source, gzip.substr(0, gzip.size() - 6));
    EXPECT_EQ(decompress(destination, source), DECOMPRESS_CUT_SHORT);
    expectOneBox(std::string(GZIP_ERROR_NAME) + ": failed gzclose\n");
    expectBothClosed();
}

TEST_F(DecompressFileTest, DataThatIsNotGzipIsCopiedUnchanged) {
    std::string plain = std::string("\x05hello\x03\0\0\0abc", 13) + sampleContent(20000);
    writeFile(source, plain);
    EXPECT_EQ(decompress(destination, source), DECOMPRESS_OK);
    EXPECT_TRUE(boxes.empty());
    EXPECT_TRUE(readFile(destination) == plain);
}

TEST_F(DecompressFileTest, EmptySourceGivesEmptyDestinationWithoutMessage) {
    writeFile(source, "");
    writeFile(destination, "old content is truncated");
    EXPECT_EQ(decompress(destination, source), DECOMPRESS_OK);
    EXPECT_TRUE(boxes.empty());
    EXPECT_TRUE(fileExists(destination));
    EXPECT_EQ(readFile(destination), "");
}

TEST_F(DecompressFileTest, ConcatenatedMembersDecodeToBothContents) {
    std::string one = sampleContent(25000), two = "second member";
    writeFile(source, gzipOf(one) + gzipOf(two));
    EXPECT_EQ(decompress(destination, source), DECOMPRESS_OK);
    EXPECT_TRUE(boxes.empty());
    EXPECT_TRUE(readFile(destination) == one + two);
}
