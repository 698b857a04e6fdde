#include "config/autodjconfig.h"

#include "config/settingsgrammar.h"

namespace ostravel {

namespace {

struct Key {
    std::string_view name;
    std::string AutoDJSettings::*field;
};

constexpr Key kKeys[] = {
    {"playListFile", &AutoDJSettings::playListFile},
    {"password", &AutoDJSettings::password},
    {"streamTitle", &AutoDJSettings::streamTitle},
    {"streamURL", &AutoDJSettings::streamURL},
    {"genre", &AutoDJSettings::genre},
    {"shuffle", &AutoDJSettings::shuffle},
    {"bitrate", &AutoDJSettings::bitrate},
    {"sampleRate", &AutoDJSettings::sampleRate},
    {"channels", &AutoDJSettings::channels},
    {"quality", &AutoDJSettings::quality},
    {"crossfadeMode", &AutoDJSettings::crossfadeMode},
    {"crossfadeLength", &AutoDJSettings::crossfadeLength},
    {"public", &AutoDJSettings::public_},
    {"aim", &AutoDJSettings::aim},
    {"icq", &AutoDJSettings::icq},
    {"irc", &AutoDJSettings::irc},
    {"maxBitrate", &AutoDJSettings::maxBitrate},
    {"playListList", &AutoDJSettings::playListList},
};

void AppendItem(std::string& out, std::string_view name, std::string_view value) {
    out.append(name).append(value).append("|");
}

// A coded combo: the code's word is selected; a word already in the record (from an earlier Save)
// selects itself; anything else is kept as it came.
ComboModel MakeCodedCombo(int id, std::vector<std::string> items, const std::string& word,
                          const std::string& current) {
    ComboModel combo{id, std::move(items), -1};
    SelectOrKeep(combo, word.empty() ? current : word);
    return combo;
}

}  // namespace

void ParseAutoDJConfig(AutoDJSettings& settings) {
    // Parse from a copy: the reply is itself a field of the record.
    const std::string reply = settings.djConfigReply;
    for (std::string_view item : SplitAll(reply, '|')) {
        const SettingItem parsed = SplitSettingItem(item);
        for (const Key& key : kKeys) {
            if (parsed.name == key.name) {
                settings.*key.field = std::string(parsed.value);
            }
        }
    }
}

std::string BuildAutoDJSetRequest(const AutoDJSettings& s, std::string_view userName,
                                  std::string_view password) {
    std::string text = SetRequestHead("shoutcast_dj_setconfig,", userName, password);
    AppendItem(text, "Password=", s.password);
    AppendItem(text, "PlaylistFile=", s.playListFile);
    AppendItem(text, "StreamTitle=", s.streamTitle);
    AppendItem(text, "StreamURL=", s.streamURL);
    AppendItem(text, "Genre=", s.genre);
    AppendItem(text, "Shuffle=", s.shuffle);
    AppendItem(text, "Bitrate=", s.bitrate);
    AppendItem(text, "SampleRate=", s.sampleRate);
    AppendItem(text, "Channels=", s.channels);
    AppendItem(text, "Quality=", s.quality);
    AppendItem(text, "CrossfadeMode=", s.crossfadeMode);
    AppendItem(text, "CrossfadeLength=", s.crossfadeLength);
    AppendItem(text, "Public=", s.public_);
    AppendItem(text, "AIM=", s.aim);
    AppendItem(text, "ICQ=", s.icq);
    AppendItem(text, "IRC=", s.irc);
    return ReplaceBlanksWithPlus(std::move(text));
}

std::string ShuffleOrPublicWord(std::string_view code) {
    if (code == "1") {
        return "Yes";
    }
    if (code == "0") {
        return "No";
    }
    return {};
}

std::string ChannelsWord(std::string_view code) {
    if (code == "1") {
        return "Mono";
    }
    if (code == "2") {
        return "Stereo";
    }
    return {};
}

std::string CrossfadeWord(std::string_view code) {
    if (code == "0") {
        return "None";
    }
    if (code == "1") {
        return "Fade In";
    }
    if (code == "2") {
        return "Fade Out";
    }
    return {};
}

std::vector<std::string> BitrateChoices(std::string_view maxBitrate) {
    struct Step {
        long threshold;
        const char* bitrate;
    };
    constexpr Step kSteps[] = {{320, "320000"}, {192, "192000"}, {128, "128000"}, {96, "96000"},
                               {64, "64000"},   {48, "48000"},   {32, "32000"},   {24, "24000"}};
    const long limit = ReadLeadingNumber(maxBitrate);
    std::vector<std::string> choices;
    // Largest first, each on top: the list ends up smallest first.
    for (const Step& step : kSteps) {
        if (limit >= step.threshold) {
            choices.insert(choices.begin(), step.bitrate);
        }
    }
    return choices;
}

int QualityPosition(std::string_view quality) {
    // Compared before the step down, so a number past the range of long cannot wrap.
    const long number = ReadLeadingNumber(quality);
    return (number >= 1 && number <= 10) ? static_cast<int>(number - 1) : -1;
}

DialogModel MakeAutoDJConfigModel(const AutoDJSettings& s) {
    using namespace autodjdlg;
    DialogModel model;
    model.edits = {
        {kPassword, s.password},
        {kStreamTitle, s.streamTitle},
        {kStreamURL, s.streamURL},
        {kGenre, s.genre},
        {kCrossfadeLength, s.crossfadeLength},
        {kAim, s.aim},
        {kIcq, s.icq},
        {kIrc, s.irc},
    };

    ComboModel bitrate{kBitrate, BitrateChoices(s.maxBitrate), -1};
    SelectOrKeep(bitrate, s.bitrate);

    // The resource sorts the two rates, so "22050" comes first.
    ComboModel sampleRate{kSampleRate, {"22050", "44100"}, -1};
    SelectOrKeep(sampleRate, s.sampleRate);

    // Quality is picked by position; a word or number off the list is kept as it came.
    ComboModel quality{kQuality, {"1", "2", "3", "4", "5", "6", "7", "8", "9", "10"}, -1};
    const int position = QualityPosition(s.quality);
    if (position >= 0) {
        quality.selection = position;
    } else {
        SelectOrKeep(quality, s.quality);
    }

    model.combos = {
        ChoosePlaylist(kPlayList, s.playListList, s.playListFile),
        MakeCodedCombo(kShuffle, {"Yes", "No"}, ShuffleOrPublicWord(s.shuffle), s.shuffle),
        std::move(bitrate),
        std::move(sampleRate),
        MakeCodedCombo(kChannels, {"Stereo", "Mono"}, ChannelsWord(s.channels), s.channels),
        std::move(quality),
        MakeCodedCombo(kCrossfadeMode, {"Fade Out", "Fade In", "None"}, CrossfadeWord(s.crossfadeMode),
                       s.crossfadeMode),
        MakeCodedCombo(kPublic, {"Yes", "No"}, ShuffleOrPublicWord(s.public_), s.public_),
    };
    return model;
}

void SaveAutoDJConfigModel(const DialogModel& m, AutoDJSettings& s) {
    using namespace autodjdlg;
    s.password = m.Edit(kPassword).text;
    s.playListFile = m.Combo(kPlayList).Text();
    s.streamTitle = m.Edit(kStreamTitle).text;
    s.streamURL = m.Edit(kStreamURL).text;
    s.genre = m.Edit(kGenre).text;
    s.shuffle = m.Combo(kShuffle).Text();
    s.bitrate = m.Combo(kBitrate).Text();
    s.sampleRate = m.Combo(kSampleRate).Text();
    s.channels = m.Combo(kChannels).Text();
    s.quality = m.Combo(kQuality).Text();
    s.crossfadeMode = m.Combo(kCrossfadeMode).Text();
    s.crossfadeLength = m.Edit(kCrossfadeLength).text;
    s.public_ = m.Combo(kPublic).Text();
    s.aim = m.Edit(kAim).text;
    s.icq = m.Edit(kIcq).text;
    s.irc = m.Edit(kIrc).text;
}

}  // namespace ostravel
