#include "session/configflows.h"

#include "config/autodjconfig.h"
#include "config/autotvconfig.h"
#include "config/serverconfig.h"
#include "protocol/requests.h"
#include "protocol/settingsguard.h"
#include "session/sending.h"
#include "session/sessiondocument.h"

namespace ostravel {

namespace {

// After Save: the set request goes out only while the session that asked is still logged in.
template <class Build>
void SendIfLoggedIn(SessionDocument& doc, Build build) {
    const SessionState session = doc.Snapshot();
    if (!session.LoggedIn()) return;
    const std::string text =
        doc.WithSettings([&](SettingsRecords& s) { return build(s, session.userName, session.password); });
    SendSettingsRequest(doc, text);
}

// Opens the dialog until Save gives values that can travel, or the user cancels. A refused Save
// says why and reopens the dialog with what the user typed, so nothing is lost or sent corrupted.
template <class Edit>
bool EditUntilSendable(SessionDocument& doc, DialogModel& model, const DialogLayout& layout,
                       std::stop_token stop, Edit edit) {
    const DialogModel opened = model;
    while (edit(model)) {
        const std::optional<SettingsProblem> problem = FindSettingsProblem(model, opened, layout);
        if (!problem) return true;
        doc.InsertMessage(SettingsProblemMessage(*problem));
        if (stop.stop_requested()) return false;
    }
    return false;
}

}  // namespace

// Runs on the receiver when the content reply arrives. The settings reply came first and was only
// stored: the host always sends the file list after the settings, and the dialog needs both.
void EditServerConfig(SessionDocument& doc, std::stop_token stop) {
    DialogModel model = doc.WithSettings([](SettingsRecords& s) {
        ParseServerConfig(s.server);
        return MakeServerConfigModel(s.server);
    });
    SessionView* view = doc.View();
    if (view == nullptr) return;
    const bool saved = EditUntilSendable(doc, model, ServerConfigLayout(), stop, [&](DialogModel& shown) {
        return view->EditServerConfig(shown, stop);
    });
    if (!saved) return;
    doc.WithSettings([&](SettingsRecords& s) { SaveServerConfigModel(model, s.server); });
    SendIfLoggedIn(doc, [](SettingsRecords& s, const std::string& user, const std::string& password) {
        return BuildServerSetRequest(s.server, user, password);
    });
}

void EditAutoDJConfig(SessionDocument& doc, std::stop_token stop) {
    DialogModel model = doc.WithSettings([](SettingsRecords& s) {
        ParseAutoDJConfig(s.autoDJ);
        return MakeAutoDJConfigModel(s.autoDJ);
    });
    SessionView* view = doc.View();
    if (view == nullptr) return;
    const bool saved = EditUntilSendable(doc, model, AutoDJConfigLayout(), stop, [&](DialogModel& shown) {
        return view->EditAutoDJConfig(shown, stop);
    });
    if (!saved) return;
    doc.WithSettings([&](SettingsRecords& s) { SaveAutoDJConfigModel(model, s.autoDJ); });
    SendIfLoggedIn(doc, [](SettingsRecords& s, const std::string& user, const std::string& password) {
        return BuildAutoDJSetRequest(s.autoDJ, user, password);
    });
}

void EditAutoTVConfig(SessionDocument& doc, const std::string& reply, std::stop_token stop) {
    DialogModel model = doc.WithSettings([&](SettingsRecords& s) {
        ParseAutoTVConfig(s.autoTV, reply);
        return MakeAutoTVConfigModel(s.autoTV);
    });
    SessionView* view = doc.View();
    if (view == nullptr) return;
    const bool saved = EditUntilSendable(doc, model, AutoTVConfigLayout(), stop, [&](DialogModel& shown) {
        return view->EditAutoTVConfig(shown, stop);
    });
    if (!saved) return;
    doc.WithSettings([&](SettingsRecords& s) { SaveAutoTVConfigModel(model, s.autoTV); });
    SendIfLoggedIn(doc, [](SettingsRecords& s, const std::string& user, const std::string& password) {
        return BuildAutoTVSetRequest(s.autoTV, s.autoDJ, user, password);
    });
}

}  // namespace ostravel
