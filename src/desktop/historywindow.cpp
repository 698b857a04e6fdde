#include "desktop/historywindow.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>

#include <wx/button.h>
#include <wx/datetime.h>
#include <wx/filedlg.h>
#include <wx/sizer.h>

#include "desktop/historyband.h"
#include "desktop/preferenceswindow.h"
#include "desktop/translations.h"
#include "desktop/wxtext.h"
#include "history/historyrecorder.h"
#include "history/timeline.h"

namespace ostravel {

namespace {

struct PeriodRow {
    const char* label;
    std::int64_t seconds;
};
constexpr PeriodRow kPeriods[] = {
    {N_("Last 24 hours"), 24 * 60 * 60},
    {N_("Last 7 days"), 7 * 24 * 60 * 60},
    {N_("Last 30 days"), 30 * 24 * 60 * 60},
};
// An open window follows the open span as it grows.
constexpr int kRefreshMilliseconds = 60 * 1000;

// The locale's date and time.
constexpr char kDateAndTime[] = "%x %X";

wxString LocalText(std::int64_t at, const char* format) {
    return wxDateTime(static_cast<time_t>(at)).Format(format);
}

wxString PathText(const std::filesystem::path& file) {
#ifdef _WIN32
    return wxString(file.wstring());
#else
    return WxText(file.string());
#endif
}

enum Column { kStart, kEnd, kLength, kWhat };

}  // namespace

// The outages, newest first, handed to the list as it draws them: a month of them may be thousands.
class OutageList : public wxListCtrl {
public:
    explicit OutageList(wxWindow* parent)
        : wxListCtrl(parent, wxID_ANY, wxDefaultPosition, wxDefaultSize,
                     wxLC_REPORT | wxLC_VIRTUAL | wxLC_SINGLE_SEL) {
        AppendColumn(wxGETTEXT_IN_CONTEXT("time", "Start"), wxLIST_FORMAT_LEFT, FromDIP(170));
        AppendColumn(wxGETTEXT_IN_CONTEXT("time", "End"), wxLIST_FORMAT_LEFT, FromDIP(170));
        AppendColumn(_("Length"), wxLIST_FORMAT_RIGHT, FromDIP(90));
        AppendColumn(_("What"), wxLIST_FORMAT_LEFT, FromDIP(180));
        // The last column takes what is left of the width.
        Bind(wxEVT_SIZE, [this](wxSizeEvent& event) {
            event.Skip();
            int others = 0;
            for (int column = kStart; column < kWhat; ++column) others += GetColumnWidth(column);
            SetColumnWidth(kWhat, std::max(GetClientSize().x - others, FromDIP(180)));
        });
    }
    void SetOutages(std::vector<HistorySpan> outages, std::int64_t to) {
        outages_.assign(outages.rbegin(), outages.rend());
        to_ = to;
        SetItemCount(static_cast<long>(outages_.size()));
        Refresh();
    }

private:
    wxString OnGetItemText(long item, long column) const override {
        if (item < 0 || item >= static_cast<long>(outages_.size())) return {};
        const HistorySpan& span = outages_[item];
        switch (column) {
            case kStart:
                return LocalText(span.start, kDateAndTime);
            case kEnd:
                return span.end >= to_ ? _("still") : LocalText(span.end, kDateAndTime);
            case kLength:
                return WxText(DurationText(span.end - span.start));
            default:
                return Tr(HistoryStateLabel(span.state).data());
        }
    }

    std::vector<HistorySpan> outages_;
    std::int64_t to_ = 0;
};

HistoryWindow::HistoryWindow(wxWindow* parent, std::filesystem::path file, HistoryRecorder* recorder)
    : wxDialog(parent, wxID_ANY, _("Station History"), wxDefaultPosition, wxDefaultSize,
               wxDEFAULT_DIALOG_STYLE | wxRESIZE_BORDER | wxMINIMIZE_BOX | wxMAXIMIZE_BOX),
      file_(std::move(file)),
      recorder_(recorder) {
    BuildControls();
    refresh_.Bind(wxEVT_TIMER, [this](wxTimerEvent&) {
        if (IsShown()) ReadAgain();
    });
    refresh_.Start(kRefreshMilliseconds);
}

HistoryWindow::~HistoryWindow() { refresh_.Stop(); }

wxListCtrl* HistoryWindow::Outages() const { return outages_; }

void HistoryWindow::BuildControls() {
    const int gap = FromDIP(6), margin = FromDIP(12);
    auto* outer = new wxBoxSizer(wxVERTICAL);

    auto* top = new wxBoxSizer(wxHORIZONTAL);
    period_ = new wxChoice(this, wxID_ANY);
    for (const PeriodRow& period : kPeriods) period_->Append(Tr(period.label));
    period_->SetSelection(0);
    period_->Bind(wxEVT_CHOICE, [this](wxCommandEvent&) { ReadAgain(); });
    top->Add(MnemonicLabel(this, _("&Period:"), period_), 0, wxALIGN_CENTER_VERTICAL | wxRIGHT, gap);
    top->Add(period_, 0, wxALIGN_CENTER_VERTICAL | wxRIGHT, gap);
    auto* refresh = new wxButton(this, wxID_REFRESH, _("&Refresh"));
    refresh->Bind(wxEVT_BUTTON, [this](wxCommandEvent&) { ReadAgain(); });
    top->Add(refresh, 0, wxALIGN_CENTER_VERTICAL | wxRIGHT, 2 * gap);
    accountLabel_ = new wxStaticText(this, wxID_ANY, "", wxDefaultPosition, wxDefaultSize,
                                     wxST_ELLIPSIZE_MIDDLE | wxST_NO_AUTORESIZE);
    top->Add(accountLabel_, 1, wxALIGN_CENTER_VERTICAL);
    outer->Add(top, 0, wxEXPAND | wxLEFT | wxRIGHT | wxTOP, margin);

    band_ = new HistoryBand(this, [this](const HistorySpan* span) { ShowPointed(span); });
    outer->Add(band_, 0, wxEXPAND | wxLEFT | wxRIGHT | wxTOP, margin);
    pointed_ = new wxStaticText(this, wxID_ANY, "", wxDefaultPosition, wxDefaultSize,
                                wxST_ELLIPSIZE_END | wxST_NO_AUTORESIZE);
    outer->Add(pointed_, 0, wxEXPAND | wxLEFT | wxRIGHT | wxTOP, margin);
    ShowPointed(nullptr);

    summary_ = new wxStaticText(this, wxID_ANY, "", wxDefaultPosition, wxDefaultSize,
                                wxST_ELLIPSIZE_END | wxST_NO_AUTORESIZE);
    summary_->SetFont(summary_->GetFont().Bold());
    outer->Add(summary_, 0, wxEXPAND | wxLEFT | wxRIGHT | wxTOP, margin);

    outages_ = new OutageList(this);
    outer->Add(MnemonicLabel(this, _("&Outages, newest first:"), outages_), 0, wxLEFT | wxRIGHT | wxTOP,
               margin);
    outer->Add(outages_, 1, wxEXPAND | wxLEFT | wxRIGHT | wxTOP, gap);

    auto* bottom = new wxBoxSizer(wxHORIZONTAL);
    auto* exportButton = new wxButton(this, wxID_SAVEAS, _("&Export CSV..."));
    exportButton->Bind(wxEVT_BUTTON, [this](wxCommandEvent&) { OnExport(); });
    bottom->Add(exportButton, 0, wxALIGN_CENTER_VERTICAL | wxRIGHT, gap);
    note_ = new wxStaticText(this, wxID_ANY, "", wxDefaultPosition, wxDefaultSize,
                             wxST_ELLIPSIZE_MIDDLE | wxST_NO_AUTORESIZE);
    bottom->Add(note_, 1, wxALIGN_CENTER_VERTICAL | wxRIGHT, gap);
    auto* close = new wxButton(this, wxID_CLOSE);
    close->Bind(wxEVT_BUTTON, [this](wxCommandEvent&) { Close(); });
    bottom->Add(close, 0, wxALIGN_CENTER_VERTICAL);
    outer->Add(bottom, 0, wxEXPAND | wxALL, margin);

    // Escape closes it as the Close button does; closed, it goes (it is read anew when opened).
    SetEscapeId(wxID_CLOSE);
    Bind(wxEVT_CLOSE_WINDOW, [this](wxCloseEvent&) { Destroy(); });
    SetSizer(outer);
    SetMinSize(FromDIP(wxSize(560, 440)));
    SetSize(FromDIP(wxSize(760, 560)));
    period_->SetFocus();
}

void HistoryWindow::ShowFor(std::string account) {
    account_ = std::move(account);
    ReadAgain();
    Show();
    Raise();
}

void HistoryWindow::ReadAgain() {
    // What the recorder still holds belongs in the picture: the change that made the user look.
    if (recorder_ != nullptr) recorder_->Flush();
    std::string notice;
    if (!store_) store_ = HistoryStore::Open(file_, &notice, true);
    const PeriodRow& period = kPeriods[std::max(period_->GetSelection(), 0)];
    to_ = static_cast<std::int64_t>(std::time(nullptr));
    from_ = to_ - period.seconds;
    shownAccount_ = account_;
    if (store_ && shownAccount_.empty()) {
        const std::vector<std::string> accounts = store_->Accounts();
        if (!accounts.empty()) shownAccount_ = accounts.front();
    }
    clipped_.clear();
    if (store_ && !shownAccount_.empty())
        clipped_ = ClipSpans(store_->Spans(shownAccount_, from_, to_), from_, to_);
    const HistorySummary summary = Summarise(clipped_);

    accountLabel_->SetLabel(
        shownAccount_.empty() ? wxString() : wxString::Format(_("Account: %s"), WxText(shownAccount_)));
    summary_->SetLabel(WxText(store_ ? SummaryLine(summary) : notice));
    outages_->SetOutages(summary.outages, to_);
    band_->SetSpans(clipped_, from_, to_);
    ShowPointed(nullptr);
}

void HistoryWindow::ShowPointed(const HistorySpan* span) {
    if (span == nullptr) {
        pointed_->SetLabel(_("Point at the band to see a span's times."));
        return;
    }
    const char* kDayAndTime = "%a %x %X";
    const bool sameDay = LocalText(span->start, "%Y-%m-%d") == LocalText(span->end, "%Y-%m-%d");
    const wxString end = span->end >= to_ ? _("now") : LocalText(span->end, sameDay ? "%X" : kDayAndTime);
    // TRANSLATORS: a span of the history: its state, its start, its end and its length.
    pointed_->SetLabel(wxString::Format(_("%s: %s to %s (%s)"), Tr(HistoryStateLabel(span->state).data()),
                                        LocalText(span->start, kDayAndTime), end,
                                        WxText(DurationText(span->end - span->start))));
}

void HistoryWindow::OnExport() {
    wxFileDialog chooser(this, _("Export the station history"), "",
                         "station-history-" + LocalText(to_, "%Y-%m-%d") + ".csv",
                         _("CSV files (*.csv)|*.csv|All files|*"), wxFD_SAVE | wxFD_OVERWRITE_PROMPT);
    if (chooser.ShowModal() != wxID_OK) return;
#ifdef _WIN32
    ExportTo(std::filesystem::path(chooser.GetPath().ToStdWstring()));
#else
    ExportTo(std::filesystem::path(chooser.GetPath().fn_str().data()));
#endif
}

bool HistoryWindow::ExportTo(const std::filesystem::path& file) {
    const std::string csv = SpansCsv(clipped_);
    errno = 0;
#ifdef _WIN32
    std::FILE* out = _wfopen(file.c_str(), L"wb");
#else
    std::FILE* out = std::fopen(file.c_str(), "wb");
#endif
    bool written = out != nullptr && std::fwrite(csv.data(), 1, csv.size(), out) == csv.size();
    int error = errno;
    if (out != nullptr && std::fclose(out) != 0 && written) {
        written = false;  // a full disk often shows only now
        error = errno;
    }
    const wxString name = PathText(file);
    if (!written) {
        note_->SetLabel(wxString::Format(_("Could not write %s: %s"), name,
                                         WxText(std::strerror(error != 0 ? error : EIO))));
        return false;
    }
    note_->SetLabel(
        wxString::Format(wxPLURAL("%zu span written to %s", "%zu spans written to %s", clipped_.size()),
                         clipped_.size(), name));
    return true;
}

}  // namespace ostravel
