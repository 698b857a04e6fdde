#include "protocol/configflows.h"

#include "app/zandreldoc.h"

namespace ostravel {

void EditServerConfig(CzandrelDoc&, std::stop_token) {}
void EditAutoDJConfig(CzandrelDoc&, std::stop_token) {}
void EditAutoTVConfig(CzandrelDoc&, const std::string&, std::stop_token) {}

}  // namespace ostravel
