#include "protocol/requests.h"

#include <algorithm>

#include "config/settingsgrammar.h"
#include "platform/translate.h"
#include "protocol/commands.h"

namespace ostravel {

std::vector<char> MakeBlock(std::string_view text, std::size_t size) {
    std::vector<char> block(size, '\0');
    std::copy_n(text.begin(), std::min(text.size(), size), block.begin());
    return block;
}

bool FitsBlock(std::string_view text, std::size_t blockSize) { return text.size() < blockSize; }

std::string LoginPart(std::string_view userName, std::string_view password) {
    std::string part = "?loginsc=";
    part += userName;
    part += "&passwordsc=";
    part += password;
    return part;
}

std::string ComposeCommandRequest(std::string_view word, std::string_view userName, std::string_view password,
                                  std::string_view actionVerb) {
    std::string text(word);
    text += LoginPart(userName, password);
    if (!actionVerb.empty()) {
        text += "&action=";
        text += actionVerb;
    }
    return text;
}

std::string ComposeCommandRequest(const CommandInfo& command, std::string_view userName,
                                  std::string_view password) {
    return ComposeCommandRequest(command.word ? command.word : "", userName, password,
                                 command.action ? command.action : "");
}

std::string FirstLoginBlockText(std::string_view userName) { return std::string(userName); }

std::string SecondLoginBlockText(std::string_view userName, std::string_view password) {
    std::string text = "Username,";
    text += userName;
    text += ',';
    text += password;
    return text;
}

std::string ComposeSettingsRequest(std::string_view word, std::string_view userName,
                                   std::string_view password, std::string_view settingsList) {
    std::string text(word);
    text += LoginPart(userName, password);
    text += "&config=";
    text += settingsList;
    return ReplaceBlanksWithPlus(std::move(text));
}

std::string SettingsTooLongMessage(std::size_t length) {
    return FillIn(
        Translated(N_("Settings not sent: they are {1} characters long, at most {2} fit in one request.")),
        {std::to_string(length), std::to_string(kSettingsBlockSize - 1)});
}

std::string CommandTooLongMessage(std::size_t length, std::size_t blockSize) {
    return FillIn(
        Translated(
            N_("Command not sent: the request is {1} characters long, at most {2} fit in one request.")),
        {std::to_string(length), std::to_string(blockSize > 0 ? blockSize - 1 : 0)});
}

}  // namespace ostravel
