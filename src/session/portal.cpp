#include "session/portal.h"

#include "platform/openurl.h"
#include "protocol/commands.h"
#include "session/sessiondocument.h"

namespace ostravel {

namespace {
constexpr char kUpgradeVideoPage[] = "scupgradetv.php";

bool IsUnreserved(unsigned char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' ||
           c == '.' || c == '_' || c == '~';
}
}  // namespace

std::string PercentEncode(std::string_view text) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string out;
    out.reserve(text.size() * 3);
    for (const char ch : text) {
        const auto c = static_cast<unsigned char>(ch);
        if (IsUnreserved(c)) {
            out += ch;
        } else {
            out += '%';
            out += kHex[c >> 4];
            out += kHex[c & 0x0F];
        }
    }
    return out;
}

std::string PortalAddress(std::string_view path, std::string_view host) {
    std::string address = "http://";
    address += host;
    address += path;
    return address;
}

std::string PortalBasePage(std::string_view host) { return PortalAddress("/shoutcast", host); }

std::string PortalLoginAddress(std::string_view userName, std::string_view password,
                               std::string_view redirect, std::string_view host) {
    std::string address = PortalAddress("/shoutcast/login.php?action=login&loginform=", host);
    address += PercentEncode(userName);
    address += "&passwordform=";
    address += PercentEncode(password);
    if (!redirect.empty()) {
        address += "&redirect=";
        address += redirect;
    }
    return address;
}

std::string TuneInAddress(std::string_view fileType, std::string_view streamIp, std::string_view streamPort,
                          std::string_view host) {
    std::string address = PortalAddress("/shoutcast/Ostravel/tuneinlinks.php?file=", host);
    address += fileType;
    address += "&host=";
    address += PercentEncode(streamIp);
    address += "&port=";
    address += PercentEncode(streamPort);
    return address;
}

std::string ServerLogsAddress(std::string_view userName, std::string_view password, std::string_view host) {
    std::string address = PortalAddress("/shoutcast/Ostravel/sclogs.php?loginsc=", host);
    address += PercentEncode(userName);
    address += "&passwordsc=";
    address += PercentEncode(password);
    return address;
}

std::string LogoAddress(const SessionState& session) {
    return session.LoggedIn() ? PortalLoginAddress(session.userName, session.password, {}, session.portalHost)
                              : PortalBasePage(session.portalHost);
}

std::string WebCommandAddress(int commandId, const SessionState& session) {
    const CommandInfo* command = FindCommand(commandId);
    if (command == nullptr || command->detail == nullptr) return {};
    switch (command->kind) {
        case CommandKind::PortalPage: {
            const bool video = commandId == cmd::kUpgrade && session.highBitrate;
            return PortalLoginAddress(session.userName, session.password,
                                      video ? kUpgradeVideoPage : command->detail, session.portalHost);
        }
        case CommandKind::WebPage:
            return PortalAddress(command->detail, session.portalHost);
        case CommandKind::TuneIn:
            if (!session.LoggedIn()) return {};
            return TuneInAddress(command->detail, session.streamIp, session.streamPort, session.portalHost);
        default:
            return {};
    }
}

namespace {

// A failure to open goes to the top of the message list, naming what failed and why. It may come
// after the command has returned, from another thread; the document's calls are safe from any.
UrlOpenFailed ReportTo(SessionDocument& doc, const char* what) {
    return [&doc, what](const std::string& reason) {
        doc.InsertMessage(FillIn(Translated(N_("{1}: {2}")), {Translated(what), reason}));
    };
}

}  // namespace

bool RunWebCommand(SessionDocument& doc, int commandId, UrlOpener& opener) {
    const CommandInfo* command = FindCommand(commandId);
    if (command == nullptr) return false;
    if (command->kind != CommandKind::PortalPage && command->kind != CommandKind::WebPage &&
        command->kind != CommandKind::TuneIn) {
        return false;
    }
    const std::string address = WebCommandAddress(commandId, doc.Snapshot());
    if (address.empty()) {
        doc.InsertMessage(Translated(kTuneInErrorMessage));
        return true;
    }
    opener.Open(address, ReportTo(doc, command->kind == CommandKind::TuneIn ? kTuneInErrorMessage
                                                                            : kWebPageErrorMessage));
    return true;
}

void OpenLogoPage(SessionDocument& doc, UrlOpener& opener) {
    opener.Open(LogoAddress(doc.Snapshot()), ReportTo(doc, kWebPageErrorMessage));
}

void OpenServerLogsPage(SessionDocument& doc, UrlOpener& opener) {
    const SessionState session = doc.Snapshot();
    if (!session.LoggedIn()) {
        doc.InsertMessage(Translated(kInvalidLoginMessage));
        return;
    }
    opener.Open(ServerLogsAddress(session.userName, session.password, session.portalHost),
                ReportTo(doc, kWebPageErrorMessage));
}

}  // namespace ostravel
