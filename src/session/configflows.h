// Editing the hosted services' configurations: parse the reply into the settings record, show the
// dialog (holding the receiver until it closes), and on Save send the set request.
#pragma once

#include <stop_token>
#include <string>

namespace ostravel {

class SessionDocument;

void EditServerConfig(SessionDocument& doc, std::stop_token stop);
void EditAutoDJConfig(SessionDocument& doc, std::stop_token stop);
void EditAutoTVConfig(SessionDocument& doc, const std::string& reply, std::stop_token stop);

}  // namespace ostravel
