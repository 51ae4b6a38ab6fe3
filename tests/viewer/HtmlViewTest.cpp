// The HTML view with the host's real services and the library linked into
// the test, so its container count can be read. Wine here has no browser
// engine: the control cannot draw pages, so an HTML file must end as text,
// never as an empty window; and with that check skipped, the control's whole
// life (creation, activation, navigation, close) must give back every
// reference and leave no window behind.
#include <gtest/gtest.h>
#include <windows.h>

#include <stdio.h>
#include <string>

#include "tests/viewer/LinkedViewer.h"
#include "viewer/LumoraInternal.h"

namespace {

void Pump() {
    LinkedViewerPump();
}

template <class F> bool WaitFor(F condition, DWORD ms = 20000) {
    DWORD start = GetTickCount();
    while (!condition()) {
        if (GetTickCount() - start > ms) return false;
        Pump();
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 20, QS_ALLINPUT);
    }
    return true;
}

ViewerHostServices gHostTable;

class HtmlViewTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_EQ((int)kViewerHelloResult, LinkedViewerStart(&gHostTable));
        char dir[MAX_PATH];
        GetTempPathA(sizeof dir, dir);
        page = std::string(dir) + "html-view-test.html";
        FILE* f = fopen(page.c_str(), "wb");
        ASSERT_NE(f, nullptr);
        fputs("<!DOCTYPE HTML>\r\n<html><body><p>A page with a <a href=\"other.html\">link</a>.</p></body></html>\r\n",
              f);
        fclose(f);
        host = CreateWindowA("STATIC", "viewer", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 400, 300, nullptr, nullptr,
                             GetModuleHandleA(nullptr), nullptr);
        ASSERT_NE(host, nullptr);
        strcpy(displayPath, page.c_str());
        strcpy(openPath, page.c_str());
        ViewerInitRecord(&view, displayPath, openPath, &sx, &sy, nullptr);
    }
    void TearDown() override {
        HtmlSkipRenderProbe(false);
        if (host) DestroyWindow(host);
        Pump();
        DeleteFileA(page.c_str());
        LinkedViewerStop();
    }
    HWND Child(const char* cls) { return FindWindowExA(host, nullptr, cls, nullptr); }
    void Open() {
        HDC dc = GetDC(host);
        ViewerOpen(host, dc, &view);
        ReleaseDC(host, dc);
    }

    std::string page;
    HWND host = nullptr;
    char displayPath[260], openPath[260];
    int32_t sx = 0, sy = 0;
    ViewRecord view = {};
};

TEST_F(HtmlViewTest, WithoutAnEngineThePageShowsAsText) {
    Open();
    // Text in a viewer window: kind 18, which the window fills itself.
    EXPECT_EQ(kViewText, view.viewKind);
    EXPECT_EQ(nullptr, view.viewObject);
    EXPECT_EQ(nullptr, Child("ZqHtml"));
    EXPECT_EQ(0, HtmlContainersAlive());
    ViewerClose(&view);
}

TEST_F(HtmlViewTest, ControlLifeEndsWithEveryReferenceReturned) {
    HtmlSkipRenderProbe(true);
    Open();
    // This Wine creates the control and activates it in place; navigation
    // goes nowhere without an engine, which is all this test needs.
    ASSERT_EQ(kViewHtml, view.viewKind);
    HtmlView* block = static_cast<HtmlView*>(view.viewObject);
    ASSERT_NE(block, nullptr);
    HWND html = block->htmlWindow;
    ASSERT_TRUE(IsWindow(html));
    EXPECT_EQ(html, Child("ZqHtml"));
    EXPECT_EQ(1, HtmlContainersAlive());
    // The page fills the view window and follows its size.
    SetWindowPos(host, nullptr, 0, 0, 500, 420, SWP_NOMOVE | SWP_NOZORDER);
    ViewerResize(host, &view);
    RECT hostClient, pageRect;
    GetClientRect(host, &hostClient);
    GetClientRect(html, &pageRect);
    EXPECT_EQ(hostClient.right, pageRect.right);
    EXPECT_EQ(hostClient.bottom, pageRect.bottom);
    ViewerActivate(&view);
    Pump();

    // Closing while the page is still loading: the window goes by a posted
    // close, and with it the container and every interface it handed out.
    ViewerClose(&view);
    EXPECT_EQ(nullptr, view.viewObject);
    ASSERT_TRUE(WaitFor([&] { return !IsWindow(html); }));
    ASSERT_TRUE(WaitFor([&] { return HtmlContainersAlive() == 0; }));
    EXPECT_EQ(0, HtmlBrowsersHeld());
}

TEST_F(HtmlViewTest, ClosingTheViewWindowFreesAnOpenPage) {
    HtmlSkipRenderProbe(true);
    Open();
    ASSERT_EQ(kViewHtml, view.viewKind);
    // The window that holds the view goes first, without a close command.
    DestroyWindow(host);
    host = nullptr;
    EXPECT_EQ(0, HtmlContainersAlive());
    EXPECT_EQ(0, HtmlBrowsersHeld());
}

} // namespace
