// The program's pictures: the application and state icons (one mast on four grounds) and the logo
// are rendered from data/*.svg at build time and compiled in; the toolbar's glyphs are drawn.
#pragma once

#include <wx/bitmap.h>
#include <wx/iconbndl.h>

namespace ostravel {

inline constexpr int kToolbarId = 147;  // the toolbar's window id
inline constexpr int kToolbarGlyphSize = 20;

// Registers the toolkit's PNG reader and writer once: the pictures are decoded with it, the demo
// run's screenshots written with it.
void UsePngImages();

// 16 and 32 pixel versions of an icon; the application icon for an unknown id.
wxIconBundle IconBundle(int iconId);
wxIcon SmallIcon(int iconId);
// The site logo at its form size.
wxBitmap LogoBitmap(int width, int height);
// The 20 by 20 toolbar glyph of a command, as drawn once and kept in the program
// (toolbarglyphs.inc): drawing fifteen of them at every start cost more than the window itself.
wxBitmap ToolbarGlyph(int commandId);
// The same glyph drawn now; what the kept pictures are made from (the GUI tests compare the two and
// write the file anew when asked).
wxImage DrawToolbarGlyph(int commandId);

}  // namespace ostravel
