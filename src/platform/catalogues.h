// The catalogues (po/, built into ostravel.mo) without the toolkit: for ostravel-ctl, and for what
// the desktop program prints before its toolkit starts (--help, a mistake on the command line).
// The language is the environment's (LANGUAGE, LC_ALL, LC_MESSAGES, LANG). They are looked for where
// the desktop finds them: <program's folder>/locale, then <program's folder>/../share/locale.
// glibc's gettext reads them; mingw has none, so on Windows these texts stay English.
#pragma once

namespace ostravel {

// Once, before any other thread: takes the environment's locale for messages (numbers stay as the
// program writes them) and installs the catalogues' lookup as the core's translator.
void UseEnvironmentCatalogues();

}  // namespace ostravel
