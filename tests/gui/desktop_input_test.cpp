// The desktop as a person drives it: real clicks on the icon in the notification area, real keys
// in the menus and the login dialog, the server log page loaded by the web engine from the host
// stand-in's portal. What is checked is what the X server shows (windows, the tray's icons, the
// list's first visible row), since the toolkit's own event order is what is under test.
#include <cstdio>
#include <cstdlib>
#include <functional>

#include <dlfcn.h>
#include <wx/init.h>
#include <wx/modalhook.h>
#include <wx/timer.h>
#include <wx/toolbar.h>
#include <wx/utils.h>
#include <wx/webview.h>

#include "desktop_fixture.h"
#include "session/portal.h"
#include "toolkit_scope.h"

// Last: Xlib's macros (Always, None, Status...) would rename the program's own words.
#include <X11/Xlib.h>

namespace ostravel {

HostSim g_host;
fs::path g_openerDir;

namespace {

using Clock = std::chrono::steady_clock;

long Ms(Clock::duration d) {
    return static_cast<long>(std::chrono::duration_cast<std::chrono::milliseconds>(d).count());
}

// One xdotool run, to its end: real pointer and key events through the X server.
void XDo(std::vector<std::string> args) {
    args.insert(args.begin(), "xdotool");
    std::vector<char*> argv;
    for (auto& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    pid_t pid = 0;
    ASSERT_EQ(::posix_spawnp(&pid, "xdotool", nullptr, nullptr, argv.data(), environ), 0) << "no xdotool";
    int status = 0;
    ::waitpid(pid, &status, 0);
    EXPECT_EQ(status, 0) << args[1];
}

// A screenshot of the whole screen when OSTRAVEL_SHOTS names a folder for them.
void Shot(const char* name) {
    const char* dir = std::getenv("OSTRAVEL_SHOTS");
    if (dir == nullptr) return;
    // Menus and the web engine draw after they report being shown, and tell nobody when they are
    // done: pictures (never checks) give them half a second.
    PumpUntil([] { return false; }, 500ms);
    std::string file = (fs::path(dir) / name).string();
    char import[] = "import", window[] = "-window", root[] = "root";
    char* argv[] = {import, window, root, file.data(), nullptr};
    pid_t pid = 0;
    if (::posix_spawnp(&pid, "import", nullptr, nullptr, argv, environ) == 0) ::waitpid(pid, nullptr, 0);
}

// The X window of a toolkit window, through GTK's own functions.
unsigned long XidOf(wxWindow* window) {
    using GetWindow = void* (*)(void*);
    using GetXid = unsigned long (*)(void*);
    const auto getWindow = reinterpret_cast<GetWindow>(dlsym(RTLD_DEFAULT, "gtk_widget_get_window"));
    const auto getXid = reinterpret_cast<GetXid>(dlsym(RTLD_DEFAULT, "gdk_x11_window_get_xid"));
    void* gdk = getWindow != nullptr ? getWindow(window->GetHandle()) : nullptr;
    return gdk != nullptr && getXid != nullptr ? getXid(gdk) : 0;
}

// Everything this program has asked of the X server has been done.
void SyncToolkit() { XSync(static_cast<Display*>(wxGetDisplayInfo().dpy), False); }

int IgnoreXError(Display*, XErrorEvent*) { return 0; }  // a window may go while it is looked at

// The screen as another X client sees it.
class XScreen {
public:
    struct Box {
        Window window;
        int x, y, width, height;
    };
    XScreen() : display_(XOpenDisplay(nullptr)) {}
    ~XScreen() {
        if (display_ != nullptr) XCloseDisplay(display_);
    }
    bool Open() const { return display_ != nullptr; }

    // The icons the notification area holds: XEmbed clients (they carry _XEMBED_INFO) shown inside
    // another window.
    std::vector<Box> TrayIcons() {
        std::vector<Box> icons;
        auto* old = XSetErrorHandler(IgnoreXError);
        Walk(DefaultRootWindow(display_), [&](Window window, Window parent, const XWindowAttributes& a) {
            if (parent == DefaultRootWindow(display_) || a.map_state != IsViewable) return;
            Atom type = 0;
            int format = 0;
            unsigned long count = 0, after = 0;
            unsigned char* data = nullptr;
            if (XGetWindowProperty(display_, window, XInternAtom(display_, "_XEMBED_INFO", False), 0, 2,
                                   False, AnyPropertyType, &type, &format, &count, &after,
                                   &data) == Success &&
                type != 0)
                icons.push_back(Place(window, a));
            if (data != nullptr) XFree(data);
        });
        XSync(display_, False);
        XSetErrorHandler(old);
        return icons;
    }
    // Pop-up windows on the screen (menus, tooltips): override-redirect and viewable.
    std::vector<Box> Popups() {
        std::vector<Box> popups;
        auto* old = XSetErrorHandler(IgnoreXError);
        Walk(
            DefaultRootWindow(display_),
            [&](Window window, Window parent, const XWindowAttributes& a) {
                if (parent == DefaultRootWindow(display_) && a.override_redirect && a.map_state == IsViewable)
                    popups.push_back(Place(window, a));
            },
            1);
        XSync(display_, False);
        XSetErrorHandler(old);
        return popups;
    }
    bool Viewable(Window window) {
        XWindowAttributes a{};
        return window != 0 && XGetWindowAttributes(display_, window, &a) != 0 && a.map_state == IsViewable;
    }
    // From now on, counts the top-level windows anybody creates.
    void WatchNewWindows() {
        XSelectInput(display_, DefaultRootWindow(display_), SubstructureNotifyMask);
        XSync(display_, True);  // nothing from before counts
    }
    int NewWindows() {
        XSync(display_, False);
        int created = 0;
        while (XPending(display_) > 0) {
            XEvent event;
            XNextEvent(display_, &event);
            if (event.type == CreateNotify) ++created;
        }
        return created;
    }

private:
    template <class Visit>
    void Walk(Window window, const Visit& visit, int depth = 8) {
        Window root = 0, parent = 0, *children = nullptr;
        unsigned count = 0;
        if (depth == 0 || XQueryTree(display_, window, &root, &parent, &children, &count) == 0) return;
        for (unsigned i = 0; i < count; ++i) {
            XWindowAttributes a{};
            if (XGetWindowAttributes(display_, children[i], &a) == 0) continue;
            visit(children[i], window, a);
            Walk(children[i], visit, depth - 1);
        }
        if (children != nullptr) XFree(children);
    }
    Box Place(Window window, const XWindowAttributes& a) {
        int x = 0, y = 0;
        Window child = 0;
        XTranslateCoordinates(display_, window, DefaultRootWindow(display_), 0, 0, &x, &y, &child);
        return {window, x, y, a.width, a.height};
    }
    Display* display_;
};

// Runs `onEnter` for each modal dialog as its loop starts (the dialog is shown as usual).
class DialogWatch : public wxModalDialogHook {
public:
    explicit DialogWatch(std::function<void(wxDialog*)> onEnter) : onEnter_(std::move(onEnter)) {
        Register();
    }
    ~DialogWatch() override { Unregister(); }

protected:
    int Enter(wxDialog* dialog) override {
        onEnter_(dialog);
        return wxID_NONE;
    }
    void Exit(wxDialog*) override {}

private:
    std::function<void(wxDialog*)> onEnter_;
};

class DesktopInputTest : public DesktopTest {
protected:
    void SetUp() override {
        if (std::system("command -v xdotool >/dev/null") != 0) GTEST_SKIP() << "xdotool is not installed";
        ASSERT_TRUE(screen_.Open());
    }
    // Opens the main window and waits until it is on the screen.
    void OpenShown(unsigned short port) {
        Open(port);
        ASSERT_TRUE(PumpUntil([&] { return screen_.Viewable(XidOf(frame_)); }));
    }
    // The frame's icon in the notification area, once the tray has taken it in.
    XScreen::Box TrayIcon() {
        std::vector<XScreen::Box> icons;
        EXPECT_TRUE(PumpUntil([&] { return (icons = screen_.TrayIcons()).size() == 1; }))
            << icons.size() << " icons in the tray";
        return icons.empty() ? XScreen::Box{} : icons.front();
    }
    std::vector<std::string> ClickAt(const XScreen::Box& box) {
        // (No --sync: it waits for a motion that never comes when the pointer is there already.)
        return {"mousemove", std::to_string(box.x + box.width / 2), std::to_string(box.y + box.height / 2)};
    }
    void Keys(std::vector<std::string> keys) {
        std::vector<std::string> args = {"windowfocus", "--sync",  std::to_string(XidOf(frame_)),
                                         "key",         "--delay", "30"};
        args.insert(args.end(), keys.begin(), keys.end());
        XDo(args);
    }
    // Clicks the tray icon with `button` and, while the tray menu is open, presses `keys` in it.
    // Returns how long the menu took to open after the click, or a negative value if it did not.
    long TrayMenuByClick(const std::string& button, std::vector<std::string> keys) {
        const XScreen::Box icon = TrayIcon();
        bool closed = false;
        long opened = -1;
        Clock::time_point clicked{};
        wxEvtHandler* tray = frame_->Tray();
        auto onOpen = [&](wxMenuEvent& event) {
            event.Skip();
            if (opened >= 0) return;
            opened = Ms(Clock::now() - clicked);
            // The menu grabs the keyboard as it opens; the keys go in from the menu's own loop.
            wxTheApp->CallAfter([&, keys] {
                bool menuShown = false;
                for (const XScreen::Box& popup : screen_.Popups())
                    menuShown = menuShown || popup.height > 100;
                EXPECT_TRUE(menuShown) << "no menu on the screen";
                Shot("tray-menu.png");
                std::vector<std::string> args = {"key", "--delay", "30"};
                args.insert(args.end(), keys.begin(), keys.end());
                XDo(args);
            });
        };
        auto onClose = [&](wxMenuEvent& event) {
            event.Skip();
            closed = true;
        };
        tray->Bind(wxEVT_MENU_OPEN, onOpen);
        tray->Bind(wxEVT_MENU_CLOSE, onClose);
        clicked = Clock::now();
        std::vector<std::string> args = ClickAt(icon);
        args.insert(args.end(), {"click", button});
        XDo(args);
        EXPECT_TRUE(PumpUntil([&] { return closed; })) << "the tray menu did not open and close";
        if (alive_) {
            tray->Unbind(wxEVT_MENU_OPEN, onOpen);
            tray->Unbind(wxEVT_MENU_CLOSE, onClose);
        }
        return opened;
    }

    XScreen screen_;
};

// One click on the tray icon opens its menu once the double-click time has passed; a right click
// opens it at once; a double click brings the hidden window back and opens no menu.
TEST_F(DesktopInputTest, TrayIconClicksOpenTheMenuOrRestoreTheWindow) {
    OpenShown(1);
    const long interval = TrayIcon::DoubleClickMilliseconds();
    const long single = TrayMenuByClick("1", {"Escape"});
    EXPECT_GE(single, interval - 50) << "the menu did not wait for a second click";
    const long right = TrayMenuByClick("3", {"Escape"});
    EXPECT_GE(right, 0);
    std::printf(
        "tray menu opened %ld ms after a left click (double-click time %ld ms), %ld ms after a right click\n",
        single, interval, right);

    frame_->Close();  // the close box: hidden to the tray
    ASSERT_TRUE(PumpUntil([&] { return !screen_.Viewable(XidOf(frame_)); }));
    bool menuOpened = false;
    frame_->Tray()->Bind(wxEVT_MENU_OPEN, [&](wxMenuEvent& event) {
        menuOpened = true;
        event.Skip();
    });
    std::vector<std::string> args = ClickAt(TrayIcon());
    args.insert(args.end(), {"click", "--repeat", "2", "--delay", std::to_string(interval / 4), "1"});
    XDo(args);
    EXPECT_TRUE(PumpUntil([&] { return screen_.Viewable(XidOf(frame_)); })) << "the window stayed hidden";
    EXPECT_TRUE(frame_->IsShown());
    // Long enough for a menu that waited for a second click to have opened.
    EXPECT_FALSE(PumpUntil([&] { return menuOpened; }, std::chrono::milliseconds(interval + 300)));
}

// Exit from the tray menu, chosen with real keys while logged in: the icon goes and never comes
// back while the program ends, although the log-off reports "Logged Off" to the tray afterwards.
TEST_F(DesktopInputTest, ExitFromTheTrayLeavesNoIconBehind) {
    RequireHost();
    OpenShown(g_host.ServicePort());
    LogIn("dj", "djpass");
    bool watching = false;
    frame_->Tray()->Bind(wxEVT_MENU_CLOSE, [&](wxMenuEvent& event) {
        event.Skip();
        screen_.WatchNewWindows();  // the menu is drawn by now; Exit runs after it closes
        watching = true;
    });
    TrayMenuByClick("1", {"Up", "Return"});  // the last entry, "Exit"
    ASSERT_TRUE(watching);
    ASSERT_TRUE(PumpUntil([&] { return !alive_; }));
    SyncToolkit();
    EXPECT_EQ(screen_.NewWindows(), 0) << "a tray icon window was made after Exit";
    EXPECT_TRUE(screen_.TrayIcons().empty());
}

// Lines come in at the top of the message list; the list shows the newest one however many came.
TEST_F(DesktopInputTest, NewestMessageStaysInView) {
    OpenShown(1);
    wxListBox* list = view_->MessageList();
    // Frames the toolkit has drawn for the window: each one lays the list out and paints it.
    using Fn = void* (*)(void*);
    const auto frameClock = reinterpret_cast<Fn>(dlsym(RTLD_DEFAULT, "gtk_widget_get_frame_clock"));
    const auto frameCounter =
        reinterpret_cast<long long (*)(void*)>(dlsym(RTLD_DEFAULT, "gdk_frame_clock_get_frame_counter"));
    ASSERT_TRUE(frameClock && frameCounter);
    auto frames = [&] { return frameCounter(frameClock(list->GetHandle())); };
    int hidden = 0;  // insertions after which the newest line was not the first one shown
    for (int i = 1; i <= 40; ++i) {
        view_->InsertMessage("line " + std::to_string(i));
        ASSERT_TRUE(PumpUntil([&] { return list->GetCount() == static_cast<unsigned>(i); }));
        // As lines come in one by one in real use: the window draws between them.
        const long long drawn = frames();
        ASSERT_TRUE(PumpUntil([&] { return frames() > drawn; }));
        if (list->GetTopItem() != 0) ++hidden;
    }
    EXPECT_EQ(hidden, 0);
    EXPECT_EQ(list->GetTopItem(), 0);
    EXPECT_EQ(list->GetString(0), "line 40");
}

// The shortcuts, pressed for real before any menu was opened: Ctrl+L opens the login dialog,
// whose labels' Alt letters lead to their edits (and does nothing once logged in); F5 asks for the
// status; Ctrl+Shift+L logs out; Ctrl+Q ends the program. The menus show the keys, and the
// toolbar's buttons are named for assistive technology.
TEST_F(DesktopInputTest, ShortcutsAndMnemonicsWork) {
    RequireHost();
    XDo({"mousemove", "1000", "740"});  // away from where the menu bar will be
    OpenShown(g_host.ServicePort());
    wxMenuBar* menus = frame_->GetMenuBar();
    auto unopened = [&] {
        for (std::size_t i = 0; i < menus->GetMenuCount(); ++i)
            if (menus->GetMenu(i)->GetMenuItemCount() != 0) return false;
        return true;
    };

    // Each button: its tooltip, and its menu text as the accessible name.
    using Fn = void* (*)(void*);
    const auto nthItem =
        reinterpret_cast<void* (*)(void*, int)>(dlsym(RTLD_DEFAULT, "gtk_toolbar_get_nth_item"));
    const auto child = reinterpret_cast<Fn>(dlsym(RTLD_DEFAULT, "gtk_bin_get_child"));
    const auto accessible = reinterpret_cast<Fn>(dlsym(RTLD_DEFAULT, "gtk_widget_get_accessible"));
    const auto name = reinterpret_cast<const char* (*)(void*)>(dlsym(RTLD_DEFAULT, "atk_object_get_name"));
    ASSERT_TRUE(nthItem && child && accessible && name);
    wxToolBar* bar = frame_->GetToolBar();
    void* toolbar = child(bar->GetHandle());  // the GTK toolbar, in wx's box
    int named = 0;
    for (std::size_t pos = 0; pos < ToolbarButtons().size(); ++pos) {
        const int id = ToolbarButtons()[pos];
        if (id == 0) continue;
        const CommandInfo* command = FindCommand(id);
        EXPECT_EQ(bar->GetToolShortHelp(WindowIdFromCommand(id)), command->prompt);
        const char* spoken = name(accessible(child(nthItem(toolbar, static_cast<int>(pos)))));
        EXPECT_EQ(wxString::FromUTF8(spoken != nullptr ? spoken : ""),
                  wxStripMenuCodes(std::string(MenuItemText(*command))));
        ++named;
    }
    EXPECT_EQ(named, 15);

    LoginDialog& login = view_->LoginWindow();
    login.m_userName = login.m_password = wxEmptyString;
    bool typed = false;
    login.Bind(wxEVT_PAINT, [&](wxPaintEvent& event) {
        event.Skip();
        if (typed) return;
        typed = true;
        // The password first: without its mnemonic it would land in the user name, which has the focus.
        login.CallAfter([] {
            XDo({"search",
                 "--sync",
                 "--onlyvisible",
                 "--name",
                 "^Account Login$",
                 "windowfocus",
                 "--sync",
                 "%1",
                 "key",
                 "--delay",
                 "30",
                 "alt+p",
                 "d",
                 "j",
                 "p",
                 "a",
                 "s",
                 "s",
                 "alt+u",
                 "d",
                 "j",
                 "Return"});
        });
    });
    Keys({"ctrl+l"});
    ASSERT_TRUE(PumpUntil([&] { return doc_.LoginId() != 0 && !view_->StatusBox()->IsEmpty(); }, 15s));
    EXPECT_TRUE(typed);
    EXPECT_EQ(doc_.Snapshot().userName, "dj");

    view_->StatusBox()->ChangeValue(wxEmptyString);
    int dialogs = 0;
    DialogWatch watch([&](wxDialog* dialog) {
        ++dialogs;
        dialog->CallAfter([dialog] { dialog->EndModal(wxID_CANCEL); });
    });
    Keys({"ctrl+l", "F5"});
    EXPECT_TRUE(PumpUntil([&] { return !view_->StatusBox()->IsEmpty(); }));
    EXPECT_EQ(dialogs, 0) << "Ctrl+L opened the login dialog while logged in";

    Keys({"ctrl+shift+l"});
    EXPECT_TRUE(PumpUntil([&] { return !Lines().empty() && Lines().front() == kFarewellMessage; }));
    EXPECT_EQ(doc_.LoginId(), 0);
    EXPECT_TRUE(unopened()) << "the shortcuts were only tried after the menus were made";

    for (const auto& [id, key] : {std::pair{cmd::kLogin, "Ctrl+L"},
                                  {cmd::kLogout, "Ctrl+Shift+L"},
                                  {cmd::kServerStatus, "F5"},
                                  {cmd::kAppExit, "Ctrl+Q"}})
        EXPECT_TRUE(menus->FindItem(WindowIdFromCommand(id))->GetItemLabel().EndsWith(wxString("\t") + key))
            << id;
    Keys({"ctrl+q"});
    EXPECT_TRUE(PumpUntil([&] { return !alive_; }));
}

// Server > Logs > View Logs, chosen with real keys: the web engine asks the portal for the log page
// of the account, with the user name in the query, and shows it. A second opening asks again.
TEST_F(DesktopInputTest, ServerLogPageLoadsFromThePortal) {
    RequireHost();
    // The program knows the portal by its build-time address; the stand-in's portal goes there.
    std::string portal = PortalAddress("");
    portal = portal.substr(portal.find("://") + 3);
    HostSim host;
    struct StopOnExit {
        HostSim& host;
        ~StopOnExit() { host.Stop(); }
    } stop{host};
    ASSERT_TRUE(PumpUntil([&] { return host.Start("portal", 0, portal); }, 30s)) << portal << " is taken";
    OpenShown(host.ServicePort());
    LogIn("dj", "djpass");
    for (const int id : {cmd::kServerLogs, cmd::kServerClearLog})
        EXPECT_TRUE(frame_->GetMenuBar()->IsEnabled(WindowIdFromCommand(id))) << id;

    wxString pageText;
    int opened = 0;
    DialogWatch watch([&](wxDialog* dialog) {
        ++opened;
        auto timeout = std::make_shared<wxTimer>();
        timeout->Bind(wxEVT_TIMER, [dialog](wxTimerEvent&) {
            ADD_FAILURE() << "the page did not load";
            dialog->EndModal(wxID_CANCEL);
        });
        timeout->StartOnce(30000);
        dialog->Bind(wxEVT_WEBVIEW_LOADED, [&, dialog, timeout](wxWebViewEvent& event) {
            event.Skip();
            auto* web = wxDynamicCast(event.GetEventObject(), wxWebView);
            if (web == nullptr || !event.GetURL().Contains("sclogs.php")) return;
            timeout->Stop();
            EXPECT_EQ(dialog->GetTitle(), kServerLogsTitle);
            EXPECT_EQ(web->GetId(), 1136);
            dialog->CallAfter([&, dialog, web] {
                // (GetPageText needs wx's web extension, which is not installed everywhere.)
                wxString text;
                EXPECT_TRUE(web->RunScript("document.body.innerText", &text));
                pageText = text.empty() ? wxString("(empty)") : text;
                Shot("server-log-page.png");
                dialog->EndModal(wxID_CANCEL);
            });
        });
    });
    // Alt+S opens the Server menu, L its Logs popup, V "View Logs".
    bool logsShown = false;
    frame_->Bind(wxEVT_MENU_OPEN, [&](wxMenuEvent& event) {
        event.Skip();
        wxMenu* menu = event.GetMenu();
        logsShown = logsShown || (menu != nullptr && menu->GetMenuItemCount() == 2 &&
                                  menu->FindItem(WindowIdFromCommand(cmd::kServerLogs)) != nullptr);
    });
    Keys({"alt+s", "l"});
    ASSERT_TRUE(PumpUntil([&] { return logsShown; }));
    Shot("server-menu.png");
    XDo({"key", "v"});  // the menu has the keyboard
    ASSERT_TRUE(PumpUntil([&] { return !pageText.empty(); }, 40s)) << opened << host.Printed();
    EXPECT_EQ(opened, 1);
    EXPECT_NE(pageText.Find("Shoutcast Server Logs"), wxNOT_FOUND) << pageText;
    EXPECT_NE(pageText.Find("Account dj"), wxNOT_FOUND) << pageText;
    const std::string request = "GET /shoutcast/Ostravel/sclogs.php?loginsc=dj&passwordsc=***** ";
    auto served = [&] {
        std::size_t count = 0;
        for (auto at = host.Printed().find(request); at != std::string::npos;
             at = host.Printed().find(request, at + 1))
            ++count;
        return count;
    };
    EXPECT_TRUE(PumpUntil([&] { return served() == 1; })) << host.Printed();

    pageText.clear();
    view_->RunCommand(cmd::kServerLogs);
    ASSERT_TRUE(PumpUntil([&] { return !pageText.empty(); }, 40s));
    EXPECT_TRUE(PumpUntil([&] { return served() == 2; })) << "the second opening was not fetched anew";
}

}  // namespace
}  // namespace ostravel

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    using namespace ostravel;
    g_host.Start("input");  // when it does not start, its port is 0 and the tests that need it skip
    int result = 1;
    {
        ostravel::testing::ToolkitScope toolkit(argc, argv);
        if (toolkit.Started()) result = RUN_ALL_TESTS();
    }
    g_host.Stop();
    return result;
}
