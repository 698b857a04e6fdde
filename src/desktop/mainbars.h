// The main window's bars: the menu bar whose menus are filled when about to open, and what the
// toolbar needs from GTK (compact padding, names a screen reader can say).
#pragma once

#include <cstddef>
#include <vector>

#include <wx/menu.h>
#include <wx/toolbar.h>

namespace ostravel {

// The status-bar prompt of a command in the tables, in the user's language; empty for none.
wxString PromptOf(int commandId);
// Tightens GTK's toolbar and menu-bar padding for the whole screen, once.
void CompactToolbars();
// Gives each toolbar button its command's menu text as the name a screen reader says.
void NameToolButtons(wxToolBar* bar);

// The main menu bar. A menu's items are made when it may be about to open, not at start, where
// making all forty-six was a sixtieth of the whole start. Whatever looks an item up fills every
// menu first, so the bar answers as if they had always been there.
class MainMenuBar final : public wxMenuBar {
public:
    MainMenuBar();

    // Makes the items of `menu` if it is one of the bar's and has none yet.
    void Fill(wxMenu* menu) {
        for (std::size_t pos = 0; pos < firsts_.size(); ++pos) {
            if (GetMenu(pos) == menu) FillAt(pos);
        }
    }

    wxMenuItem* FindItem(int id, wxMenu** menu = nullptr) const override {
        FillAll();
        return wxMenuBar::FindItem(id, menu);
    }
    int FindMenuItem(const wxString& menu, const wxString& item) const override {
        FillAll();
        return wxMenuBar::FindMenuItem(menu, item);
    }
    void UpdateMenus() override {
        FillAll();
        wxMenuBar::UpdateMenus();
    }

    void FillAll() const {
        auto* self = const_cast<MainMenuBar*>(this);
        for (std::size_t pos = 0; pos < firsts_.size(); ++pos) self->FillAt(pos);
    }

private:
    void FillAt(std::size_t pos);

    std::vector<std::size_t> firsts_;  // where each menu's title is in MainMenu()
    std::vector<bool> filled_;
};

}  // namespace ostravel
