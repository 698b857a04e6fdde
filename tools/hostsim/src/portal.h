// The host's web portal: a handful of pages over HTTP/1.0, answered from the request target alone.
#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "host.h"

namespace hostsim {

struct HttpResponse {
    int status = 200;
    std::string contentType = "text/html; charset=utf-8";
    std::string body;
    std::vector<std::pair<std::string, std::string>> headers;

    std::string serialize() const;
};

std::string percentDecode(std::string_view text);
std::vector<std::pair<std::string, std::string>> parseQuery(std::string_view query);
std::string htmlEscape(std::string_view text);

// Test switches reached through the portal; either may be null, and is then refused.
struct PortalControls {
    // Applies fault switches to new connections, and with `live` to the open ones too; false with a
    // reason when refused.
    std::function<bool(std::string_view switches, bool live, std::string& result)> setFaults;
    // Closes every open service connection; how many there were.
    std::function<std::size_t()> dropConnections;
};

HttpResponse handlePortalRequest(Host& host, std::string_view method, std::string_view target,
                                 const PortalControls& controls);

// The request line as the console may show it: password items masked.
std::string maskQueryForLog(std::string_view requestLine);

}  // namespace hostsim
