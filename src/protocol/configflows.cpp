#include "protocol/configflows.h"

#include "app/zandreldoc.h"
#include "config/autodjconfig.h"
#include "config/autotvconfig.h"
#include "config/serverconfig.h"
#include "protocol/requests.h"

namespace ostravel {

namespace {

// After Save: the set request goes out only while the session that asked is still logged in.
template <class Build>
void SendIfLoggedIn(CzandrelDoc& doc, Build build) {
    const SessionState session = doc.Snapshot();
    if (!session.LoggedIn()) return;
    const std::string text =
        doc.WithSettings([&](SettingsRecords& s) { return build(s, session.userName, session.password); });
    SendSettingsRequest(doc, text);
}

}  // namespace

// Runs on the receiver when the content reply arrives. The settings reply came first and was only
// stored: the host always sends the file list after the settings, and the dialog needs both.
void EditServerConfig(CzandrelDoc& doc, std::stop_token stop) {
    DialogModel model = doc.WithSettings([](SettingsRecords& s) {
        ParseServerConfig(s.server);
        return MakeServerConfigModel(s.server);
    });
    SessionView* view = doc.View();
    if (view == nullptr || !view->EditServerConfig(model, stop)) return;
    doc.WithSettings([&](SettingsRecords& s) { SaveServerConfigModel(model, s.server); });
    SendIfLoggedIn(doc, [](SettingsRecords& s, const std::string& user, const std::string& password) {
        return BuildServerSetRequest(s.server, user, password);
    });
}

void EditAutoDJConfig(CzandrelDoc& doc, std::stop_token stop) {
    DialogModel model = doc.WithSettings([](SettingsRecords& s) {
        ParseAutoDJConfig(s.autoDJ);
        return MakeAutoDJConfigModel(s.autoDJ);
    });
    SessionView* view = doc.View();
    if (view == nullptr || !view->EditAutoDJConfig(model, stop)) return;
    doc.WithSettings([&](SettingsRecords& s) { SaveAutoDJConfigModel(model, s.autoDJ); });
    SendIfLoggedIn(doc, [](SettingsRecords& s, const std::string& user, const std::string& password) {
        return BuildAutoDJSetRequest(s.autoDJ, user, password);
    });
}

void EditAutoTVConfig(CzandrelDoc& doc, const std::string& reply, std::stop_token stop) {
    DialogModel model = doc.WithSettings([&](SettingsRecords& s) {
        ParseAutoTVConfig(s.autoTV, reply);
        return MakeAutoTVConfigModel(s.autoTV);
    });
    SessionView* view = doc.View();
    if (view == nullptr || !view->EditAutoTVConfig(model, stop)) return;
    doc.WithSettings([&](SettingsRecords& s) { SaveAutoTVConfigModel(model, s.autoTV); });
    SendIfLoggedIn(doc, [](SettingsRecords& s, const std::string& user, const std::string& password) {
        return BuildAutoTVSetRequest(s.autoTV, s.autoDJ, user, password);
    });
}

}  // namespace ostravel
