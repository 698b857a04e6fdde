#include "session/portal.h"

#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <mutex>

#include <gtest/gtest.h>

#include "fakes/fake_url_opener.h"
#include "fakes/recording_view.h"
#include "platform/openurl.h"
#include "protocol/commands.h"
#include "session/sessiondocument.h"

namespace ostravel {
namespace {

using testing::FakeUrlOpener;
using testing::RecordingView;

const std::string kHost = std::string("http://") + OSTRAVEL_PORTAL_HOST;

TEST(PercentEncode, KeepsUnreservedAndEncodesEverythingElse) {
    struct Case {
        std::string in, out;
    } cases[] = {
        {"", ""},
        {"AZaz09-._~", "AZaz09-._~"},
        {"a b", "a%20b"},
        {"a&b=c;d#e", "a%26b%3Dc%3Bd%23e"},
        {"\"q'u?o/t+e%", "%22q%27u%3Fo%2Ft%2Be%25"},
        {"\xC3\xA9", "%C3%A9"},  // bytes, upper-case hex
        {std::string("a\0b", 3), "a%00b"},
    };
    for (const auto& c : cases) EXPECT_EQ(PercentEncode(c.in), c.out) << c.in;
}

SessionState LoggedIn(std::string user, std::string password, bool high = false) {
    SessionState s;
    s.loginId = 7;
    s.userName = std::move(user);
    s.password = std::move(password);
    s.highBitrate = high;
    return s;
}

TEST(WebCommandAddress, EveryPageAndLink) {
    SessionState s = LoggedIn("dj", "pw");
    s.streamIp = "10.0.0.5";
    s.streamPort = "8000";
    const std::string login = kHost + "/shoutcast/login.php?action=login&loginform=dj&passwordform=pw";
    const std::string tune = kHost + "/shoutcast/Ostravel/tuneinlinks.php?file=";
    struct Case {
        int id;
        std::string address;
    } cases[] = {
        {cmd::kBilling, login + "&redirect=scbilling.php"},
        {cmd::kUpgrade, login + "&redirect=scupgrade.php"},
        {cmd::kChangeTerm, login + "&redirect=changeterm.php"},
        {cmd::kFaq, kHost + "/shoutcast/faq.php"},
        {cmd::kContacts, kHost + "/shoutcast/contacts.php"},
        {cmd::kTuneInWinamp, tune + "pls&host=10.0.0.5&port=8000"},
        {cmd::kTuneInMediaPlayer, tune + "asx&host=10.0.0.5&port=8000"},
        {cmd::kTuneInItunes, tune + "m3u&host=10.0.0.5&port=8000"},
        {cmd::kTuneInReal, tune + "ram&host=10.0.0.5&port=8000"},
        {cmd::kServerStart, ""},
        {cmd::kServerLogs, ""},
    };
    for (const auto& c : cases) EXPECT_EQ(WebCommandAddress(c.id, s), c.address) << c.id;
}

TEST(WebCommandAddress, UpgradeFollowsTheBitrateAndLogoTheLogin) {
    SessionState s = LoggedIn("dj", "pw", true);
    EXPECT_NE(WebCommandAddress(cmd::kUpgrade, s).find("&redirect=scupgradetv.php"), std::string::npos);
    s.highBitrate = false;
    EXPECT_NE(WebCommandAddress(cmd::kUpgrade, s).find("&redirect=scupgrade.php"), std::string::npos);

    EXPECT_EQ(LogoAddress(s), kHost + "/shoutcast/login.php?action=login&loginform=dj&passwordform=pw");
    EXPECT_EQ(LogoAddress(SessionState{}), kHost + "/shoutcast");
}

TEST(WebCommandAddress, CredentialsAndStreamAreEncoded) {
    SessionState s = LoggedIn("a&b c\"d';e#f", "p=w&redirect=x");
    EXPECT_EQ(WebCommandAddress(cmd::kBilling, s),
              kHost +
                  "/shoutcast/login.php?action=login&loginform=a%26b%20c%22d%27%3Be%23f"
                  "&passwordform=p%3Dw%26redirect%3Dx&redirect=scbilling.php");
    EXPECT_EQ(ServerLogsAddress(s.userName, s.password),
              kHost +
                  "/shoutcast/Ostravel/sclogs.php?loginsc=a%26b%20c%22d%27%3Be%23f"
                  "&passwordsc=p%3Dw%26redirect%3Dx");
    // No status report yet: both values empty.
    EXPECT_EQ(WebCommandAddress(cmd::kTuneInWinamp, s),
              kHost + "/shoutcast/Ostravel/tuneinlinks.php?file=pls&host=&port=");
    s.streamIp = "h&x";
    s.streamPort = "80 0";
    EXPECT_EQ(WebCommandAddress(cmd::kTuneInWinamp, s),
              kHost + "/shoutcast/Ostravel/tuneinlinks.php?file=pls&host=h%26x&port=80%200");
}

TEST(RunWebCommand, TuneInWhileLoggedOutWritesTheErrorAndOpensNothing) {
    SessionDocument doc;
    RecordingView view;
    doc.SetView(&view);
    FakeUrlOpener opener;

    EXPECT_TRUE(RunWebCommand(doc, cmd::kTuneInItunes, opener));
    EXPECT_TRUE(RunWebCommand(doc, cmd::kFaq, opener));
    EXPECT_FALSE(RunWebCommand(doc, cmd::kServerStart, opener));
    OpenLogoPage(doc, opener);
    OpenServerLogsPage(doc, opener);

    EXPECT_EQ(view.Lines(), (std::vector<std::string>{kInvalidLoginMessage, kTuneInErrorMessage}));
    EXPECT_EQ(opener.Opened(),
              (std::vector<std::string>{kHost + "/shoutcast/faq.php", kHost + "/shoutcast"}));
    doc.SetView(nullptr);
}

TEST(RunWebCommand, AnAddressThatCannotBeOpenedPutsTheReasonAtTheTopOfTheList) {
    SessionDocument doc;
    RecordingView view;
    doc.SetView(&view);
    doc.SetCredentials("dj", "pw");
    doc.SetLoginId(7);
    FakeUrlOpener opener;
    opener.FailWith("no browser");

    EXPECT_TRUE(RunWebCommand(doc, cmd::kBilling, opener));
    EXPECT_TRUE(RunWebCommand(doc, cmd::kTuneInReal, opener));
    OpenLogoPage(doc, opener);
    OpenServerLogsPage(doc, opener);
    opener.FailWith("");
    EXPECT_TRUE(RunWebCommand(doc, cmd::kContacts, opener));

    EXPECT_EQ(view.Lines(),
              (std::vector<std::string>{
                  "Error opening web page: no browser", "Error opening web page: no browser",
                  "Error opening Tune-In Link: no browser", "Error opening web page: no browser"}));
    ASSERT_EQ(opener.Opened().size(), 5u);
    EXPECT_EQ(opener.Opened()[3], kHost + "/shoutcast/Ostravel/sclogs.php?loginsc=dj&passwordsc=pw");
    doc.SetView(nullptr);
}

#ifndef _WIN32
// A PATH whose only directory holds the given stand-in xdg-open (none when `script` is empty), for
// the life of the object.
class OpenerPath {
public:
    explicit OpenerPath(const std::string& script) {
        dir_ = std::filesystem::temp_directory_path() /
               ("ostravel-open-" + std::to_string(::getpid()) + "-" + std::to_string(++count_));
        std::filesystem::create_directories(dir_);
        if (!script.empty()) {
            std::ofstream(dir_ / "xdg-open") << script;
            std::filesystem::permissions(dir_ / "xdg-open", std::filesystem::perms::owner_all);
        }
        const char* old = std::getenv("PATH");
        saved_ = old ? old : "";
        ::setenv("PATH", dir_.c_str(), 1);
    }
    ~OpenerPath() {
        ::setenv("PATH", saved_.c_str(), 1);
        std::filesystem::remove_all(dir_);
    }

private:
    static inline int count_ = 0;
    std::filesystem::path dir_;
    std::string saved_;
};

TEST(SystemUrlOpener, AMissingOrFailingOpenerIsNamedInTheMessageList) {
    SessionDocument doc;
    RecordingView view;
    doc.SetView(&view);
    {
        OpenerPath none("");
        SystemUrlOpener opener;
        EXPECT_TRUE(RunWebCommand(doc, cmd::kFaq, opener));
    }
    EXPECT_EQ(view.Lines(), std::vector<std::string>{"Error opening web page: xdg-open was not found"});
    {
        // No browser: xdg-open says so by its status, possibly long after the command returned.
        OpenerPath failing("#!/bin/sh\nexit 3\n");
        SystemUrlOpener opener;
        std::vector<std::function<void()>> posted;
        std::mutex mutex;
        std::condition_variable arrived;
        opener.SetLatePoster([&](std::function<void()> task) {
            std::lock_guard lock(mutex);
            posted.push_back(std::move(task));
            arrived.notify_all();
        });
        EXPECT_TRUE(RunWebCommand(doc, cmd::kFaq, opener));
        std::unique_lock lock(mutex);
        ASSERT_TRUE(arrived.wait_for(lock, std::chrono::seconds(10), [&] { return !posted.empty(); }));
        // The late failure waits for the poster's thread (here: this one).
        EXPECT_EQ(view.Lines().size(), 1u);
        for (auto& task : posted) task();
    }
    EXPECT_EQ(view.Lines().front(),
              "Error opening web page: no browser or player was found (xdg-open status 3)");
    doc.SetView(nullptr);
}

// The real opener: a stand-in xdg-open on PATH records its argument vector.
TEST(SystemUrlOpener, HandsTheAddressOverAsOneArgument) {
    namespace fs = std::filesystem;
    const fs::path dir = fs::temp_directory_path() / ("ostravel-open-" + std::to_string(::getpid()));
    fs::create_directories(dir);
    const fs::path script = dir / "xdg-open";
    {
        std::ofstream out(script);
        out << "#!/bin/sh\nprintf '%s\\n' \"$#\" \"$@\" > \"$(dirname \"$0\")/record\"\n";
    }
    fs::permissions(script, fs::perms::owner_all);
    const char* oldPath = std::getenv("PATH");
    const std::string saved = oldPath ? oldPath : "";
    ::setenv("PATH", (dir.string() + ":" + saved).c_str(), 1);

    SessionState s = LoggedIn("we ird&;'\"$(x)`y`", "p w");
    const std::string address = WebCommandAddress(cmd::kBilling, s);
    SystemUrlOpener opener(/*waitForExit=*/true);
    const bool opened = opener.Open(address);
    ::setenv("PATH", saved.c_str(), 1);

    ASSERT_TRUE(opened);
    std::ifstream in(dir / "record");
    const std::string record{std::istreambuf_iterator<char>(in), {}};
    EXPECT_EQ(record, "1\n" + address + "\n");
    fs::remove_all(dir);
}
#else
// The real opener with the shell replaced by a recording stub.
struct ShellCall {
    std::wstring verb, file;
    bool parameters;
};
std::vector<ShellCall> shellCalls;
std::intptr_t shellResult = 42;

std::intptr_t RecordShellOpen(const wchar_t* verb, const wchar_t* file, const wchar_t* parameters) {
    shellCalls.push_back({verb, file, parameters != nullptr});
    return shellResult;
}

TEST(SystemUrlOpener, HandsTheWholeAddressToTheShellAsTheFileToOpen) {
    SetShellOpenFunction(&RecordShellOpen);
    shellCalls.clear();
    shellResult = 42;
    SessionState s = LoggedIn("we ird&;'\"$(x)`y`", "p w");
    const std::string address = WebCommandAddress(cmd::kBilling, s);
    SystemUrlOpener opener;
    EXPECT_TRUE(opener.Open(address));
    EXPECT_TRUE(
        opener.Open("HTTPS://127.0.0.1/caf\xc3\xa9 \"a\" b"));  // UTF-8 to UTF-16, blanks and quotes kept
    ASSERT_EQ(shellCalls.size(), 2u);
    EXPECT_EQ(shellCalls[0].verb, L"open");
    EXPECT_EQ(shellCalls[0].file, std::wstring(address.begin(), address.end()));
    EXPECT_FALSE(shellCalls[0].parameters);
    EXPECT_EQ(shellCalls[1].file, L"HTTPS://127.0.0.1/caf\u00e9 \"a\" b");
    EXPECT_FALSE(shellCalls[1].parameters);

    // Never to the shell: what is not a web address (the shell would run a program), and text that
    // is not UTF-8. A shell that refuses is named with its code in the message list.
    std::vector<std::string> reasons;
    const auto record = [&](const std::string& reason) { reasons.push_back(reason); };
    EXPECT_FALSE(opener.Open("C:\\Windows\\System32\\calc.exe", record));
    EXPECT_FALSE(opener.Open("file:///C:/x.exe", record));
    EXPECT_FALSE(opener.Open("http://", record));
    EXPECT_FALSE(opener.Open("http://127.0.0.1/\xff\xfe", record));
    EXPECT_EQ(shellCalls.size(), 2u);
    EXPECT_EQ(reasons, (std::vector<std::string>{"only web addresses (http, https) are opened",
                                                 "only web addresses (http, https) are opened",
                                                 "only web addresses (http, https) are opened",
                                                 "the address is not valid text"}));

    shellResult = 2;  // SE_ERR_FNF
    SessionDocument doc;
    RecordingView view;
    doc.SetView(&view);
    EXPECT_TRUE(RunWebCommand(doc, cmd::kFaq, opener));
    EXPECT_EQ(view.Lines(),
              std::vector<std::string>{"Error opening web page: the shell could not open it (error 2)"});
    doc.SetView(nullptr);
    SetShellOpenFunction(nullptr);
}
#endif

}  // namespace
}  // namespace ostravel
