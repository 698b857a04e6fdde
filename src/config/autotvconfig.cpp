#include "config/autotvconfig.h"

#include "config/settingsgrammar.h"

namespace ostravel {

namespace {

struct Key {
    std::string_view name;
    std::string AutoTVSettings::*field;
};

constexpr Key kKeys[] = {
    {"playListFile", &AutoTVSettings::playListFile},
    {"password", &AutoTVSettings::password},
    {"streamTitle", &AutoTVSettings::streamTitle},
    {"streamURL", &AutoTVSettings::streamURL},
    {"genre", &AutoTVSettings::genre},
    {"autoReconnect", &AutoTVSettings::autoReconnect},
    {"bitrate", &AutoTVSettings::bitrate},
    {"public", &AutoTVSettings::public_},
    {"aim", &AutoTVSettings::aim},
    {"icq", &AutoTVSettings::icq},
    {"irc", &AutoTVSettings::irc},
    {"playListList", &AutoTVSettings::playListList},
};

void AppendItem(std::string& out, std::string_view name, std::string_view value) {
    out.append(name).append(value).append("|");
}

ComboModel MakeCombo(int id, const std::string& current) {
    ComboModel combo{id, {"Yes", "No"}, -1};
    SelectOrKeep(combo, current);
    return combo;
}

}  // namespace

bool ParseAutoTVConfig(AutoTVSettings& settings, std::string_view reply) {
    bool anyItem = false;
    for (std::string_view item : SplitAll(reply, '|')) {
        if (item.empty()) {
            continue;
        }
        anyItem = true;
        const std::size_t eq = item.find('=');
        const std::string_view name = item.substr(0, eq);
        std::string_view value;
        if (eq != std::string_view::npos) {
            // All "=" signs after the name are skipped: "genre==Pop" is Pop.
            const std::size_t start = item.find_first_not_of('=', eq);
            if (start != std::string_view::npos) {
                value = item.substr(start);
                value = value.substr(0, value.find('='));
            }
        }
        for (const Key& key : kKeys) {
            if (name == key.name) {
                settings.*key.field = std::string(value);
            }
        }
    }
    return anyItem;
}

std::string BuildAutoTVSetRequest(const AutoTVSettings& s, const AutoDJSettings& autoDJ,
                                  std::string_view userName, std::string_view password) {
    std::string text = SetRequestHead("shoutcast_tv_setconfig,", userName, password);
    AppendItem(text, "Password=", s.password);
    AppendItem(text, "PlaylistFile=", s.playListFile);
    AppendItem(text, "AutoReconnect=", s.autoReconnect);
    AppendItem(text, "StreamTitle=", s.streamTitle);
    AppendItem(text, "StreamURL=", s.streamURL);
    AppendItem(text, "Genre=", s.genre);
    AppendItem(text, "Bitrate=", s.bitrate);
    AppendItem(text, "SampleRate=", autoDJ.sampleRate);
    AppendItem(text, "Public=", s.public_);
    AppendItem(text, "AIM=", s.aim);
    AppendItem(text, "ICQ=", s.icq);
    AppendItem(text, "IRC=", s.irc);
    return ReplaceBlanksWithPlus(std::move(text));
}

DialogModel MakeAutoTVConfigModel(const AutoTVSettings& s) {
    using namespace autotvdlg;
    DialogModel model;
    model.edits = {
        {kPassword, s.password},
        {kStreamTitle, s.streamTitle},
        {kStreamURL, s.streamURL},
        {kGenre, s.genre},
        {kBitrate, s.bitrate},
        {kAim, s.aim},
        {kIcq, s.icq},
        {kIrc, s.irc},
    };
    model.combos = {
        MakeCombo(kAutoReconnect, s.autoReconnect),
        MakeCombo(kPublic, s.public_),
        ChoosePlaylist(kPlayList, s.playListList, s.playListFile),
    };
    return model;
}

void SaveAutoTVConfigModel(const DialogModel& m, AutoTVSettings& s) {
    using namespace autotvdlg;
    s.password = m.Edit(kPassword).text;
    s.autoReconnect = m.Combo(kAutoReconnect).Text();
    s.playListFile = m.Combo(kPlayList).Text();
    s.streamTitle = m.Edit(kStreamTitle).text;
    s.streamURL = m.Edit(kStreamURL).text;
    s.genre = m.Edit(kGenre).text;
    s.bitrate = m.Edit(kBitrate).text;
    s.public_ = m.Combo(kPublic).Text();
    s.aim = m.Edit(kAim).text;
    s.icq = m.Edit(kIcq).text;
    s.irc = m.Edit(kIrc).text;
}

}  // namespace ostravel
