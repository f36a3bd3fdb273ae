#include "app/desklanguage.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QTranslator>

#include <memory>

namespace {
const QString English = QStringLiteral("en");
const QString SimplifiedChinese = QStringLiteral("zh_CN");

struct Installed
{
    QString code = English;
    std::unique_ptr<QTranslator> program;
    std::unique_ptr<QTranslator> qt;
};

Installed &installed()
{
    static Installed state;
    return state;
}

// A translator loaded from the file, or null when there is none.
std::unique_ptr<QTranslator> loaded(const QString &name, const QString &folder)
{
    auto translator = std::make_unique<QTranslator>();
    if (!translator->load(name, folder))
        return nullptr;
    QCoreApplication::installTranslator(translator.get());
    return translator;
}

void removeTranslators(Installed &state)
{
    for (std::unique_ptr<QTranslator> *translator : {&state.program, &state.qt}) {
        if (*translator)
            QCoreApplication::removeTranslator(translator->get());
        translator->reset();
    }
    state.code = English;
}
} // namespace

QStringList DeskLanguage::codes()
{
    return {English, SimplifiedChinese};
}

QString DeskLanguage::forLocale(const QLocale &locale)
{
    return locale.language() == QLocale::Chinese ? SimplifiedChinese : English;
}

bool DeskLanguage::apply(const QString &code)
{
    if (!codes().contains(code))
        return false;
    Installed &state = installed();
    removeTranslators(state);
    if (code == English)
        return true;
    state.qt = loaded(QStringLiteral("qtbase_") + code, QLibraryInfo::location(QLibraryInfo::TranslationsPath));
    state.program = loaded(QStringLiteral("strategydesk_") + code, QStringLiteral(":/strategydesk/translations"));
    if (!state.program) {
        removeTranslators(state);
        return false;
    }
    state.code = code;
    return true;
}

QString DeskLanguage::current()
{
    return installed().code;
}
