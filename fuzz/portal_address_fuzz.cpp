// Portal, server log and tune-in addresses from any user name, password (each up to 99 bytes as the
// session keeps them) and stream address: no raw blank or control byte, exactly the expected
// parameters, and every value percent-decodes back to the bytes the session holds.
#include <fuzzer/FuzzedDataProvider.h>

#include <optional>

#include "session/portal.h"
#include "session/sessiondocument.h"
#include "fuzz_support.h"
#include "protocol/commands.h"

using namespace ostravel;

namespace {

using Params = std::vector<std::pair<std::string, std::string>>;

bool Unreserved(char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' || c == '.' ||
           c == '_' || c == '~';
}

// Strict decoding: only unreserved characters and "%XX" with upper-case hex digits.
std::optional<std::string> PercentDecode(std::string_view text) {
    auto hex = [](char c) { return c >= '0' && c <= '9' ? c - '0' : c >= 'A' && c <= 'F' ? c - 'A' + 10 : -1; };
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (Unreserved(text[i])) {
            out += text[i];
        } else if (text[i] == '%' && i + 2 < text.size() && hex(text[i + 1]) >= 0 && hex(text[i + 2]) >= 0) {
            out += static_cast<char>(hex(text[i + 1]) * 16 + hex(text[i + 2]));
            i += 2;
        } else {
            return std::nullopt;
        }
    }
    return out;
}

// The query of an address on the portal host, as raw name/value pairs.
Params Query(const std::string& address) {
    for (const char c : address) FUZZ_CHECK_MSG(c > ' ' && c < 0x7F, address);
    const std::string base = PortalAddress("/");
    FUZZ_CHECK(address.rfind(base, 0) == 0);
    Params params;
    const std::size_t question = address.find('?');
    if (question == std::string::npos) return params;
    for (std::string_view pair : SplitAll(std::string_view(address).substr(question + 1), '&')) {
        const std::size_t eq = pair.find('=');
        FUZZ_CHECK_MSG(eq != std::string_view::npos, address);
        params.emplace_back(pair.substr(0, eq), pair.substr(eq + 1));
    }
    return params;
}

// Checks the parameters' names in order and each encoded value against the bytes it must carry.
void Expect(const std::string& address, const Params& expected) {
    const Params params = Query(address);
    FUZZ_CHECK_MSG(params.size() == expected.size(), address);
    for (std::size_t i = 0; i < params.size(); ++i) {
        FUZZ_CHECK_MSG(params[i].first == expected[i].first, address);
        const std::optional<std::string> value = PercentDecode(params[i].second);
        FUZZ_CHECK_MSG(value && *value == expected[i].second, address);
    }
}

Params Login(const std::string& user, const std::string& password) {
    return {{"action", "login"}, {"loginform", user}, {"passwordform", password}};
}

// What the session keeps of a typed credential: all of it up to 99 bytes, else a prefix of at most
// 99 bytes that ends before a UTF-8 character would be cut (so at least 96).
bool KeptAsTyped(const std::string& kept, const std::string& typed) {
    if (typed.size() <= 99) return kept == typed;
    return kept.size() <= 99 && kept.size() >= 96 && typed.compare(0, kept.size(), kept) == 0;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider in(data, size);
    const std::string typedUser = in.ConsumeRandomLengthString(200);
    const std::string typedPassword = in.ConsumeRandomLengthString(200);
    const std::string ip = in.ConsumeRandomLengthString(100);
    const std::string port = in.ConsumeRemainingBytesAsString();

    SessionDocument doc;
    doc.SetCredentials(typedUser, typedPassword);
    doc.SetLoginId(7);
    doc.SetStreamIp(ip);
    doc.SetStreamPort(port);
    const SessionState session = doc.Snapshot();
    FUZZ_CHECK(KeptAsTyped(session.userName, typedUser) && KeptAsTyped(session.password, typedPassword));
    const std::string& user = session.userName;
    const std::string& password = session.password;

    FUZZ_CHECK(PercentDecode(PercentEncode(typedUser)) == typedUser);
    Expect(PortalLoginAddress(user, password), Login(user, password));
    Expect(ServerLogsAddress(user, password), {{"loginsc", user}, {"passwordsc", password}});
    Expect(TuneInAddress("pls", ip, port), {{"file", "pls"}, {"host", ip}, {"port", port}});
    Expect(LogoAddress(session), Login(user, password));
    for (const CommandInfo& command : CommandCatalogue()) {
        const std::string address = WebCommandAddress(command.id, session);
        if (address.empty()) continue;
        Params expected;
        if (command.kind == CommandKind::PortalPage) {
            expected = Login(user, password);
            expected.emplace_back("redirect", command.detail);
        } else if (command.kind == CommandKind::TuneIn) {
            expected = {{"file", command.detail}, {"host", ip}, {"port", port}};
        }
        Expect(address, expected);
    }
    return 0;
}
