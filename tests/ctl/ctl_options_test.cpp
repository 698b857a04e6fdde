// ostravel-ctl before any connection: the command line, the password's sources, and what it prints.
#include <filesystem>
#include <fstream>
#include <sstream>

#include <gtest/gtest.h>
#include <sys/stat.h>

#ifdef _WIN32
#include <windows.h>
// After windows.h, which it builds on.
#include <aclapi.h>
#else
#include "ctl/changecommand.h"
#endif
#include "ctl/credentials.h"
#include "ctl/ctl.h"
#include "ctl/ctlcommands.h"
#include "ctl/ctloutput.h"
#include "fakes/fake_service_server.h"

namespace ostravel::ctl {
namespace {

namespace fs = std::filesystem;

struct RunResult {
    int status;
    std::string out;
    std::string err;
};

RunResult RunWith(const std::vector<std::string>& args, std::optional<std::string> password = "pw") {
    std::ostringstream out, err;
    const int rc = Run(
        args, [&](const std::string& name) { return name == kPasswordVariable ? password : std::nullopt; },
        out, err);
    return {rc, out.str(), err.str()};
}

#ifdef _WIN32
// What chmod is on POSIX systems: the file's ACL made afresh, nothing inherited. Its owner, the
// system and the administrators may use it, as Windows sets up a file in a profile; everyone too
// when `mode` lets the group or others in.
void SetFileAcl(const fs::path& file, mode_t mode) {
    HANDLE token = nullptr;
    ASSERT_TRUE(OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token));
    alignas(TOKEN_USER) char user[sizeof(TOKEN_USER) + SECURITY_MAX_SID_SIZE];
    DWORD size = 0;
    ASSERT_TRUE(GetTokenInformation(token, TokenUser, user, sizeof user, &size));
    CloseHandle(token);
    std::vector<WELL_KNOWN_SID_TYPE> others = {WinLocalSystemSid, WinBuiltinAdministratorsSid};
    if ((mode & 077) != 0) others.push_back(WinWorldSid);
    alignas(DWORD) char buffer[1024];
    auto* acl = reinterpret_cast<PACL>(buffer);
    ASSERT_TRUE(InitializeAcl(acl, sizeof buffer, ACL_REVISION));
    ASSERT_TRUE(
        AddAccessAllowedAce(acl, ACL_REVISION, GENERIC_ALL, reinterpret_cast<TOKEN_USER*>(user)->User.Sid));
    for (const WELL_KNOWN_SID_TYPE type : others) {
        alignas(DWORD) char sid[SECURITY_MAX_SID_SIZE];
        DWORD length = sizeof sid;
        ASSERT_TRUE(CreateWellKnownSid(type, nullptr, sid, &length));
        ASSERT_TRUE(AddAccessAllowedAce(acl, ACL_REVISION, GENERIC_ALL, sid));
    }
    std::wstring name = file.wstring();
    ASSERT_EQ(SetNamedSecurityInfoW(name.data(), SE_FILE_OBJECT,
                                    DACL_SECURITY_INFORMATION | PROTECTED_DACL_SECURITY_INFORMATION, nullptr,
                                    nullptr, acl, nullptr),
              static_cast<DWORD>(ERROR_SUCCESS));
}

// Wine keeps no ACL a program sets on a file: it makes one up from the file's POSIX mode.
bool UnderWine() { return GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "wine_get_version") != nullptr; }

// How the refusal tells to make the file private.
std::string PrivateAdvice(const std::string& file) {
    return "make it private with: icacls \"" + file + "\" /inheritance:r /grant:r \"%USERNAME%:F\"";
}
#else
std::string PrivateAdvice(const std::string& file) { return "make it private with: chmod 600 " + file; }
#endif

// Sets an environment variable for the test's process; an empty value removes it.
void SetVariable(const char* name, const std::string& value) {
#ifdef _WIN32
    _putenv_s(name, value.c_str());
#else
    value.empty() ? ::unsetenv(name) : ::setenv(name, value.c_str(), 1);
#endif
}

class TempDir {
public:
    TempDir() {
#ifdef _WIN32
        for (int i = 0; path_.empty() || !fs::create_directory(path_); ++i)
            path_ = fs::temp_directory_path() /
                    ("ctl-test-" + std::to_string(GetCurrentProcessId()) + "-" + std::to_string(i));
#else
        std::string pattern = (fs::temp_directory_path() / "ctl-test-XXXXXX").string();
        if (::mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp");
        path_ = pattern;
#endif
    }
    ~TempDir() { fs::remove_all(path_); }
    const fs::path& Path() const { return path_; }
    std::string Write(const std::string& name, const std::string& text, mode_t mode) const {
        const fs::path file = path_ / name;
        std::ofstream(file) << text;
#ifdef _WIN32
        SetFileAcl(file, mode);
#else
        ::chmod(file.c_str(), mode);
#endif
        return file.string();
    }

private:
    fs::path path_;
};

TEST(CtlCommandLine, MistakesAreUsageErrorsWithOneLine) {
    const struct {
        std::vector<std::string> args;
        int status;
        std::string err;
    } cases[] = {
        {{"--user", "dj"}, kExitUsage, "ostravel-ctl: no command given (see ostravel-ctl --help)\n"},
        {{"--user", "dj", "server", "explode"},
         kExitUsage,
         "ostravel-ctl: unknown command 'server explode' (see ostravel-ctl --help)\n"},
        {{"--user", "dj", "--frobnicate", "status"},
         kExitUsage,
         "ostravel-ctl: unknown option '--frobnicate' (see ostravel-ctl --help)\n"},
        {{"status"}, kExitUsage, "ostravel-ctl: --user NAME is required\n"},
        {{"--user"}, kExitUsage, "ostravel-ctl: --user needs a value\n"},
        {{"--user", "dj", "--json=yes", "status"}, kExitUsage, "ostravel-ctl: --json takes no value\n"},
        {{"--user", "dj", "--timeout", "0", "status"},
         kExitUsage,
         "ostravel-ctl: --timeout needs a number of seconds above 0 and at most 86400, not '0'\n"},
        {{"--user", "dj", "--timeout=5s", "status"},
         kExitUsage,
         "ostravel-ctl: --timeout needs a number of seconds above 0 and at most 86400, not '5s'\n"},
        {{"--user", "dj", "--server", "radio example.org", "status"},
         kExitUsage,
         "ostravel-ctl: --server: \"radio example.org\" is not a host: not a host name (letters, digits, "
         "\"-\" and \".\").\n"},
        {{"--user", "dj", "--server", "127.0.0.1:70000", "status"},
         kExitUsage,
         "ostravel-ctl: --server: \"127.0.0.1:70000\" is not a host: the port must be a number from 1 to "
         "65535.\n"},
        {{"--user", "dj", "watch", "--interval", "5"},
         kExitUsage,
         "ostravel-ctl: --interval needs a whole number of seconds from 10 to 300, not '5'\n"},
        {{"--user", "dj", "watch", "--on-change"}, kExitUsage, "ostravel-ctl: --on-change needs a program\n"},
        {{"--user", "dj", "status", "--on-change", "true"},
         kExitUsage,
         "ostravel-ctl: --on-change is for watch only\n"},
        {{"--user", "dj", "history", "--days", "401"},
         kExitUsage,
         "ostravel-ctl: --days needs a whole number from 1 to 400, not '401'\n"},
        {{"--user", "dj", "history", "--csv", "--json"},
         kExitUsage,
         "ostravel-ctl: --csv and --json cannot go together\n"},
        {{"history"}, kExitUsage, "ostravel-ctl: --user NAME is required\n"},
        // A password is never taken where every user's process list shows it.
        {{"--user", "dj", "--password", "hunter2", "status"},
         kExitCredentials,
         "ostravel-ctl: the password is not taken on the command line; use --password-file FILE or "
         "OSTRAVEL_PASSWORD\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.err);
        const RunResult r = RunWith(c.args);
        EXPECT_EQ(r.status, c.status);
        EXPECT_EQ(r.err, c.err);
        EXPECT_EQ(r.out, "");
    }
}

TEST(CtlCommandLine, CheckReportsEveryFailureAsUnknownOnStandardOutput) {
    RunResult r = RunWith({"--frobnicate", "check"});
    EXPECT_EQ(r.status, kCheckUnknown);
    EXPECT_EQ(r.out, "OSTRAVEL UNKNOWN - unknown option '--frobnicate' (see ostravel-ctl --help)\n");
    EXPECT_EQ(r.err, "ostravel-ctl: unknown option '--frobnicate' (see ostravel-ctl --help)\n");
    r = RunWith({"--user", "dj", "check"}, std::nullopt);
    EXPECT_EQ(r.status, kCheckUnknown);
}

TEST(CtlCommandLine, HelpListsEveryCommandAndVersionNamesTheProgram) {
    RunResult r = RunWith({"--help"});
    EXPECT_EQ(r.status, kExitOk);
    for (const CtlCommand& command : CtlCommands()) {
        EXPECT_NE(r.out.find("  " + std::string(command.words) + "  "), std::string::npos) << command.words;
    }
    EXPECT_NE(r.out.find("OSTRAVEL_PASSWORD"), std::string::npos);
    for (const int status : {kExitOk, kExitRefused, kExitUsage, kExitCredentials, kExitConnect, kExitLogin,
                             kExitTimeout, kExitEnded, kExitUnavailable, kExitLocal}) {
        EXPECT_NE(r.out.find("\n  " + std::to_string(status) + "  "), std::string::npos) << status;
    }
    r = RunWith({"--version"});
    EXPECT_EQ(r.status, kExitOk);
    EXPECT_EQ(r.out.rfind("ostravel-ctl ", 0), 0u);
    EXPECT_NE(r.out, "ostravel-ctl unknown\n");
}

TEST(CtlCommandLine, NoPasswordAnywhereIsRefusedBeforeConnecting) {
    testing::FakeServiceServer server;
    const std::string at = "127.0.0.1:" + std::to_string(server.Port());
    RunResult r = RunWith({"--user", "dj", "--server", at, "status"}, std::nullopt);
    EXPECT_EQ(r.status, kExitCredentials);
    EXPECT_EQ(r.err, "ostravel-ctl: no password: use --password-file FILE or set OSTRAVEL_PASSWORD\n");
    r = RunWith({"--user", "dj", "--server", at, "status"}, "");
    EXPECT_EQ(r.status, kExitCredentials);
    // Too long to keep, or too long for a request together: refused, never cut short and sent.
    r = RunWith({"--user", "dj", "--server", at, "status"}, std::string(100, 'p'));
    EXPECT_EQ(r.status, kExitCredentials);
    EXPECT_EQ(r.err, "ostravel-ctl: the password is longer than 99 characters\n");
    r = RunWith({"--user", std::string(99, 'u'), "--server", at, "autodj", "reload"}, std::string(99, 'p'));
    EXPECT_EQ(r.status, kExitCredentials);
    EXPECT_EQ(r.err,
              "ostravel-ctl: the user name and password are too long together for a 256-byte request\n");
    EXPECT_EQ(server.Accepted(), 0);
}

TEST(CtlPasswordFile, OnlyAPrivateRegularFileIsRead) {
#ifdef _WIN32
    if (UnderWine())
        GTEST_SKIP() << "Wine derives a file's ACL from its POSIX mode (scripts/windows-smoke sets that)";
#endif
    TempDir dir;
    std::string password, error;
    EXPECT_TRUE(ReadPasswordFile(dir.Write("ok", "s3cret\nsecond line\n", 0600), password, error)) << error;
    EXPECT_EQ(password, "s3cret");
    EXPECT_TRUE(ReadPasswordFile(dir.Write("crlf", "with blanks \r\n", 0400), password, error)) << error;
    EXPECT_EQ(password, "with blanks ");
    EXPECT_TRUE(ReadPasswordFile(dir.Write("noeol", "last", 0600), password, error)) << error;
    EXPECT_EQ(password, "last");

    for (const mode_t mode : {0644, 0640, 0604, 0620, 0602, 0660}) {
        SCOPED_TRACE(mode);
        const std::string file = dir.Write("open" + std::to_string(mode), "s3cret\n", mode);
        password.clear();
        EXPECT_FALSE(ReadPasswordFile(file, password, error));
        EXPECT_EQ(password, "");
        EXPECT_NE(error.find("may be read or written by others"), std::string::npos) << error;
        EXPECT_NE(error.find(PrivateAdvice(file)), std::string::npos) << error;
    }
    EXPECT_FALSE(ReadPasswordFile(dir.Write("empty", "\n", 0600), password, error));
    EXPECT_NE(error.find("is empty"), std::string::npos);
    EXPECT_FALSE(ReadPasswordFile(dir.Path().string(), password, error));
    EXPECT_NE(error.find("not a regular file"), std::string::npos);
    EXPECT_FALSE(ReadPasswordFile((dir.Path() / "missing").string(), password, error));
    EXPECT_NE(error.find("cannot open"), std::string::npos);
}

TEST(CtlPasswordFile, AFileOthersMayReadStopsTheRunBeforeConnecting) {
    testing::FakeServiceServer server;
    TempDir dir;
    const std::string file = dir.Write("pw", "s3cret\n", 0644);
    const RunResult r = RunWith({"--user", "dj", "--password-file", file, "--server",
                                 "127.0.0.1:" + std::to_string(server.Port()), "status"},
                                "from-the-environment");
    EXPECT_EQ(r.status, kExitCredentials);
#ifdef _WIN32
    const std::string who = "Everyone";
#else
    const std::string who = "mode 0644";
#endif
    EXPECT_EQ(r.err, "ostravel-ctl: the password file " + file + " may be read or written by others (" + who +
                         "); " + PrivateAdvice(file) + "\n");
    EXPECT_EQ(server.Accepted(), 0);
}

TEST(CtlWatch, TheChangeCommandGetsTheChangeButNeverThePassword) {
#ifdef _WIN32
    GTEST_SKIP() << "watch is not built for Windows (it waits for signals and spawns the POSIX way)";
#else
    const std::vector<std::string> environment = ChildEnvironment(
        {"PATH=/bin", "OSTRAVEL_PASSWORD=s3cret", "OSTRAVEL_STATE=stale", "OSTRAVEL_PASSWORDS=kept"},
        {{"OSTRAVEL_STATE", "on-air"}, {"OSTRAVEL_PREVIOUS", ""}});
    EXPECT_EQ(environment, (std::vector<std::string>{"PATH=/bin", "OSTRAVEL_PASSWORDS=kept",
                                                     "OSTRAVEL_STATE=on-air", "OSTRAVEL_PREVIOUS="}));
#endif
}

// history only reads: a damaged file is a failure of its own and stays where it is, for the
// program that writes it to set aside.
TEST(CtlHistory, ADamagedFileIsReportedAndLeftAlone) {
    TempDir dir;
#ifdef _WIN32
    constexpr char kStateHome[] = "LOCALAPPDATA";
#else
    constexpr char kStateHome[] = "XDG_STATE_HOME";
#endif
    const char* before = std::getenv(kStateHome);
    const std::string saved = before != nullptr ? before : "";
    SetVariable(kStateHome, dir.Path().string());
    RunResult r = RunWith({"--user", "dj", "history", "--csv"}, std::nullopt);
    EXPECT_EQ(r.status, kExitOk) << r.err;
    EXPECT_EQ(r.out, "start,end,seconds,state,label\r\n");
    fs::create_directories(dir.Path() / "zandrel");
    dir.Write("zandrel/history.sqlite", std::string(4096, 'x'), 0600);
    r = RunWith({"--user", "dj", "history"}, std::nullopt);
    SetVariable(kStateHome, saved);
    EXPECT_EQ(r.status, kExitLocal);
    EXPECT_EQ(r.out, "");
    EXPECT_NE(r.err.find("history.sqlite"), std::string::npos) << r.err;
    EXPECT_EQ(fs::file_size(dir.Path() / "zandrel/history.sqlite"), 4096u);
    EXPECT_EQ(std::distance(fs::directory_iterator(dir.Path() / "zandrel"), {}), 1);
}

TEST(CtlOutput, JsonStringsAreEscapedAndAlwaysValid) {
    EXPECT_EQ(JsonString("plain"), "\"plain\"");
    EXPECT_EQ(JsonString("a\"b\\c/d"), "\"a\\\"b\\\\c/d\"");
    EXPECT_EQ(JsonString("l1\r\nl2\tx"), "\"l1\\r\\nl2\\tx\"");
    EXPECT_EQ(JsonString(std::string("\x01\x1f\x7f", 3)), "\"\\u0001\\u001f\\u007f\"");
    EXPECT_EQ(JsonString(std::string("nul\0x", 5)), "\"nul\\u0000x\"");
    EXPECT_EQ(JsonString("caf\xC3\xA9 \xE2\x82\xAC \xF0\x9F\x8E\xB5"),
              "\"caf\xC3\xA9 \xE2\x82\xAC \xF0\x9F\x8E\xB5\"");
    // Not UTF-8: a lone Latin-1 byte, a cut sequence, an overlong form, a surrogate.
    EXPECT_EQ(JsonString("caf\xE9"), "\"caf\xEF\xBF\xBD\"");
    EXPECT_EQ(JsonString("\xE2\x82"), "\"\xEF\xBF\xBD\xEF\xBF\xBD\"");
    EXPECT_EQ(JsonString("\xC0\xAF"), "\"\xEF\xBF\xBD\xEF\xBF\xBD\"");
    EXPECT_EQ(JsonString("\xED\xA0\x80"), "\"\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD\"");
}

TEST(CtlOutput, SettingsStayOneLineEach) {
    AutoTVSettings tv;
    tv.streamTitle = "Two\nlines\r";
    tv.playListList = "a.lst;;b.lst;";
    const std::string text = FormatSettings(AutoTVSettingLines(tv));
    EXPECT_NE(text.find("streamTitle=Two?lines?\n"), std::string::npos) << text;
    EXPECT_NE(text.find("playListList=a.lst;b.lst\n"), std::string::npos) << text;
    const std::string json = FormatSettingsJson(AutoTVSettingLines(tv));
    EXPECT_NE(json.find("\"streamTitle\": \"Two\\nlines\\r\""), std::string::npos) << json;
    EXPECT_NE(json.find("\"playListList\": [\"a.lst\", \"b.lst\"]"), std::string::npos) << json;
}

TEST(CtlOutput, StatusFieldsAndTextLines) {
    const std::string box = "Server Status: Server is currently offline\r\nStream IP: x\r\n\r\n";
    EXPECT_EQ(FormatStatus(box), "Server Status: Server is currently offline\nStream IP: x\n");
    SessionState session;
    session.streamIp = "1.2.3.4";
    session.streamPort = "8000";
    const std::string json = FormatStatusJson(box, 0, session);
    EXPECT_NE(json.find("\"state\": \"down\""), std::string::npos);
    EXPECT_NE(json.find("\"serverUp\": false"), std::string::npos);
    EXPECT_NE(json.find("\"Server Status\": \"Server is currently offline\""), std::string::npos);
    EXPECT_EQ(AsLines("a\r\nb\rc"), "a\nb\nc\n");
    EXPECT_EQ(OneLine("a\r\n\r\nb\n"), "a b");
}

}  // namespace
}  // namespace ostravel::ctl
