#include "protocol/replyroutes.h"

#include <algorithm>

namespace ostravel {

const ReplyRoute* FindReplyRoute(std::string_view reply) {
    for (const ReplyRoute& route : kReplyRoutes) {
        if (reply.find(route.keyword) != std::string_view::npos) return &route;
    }
    return nullptr;
}

bool IsLoginRefusal(std::string_view reply) {
    for (const std::string_view refusal : {"Failed login.", "Invalid login", "Account currently suspended"}) {
        if (reply.find(refusal) != std::string_view::npos) return true;
    }
    return false;
}

bool HasErrorKeyword(const ReplyRoute& route, std::string_view reply) {
    return std::any_of(route.errorKeywords.begin(), route.errorKeywords.end(), [&](std::string_view key) {
        return !key.empty() && reply.find(key) != std::string_view::npos;
    });
}

ReplyHandlerCall HandlerFor(const ReplyRoute& route, std::string_view reply) {
    return HasErrorKeyword(route, reply) ? &ReplyHandler::OnMessageListReply : route.handler;
}

}  // namespace ostravel
