// The three settings records the session keeps for the whole run. They start empty and a settings
// reply overwrites only the fields whose keys it carries, so a value survives a reply that lacks it.
#pragma once

#include <string>

namespace ostravel {

// The hosted radio server (sc_serv.conf). Flags say whether an optional setting is switched on.
struct ServerSettings {
    std::string serverConfigReply;  // the whole settings reply, parsed by ParseServerConfig
    std::string adminPassword;
    std::string connectPassword;
    std::string maxListeners;
    std::string maxListOptions;  // "unlimited" somewhere in it opens the fixed listener list
    std::string showLastSongs;
    std::string autoDisconnectListener;  // "Yes" or "No"
    std::string sourceDisconnectTime;
    std::string publicDirectoryListing;
    std::string allowRelaying;
    std::string allowPublicRelaying;
    bool relayPortEnabled = false;
    std::string relayingServerPort;
    bool relayServerEnabled = false;
    std::string relayServerIP;
    bool playIntroFileEnabled = false;
    std::string playIntroFile;
    std::string customIntroFile;  // never set by a reply
    bool playBackupFileEnabled = false;
    std::string songBackupFile;
    std::string customBackupFile;  // never set by a reply
    bool titleFormatEnabled = false;
    std::string titleFormat;
    bool URLFormatEnabled = false;
    std::string URLFormat;
    bool listenerTimerEnabled = false;
    std::string listenerTimer;
    bool ripOnlyEnabled = false;
    std::string ripOnly;
    std::string serverContentReply;  // the whole content reply: the media files on the host

    bool operator==(const ServerSettings&) const = default;
};

// The AutoDJ (sc_trans.conf). The reply carries codes ("1"/"0", ...); after a Save the coded fields
// hold the combo words the set request wants ("Yes"/"No", ...).
struct AutoDJSettings {
    std::string djConfigReply;  // the whole settings reply, parsed by ParseAutoDJConfig
    std::string playListFile;
    std::string password;
    std::string streamTitle;
    std::string streamURL;
    std::string genre;
    std::string shuffle;
    std::string bitrate;
    std::string sampleRate;
    std::string channels;
    std::string quality;
    std::string crossfadeMode;
    std::string crossfadeLength;
    std::string public_;  // "public" is a keyword
    std::string aim;
    std::string icq;
    std::string irc;
    std::string maxBitrate;    // kbit/s; bounds the bitrate choices, never sent
    std::string playListList;  // ";"-separated playlist names, never sent

    bool operator==(const AutoDJSettings&) const = default;
};

// The AutoTV (sc_nsv.conf). It keeps no copy of its reply.
struct AutoTVSettings {
    std::string playListFile;
    std::string password;
    std::string streamTitle;
    std::string streamURL;
    std::string genre;
    std::string autoReconnect;
    std::string bitrate;
    std::string public_;  // "public" is a keyword
    std::string aim;
    std::string icq;
    std::string irc;
    std::string playListList;

    bool operator==(const AutoTVSettings&) const = default;
};

}  // namespace ostravel
