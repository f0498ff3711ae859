// The agreement page end to end: the whole agreement shown read-only from its first line, Enter
// as "I Agree", the cancel question with both answers, and the page picture on screen.
#include "pages_driver.h"

using namespace pages;

namespace {

const char AGREEMENT_START[] = "QUILLARY END USER LICENSE AGREEMENT\r\n\r\nPlease read this";
const char AGREEMENT_END[] = "Thank you for choosing Quillary, and enjoy drawing!";
const size_t AGREEMENT_LENGTH = 4518;

LRESULT ask(HWND control, UINT message, WPARAM wParam = 0, LPARAM lParam = 0) {
    DWORD_PTR result = 0;
    SendMessageTimeoutA(control, message, wParam, lParam, SMTO_ABORTIFHUNG, 5000, &result);
    return (LRESULT)result;
}

int firstVisibleLine(const Window &page) {
    return (int)ask(page.control(IDC_AGREEMENT_TEXT), EM_GETFIRSTVISIBLELINE);
}

// Scrolls the agreement field a few pages down, as the scroll bar does.
void scrollDown(const Window &page, int pages) {
    for (int i = 0; i < pages; i++)
        ask(page.control(IDC_AGREEMENT_TEXT), WM_VSCROLL, SB_PAGEDOWN, 0);
}

// Whether the field shows the text's last character (of length characters) inside its client
// area, that is whether the agreement's last line is on view.
bool lastCharacterShown(HWND field, size_t length) {
    LRESULT position = ask(field, EM_POSFROMCHAR, length - 1);
    RECT client;
    GetClientRect(field, &client);
    int x = (short)LOWORD(position), y = (short)HIWORD(position);
    return position != -1 && x >= 0 && x < client.right && y >= 0 && y < client.bottom;
}

class AgreementPage : public ::testing::Test {};

} // namespace

TEST_F(AgreementPage, ShowsTheWholeAgreementFromItsFirstLineReadOnlyAndScrollable) {
    Installer installer = startInstaller();
    Window page = installer.waitForWindow(agreementPage());
    std::string text = page.text(IDC_AGREEMENT_TEXT);
    EXPECT_EQ(text.size(), AGREEMENT_LENGTH);
    EXPECT_EQ(text.rfind(AGREEMENT_START, 0), 0u) << text.substr(0, 80);
    ASSERT_GE(text.size(), sizeof(AGREEMENT_END));
    EXPECT_EQ(text.substr(text.size() - (sizeof(AGREEMENT_END) - 1)), AGREEMENT_END)
        << "the agreement is cut short";
    EXPECT_EQ(text.find("\n\n"), std::string::npos) << "paragraphs are separated by CR LF pairs";
    EXPECT_EQ(firstVisibleLine(page), 0);

    HWND field = page.control(IDC_AGREEMENT_TEXT);
    LONG style = GetWindowLongA(field, GWL_STYLE);
    EXPECT_TRUE(style & ES_READONLY);
    EXPECT_TRUE(style & WS_VSCROLL);
    EXPECT_TRUE(GetWindowLongA(field, GWL_EXSTYLE) & WS_EX_DLGMODALFRAME);
    EXPECT_EQ(page.focusedControl(), page.control(IDOK)) << "the focus starts on I Agree";

    // Typing into the field, with the caret in it, changes nothing.
    ask(field, EM_SETSEL, 0, 0);
    page.type(IDC_AGREEMENT_TEXT, "typed by the user");
    page.pressKey(VK_DELETE);
    page.type(IDC_AGREEMENT_TEXT, "\b\b");
    EXPECT_EQ(page.text(IDC_AGREEMENT_TEXT), text);

    EXPECT_FALSE(lastCharacterShown(field, text.size())) << "the end shows before scrolling";
    scrollDown(page, 3);
    EXPECT_GT(firstVisibleLine(page), 0) << "the field scrolls";
    scrollDown(page, 200);
    EXPECT_TRUE(lastCharacterShown(field, text.size()))
        << "the scroll bar does not reach the agreement's last line";
    installer.kill();
}

TEST_F(AgreementPage, EnterActsAsIAgree) {
    Installer installer = startInstaller();
    Window page = installer.waitForWindow(agreementPage());
    page.pressEnter();
    Window destination = installer.waitForWindow(destinationPage());
    EXPECT_FALSE(page.exists() && page.visible());
    EXPECT_TRUE(destination.exists());
    installer.kill();
}

TEST_F(AgreementPage, CancelAsksNoKeepsThePageWhereItWasScrolledYesEndsTheRun) {
    Installer installer = startInstaller();
    Window page = installer.waitForWindow(agreementPage());
    scrollDown(page, 2);
    int scrolled = firstVisibleLine(page);
    ASSERT_GT(scrolled, 0);

    page.press(IDCANCEL);
    MessageBox question = installer.waitForMessageBox();
    expectBox(question, CANCEL_QUESTION, BoxIcon::QUESTION, {IDYES, IDNO});
    question.answer(IDNO);
    EXPECT_TRUE(page.exists() && page.visible());
    EXPECT_EQ(firstVisibleLine(page), scrolled);
    EXPECT_EQ(page.text(IDC_AGREEMENT_TEXT).size(), AGREEMENT_LENGTH);

    // Esc asks the same question; Yes ends the run with the cancel message and no other page.
    page.pressEscape();
    MessageBox again = installer.waitForMessageBox();
    expectBox(again, CANCEL_QUESTION, BoxIcon::QUESTION, {IDYES, IDNO});
    again.answer(IDYES);
    MessageBox closing = installer.waitForMessageBox();
    driver::waitFor([&] { return !closing.text().empty(); }, 5000);
    for (const Window &w : installer.windows())
        EXPECT_FALSE(w.hasControl(IDC_INSTALL_DIR)) << "the destination page opened";
    EXPECT_EQ(closing.text(), CANCEL_MESSAGE);
    closing.answer(IDOK);
    EXPECT_EQ(installer.waitForExit(), 1u) << "cancelled";
}

TEST_F(AgreementPage, PaintsThePagePictureUnscaledAtItsTopLeft) {
    Installer installer = startInstaller();
    Window page = installer.waitForWindow(agreementPage());
    ASSERT_TRUE(driver::waitFor([&] { return page.visible(); }, 5000));
    expectPagePicture(page, false);
    installer.kill();
}
