// A view that drops everything: for a program that has no window (a benchmark measuring the
// session, the command line's watch), which overrides only what it hears.
#pragma once

#include "session/sessionview.h"

namespace ostravel {

class NullView : public SessionView {
public:
    void InsertMessage(const std::string&) override {}
    void ClearMessages() override {}
    void SetStatusText(const std::string&) override {}
    bool HasMainWindow() const override { return true; }
    void SetTrayIcon(TrayOperation, const std::string&, int) override {}
    void ShowDjLogs(const std::string&) override {}
    void ShowTvLogs(const std::string&) override {}
    void ShowAccountSummary(const std::string&) override {}
    bool EditServerConfig(DialogModel&, std::stop_token) override { return false; }
    bool EditAutoDJConfig(DialogModel&, std::stop_token) override { return false; }
    bool EditAutoTVConfig(DialogModel&, std::stop_token) override { return false; }
};

}  // namespace ostravel
