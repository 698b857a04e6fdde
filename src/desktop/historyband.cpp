#include "desktop/historyband.h"

#include <algorithm>
#include <memory>

#include <wx/dcbuffer.h>
#include <wx/graphics.h>
#include <wx/settings.h>

#include "desktop/translations.h"
#include "desktop/wxtext.h"
#include "history/timeline.h"

namespace ostravel {

namespace {

constexpr int kBandHeight = 30;
constexpr int kTick = 4;  // a day's start gets twice as long a tick
constexpr int kSwatch = 11;
constexpr int kStates[] = {kHistoryOnAir, kHistoryNoSource, kHistoryDown, kHistoryLost};

// The samples whose widths every label stays within.
constexpr const char* kLabelSamples[] = {"00:00", "Wed 30", "Sep 30"};

wxColour WithAlpha(const wxColour& colour, unsigned char alpha) {
    return wxColour(colour.Red(), colour.Green(), colour.Blue(), alpha);
}

}  // namespace

HistoryBand::HistoryBand(wxWindow* parent, std::function<void(const HistorySpan*)> pointed)
    : wxWindow(parent, wxID_ANY, wxDefaultPosition, wxDefaultSize, wxFULL_REPAINT_ON_RESIZE),
      pointed_(std::move(pointed)) {
    SetBackgroundStyle(wxBG_STYLE_PAINT);
    const int line = GetCharHeight();
    SetMinSize(wxSize(FromDIP(360), FromDIP(kBandHeight + 2 * kTick + 14) + 2 * line));
    Bind(wxEVT_PAINT, &HistoryBand::OnPaint, this);
    Bind(wxEVT_MOTION, &HistoryBand::OnMotion, this);
    Bind(wxEVT_ENTER_WINDOW, &HistoryBand::OnMotion, this);
    Bind(wxEVT_LEAVE_WINDOW, [this](wxMouseEvent& event) {
        event.Skip();
        if (pointed_) pointed_(nullptr);
    });
}

wxColour HistoryBand::StateColour(int state) {
    switch (state) {
        case kHistoryDown:
            return wxColour(0xc8, 0x28, 0x28);
        case kHistoryNoSource:
            return wxColour(0xe6, 0xb4, 0x14);
        case kHistoryOnAir:
            return wxColour(0x28, 0xa0, 0x3c);
        default:
            return wxColour(0x8c, 0x8c, 0x8c);
    }
}

void HistoryBand::SetSpans(std::vector<HistorySpan> clipped, std::int64_t from, std::int64_t to) {
    clipped_ = std::move(clipped);
    from_ = from;
    to_ = std::max(to, from + 1);
    layout_.reset();
    Refresh();
}

int HistoryBand::LabelWidth() const {
    int widest = 0;
    for (const char* sample : kLabelSamples) widest = std::max(widest, GetTextExtent(sample).x);
    return widest + FromDIP(12);
}

wxRect HistoryBand::BandRect() const {
    // Room at both ends for half a label centred on the first and last tick.
    const int side = LabelWidth() / 2;
    return wxRect(side, FromDIP(4), std::max(GetClientSize().x - 2 * side, 1), FromDIP(kBandHeight));
}

const TimelineBand& HistoryBand::BandLayout() {
    const int width = BandRect().width;
    if (!layout_ || layoutWidth_ != width) layout_.emplace(clipped_, from_, to_, width);
    layoutWidth_ = width;
    return *layout_;
}

void HistoryBand::OnPaint(wxPaintEvent&) {
    wxAutoBufferedPaintDC dc(this);
    dc.SetBackground(wxBrush(GetParent()->GetBackgroundColour()));
    dc.Clear();
    std::unique_ptr<wxGraphicsContext> gc(wxGraphicsContext::Create(dc));
    if (!gc) return;
    ++paints_;
    const wxRect band = BandRect();
    const wxColour text = wxSystemSettings::GetColour(wxSYS_COLOUR_WINDOWTEXT);
    const wxColour axis = WithAlpha(text, 140);

    gc->SetPen(*wxTRANSPARENT_PEN);
    for (const BandRun& run : BandLayout().Runs()) {
        gc->SetBrush(wxBrush(StateColour(run.state)));
        gc->DrawRectangle(band.x + run.x0, band.y, run.x1 - run.x0, band.height);
    }
    // Where nobody watched stays empty inside the band's outline.
    gc->SetBrush(*wxTRANSPARENT_BRUSH);
    gc->SetPen(wxPen(axis, 1));
    gc->DrawRectangle(band.x - 0.5, band.y - 0.5, band.width + 1, band.height + 1);

    // Ticks under the band; a day's start also crosses it, faintly.
    gc->SetFont(GetFont(), text);
    const int bottom = band.GetBottom() + 1;
    double labelHeight = 0;
    for (const TimelineTick& tick : TimelineTicks(from_, to_, band.width, LabelWidth())) {
        const double x = band.x + tick.x + 0.5;
        const int length = FromDIP(tick.dayStart ? 2 * kTick : kTick);
        gc->SetPen(wxPen(axis, 1));
        gc->StrokeLine(x, bottom, x, bottom + length);
        if (tick.dayStart) {
            gc->SetPen(wxPen(WithAlpha(text, 60), 1));
            gc->StrokeLine(x, band.y, x, bottom);
        }
        if (tick.label.empty()) continue;
        double w = 0, h = 0;
        gc->GetTextExtent(WxText(tick.label), &w, &h);
        labelHeight = h;
        const double left = std::clamp(x - w / 2, 0.0, std::max(GetClientSize().x - w, 0.0));
        gc->DrawText(WxText(tick.label), left, bottom + FromDIP(2 * kTick + 1));
    }
    if (labelHeight == 0) labelHeight = GetCharHeight();

    // The legend: each state's colour and its label, and the empty band for unwatched time.
    double x = band.x;
    const double y = bottom + FromDIP(2 * kTick + 8) + labelHeight;
    const int swatch = FromDIP(kSwatch);
    auto entry = [&](const wxString& label, const wxBrush& fill) {
        gc->SetPen(wxPen(axis, 1));
        gc->SetBrush(fill);
        gc->DrawRectangle(x + 0.5, y + (labelHeight - swatch) / 2 + 0.5, swatch, swatch);
        double w = 0, h = 0;
        gc->GetTextExtent(label, &w, &h);
        gc->DrawText(label, x + swatch + FromDIP(5), y);
        x += swatch + FromDIP(5) + w + FromDIP(18);
    };
    for (const int state : kStates) entry(Tr(HistoryStateLabel(state).data()), wxBrush(StateColour(state)));
    entry(_("Not watched"), *wxTRANSPARENT_BRUSH);
}

void HistoryBand::OnMotion(wxMouseEvent& event) {
    event.Skip();
    if (pointed_) pointed_(BandLayout().SpanAt(event.GetX() - BandRect().x));
}

}  // namespace ostravel
