#include "desktop/artwork.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <memory>

#include <wx/brush.h>
#include <wx/graphics.h>
#include <wx/image.h>
#include <wx/mstream.h>
#include <wx/pen.h>

#include "desktop/artworkdata.h"
#include "protocol/commands.h"
#include "session/sessionview.h"

namespace ostravel {

namespace {

wxImage ClearImage(int width, int height) {
    wxImage image(width, height);
    image.InitAlpha();
    std::fill_n(image.GetAlpha(), width * height, 0);
    return image;
}

// The rendered PNG of an icon at a size, or of the logo (0, 0); the application icon for an
// unknown id.
wxImage EmbeddedImage(int iconId, int size) {
    UsePngImages();
    const EmbeddedPng* found = nullptr;
    for (std::size_t i = 0; i < kEmbeddedPngCount; ++i) {
        const EmbeddedPng& png = kEmbeddedPngs[i];
        if (png.size != size) continue;
        if (png.iconId == iconId) found = &png;
        if (found == nullptr && png.iconId == kIconApplication) found = &png;
    }
    if (found == nullptr) return wxImage();
    wxMemoryInputStream stream(found->data, found->length);
    return wxImage(stream, wxBITMAP_TYPE_PNG);
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

void UsePngImages() {
    if (wxImage::FindHandler(wxBITMAP_TYPE_PNG) == nullptr) wxImage::AddHandler(new wxPNGHandler);
}

wxIconBundle IconBundle(int iconId) {
    wxIconBundle bundle;
    for (const int size : {16, 32, 48}) {
        wxIcon icon;
        icon.CopyFromBitmap(wxBitmap(EmbeddedImage(iconId, size)));
        bundle.AddIcon(icon);
    }
    return bundle;
}

wxIcon SmallIcon(int iconId) {
    wxIcon icon;
    icon.CopyFromBitmap(wxBitmap(EmbeddedImage(iconId, 32)));
    return icon;
}

wxBitmap LogoBitmap(int width, int height) {
    wxImage logo = EmbeddedImage(0, 0);
    if (logo.IsOk() && (logo.GetWidth() != width || logo.GetHeight() != height)) {
        logo.Rescale(width, height, wxIMAGE_QUALITY_HIGH);
    }
    return wxBitmap(logo);
}

wxImage DrawToolbarGlyph(int commandId) {
    const int size = kToolbarGlyphSize;
    wxImage image = ClearImage(size, size);
    const GlyphInfo* info = nullptr;
    for (const auto& g : kGlyphs)
        if (g.id == commandId) info = &g;
    if (info == nullptr) return image;
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
    return image;
}

namespace {

struct KeptGlyph {
    int commandId;
    std::uint32_t pixels[kToolbarGlyphSize * kToolbarGlyphSize];  // 0xAARRGGBB, row by row
};

const KeptGlyph kKeptGlyphs[] = {
#include "desktop/toolbarglyphs.inc"
};

}  // namespace

wxBitmap ToolbarGlyph(int commandId) {
    for (const KeptGlyph& kept : kKeptGlyphs) {
        if (kept.commandId != commandId) continue;
        const int size = kToolbarGlyphSize;
        wxImage image(size, size, false);
        image.InitAlpha();
        unsigned char* rgb = image.GetData();
        unsigned char* alpha = image.GetAlpha();
        for (const std::uint32_t pixel : kept.pixels) {
            *alpha++ = static_cast<unsigned char>(pixel >> 24);
            *rgb++ = static_cast<unsigned char>(pixel >> 16);
            *rgb++ = static_cast<unsigned char>(pixel >> 8);
            *rgb++ = static_cast<unsigned char>(pixel);
        }
        return wxBitmap(image);
    }
    return wxBitmap(DrawToolbarGlyph(commandId));
}

}  // namespace ostravel
