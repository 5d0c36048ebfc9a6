#include "app/entry/qt_translations.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QTranslator>

namespace velmora {

QString qtCatalogue(const std::string& language) {
    if (language.empty() || language == "en" || language.starts_with("en-")) return {};
    QString name = QString::fromStdString(language);
    name.replace(QLatin1Char('-'), QLatin1Char('_'));
    return QStringLiteral("qtbase_") + name;
}

bool installQtTranslations(const std::string& language, const QString& folder) {
    const QString catalogue = qtCatalogue(language);
    if (catalogue.isEmpty() || !QCoreApplication::instance()) return false;
    const QString from = folder.isEmpty() ? QLibraryInfo::path(QLibraryInfo::TranslationsPath) : folder;
    auto* translator = new QTranslator(QCoreApplication::instance());
    if (translator->load(catalogue, from) && QCoreApplication::installTranslator(translator)) return true;
    delete translator;
    return false;
}

}  // namespace velmora
