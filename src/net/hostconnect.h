// Connecting to a host as the user wrote it: a name is looked up (getaddrinfo), and each of its
// addresses is tried in turn until one answers, all within one time-out.
#pragma once

#include <stop_token>

#include "net/blockingsocket.h"
#include "net/hostaddress.h"

namespace ostravel {

// A connected stream socket to `host`, within `seconds` for the look-up and every attempt together
// (negative: no limit), given up as soon as `cancel` is requested. Throws BlockingSocketException:
// "Resolve" when the name has no address (its code the resolver's), otherwise the last address's
// "Connect" failure (ETIMEDOUT when the time ran out, ECANCELED when cancelled, as
// BlockingSocket::Connect). Nothing is left open on failure. The look-up runs on a thread of its own,
// so a resolver that hangs never holds the caller beyond the time-out.
BlockingSocket ConnectToHost(const HostAddress& host, int seconds, std::stop_token cancel = {});

}  // namespace ostravel
