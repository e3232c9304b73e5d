// NWindow on the layer: binding at WM_NCCREATE, the system menu and icons it
// sets up, routing (double-clicks, handlers), unbinding, the modal loop and
// the destructor's teardown.
#include "nwindow.h"
#include "window_test_support.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace {

using platform::RecordedCall;
using windowtest::callsNamed;
using windowtest::indexOf;

struct Seen {
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
    bool bound;  // hwnd was set when it arrived
    bool operator==(const Seen& o) const { return message == o.message && wParam == o.wParam && lParam == o.lParam; }
};

// Records every message its WindowProc gets, and can refuse creation.
class Recorder : public NWindow {
public:
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override {
        seen.push_back(Seen{message, wParam, lParam, hwnd != nullptr});
        if (message == refuseAt) return refusal;
        return NWindow::WindowProc(message, wParam, lParam);
    }
    // The messages seen, less those that tests do not look at.
    std::vector<UINT> messages() const {
        std::vector<UINT> out;
        for (const Seen& s : seen)
            if (s.message != WM_SHOWWINDOW && s.message != WM_ERASEBKGND) out.push_back(s.message);
        return out;
    }
    std::vector<Seen> seen;
    UINT refuseAt = 0xFFFF;
    LRESULT refusal = 0;
};

class Handler : public NWindow {
public:
    LRESULT HandlerProc(NWindow* window, UINT message, WPARAM wParam, LPARAM lParam) override {
        routed.emplace_back(window, message);
        return NWindow::HandlerProc(window, message, wParam, lParam);
    }
    std::vector<std::pair<NWindow*, UINT>> routed;
};

// A window procedure that was the window's before the object took it over.
std::vector<UINT> savedSeen;
LRESULT CALLBACK savedProcedure(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    savedSeen.push_back(message);
    if (message == WM_USER + 7) return 77;
    return DefWindowProcA(hwnd, message, wParam, lParam);
}

constexpr DWORD kViewerStyle = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX;
const HICON applicationIcon = LoadIconA(nullptr, IDI_APPLICATION);

class NWindowTest : public windowtest::OffscreenTest {
protected:
    bool create(NWindow& w, DWORD exStyle = 0, DWORD style = kViewerStyle, HWND parent = nullptr,
                NWindow* handler = nullptr) {
        return w.Create(exStyle, "test", style, CW_USEDEFAULT, CW_USEDEFAULT, 200, 100, parent, nullptr, handler);
    }
    // The loop's user: closes `target` the first time the program waits.
    void closeWhenIdle(HWND target) {
        platform::test::setIdleHook([target] { platform::test::injectCloseRequest(target); });
    }
};

TEST_F(NWindowTest, CreateBindsAtNcCreateAfterTheTwoIcons) {
    Recorder w;
    platform::test::startRecording();
    ASSERT_TRUE(create(w));
    const auto calls = platform::test::stopRecording();

    ASSERT_NE(w.hwnd, nullptr);
    EXPECT_EQ(GetPropA(w.hwnd, "NWindow Prop Name"), static_cast<HANDLE>(&w));
    const std::vector<Seen> expected{{WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(applicationIcon), true},
                                     {WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(applicationIcon), true}};
    ASSERT_GE(w.seen.size(), 4u);
    EXPECT_TRUE(std::equal(expected.begin(), expected.end(), w.seen.begin()));
    EXPECT_EQ(w.seen[2].message, static_cast<UINT>(WM_NCCREATE));
    EXPECT_TRUE(w.seen[2].bound);
    EXPECT_EQ(w.seen[3].message, static_cast<UINT>(WM_CREATE));

    // The message before WM_NCCREATE found no object and went to DefWindowProcA.
    const std::size_t minMax = indexOf(calls, "DefWindowProcA", WM_GETMINMAXINFO);
    EXPECT_LT(minMax, indexOf(calls, "SetPropA"));
    EXPECT_EQ(std::count_if(w.seen.begin(), w.seen.end(), [](const Seen& s) { return s.message == WM_GETMINMAXINFO; }),
              0);
}

TEST_F(NWindowTest, SystemMenuAndIconsFollowStyleAndExStyle) {
    const std::vector<UINT> full{SC_RESTORE, SC_MOVE, SC_SIZE, SC_MINIMIZE, SC_MAXIMIZE, 0, SC_CLOSE};
    const std::vector<UINT> noSizing{SC_RESTORE, SC_MOVE, SC_MINIMIZE, 0, SC_CLOSE};
    const std::vector<UINT> noSizingNoMinimize{SC_RESTORE, SC_MOVE, 0, SC_CLOSE};
    struct Case {
        const char* what;
        DWORD style, exStyle;
        std::vector<UINT> menu;
        bool icons;
    };
    const Case cases[] = {
        {"fixed frame", kViewerStyle, 0, noSizing, true},
        {"fixed tool window", kViewerStyle, WS_EX_TOOLWINDOW, noSizingNoMinimize, false},
        {"fixed modal frame", kViewerStyle, WS_EX_DLGMODALFRAME, noSizingNoMinimize, false},
        {"sizing border", kViewerStyle | WS_THICKFRAME, 0, full, true},
        {"sizing tool window", kViewerStyle | WS_THICKFRAME, WS_EX_TOOLWINDOW, full, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Recorder w;
        platform::test::startRecording();
        ASSERT_TRUE(create(w, c.exStyle, c.style));
        const auto calls = platform::test::stopRecording();
        EXPECT_EQ(platform::test::menuCommands(GetSystemMenu(w.hwnd, FALSE)), c.menu);
        for (const RecordedCall& r : callsNamed(calls, "RemoveMenu")) EXPECT_EQ(r.c, 0u) << "MF_BYCOMMAND";
        const auto state = platform::test::windowState(w.hwnd);
        EXPECT_EQ(state.bigIcon, c.icons ? applicationIcon : nullptr);
        EXPECT_EQ(state.smallIcon, c.icons ? applicationIcon : nullptr);
        EXPECT_EQ(std::count_if(calls.begin(), calls.end(),
                                [](const RecordedCall& r) { return r.name == "SendMessageA" && r.a == WM_SETICON; }),
                  c.icons ? 2 : 0);
    }
}

TEST_F(NWindowTest, WithoutSystemMenuNothingIsTrimmed) {
    Recorder w;
    platform::test::startRecording();
    ASSERT_TRUE(create(w, 0, WS_OVERLAPPED | WS_CAPTION));
    const auto calls = platform::test::stopRecording();
    EXPECT_EQ(GetSystemMenu(w.hwnd, FALSE), nullptr);
    EXPECT_TRUE(callsNamed(calls, "RemoveMenu").empty());
}

TEST_F(NWindowTest, RefusedCreationLeavesTheObjectUnbound) {
    struct Case {
        UINT refuseAt;
        LRESULT refusal;
        std::vector<UINT> tail;  // the last messages the object saw
    };
    const Case cases[] = {
        {WM_NCCREATE, FALSE, {WM_NCCREATE, WM_NCDESTROY}},
        {WM_CREATE, -1, {WM_CREATE, WM_DESTROY, WM_NCDESTROY}},
    };
    for (const Case& c : cases) {
        Recorder w;
        w.refuseAt = c.refuseAt;
        w.refusal = c.refusal;
        EXPECT_FALSE(create(w));
        EXPECT_EQ(w.hwnd, nullptr);
        const auto messages = w.messages();
        ASSERT_GE(messages.size(), c.tail.size());
        EXPECT_TRUE(std::equal(c.tail.begin(), c.tail.end(), messages.end() - static_cast<long>(c.tail.size())));
        EXPECT_EQ(platform::test::liveWindows(), 0);
    }
}

TEST_F(NWindowTest, MessagesOfWindowsWithoutObjectGoToDefaultProcessingUntouched) {
    // A window of another class: no property, so nothing of ours.
    WNDCLASSEXA plain{};
    plain.cbSize = sizeof plain;
    plain.lpfnWndProc = DefWindowProcA;
    plain.lpszClassName = "plain test class";
    RegisterClassExA(&plain);
    const HWND other = CreateWindowExA(0, "plain test class", "", WS_OVERLAPPED, 0, 0, 10, 10, nullptr, nullptr,
                                       nullptr, nullptr);
    ASSERT_NE(other, nullptr);
    platform::test::startRecording();
    NWindow::StaticWindowProc(other, WM_USER + 5, 11, 22);
    NWindow::StaticWindowProc(other, WM_LBUTTONDBLCLK, MK_LBUTTON, 0x00050006);
    const auto calls = platform::test::stopRecording();
    ASSERT_EQ(calls.size(), 2u);
    EXPECT_EQ(calls[0].name, "DefWindowProcA");
    EXPECT_EQ(calls[0].hwnd, other);
    EXPECT_EQ(calls[0].a, static_cast<std::uintptr_t>(WM_USER + 5));
    EXPECT_EQ(calls[0].b, 11u);
    EXPECT_EQ(calls[0].c, 22u);
    EXPECT_EQ(calls[1].name, "DefWindowProcA") << "a double-click is not translated without an object";
    EXPECT_EQ(calls[1].a, static_cast<std::uintptr_t>(WM_LBUTTONDBLCLK));
}

TEST_F(NWindowTest, AWindowOfTheClassWithoutAnObjectIsRefusedAtNcCreate) {
    NWindow::RegisterWindowClass(nullptr, nullptr);
    platform::test::startRecording();
    const HWND made = CreateWindowExA(0, NWindow::kClassName, "no object", kViewerStyle, CW_USEDEFAULT,
                                      CW_USEDEFAULT, 200, 100, nullptr, nullptr, NWindow::instanceHandle, nullptr);
    auto calls = platform::test::stopRecording();
    EXPECT_EQ(made, nullptr);
    EXPECT_EQ(platform::test::liveWindows(), 0);
    EXPECT_TRUE(callsNamed(calls, "SetPropA").empty()) << "nothing was bound";
    EXPECT_TRUE(callsNamed(calls, "RemoveMenu").empty()) << "nor dressed";

    // WM_NCCREATE with no creation data at all, sent by hand.
    WNDCLASSEXA plain{};
    plain.cbSize = sizeof plain;
    plain.lpfnWndProc = DefWindowProcA;
    plain.lpszClassName = "plain test class for NCCREATE";
    RegisterClassExA(&plain);
    const HWND other = CreateWindowExA(0, plain.lpszClassName, "", WS_OVERLAPPED, 0, 0, 10, 10, nullptr, nullptr,
                                       nullptr, nullptr);
    ASSERT_NE(other, nullptr);
    platform::test::startRecording();
    EXPECT_EQ(NWindow::StaticWindowProc(other, WM_NCCREATE, 0, 0), FALSE);
    calls = platform::test::stopRecording();
    EXPECT_TRUE(callsNamed(calls, "SetPropA").empty());
    EXPECT_EQ(GetPropA(other, NWindow::kPropName), nullptr);
}

TEST_F(NWindowTest, DoubleClicksReachTheObjectAsButtonDownFirst) {
    const std::pair<UINT, UINT> pairs[] = {{WM_LBUTTONDBLCLK, WM_LBUTTONDOWN},
                                           {WM_RBUTTONDBLCLK, WM_RBUTTONDOWN},
                                           {WM_MBUTTONDBLCLK, WM_MBUTTONDOWN}};
    Recorder w;
    ASSERT_TRUE(create(w));
    for (const auto& pair : pairs) {
        w.seen.clear();
        SendMessageA(w.hwnd, pair.first, MK_SHIFT, 0x00200010);
        const std::vector<Seen> expected{{pair.second, MK_SHIFT, 0x00200010, true},
                                         {pair.first, MK_SHIFT, 0x00200010, true}};
        EXPECT_EQ(w.seen, expected);
    }
    // Nothing else is translated.
    w.seen.clear();
    SendMessageA(w.hwnd, WM_LBUTTONDOWN, 0, 0);
    EXPECT_EQ(w.messages(), std::vector<UINT>{WM_LBUTTONDOWN});
}

TEST_F(NWindowTest, AHandlerTakesEveryRoutedMessage) {
    Recorder w;
    Handler handler;
    ASSERT_TRUE(create(w, 0, kViewerStyle, nullptr, &handler));
    SendMessageA(w.hwnd, WM_USER, 0, 0);
    DestroyWindow(w.hwnd);
    EXPECT_TRUE(w.seen.empty());
    std::vector<UINT> routed;
    for (const auto& r : handler.routed) {
        EXPECT_EQ(r.first, &w);
        routed.push_back(r.second);
    }
    const std::vector<UINT> expected{WM_SETICON, WM_SETICON, WM_NCCREATE, WM_CREATE, WM_USER, WM_DESTROY, WM_NCDESTROY};
    EXPECT_EQ(routed, expected);
    EXPECT_EQ(w.hwnd, nullptr);
}

TEST_F(NWindowTest, NcDestroyIsRoutedThenUnbinds) {
    Recorder w;
    ASSERT_TRUE(create(w));
    const HWND hwnd = w.hwnd;
    DestroyWindow(hwnd);
    ASSERT_GE(w.seen.size(), 2u);
    EXPECT_EQ(w.seen.back().message, static_cast<UINT>(WM_NCDESTROY));
    EXPECT_TRUE(w.seen.back().bound);
    EXPECT_EQ(w.hwnd, nullptr);
    EXPECT_FALSE(IsWindow(hwnd));
}

class SelfDeleting : public NWindow {
public:
    ~SelfDeleting() override {
        deleted = true;
        flagDuringDestructor = autoDelete;
    }
    static bool deleted;
    static bool flagDuringDestructor;
};
bool SelfDeleting::deleted = false;
bool SelfDeleting::flagDuringDestructor = true;

TEST_F(NWindowTest, AutoDeleteDeletesTheObjectAfterNcDestroy) {
    auto* w = new SelfDeleting;
    w->autoDelete = true;
    ASSERT_TRUE(create(*w));
    const HWND hwnd = w->hwnd;
    platform::test::startRecording();
    DestroyWindow(hwnd);
    const auto calls = platform::test::stopRecording();
    EXPECT_TRUE(SelfDeleting::deleted);
    EXPECT_FALSE(SelfDeleting::flagDuringDestructor);
    EXPECT_EQ(callsNamed(calls, "DestroyWindow").size(), 1u) << "the destructor found the object unbound";
}

TEST_F(NWindowTest, DestroyingABoundObjectUnbindsBeforeDestroyWindow) {
    auto w = std::make_unique<Recorder>();
    ASSERT_TRUE(create(*w));
    const HWND hwnd = w->hwnd;
    platform::test::startRecording();
    w.reset();
    const auto calls = platform::test::stopRecording();
    EXPECT_FALSE(IsWindow(hwnd));
    EXPECT_LT(indexOf(calls, "RemovePropA"), indexOf(calls, "DestroyWindow"));
    // Its WM_DESTROY and WM_NCDESTROY went to default processing only.
    EXPECT_LT(indexOf(calls, "DefWindowProcA", WM_DESTROY), calls.size());
    EXPECT_LT(indexOf(calls, "DefWindowProcA", WM_NCDESTROY), calls.size());
}

TEST_F(NWindowTest, TheDefaultWindowProcForwardsToTheSavedProcedure) {
    Recorder w;
    ASSERT_TRUE(create(w));
    w.savedProc = savedProcedure;
    savedSeen.clear();
    EXPECT_EQ(SendMessageA(w.hwnd, WM_USER + 7, 0, 0), 77);
    EXPECT_EQ(savedSeen, std::vector<UINT>{WM_USER + 7});
    EXPECT_EQ(w.seen.back().message, static_cast<UINT>(WM_USER + 7)) << "through the object's WindowProc";

    // CallSavedProc finds the object through the window's property.
    EXPECT_EQ(NWindow::CallSavedProc(w.hwnd, WM_USER + 7, 0, 0), 77);
    w.savedProc = nullptr;
    savedSeen.clear();
    EXPECT_EQ(NWindow::CallSavedProc(w.hwnd, WM_USER + 7, 0, 0), 0) << "no saved procedure";
    EXPECT_TRUE(savedSeen.empty());
    RemovePropA(w.hwnd, NWindow::kPropName);
    w.savedProc = savedProcedure;
    EXPECT_EQ(NWindow::CallSavedProc(w.hwnd, WM_USER + 7, 0, 0), 0) << "no object";
    EXPECT_TRUE(savedSeen.empty());
    SetPropA(w.hwnd, NWindow::kPropName, &w);
}

TEST_F(NWindowTest, DestroyingAnObjectReinstallsItsSavedProcedureFirst) {
    auto w = std::make_unique<Recorder>();
    ASSERT_TRUE(create(*w));
    const HWND hwnd = w->hwnd;
    w->savedProc = savedProcedure;
    savedSeen.clear();
    platform::test::startRecording();
    w.reset();
    const auto calls = platform::test::stopRecording();
    const auto reinstalled = callsNamed(calls, "SetWindowLongPtrA");
    ASSERT_EQ(reinstalled.size(), 1u);
    EXPECT_EQ(reinstalled[0].hwnd, hwnd);
    EXPECT_EQ(reinstalled[0].a, static_cast<std::uintptr_t>(GWLP_WNDPROC));
    EXPECT_EQ(reinstalled[0].b, reinterpret_cast<std::uintptr_t>(&savedProcedure));
    EXPECT_LT(indexOf(calls, "SetWindowLongPtrA"), indexOf(calls, "DestroyWindow"));
    // So the destruction's messages went to that procedure, not to our class's.
    EXPECT_EQ(savedSeen, (std::vector<UINT>{WM_DESTROY, WM_NCDESTROY}));
    EXPECT_FALSE(IsWindow(hwnd));
}

TEST_F(NWindowTest, DestroyingAnUnboundObjectMakesNoPlatformCall) {
    platform::test::startRecording();
    { Recorder w; }
    EXPECT_TRUE(platform::test::stopRecording().empty());
}

TEST_F(NWindowTest, ModalLoopOnAnUnboundObjectReturnsAtOnce) {
    Recorder w;
    w.modalResult = 7;
    EXPECT_EQ(w.RunModalLoop(false), 0);
    EXPECT_FALSE(w.inModal);
    EXPECT_EQ(w.modalResult, 7);
}

TEST_F(NWindowTest, ClosingTheWindowEndsTheModalLoop) {
    Recorder w;
    ASSERT_TRUE(create(w));
    ShowWindow(w.hwnd, SW_SHOW);
    closeWhenIdle(w.hwnd);
    w.seen.clear();
    EXPECT_EQ(w.RunModalLoop(false), 0);
    EXPECT_FALSE(w.inModal);
    EXPECT_EQ(w.hwnd, nullptr);
    const std::vector<UINT> expected{WM_PAINT, WM_SYSCOMMAND, WM_CLOSE, WM_DESTROY, WM_NCDESTROY};
    EXPECT_EQ(w.messages(), expected);
}

TEST_F(NWindowTest, QuitEndsTheLoopWithoutDispatchAndIsPostedAgain) {
    Recorder w;
    ASSERT_TRUE(create(w));
    w.seen.clear();
    PostMessageA(w.hwnd, WM_USER + 1, 0, 0);
    PostQuitMessage(42);
    platform::test::startRecording();
    EXPECT_EQ(w.RunModalLoop(false), 0);
    const auto calls = platform::test::stopRecording();
    EXPECT_FALSE(w.inModal);
    EXPECT_NE(w.hwnd, nullptr) << "the window stays";
    EXPECT_EQ(w.messages(), std::vector<UINT>{WM_USER + 1});
    for (const RecordedCall& c : callsNamed(calls, "DispatchMessageA")) EXPECT_NE(c.a, static_cast<UINT>(WM_QUIT));
    const auto quits = callsNamed(calls, "PostQuitMessage");
    ASSERT_EQ(quits.size(), 1u);
    EXPECT_EQ(quits[0].a, 42u);
    MSG msg{};
    ASSERT_TRUE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
    EXPECT_EQ(msg.message, static_cast<UINT>(WM_QUIT));
    EXPECT_EQ(msg.wParam, 42u);
}

TEST_F(NWindowTest, DialogMessagesAreNotDispatchedTwice) {
    for (const bool useDialogMessages : {true, false}) {
        SCOPED_TRACE(useDialogMessages);
        Recorder w;
        ASSERT_TRUE(create(w));
        PostMessageA(w.hwnd, WM_USER + 2, 0, 0);
        closeWhenIdle(w.hwnd);
        w.seen.clear();
        platform::test::startRecording();
        w.RunModalLoop(useDialogMessages);
        const auto calls = platform::test::stopRecording();
        const auto dispatched = std::count_if(calls.begin(), calls.end(), [](const RecordedCall& c) {
            return (c.name == "DispatchMessageA" || c.name == "TranslateMessage") && c.a == WM_USER + 2;
        });
        EXPECT_EQ(dispatched, useDialogMessages ? 0 : 2);
        const std::vector<UINT> messages = w.messages();
        EXPECT_EQ(std::count(messages.begin(), messages.end(), static_cast<UINT>(WM_USER + 2)), 1);
    }
}

TEST_F(NWindowTest, TheLoopDisablesTheOwnerAndOnlyTheDestructorEnablesIt) {
    Recorder owner;
    ASSERT_TRUE(create(owner));
    auto owned = std::make_unique<Recorder>();
    ASSERT_TRUE(create(*owned, 0, kViewerStyle, owner.hwnd));
    closeWhenIdle(owned->hwnd);
    platform::test::startRecording();
    owned->RunModalLoop(false);
    auto calls = platform::test::stopRecording();
    auto enables = callsNamed(calls, "EnableWindow");
    ASSERT_EQ(enables.size(), 1u);
    EXPECT_EQ(enables[0].hwnd, owner.hwnd);
    EXPECT_EQ(enables[0].a, static_cast<std::uintptr_t>(FALSE));

    // A second owned window whose object goes while its loop is marked running.
    auto other = std::make_unique<Recorder>();
    ASSERT_TRUE(create(*other, 0, kViewerStyle, owner.hwnd));
    other->inModal = true;
    other->modalResult = 3;
    platform::test::startRecording();
    other.reset();
    calls = platform::test::stopRecording();
    enables = callsNamed(calls, "EnableWindow");
    ASSERT_EQ(enables.size(), 1u);
    EXPECT_EQ(enables[0].hwnd, owner.hwnd);
    EXPECT_EQ(enables[0].a, static_cast<std::uintptr_t>(TRUE));
    EXPECT_LT(indexOf(calls, "EnableWindow"), indexOf(calls, "DestroyWindow"));
}

TEST_F(NWindowTest, TheClassIsRegisteredOnceUnderTheFirstInstance) {
    NWindow::RegisterWindowClass(nullptr, nullptr);
    const HINSTANCE first = NWindow::instanceHandle;
    ASSERT_NE(first, nullptr);
    platform::test::startRecording();
    NWindow::RegisterWindowClass(nullptr, reinterpret_cast<HINSTANCE>(0x1234));
    const auto calls = platform::test::stopRecording();
    EXPECT_EQ(NWindow::instanceHandle, first);
    EXPECT_TRUE(callsNamed(calls, "RegisterClassExA").empty());
    WNDCLASSA info{};
    ASSERT_TRUE(GetClassInfoA(first, "NWindow Class Name", &info));
    EXPECT_EQ(info.style, static_cast<UINT>(CS_DBLCLKS));
    EXPECT_EQ(info.hbrBackground, nullptr);
    EXPECT_EQ(info.lpfnWndProc, &NWindow::StaticWindowProc);
}

}  // namespace
