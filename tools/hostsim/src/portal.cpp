#include "portal.h"

#include <algorithm>
#include <charconv>

namespace hostsim {

namespace {

const char* reasonFor(int status) {
    switch (status) {
        case 200:
            return "OK";
        case 400:
            return "Bad Request";
        case 403:
            return "Forbidden";
        case 404:
            return "Not Found";
        case 405:
            return "Method Not Allowed";
        default:
            return "Error";
    }
}

bool startsWith(std::string_view text, std::string_view head) {
    return text.size() >= head.size() && text.substr(0, head.size()) == head;
}

int hexValue(char ch) {
    if (ch >= '0' && ch <= '9') {
        return ch - '0';
    }
    if (ch >= 'a' && ch <= 'f') {
        return ch - 'a' + 10;
    }
    if (ch >= 'A' && ch <= 'F') {
        return ch - 'A' + 10;
    }
    return -1;
}

HttpResponse page(int status, std::string_view title, std::string_view bodyHtml) {
    HttpResponse response;
    response.status = status;
    response.body = "<!DOCTYPE html>\n<html><head><meta charset=\"utf-8\"><title>" + htmlEscape(title) +
                    "</title></head>\n<body>\n<h1>" + htmlEscape(title) + "</h1>\n" + std::string(bodyHtml) +
                    "\n<p><a href=\"/shoutcast\">Client area</a> | <a href=\"/shoutcast/faq.php\">FAQ</a> | "
                    "<a href=\"/shoutcast/contacts.php\">Contacts</a></p>\n</body></html>\n";
    return response;
}

std::string find(const std::vector<std::pair<std::string, std::string>>& items, std::string_view name,
                 bool* present = nullptr) {
    for (const auto& [key, value] : items) {
        if (key == name) {
            if (present != nullptr) {
                *present = true;
            }
            return value;
        }
    }
    return {};
}

// User names and passwords arrive unescaped from the client, so "&" and "=" may be part of them: when
// splitting the query finds no account, the raw and the decoded query are matched whole against
// `head` + user + `middle` + password, followed by the end or by `tailMarker`.
std::optional<int> matchAccount(const Host& host, std::string_view query, std::string_view head,
                                std::string_view middle, std::string_view tailMarker, std::string& tail) {
    const std::string decoded = percentDecode(query);
    for (const std::string_view candidate : {query, std::string_view(decoded)}) {
        for (int a = 0; a < static_cast<int>(host.accounts().size()); ++a) {
            const Account& acct = host.accounts()[a];
            const std::string expected = std::string(head) + acct.user + std::string(middle) + acct.password;
            if (!startsWith(candidate, expected)) {
                continue;
            }
            const auto rest = candidate.substr(expected.size());
            if (rest.empty()) {
                tail.clear();
                return a;
            }
            if (!tailMarker.empty() && startsWith(rest, tailMarker)) {
                tail = std::string(rest.substr(tailMarker.size()));
                return a;
            }
        }
    }
    return std::nullopt;
}

bool validStreamHost(std::string_view host) {
    if (host.empty() || host.size() > 253) {
        return false;
    }
    for (const char ch : host) {
        if (!((ch >= 'a' && ch <= 'z') || (ch >= 'A' && ch <= 'Z') || (ch >= '0' && ch <= '9') || ch == '.' ||
              ch == '-')) {
            return false;
        }
    }
    return true;
}

bool validPort(std::string_view port) {
    unsigned value = 0;
    const auto [end, ec] = std::from_chars(port.data(), port.data() + port.size(), value);
    return !port.empty() && ec == std::errc() && end == port.data() + port.size() && value >= 1 &&
           value <= 65535;
}

HttpResponse tuneIn(const std::vector<std::pair<std::string, std::string>>& items) {
    const std::string type = find(items, "file");
    const std::string host = find(items, "host");
    const std::string port = find(items, "port");
    if (!validStreamHost(host) || !validPort(port)) {
        return page(400, "No stream address",
                    "<p>The tune-in link carries no valid stream address and port. Ask for the server "
                    "status first.</p>");
    }
    const std::string url = "http://" + host + ":" + port + "/";
    const std::string title = "Ostravel stream at " + host + ":" + port;
    HttpResponse response;
    if (type == "pls") {
        response.contentType = "audio/x-scpls";
        response.body = "[playlist]\r\nNumberOfEntries=1\r\nFile1=" + url + "\r\nTitle1=" + title +
                        "\r\nLength1=-1\r\nVersion=2\r\n";
    } else if (type == "m3u") {
        response.contentType = "audio/x-mpegurl";
        response.body = "#EXTM3U\r\n#EXTINF:-1," + title + "\r\n" + url + "\r\n";
    } else if (type == "asx") {
        response.contentType = "video/x-ms-asf";
        response.body = "<asx version=\"3.0\">\r\n<title>" + title + "</title>\r\n<entry>\r\n<title>" +
                        title + "</title>\r\n<ref href=\"" + url + "\"/>\r\n</entry>\r\n</asx>\r\n";
    } else if (type == "ram") {
        response.contentType = "audio/x-pn-realaudio";
        response.body = url + "\r\n";
    } else {
        return page(400, "Unknown file type", "<p>Tune-in files come as pls, m3u, asx or ram.</p>");
    }
    response.headers.emplace_back("Content-Disposition", "attachment; filename=\"listen." + type + "\"");
    return response;
}

HttpResponse portalPage(const Account& account, std::string_view which) {
    const std::string who = htmlEscape(account.user);
    if (which.empty()) {
        return page(200, "Client area",
                    "<p>Welcome back, " + who +
                        ".</p>\n<ul><li><a href=\"/shoutcast/faq.php\">"
                        "FAQ</a></li></ul>");
    }
    if (which == "scbilling.php") {
        return page(200, "Billing information",
                    "<p>Account " + who + ": " + std::to_string(account.maxBitrate) + " kbps plan" +
                        (account.demo ? " (demo, free of charge)" : "") + ".</p>\n<p>No open invoices.</p>");
    }
    if (which == "scupgrade.php") {
        return page(
            200, "Upgrade Shoutcast",
            "<p>Account " + who + " streams at up to " + std::to_string(account.maxBitrate) +
                " kbps.</p>\n<ul><li>128 kbps</li><li>192 kbps</li><li>320 kbps with AutoTV</li></ul>");
    }
    if (which == "scupgradetv.php") {
        return page(200, "Upgrade Shoutcast TV",
                    "<p>Account " + who +
                        " has AutoTV.</p>\n<ul><li>More listeners</li><li>More storage for "
                        "videos</li></ul>");
    }
    if (which == "changeterm.php") {
        return page(200, "Change Term",
                    "<p>Account " + who +
                        " is billed monthly.</p>\n<ul><li>Monthly</li><li>Quarterly</li>"
                        "<li>Yearly</li></ul>");
    }
    return page(404, "Unknown page", "<p>There is no page " + htmlEscape(which) + ".</p>");
}

// /hostsim/fault?set=SWITCHES[&live][&drop]: the switches first, so that "set=deaf&drop" leaves the
// dropped clients nowhere to connect to.
HttpResponse faultSwitch(const std::vector<std::pair<std::string, std::string>>& items,
                         const PortalControls& controls) {
    HttpResponse response;
    response.contentType = "text/plain; charset=utf-8";
    bool set = false;
    bool live = false;
    bool drop = false;
    const std::string switches = find(items, "set", &set);
    find(items, "live", &live);
    find(items, "drop", &drop);
    if (!set && !drop) {
        response.status = 400;
        response.body = "usage: /hostsim/fault?set=SWITCHES[&live][&drop] or /hostsim/fault?drop\n";
        return response;
    }
    if (set) {
        std::string result;
        if (!controls.setFaults || !controls.setFaults(switches, live, result)) {
            response.status = 400;
            response.body = "refused: " + result + "\n";
            return response;
        }
        response.body =
            std::string(live ? "faults for new and open connections: " : "faults for new connections: ") +
            result + "\n";
    }
    if (drop) {
        if (!controls.dropConnections) {
            response.status = 400;
            response.body += "refused: cannot drop connections here\n";
            return response;
        }
        response.body += "dropped " + std::to_string(controls.dropConnections()) + " open connection(s)\n";
    }
    return response;
}

}  // namespace

std::string HttpResponse::serialize() const {
    std::string out = "HTTP/1.0 " + std::to_string(status) + " " + reasonFor(status) + "\r\n";
    out += "Content-Type: " + contentType + "\r\n";
    out += "Content-Length: " + std::to_string(body.size()) + "\r\n";
    for (const auto& [name, value] : headers) {
        out += name + ": " + value + "\r\n";
    }
    out += "Connection: close\r\n\r\n";
    return out + body;
}

std::string percentDecode(std::string_view text) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '%' && i + 2 < text.size() && hexValue(text[i + 1]) >= 0 &&
            hexValue(text[i + 2]) >= 0) {
            out += static_cast<char>(hexValue(text[i + 1]) * 16 + hexValue(text[i + 2]));
            i += 2;
        } else {
            out += text[i];
        }
    }
    return out;
}

std::vector<std::pair<std::string, std::string>> parseQuery(std::string_view query) {
    std::vector<std::pair<std::string, std::string>> items;
    while (!query.empty()) {
        const auto amp = query.find('&');
        const auto item = query.substr(0, amp);
        query = amp == std::string_view::npos ? std::string_view() : query.substr(amp + 1);
        if (item.empty()) {
            continue;
        }
        const auto eq = item.find('=');
        items.emplace_back(percentDecode(item.substr(0, eq)),
                           eq == std::string_view::npos ? std::string() : percentDecode(item.substr(eq + 1)));
    }
    return items;
}

std::string htmlEscape(std::string_view text) {
    std::string out;
    for (const char ch : text) {
        switch (ch) {
            case '&':
                out += "&amp;";
                break;
            case '<':
                out += "&lt;";
                break;
            case '>':
                out += "&gt;";
                break;
            case '"':
                out += "&quot;";
                break;
            case '\'':
                out += "&#39;";
                break;
            default:
                out += ch;
        }
    }
    return out;
}

HttpResponse handlePortalRequest(Host& host, std::string_view method, std::string_view target,
                                 const PortalControls& controls) {
    if (method != "GET") {
        HttpResponse response = page(405, "Method not allowed", "<p>Only GET is served here.</p>");
        response.headers.emplace_back("Allow", "GET");
        return response;
    }
    if (startsWith(target, "http://")) {
        const auto slash = target.find('/', 7);
        target = slash == std::string_view::npos ? std::string_view("/") : target.substr(slash);
    }
    const auto mark = target.find('?');
    const std::string path = percentDecode(target.substr(0, mark));
    const std::string_view query =
        mark == std::string_view::npos ? std::string_view() : target.substr(mark + 1);
    const auto items = parseQuery(query);

    if (path == "/shoutcast" || path == "/shoutcast/" || path == "/shoutcast/index.php") {
        return page(200, "Shoutcast hosting",
                    "<p>Radio and TV hosting. <a href=\"/shoutcast/login.php\">Log in</a> to manage your "
                    "account.</p>");
    }
    if (path == "/shoutcast/faq.php") {
        return page(
            200, "Frequently asked questions",
            "<dl><dt>How do I start my server?</dt><dd>Log in with the desktop program and choose "
            "Server, Start.</dd>\n<dt>Why is my stream down?</dt><dd>The server is up but nothing feeds "
            "it: start the AutoDJ or connect a DJ.</dd>\n<dt>Which bitrates can I use?</dt><dd>Up to the "
            "bitrate of your plan.</dd></dl>");
    }
    if (path == "/shoutcast/contacts.php") {
        return page(200, "Contacts",
                    "<p>Support: support@example.com</p>\n<p>Billing: billing@example.com</p>\n"
                    "<p>Phone: +1 555 0100 (Mon-Fri, 9-17)</p>");
    }
    if (path == "/shoutcast/login.php") {
        if (find(items, "action") != "login") {
            return page(
                200, "Log in",
                "<form method=\"get\" action=\"/shoutcast/login.php\"><input type=\"hidden\" "
                "name=\"action\" value=\"login\">User <input name=\"loginform\"> Password <input "
                "type=\"password\" name=\"passwordform\"> <input type=\"submit\" value=\"Log in\"></form>");
        }
        std::string redirect = find(items, "redirect");
        auto account = host.findAccount(find(items, "loginform"), find(items, "passwordform"));
        if (!account) {
            account = matchAccount(host, query,
                                   "action=login&loginform=", "&passwordform=", "&redirect=", redirect);
            redirect = percentDecode(redirect);
        }
        if (!account) {
            return page(403, "Login failed", "<p>Invalid login. Check your user name and password.</p>");
        }
        return portalPage(host.accounts()[*account], redirect);
    }
    if (path == "/shoutcast/scbilling.php" || path == "/shoutcast/scupgrade.php" ||
        path == "/shoutcast/scupgradetv.php" || path == "/shoutcast/changeterm.php") {
        return page(403, "Please log in",
                    "<p>Log in first: <a href=\"/shoutcast/login.php\">log in</a>.</p>");
    }
    if (path == "/shoutcast/Ostravel/tuneinlinks.php") {
        return tuneIn(items);
    }
    if (path == "/shoutcast/Ostravel/sclogs.php") {
        auto account = host.findAccount(find(items, "loginsc"), find(items, "passwordsc"));
        std::string unused;
        if (!account) {
            account = matchAccount(host, query, "loginsc=", "&passwordsc=", "", unused);
        }
        if (!account) {
            return page(403, "Shoutcast Server Logs", "<p>Invalid login. The server log is not shown.</p>");
        }
        const std::string log = host.serverLog(*account);
        return page(200, "Shoutcast Server Logs",
                    "<p>Account " + htmlEscape(host.accounts()[*account].user) + "</p>\n<pre>" +
                        htmlEscape(log.empty() ? "(the log is empty)" : log) + "</pre>");
    }
    if (path == "/hostsim/service") {
        // A test switch like the faults: what the host's operator does to an account's services,
        // e.g. /hostsim/service?user=demo&do=server_stop. The next status report shows it.
        HttpResponse response;
        response.contentType = "text/plain; charset=utf-8";
        const std::string user = find(items, "user");
        const std::string what = find(items, "do");
        if (user.empty() || what.empty()) {
            response.status = 400;
            response.body =
                "usage: /hostsim/service?user=NAME&do=server_start|server_stop|server_restart|"
                "dj_start|dj_stop|dj_restart|tv_start|tv_stop|tv_restart\n";
        } else if (const auto reply = host.operate(user, what)) {
            response.body = *reply + "\n";
        } else {
            response.status = 400;
            response.body = "refused: no such user or operation\n";
        }
        return response;
    }
    if (path == "/hostsim/fault") {
        return faultSwitch(items, controls);
    }
    return page(404, "Not found", "<p>There is no such page.</p>");
}

std::string maskQueryForLog(std::string_view requestLine) {
    std::string out(requestLine);
    for (const std::string_view marker : {"passwordform=", "passwordsc="}) {
        auto at = out.find(marker);
        while (at != std::string::npos) {
            const auto start = at + marker.size();
            // Passwords may hold "&", so the item runs to the next known item or the protocol word.
            const auto version = out.rfind(" HTTP/");
            auto end = std::min(out.find("&redirect=", start), version < start ? out.size() : version);
            end = std::min(end, out.size());
            out.replace(start, end - start, "*****");
            at = out.find(marker, start + 5);
        }
    }
    return out;
}

}  // namespace hostsim
