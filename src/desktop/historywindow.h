// "Station History": when the station was on air over the last day, week or month, as a timeline,
// a summary line and the list of outages, with the period's spans to export as CSV. A window of its
// own beside the main one; it reads the history file read-only, after the program's recorder has
// written what it still held.
#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include <wx/choice.h>
#include <wx/dialog.h>
#include <wx/listctrl.h>
#include <wx/stattext.h>
#include <wx/timer.h>

#include "history/historystore.h"

namespace ostravel {

class HistoryBand;
class HistoryRecorder;
class OutageList;

class HistoryWindow : public wxDialog {
public:
    // Reads `file`; `recorder` (may be nullptr) is flushed before each reading.
    HistoryWindow(wxWindow* parent, std::filesystem::path file, HistoryRecorder* recorder);
    ~HistoryWindow() override;

    // Shows the history of `account`, or of the account changed last when it is empty (nobody logged
    // in), read anew, and brings the window to the front.
    void ShowFor(std::string account);
    // Reads the period again, as the Refresh button does.
    void ReadAgain();
    // Writes the period's spans as CSV to `file`; the window's note line says how it went.
    bool ExportTo(const std::filesystem::path& file);

    // What it shows, for tests.
    wxString Summary() const { return summary_->GetLabel(); }
    wxString Note() const { return note_->GetLabel(); }
    wxListCtrl* Outages() const;
    wxChoice* Period() const { return period_; }
    HistoryBand* Band() const { return band_; }
    const std::string& ShownAccount() const { return shownAccount_; }

private:
    void BuildControls();
    void ShowPointed(const HistorySpan* span);
    void OnExport();

    const std::filesystem::path file_;
    HistoryRecorder* const recorder_;
    std::string account_;       // asked for; empty: the one changed last
    std::string shownAccount_;  // the one shown
    std::unique_ptr<HistoryStore> store_;
    std::int64_t from_ = 0, to_ = 0;
    std::vector<HistorySpan> clipped_;

    wxChoice* period_ = nullptr;
    wxStaticText* accountLabel_ = nullptr;
    HistoryBand* band_ = nullptr;
    wxStaticText* pointed_ = nullptr;
    wxStaticText* summary_ = nullptr;
    OutageList* outages_ = nullptr;
    wxStaticText* note_ = nullptr;
    wxTimer refresh_;
};

}  // namespace ostravel
