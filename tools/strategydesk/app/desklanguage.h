#ifndef DESKLANGUAGE_H
#define DESKLANGUAGE_H

#include <QLocale>
#include <QString>
#include <QStringList>

// The languages of strategydesk: English, the language of its sources, and
// Simplified Chinese, whose translation is built into the program's
// resources. Thread: main.
namespace DeskLanguage {

// The codes the program knows, for --lang: "en", "zh_CN".
QStringList codes();
// The language for a locale: any Chinese one gives "zh_CN", anything else "en".
QString forLocale(const QLocale &locale);
// The language of QLocale::system() (LANG, LC_ALL, LC_MESSAGES).
inline QString fromSystem() { return forLocale(QLocale::system()); }

// Installs the translators of the language on the application, the
// program's own and Qt's (the standard buttons of dialogs), in place of
// those installed before; "en" removes them. Call it before the windows are
// built: their texts are read once. False for an unknown code or when the
// program's translation is missing (English is shown then); a missing
// translation of Qt's own leaves only Qt's buttons in English.
bool apply(const QString &code);
// The language applied last ("en" before any).
QString current();

} // namespace DeskLanguage

#endif // DESKLANGUAGE_H
