#include "res/artwork.h"

#include <wx/brush.h>
#include <wx/graphics.h>
#include <wx/pen.h>
#include <wx/image.h>

#include <algorithm>
#include <cmath>
#include <memory>

#include "app/sessionview.h"
#include "protocol/commands.h"

namespace ostravel {

namespace {

wxImage ClearImage(int width, int height) {
    wxImage image(width, height);
    image.InitAlpha();
    std::fill_n(image.GetAlpha(), width * height, 0);
    return image;
}

wxColour GroundOf(int iconId) {
    switch (iconId) {
        case kIconServerUpStreamUp:
            return wxColour(40, 160, 60);
        case kIconServerDown:
            return wxColour(200, 40, 40);
        case kIconServerUpStreamDown:
            return wxColour(230, 180, 20);
        default:
            return wxColour(30, 90, 180);
    }
}

// The mast: a slim tower with waves on both sides, in a square of `size` at (x, y).
void DrawMast(wxGraphicsContext& gc, double x, double y, double size, const wxColour& colour) {
    const double cx = x + size / 2;
    const double top = y + size * 0.32;
    const double bottom = y + size * 0.92;
    const double width = std::max(1.0, size / 12);
    gc.SetPen(wxPen(colour, static_cast<int>(width + 0.5)));
    wxGraphicsPath tower = gc.CreatePath();
    tower.MoveToPoint(cx - size * 0.2, bottom);
    tower.AddLineToPoint(cx, top);
    tower.AddLineToPoint(cx + size * 0.2, bottom);
    tower.MoveToPoint(cx - size * 0.12, y + size * 0.68);
    tower.AddLineToPoint(cx + size * 0.12, y + size * 0.68);
    gc.StrokePath(tower);
    gc.SetBrush(wxBrush(colour));
    gc.DrawEllipse(cx - size * 0.08, top - size * 0.08, size * 0.16, size * 0.16);
    gc.SetBrush(*wxTRANSPARENT_BRUSH);
    for (int ring = 1; ring <= 2; ++ring) {
        const double r = size * (0.13 + 0.12 * ring);
        wxGraphicsPath waves = gc.CreatePath();
        waves.AddArc(cx, top, r, -M_PI / 4, M_PI / 4, true);
        gc.StrokePath(waves);
        wxGraphicsPath left = gc.CreatePath();
        left.AddArc(cx, top, r, M_PI * 3 / 4, M_PI * 5 / 4, true);
        gc.StrokePath(left);
    }
}

wxBitmap DrawIcon(int iconId, int size) {
    wxImage image = ClearImage(size, size);
    {
        std::unique_ptr<wxGraphicsContext> gc(wxGraphicsContext::Create(image));
        gc->SetAntialiasMode(wxANTIALIAS_DEFAULT);
        gc->SetPen(wxPen(wxColour(20, 20, 20), 1));
        gc->SetBrush(wxBrush(GroundOf(iconId)));
        gc->DrawRoundedRectangle(0.5, 0.5, size - 1.0, size - 1.0, size / 5.0);
        DrawMast(*gc, 0, 0, size, *wxWHITE);
    }
    return wxBitmap(image);
}

enum class Glyph { Play, Stop, Restart, DoorIn, DoorOut, Letter };

struct GlyphInfo {
    int id;
    Glyph glyph;
    wxColour colour;
    const char* badge;  // small letter naming the service or player
};

const GlyphInfo kGlyphs[] = {
    {cmd::kLogin, Glyph::DoorIn, wxColour(30, 140, 50), ""},
    {cmd::kLogout, Glyph::DoorOut, wxColour(190, 40, 40), ""},
    {cmd::kServerStart, Glyph::Play, wxColour(30, 140, 50), "S"},
    {cmd::kServerStop, Glyph::Stop, wxColour(190, 40, 40), "S"},
    {cmd::kServerRestart, Glyph::Restart, wxColour(30, 90, 180), "S"},
    {cmd::kDjStart, Glyph::Play, wxColour(30, 140, 50), "D"},
    {cmd::kDjStop, Glyph::Stop, wxColour(190, 40, 40), "D"},
    {cmd::kDjRestart, Glyph::Restart, wxColour(30, 90, 180), "D"},
    {cmd::kTvStart, Glyph::Play, wxColour(30, 140, 50), "T"},
    {cmd::kTvStop, Glyph::Stop, wxColour(190, 40, 40), "T"},
    {cmd::kTvRestart, Glyph::Restart, wxColour(30, 90, 180), "T"},
    {cmd::kTuneInWinamp, Glyph::Letter, wxColour(220, 120, 20), "W"},
    {cmd::kTuneInReal, Glyph::Letter, wxColour(30, 80, 170), "R"},
    {cmd::kTuneInItunes, Glyph::Letter, wxColour(150, 60, 170), "i"},
    {cmd::kTuneInMediaPlayer, Glyph::Letter, wxColour(20, 140, 140), "M"},
};

void DrawBadge(wxGraphicsContext& gc, const char* text, double size) {
    if (*text == '\0') return;
    wxFont font(wxFontInfo(7).Bold().Family(wxFONTFAMILY_SWISS));
    gc.SetFont(font, wxColour(20, 20, 20));
    double w = 0, h = 0;
    gc.GetTextExtent(text, &w, &h);
    gc.DrawText(text, size - w, size - h + 1);
}

}  // namespace

wxIconBundle IconBundle(int iconId) {
    wxIconBundle bundle;
    for (const int size : {16, 32, 48}) {
        wxIcon icon;
        icon.CopyFromBitmap(DrawIcon(iconId, size));
        bundle.AddIcon(icon);
    }
    return bundle;
}

wxIcon SmallIcon(int iconId) {
    wxIcon icon;
    icon.CopyFromBitmap(DrawIcon(iconId, 32));
    return icon;
}

wxBitmap LogoBitmap(int width, int height) {
    wxImage image(width, height);
    image.SetRGB(wxRect(0, 0, width, height), 1, 1, 1);
    {
        std::unique_ptr<wxGraphicsContext> gc(wxGraphicsContext::Create(image));
        gc->SetAntialiasMode(wxANTIALIAS_DEFAULT);
        const double mast = height * 0.9;
        DrawMast(*gc, 6, (height - mast) / 2, mast, wxColour(240, 150, 30));
        const double x = mast + 18;
        // The title as large as the room allows.
        double points = height * 0.36;
        double tw = 0, th = 0;
        for (;; points -= 1) {
            wxFont title(wxFontInfo(points).Bold().Family(wxFONTFAMILY_SWISS));
            gc->SetFont(title, *wxWHITE);
            gc->GetTextExtent("Quenlor Ostravel", &tw, &th);
            if (x + tw <= width - 4 || points <= 6) break;
        }
        gc->DrawText("Quenlor Ostravel", x, height * 0.08);
        wxFont tag(wxFontInfo(static_cast<double>(height) * 0.16).Italic().Family(wxFONTFAMILY_SWISS));
        gc->SetFont(tag, wxColour(240, 150, 30));
        gc->DrawText("your station, on air and in hand", x + 2, height * 0.08 + th);
    }
    return wxBitmap(image);
}

wxBitmap ToolbarGlyph(int commandId) {
    const int size = kToolbarGlyphSize;
    wxImage image = ClearImage(size, size);
    const GlyphInfo* info = nullptr;
    for (const auto& g : kGlyphs)
        if (g.id == commandId) info = &g;
    if (info == nullptr) return wxBitmap(image);
    {
        std::unique_ptr<wxGraphicsContext> gc(wxGraphicsContext::Create(image));
        gc->SetAntialiasMode(wxANTIALIAS_DEFAULT);
        const wxColour& c = info->colour;
        switch (info->glyph) {
            case Glyph::Play: {
                gc->SetPen(wxPen(c.ChangeLightness(70), 1));
                gc->SetBrush(wxBrush(c));
                wxGraphicsPath p = gc->CreatePath();
                p.MoveToPoint(3, 2);
                p.AddLineToPoint(15, 9);
                p.AddLineToPoint(3, 16);
                p.CloseSubpath();
                gc->DrawPath(p);
                break;
            }
            case Glyph::Stop:
                gc->SetPen(wxPen(c.ChangeLightness(70), 1));
                gc->SetBrush(wxBrush(c));
                gc->DrawRoundedRectangle(2.5, 2.5, 12, 12, 2);
                break;
            case Glyph::Restart: {
                gc->SetPen(wxPen(c, 3));
                gc->SetBrush(*wxTRANSPARENT_BRUSH);
                wxGraphicsPath arc = gc->CreatePath();
                arc.AddArc(9, 9, 5.5, -M_PI / 3, 1.5 * M_PI, true);
                gc->StrokePath(arc);
                gc->SetPen(*wxTRANSPARENT_PEN);
                gc->SetBrush(wxBrush(c));
                wxGraphicsPath head = gc->CreatePath();
                head.MoveToPoint(10, 0);
                head.AddLineToPoint(16, 4);
                head.AddLineToPoint(10, 8);
                head.CloseSubpath();
                gc->FillPath(head);
                break;
            }
            case Glyph::DoorIn:
            case Glyph::DoorOut: {
                gc->SetPen(wxPen(wxColour(90, 90, 90), 2));
                gc->SetBrush(wxBrush(wxColour(200, 200, 200)));
                gc->DrawRectangle(10, 2, 8, 16);
                gc->SetPen(wxPen(c, 3));
                wxGraphicsPath shaft = gc->CreatePath();
                shaft.MoveToPoint(1, 10);
                shaft.AddLineToPoint(info->glyph == Glyph::DoorIn ? 9 : 7, 10);
                gc->StrokePath(shaft);
                gc->SetPen(*wxTRANSPARENT_PEN);
                gc->SetBrush(wxBrush(c));
                wxGraphicsPath head = gc->CreatePath();
                if (info->glyph == Glyph::DoorIn) {
                    head.MoveToPoint(8, 5);
                    head.AddLineToPoint(13, 10);
                    head.AddLineToPoint(8, 15);
                } else {
                    head.MoveToPoint(5, 5);
                    head.AddLineToPoint(0, 10);
                    head.AddLineToPoint(5, 15);
                }
                head.CloseSubpath();
                gc->FillPath(head);
                break;
            }
            case Glyph::Letter: {
                gc->SetPen(wxPen(c.ChangeLightness(70), 1));
                gc->SetBrush(wxBrush(c));
                gc->DrawEllipse(1.5, 1.5, 17, 17);
                wxFont font(wxFontInfo(10).Bold().Family(wxFONTFAMILY_SWISS));
                gc->SetFont(font, *wxWHITE);
                double w = 0, h = 0;
                gc->GetTextExtent(info->badge, &w, &h);
                gc->DrawText(info->badge, (size - w) / 2, (size - h) / 2);
                break;
            }
        }
        if (info->glyph != Glyph::Letter) DrawBadge(*gc, info->badge, size);
    }
    return wxBitmap(image);
}

}  // namespace ostravel
