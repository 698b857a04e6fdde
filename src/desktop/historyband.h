// The Station History window's timeline: a band of the period's spans in the tray icon's colours,
// the hour or day ticks under it in local time, and a legend. Resizes with the window; pointing at
// the band names the span under the pointer (through the callback).
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

#include <wx/window.h>

#include "history/historystore.h"
#include "history/timelinelayout.h"

namespace ostravel {

class HistoryBand : public wxWindow {
public:
    // `pointed(span)`: the span under the pointer, nullptr when it points at none or leaves.
    HistoryBand(wxWindow* parent, std::function<void(const HistorySpan*)> pointed);

    // The spans of [from, to), already cut to it.
    void SetSpans(std::vector<HistorySpan> clipped, std::int64_t from, std::int64_t to);
    // How many times the band was drawn (for tests and measurements).
    int Paints() const { return paints_; }

    // Pointing is all it takes; the list of outages is where the keyboard goes.
    bool AcceptsFocus() const override { return false; }

    // A state's colour: the tray icon's for the server's three states, grey for a session lost.
    static wxColour StateColour(int state);

private:
    void OnPaint(wxPaintEvent& event);
    void OnMotion(wxMouseEvent& event);
    // Where the band lies in the window; its layout for that width, made again when it changed.
    wxRect BandRect() const;
    const TimelineBand& BandLayout();
    int LabelWidth() const;

    std::function<void(const HistorySpan*)> pointed_;
    std::vector<HistorySpan> clipped_;
    std::int64_t from_ = 0, to_ = 1;
    std::optional<TimelineBand> layout_;
    int layoutWidth_ = 0;
    int paints_ = 0;
};

}  // namespace ostravel
