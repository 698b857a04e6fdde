// Addresses of the host's web portal and of the stream's tune-in links, and the commands that open
// them. Everything that comes from the user or the server is percent-encoded where it goes into an
// address, so that "&", "#", blanks or quotes in a user name cannot change what the portal reads.
#pragma once

#include <string>
#include <string_view>

#include "platform/translate.h"
#include "session/sessiondocument.h"

namespace ostravel {

class SessionDocument;
class UrlOpener;
struct SessionState;

inline constexpr const char* kTuneInErrorMessage = N_("Error opening Tune-In Link");
// A page that could not be opened: this, ": " and the reason.
inline constexpr const char* kWebPageErrorMessage = N_("Error opening web page");
inline constexpr const char* kInvalidLoginMessage =
    N_("Invalid login. Please login with a valid user name and password");
inline constexpr const char* kServerLogsTitle = N_("Shoutcast Server Logs");

// RFC 3986: unreserved characters (ALPHA, DIGIT, "-", ".", "_", "~") stay, every other byte
// becomes "%XX" with upper-case hex digits.
std::string PercentEncode(std::string_view text);

// Each address is on the portal `host` (host[:port], a setting; the session's portalHost). The
// built-in one where none is given.
// "http://" + host + path.
std::string PortalAddress(std::string_view path, std::string_view host = kBuiltInPortalHost);
// The portal's base page, "/shoutcast".
std::string PortalBasePage(std::string_view host = kBuiltInPortalHost);
// The page that logs the account in and forwards to `redirect` (none when empty).
std::string PortalLoginAddress(std::string_view userName, std::string_view password,
                               std::string_view redirect = {}, std::string_view host = kBuiltInPortalHost);
std::string TuneInAddress(std::string_view fileType, std::string_view streamIp, std::string_view streamPort,
                          std::string_view host = kBuiltInPortalHost);
// The server log page shown in the embedded browser.
std::string ServerLogsAddress(std::string_view userName, std::string_view password,
                              std::string_view host = kBuiltInPortalHost);

// What the logo opens: the portal logged in, or its base page while logged out.
std::string LogoAddress(const SessionState& session);
// What a portal page, fixed page or tune-in command opens for `session`; empty when the command is
// none of those, or is a tune-in link while logged out.
std::string WebCommandAddress(int commandId, const SessionState& session);

// Runs a portal page, fixed page or tune-in command; false when `commandId` is none of those.
// A tune-in link while logged out writes kTuneInErrorMessage instead of opening anything. An address
// the opener cannot open writes kTuneInErrorMessage or kWebPageErrorMessage with the reason.
bool RunWebCommand(SessionDocument& doc, int commandId, UrlOpener& opener);
void OpenLogoPage(SessionDocument& doc, UrlOpener& opener);
// The server logs in the user's browser, for a program built without the embedded one: logged out,
// kInvalidLoginMessage; an address the opener cannot open, kWebPageErrorMessage with the reason.
void OpenServerLogsPage(SessionDocument& doc, UrlOpener& opener);

}  // namespace ostravel
