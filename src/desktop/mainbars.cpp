#include "desktop/mainbars.h"

#include <span>

#ifdef __WXGTK3__
#include <dlfcn.h>
#endif

#include "desktop/translations.h"
#include "protocol/commands.h"
#include "session/shellrules.h"

namespace ostravel {

namespace {

#ifdef __WXGTK3__
template <class Function>
Function GtkFunction(const char* name) {
    return reinterpret_cast<Function>(dlsym(RTLD_DEFAULT, name));
}
#endif

}  // namespace

wxString PromptOf(int commandId) {
    const CommandInfo* command = FindMenuCommand(commandId);
    return command != nullptr && command->prompt != nullptr ? Tr(command->prompt) : wxString();
}

// GTK pads toolbar buttons and menu titles generously; nineteen 20-pixel buttons and eight menus
// must fit a 450-pixel window. The style goes in through GTK's own functions, looked up in the
// already loaded toolkit.
void CompactToolbars() {
#ifdef __WXGTK3__
    static bool applied = false;
    if (applied) return;
    applied = true;
    const auto newProvider = GtkFunction<void* (*)()>("gtk_css_provider_new");
    const auto loadData =
        GtkFunction<int (*)(void*, const char*, long, void**)>("gtk_css_provider_load_from_data");
    const auto defaultScreen = GtkFunction<void* (*)()>("gdk_screen_get_default");
    const auto addProvider =
        GtkFunction<void (*)(void*, void*, unsigned)>("gtk_style_context_add_provider_for_screen");
    const auto unref = GtkFunction<void (*)(void*)>("g_object_unref");
    if (!newProvider || !loadData || !defaultScreen || !addProvider || !unref) return;
    void* screen = defaultScreen();
    if (screen == nullptr) return;
    void* css = newProvider();
    static const char kStyle[] =
        "toolbar { padding: 0; }"
        "toolbar button { padding: 1px; min-width: 0; min-height: 0; }"
        "toolbar separator { margin: 0 3px; }"
        "menubar > menuitem { padding: 4px 5px; }";
    loadData(css, kStyle, -1, nullptr);
    constexpr unsigned kApplicationPriority = 600;  // GTK_STYLE_PROVIDER_PRIORITY_APPLICATION
    addProvider(screen, css, kApplicationPriority);
    unref(css);
#endif
}

// Icon-only buttons have no name a screen reader could say: each button's accessible object gets
// its command's menu text. wxAccessible does not exist on GTK, so this goes through GTK's own ATK
// objects, found in the already loaded toolkit; elsewhere the tooltips are all there is.
void NameToolButtons(wxToolBar* bar) {
#ifdef __WXGTK3__
    const auto toolbarType = GtkFunction<unsigned long (*)()>("gtk_toolbar_get_type");
    const auto binType = GtkFunction<unsigned long (*)()>("gtk_bin_get_type");
    const auto isA = GtkFunction<int (*)(void*, unsigned long)>("g_type_check_instance_is_a");
    const auto nthItem = GtkFunction<void* (*)(void*, int)>("gtk_toolbar_get_nth_item");
    const auto child = GtkFunction<void* (*)(void*)>("gtk_bin_get_child");
    const auto accessible = GtkFunction<void* (*)(void*)>("gtk_widget_get_accessible");
    const auto setName = GtkFunction<void (*)(void*, const char*)>("atk_object_set_name");
    if (!toolbarType || !binType || !isA || !nthItem || !child || !accessible || !setName) return;
    // wx keeps the GTK toolbar inside a box of its own.
    void* toolbar = bar->GetHandle();
    while (toolbar != nullptr && !isA(toolbar, toolbarType()))
        toolbar = isA(toolbar, binType()) ? child(toolbar) : nullptr;
    if (toolbar == nullptr) return;
    for (std::size_t pos = 0; pos < bar->GetToolsCount(); ++pos) {
        const wxToolBarToolBase* tool = bar->GetToolByPos(static_cast<int>(pos));
        const CommandInfo* command =
            tool != nullptr ? FindCommand(CommandFromWindowId(tool->GetId())) : nullptr;
        void* item = command != nullptr ? nthItem(toolbar, static_cast<int>(pos)) : nullptr;
        void* button = item != nullptr ? child(item) : nullptr;
        if (button == nullptr) continue;
        const wxString name = wxStripMenuCodes(
            wxString::FromUTF8(MenuItemText(*command).data(), MenuItemText(*command).size()));
        setName(accessible(button), name.utf8_str());
    }
#else
    (void)bar;
#endif
}

MainMenuBar::MainMenuBar() {
    const std::span<const MenuEntry> entries = MainMenu();
    for (std::size_t i = 0; i < entries.size(); ++i) {
        if (entries[i].depth != 0) continue;
        Append(new wxMenu(), TrMenuPart(entries[i].text));
        firsts_.push_back(i);
    }
    filled_.assign(firsts_.size(), false);
}

void MainMenuBar::FillAt(std::size_t pos) {
    if (filled_[pos]) return;
    filled_[pos] = true;
    const std::span<const MenuEntry> entries = MainMenu();
    wxMenu* popups[3] = {GetMenu(pos), nullptr, nullptr};  // the open popup at each depth
    for (std::size_t i = firsts_[pos] + 1; i < entries.size() && entries[i].depth != 0; ++i) {
        const MenuEntry& entry = entries[i];
        wxMenu* parent = popups[entry.depth - 1];
        if (entry.text == nullptr) {
            parent->AppendSeparator();
        } else if (entry.id == 0) {
            popups[entry.depth] = new wxMenu();
            parent->AppendSubMenu(popups[entry.depth], TrMenuPart(entry.text));
        } else if (entry.check) {
            parent->AppendCheckItem(WindowIdFromCommand(entry.id), TrMenuPart(entry.text),
                                    PromptOf(entry.id));
        } else {
            wxString text = TrMenuPart(entry.text);
            if (entry.accelerator != nullptr) text << '\t' << entry.accelerator;
            parent->Append(WindowIdFromCommand(entry.id), text, PromptOf(entry.id));
        }
    }
}

}  // namespace ostravel
