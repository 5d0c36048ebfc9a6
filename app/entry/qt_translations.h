#pragma once

#include <QString>
#include <string>

namespace velmora {

// Qt's own texts (the file dialog's buttons, the line edit's menu, the standard dialogs) in the program's
// language: Qt's translation catalogue "qtbase_<language>" from the folder Qt keeps its translations in.
// Main thread, once the application object exists.

// The catalogue for a language code of the string tables ("pt-BR" → "qtbase_pt_BR"); empty for English,
// Qt's own language.
QString qtCatalogue(const std::string& language);

// Installs the catalogue of `language` from `folder` (by default Qt's translations folder); false when there
// is none to install or it could not be loaded.
bool installQtTranslations(const std::string& language, const QString& folder = {});

}  // namespace velmora
