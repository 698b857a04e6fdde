// Values a settings dialog may not send. A set request is "name=value" items joined by "|", and the
// host turns every "+" back into a blank, so those three characters would corrupt the settings. The
// host also echoes the values in its later replies, which the receiver routes by keyword: a value
// holding a keyword would send the next settings reply to the wrong place.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "config/dialogmodel.h"

namespace ostravel {

// The first character or routing keyword in value that may not travel in a settings value (the one
// that starts earliest; of two starting at the same place, the shorter), or nothing.
std::optional<std::string_view> FindForbiddenText(std::string_view value);

struct SettingsProblem {
    int controlId = 0;
    std::string field;      // as the dialog labels it, e.g. "Stream Title"
    std::string forbidden;  // the character or phrase found
};

// The first value of the edited dialog that may not be sent, in the dialog's order, or nothing.
// Every edit counts. Combos and lists cannot be typed in and may hold the host's own values: they
// count only when their text is no longer the one the dialog opened with.
std::optional<SettingsProblem> FindSettingsProblem(const DialogModel& edited, const DialogModel& opened,
                                                   const DialogLayout& layout);

// The message list line for a refused Save.
std::string SettingsProblemMessage(const SettingsProblem& problem);

}  // namespace ostravel
