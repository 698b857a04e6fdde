// The three settings grammars and the content reply over any reply text. For each record parsed:
//  - its set request starts with the right word, carries no blank, and has exactly the grammar's
//    items, in order, each holding the record's value (blanks as "+");
//  - reading that set request back gives the record again, and so does writing the record in the
//    reply grammar and parsing it;
//  - a dialog saved untouched gives back what the host sent (up to case where a list item matched)
//    and a second open and save changes nothing.
#include "config/autodjconfig.h"
#include "config/autotvconfig.h"
#include "config/serverconfig.h"
#include "fuzz_support.h"

using namespace ostravel;
using fuzz::Items;

namespace {

constexpr char kUser[] = "user", kPassword[] = "pw";

template <class Record>
struct Field {
    const char* setName;    // name in the set request
    const char* replyName;  // name in the settings reply; nullptr when the reply never sets it
    std::string Record::*value;
    bool Record::*enabled = nullptr;  // the switch of an optional setting
    const char* switchName = nullptr;
};

const std::vector<Field<ServerSettings>> kServerFields = {
    {"AdminPassword", "adminPassword", &ServerSettings::adminPassword},
    {"ConnectPassword", "connectPassword", &ServerSettings::connectPassword},
    {"MaxUser", "maxListeners", &ServerSettings::maxListeners},
    {"ShowLastSongs", "showLastSongs", &ServerSettings::showLastSongs},
    {"AutoDumpUsers", "autoDisconnectListener", &ServerSettings::autoDisconnectListener},
    {"AutoDumpSourceTime", "sourceDisconnectTime", &ServerSettings::sourceDisconnectTime},
    {"PublicServer", "publicDirectoryListing", &ServerSettings::publicDirectoryListing},
    {"AllowRelay", "allowRelaying", &ServerSettings::allowRelaying},
    {"AllowPublicRelay", "allowPublicRelaying", &ServerSettings::allowPublicRelaying},
    {"RelayPort", "relayingServerPort", &ServerSettings::relayingServerPort, &ServerSettings::relayPortEnabled,
     "RelayPortEnabled"},
    {"RelayServer", "relayServerIP", &ServerSettings::relayServerIP, &ServerSettings::relayServerEnabled,
     "RelayServerEnabled"},
    {"IntroSongFile", "playIntroFile", &ServerSettings::playIntroFile, &ServerSettings::playIntroFileEnabled,
     "PlayIntroFileEnabled"},
    {"CustomIntroFile", nullptr, &ServerSettings::customIntroFile},
    {"BackupSongFile", "songBackupFile", &ServerSettings::songBackupFile, &ServerSettings::playBackupFileEnabled,
     "PlayBackupFileEnabled"},
    {"CustomBackupFile", nullptr, &ServerSettings::customBackupFile},
    {"TitleFormat", "titleFormat", &ServerSettings::titleFormat, &ServerSettings::titleFormatEnabled,
     "TitleFormatEnabled"},
    {"URLFormat", "URLFormat", &ServerSettings::URLFormat, &ServerSettings::URLFormatEnabled, "URLFormatEnabled"},
    {"ListenerTimer", "listenerTimer", &ServerSettings::listenerTimer, &ServerSettings::listenerTimerEnabled,
     "ListenerTimerEnabled"},
    {"RIPOnly", "ripOnly", &ServerSettings::ripOnly, &ServerSettings::ripOnlyEnabled, "RIPOnlyEnabled"},
    {nullptr, "maxListOptions", &ServerSettings::maxListOptions},
};

const std::vector<Field<AutoDJSettings>> kAutoDJFields = {
    {"Password", "password", &AutoDJSettings::password},
    {"PlaylistFile", "playListFile", &AutoDJSettings::playListFile},
    {"StreamTitle", "streamTitle", &AutoDJSettings::streamTitle},
    {"StreamURL", "streamURL", &AutoDJSettings::streamURL},
    {"Genre", "genre", &AutoDJSettings::genre},
    {"Shuffle", "shuffle", &AutoDJSettings::shuffle},
    {"Bitrate", "bitrate", &AutoDJSettings::bitrate},
    {"SampleRate", "sampleRate", &AutoDJSettings::sampleRate},
    {"Channels", "channels", &AutoDJSettings::channels},
    {"Quality", "quality", &AutoDJSettings::quality},
    {"CrossfadeMode", "crossfadeMode", &AutoDJSettings::crossfadeMode},
    {"CrossfadeLength", "crossfadeLength", &AutoDJSettings::crossfadeLength},
    {"Public", "public", &AutoDJSettings::public_},
    {"AIM", "aim", &AutoDJSettings::aim},
    {"ICQ", "icq", &AutoDJSettings::icq},
    {"IRC", "irc", &AutoDJSettings::irc},
    {nullptr, "maxBitrate", &AutoDJSettings::maxBitrate},
    {nullptr, "playListList", &AutoDJSettings::playListList},
};

// The AutoTV's set request also carries the AutoDJ's sample rate; it is checked apart.
const std::vector<Field<AutoTVSettings>> kAutoTVFields = {
    {"Password", "password", &AutoTVSettings::password},
    {"PlaylistFile", "playListFile", &AutoTVSettings::playListFile},
    {"AutoReconnect", "autoReconnect", &AutoTVSettings::autoReconnect},
    {"StreamTitle", "streamTitle", &AutoTVSettings::streamTitle},
    {"StreamURL", "streamURL", &AutoTVSettings::streamURL},
    {"Genre", "genre", &AutoTVSettings::genre},
    {"Bitrate", "bitrate", &AutoTVSettings::bitrate},
    {"Public", "public", &AutoTVSettings::public_},
    {"AIM", "aim", &AutoTVSettings::aim},
    {"ICQ", "icq", &AutoTVSettings::icq},
    {"IRC", "irc", &AutoTVSettings::irc},
    {nullptr, "playListList", &AutoTVSettings::playListList},
};

// A value parsed from a reply can never break an item apart.
template <class Record>
void CheckParsedValues(const Record& r, const std::vector<Field<Record>>& fields) {
    for (const auto& f : fields) {
        FUZZ_CHECK((r.*f.value).find_first_of("|=") == std::string::npos);
    }
}

// Reads a set request back into a record: each item into its field, each switch on.
template <class Record>
void CheckSetRequest(const Record& r, const std::vector<Field<Record>>& fields, const Items& items) {
    Record back;
    for (const auto& [name, value] : items) {
        for (const auto& f : fields) {
            if (f.setName && name == f.setName) back.*f.value = value;
            if (f.switchName && name == f.switchName) back.*f.enabled = true;
        }
    }
    for (const auto& f : fields) {
        if (f.setName) FUZZ_CHECK_MSG(back.*f.value == ReplaceBlanksWithPlus(r.*f.value), f.setName);
        if (f.enabled) FUZZ_CHECK(back.*f.enabled == r.*f.enabled);
    }
}

// The record written in the reply grammar, as the host would send it.
template <class Record>
std::string AsReply(const Record& r, const std::vector<Field<Record>>& fields, std::string_view keyword) {
    std::string reply(keyword);
    for (const auto& f : fields) {
        if (!f.replyName) continue;
        std::string value = r.*f.value;
        if (std::string_view(f.replyName) == "autoDisconnectListener") {
            if (value.empty()) continue;  // never in the reply
            value = value == "No" ? "0" : "1";
        }
        if (f.enabled && !(r.*f.enabled)) value = ";" + value;
        reply += "|" + std::string(f.replyName) + "=" + value;
    }
    return reply;
}

void CheckServer(const std::string& reply) {
    ServerSettings s;
    s.serverConfigReply = reply;
    s.serverContentReply = reply;
    ParseServerConfig(s);
    CheckParsedValues(s, kServerFields);
    const std::string request = BuildServerSetRequest(s, kUser, kPassword);
    const Items items = fuzz::SetRequestItems(request, fuzz::Head("shoutcast_server_setconfig,", kUser, kPassword));
    fuzz::CheckItemNames(items, fuzz::ServerItemNames());
    CheckSetRequest(s, kServerFields, items);

    ServerSettings again;
    again.serverConfigReply = AsReply(s, kServerFields, "Shoutcast server getconfig");
    ParseServerConfig(again);
    again.serverConfigReply = s.serverConfigReply;
    again.serverContentReply = s.serverContentReply;
    FUZZ_CHECK(again == s);

    ServerSettings saved = s;
    SaveServerConfigModel(MakeServerConfigModel(s), saved);
    for (const auto& f : kServerFields) {
        if (f.setName) FUZZ_CHECK_MSG(EqualsIgnoringCase(saved.*f.value, s.*f.value), f.setName);
        if (f.enabled) FUZZ_CHECK(saved.*f.enabled == s.*f.enabled);
    }
    ServerSettings twice = saved;
    SaveServerConfigModel(MakeServerConfigModel(saved), twice);
    FUZZ_CHECK(twice == saved);
    fuzz::CheckItemNames(fuzz::SetRequestItems(BuildServerSetRequest(saved, kUser, kPassword),
                                               fuzz::Head("shoutcast_server_setconfig,", kUser, kPassword)),
                         fuzz::ServerItemNames());
}

void CheckAutoDJ(const std::string& reply, AutoDJSettings& s) {
    s.djConfigReply = reply;
    ParseAutoDJConfig(s);
    CheckParsedValues(s, kAutoDJFields);
    const std::string request = BuildAutoDJSetRequest(s, kUser, kPassword);
    const Items items = fuzz::SetRequestItems(request, fuzz::Head("shoutcast_dj_setconfig,", kUser, kPassword));
    fuzz::CheckItemNames(items, fuzz::AutoDJItemNames());
    CheckSetRequest(s, kAutoDJFields, items);

    AutoDJSettings again;
    again.djConfigReply = AsReply(s, kAutoDJFields, "Shoutcast dj getconfig");
    ParseAutoDJConfig(again);
    again.djConfigReply = s.djConfigReply;
    FUZZ_CHECK(again == s);

    AutoDJSettings saved = s;
    SaveAutoDJConfigModel(MakeAutoDJConfigModel(s), saved);
    for (const char* word : {"password", "streamTitle", "streamURL", "genre", "crossfadeLength", "aim", "icq", "irc"}) {
        for (const auto& f : kAutoDJFields) {
            if (std::string_view(f.replyName) == word) FUZZ_CHECK_MSG(saved.*f.value == s.*f.value, word);
        }
    }
    // A coded field shows its word; anything else comes back as sent.
    const std::string shuffle = ShuffleOrPublicWord(s.shuffle);
    FUZZ_CHECK(EqualsIgnoringCase(saved.shuffle, shuffle.empty() ? s.shuffle : shuffle));
    AutoDJSettings twice = saved;
    SaveAutoDJConfigModel(MakeAutoDJConfigModel(saved), twice);
    FUZZ_CHECK(twice == saved);
    fuzz::CheckItemNames(fuzz::SetRequestItems(BuildAutoDJSetRequest(saved, kUser, kPassword),
                                               fuzz::Head("shoutcast_dj_setconfig,", kUser, kPassword)),
                         fuzz::AutoDJItemNames());
}

void CheckAutoTV(const std::string& reply, const AutoDJSettings& autoDJ) {
    AutoTVSettings s;
    const bool anyItem = ParseAutoTVConfig(s, reply);
    FUZZ_CHECK(anyItem == (reply.find_first_not_of('|') != std::string::npos));
    if (!anyItem) FUZZ_CHECK(s == AutoTVSettings{});
    CheckParsedValues(s, kAutoTVFields);
    const std::string request = BuildAutoTVSetRequest(s, autoDJ, kUser, kPassword);
    const Items items = fuzz::SetRequestItems(request, fuzz::Head("shoutcast_tv_setconfig,", kUser, kPassword));
    fuzz::CheckItemNames(items, fuzz::AutoTVItemNames());
    CheckSetRequest(s, kAutoTVFields, items);
    FUZZ_CHECK(items[7].second == ReplaceBlanksWithPlus(autoDJ.sampleRate));

    AutoTVSettings again;
    FUZZ_CHECK(ParseAutoTVConfig(again, AsReply(s, kAutoTVFields, "Shoutcast tv getconfig")));
    FUZZ_CHECK(again == s);

    AutoTVSettings saved = s;
    SaveAutoTVConfigModel(MakeAutoTVConfigModel(s), saved);
    FUZZ_CHECK(saved.password == s.password && saved.genre == s.genre && saved.bitrate == s.bitrate);
    FUZZ_CHECK(EqualsIgnoringCase(saved.public_, s.public_));
    AutoTVSettings twice = saved;
    SaveAutoTVConfigModel(MakeAutoTVConfigModel(saved), twice);
    FUZZ_CHECK(twice == saved);
}

void CheckContent(const std::string& reply) {
    const std::vector<std::string> files = ParseServerContent(reply);
    const std::vector<std::string_view> entries = SplitAll(reply, '|');
    std::size_t end = 1;
    while (end < entries.size() && entries[end] != "^end") ++end;
    FUZZ_CHECK(files.size() == end - 1);
    for (std::size_t i = 0; i < files.size(); ++i) FUZZ_CHECK(files[i] == entries[i + 1]);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string reply = fuzz::AsString(data, size);
    CheckServer(reply);
    AutoDJSettings autoDJ;
    CheckAutoDJ(reply, autoDJ);
    CheckAutoTV(reply, autoDJ);
    CheckContent(reply);
    return 0;
}
