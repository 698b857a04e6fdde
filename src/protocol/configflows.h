// Editing the hosted services' configurations: parse the reply into the settings record, show the
// dialog (holding the receiver until it closes), and on Save send the set request.
#pragma once

#include <stop_token>
#include <string>

namespace ostravel {

class CzandrelDoc;

void EditServerConfig(CzandrelDoc& doc, std::stop_token stop);
void EditAutoDJConfig(CzandrelDoc& doc, std::stop_token stop);
void EditAutoTVConfig(CzandrelDoc& doc, const std::string& reply, std::stop_token stop);

}  // namespace ostravel
