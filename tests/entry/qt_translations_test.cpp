// Qt's own texts (the file dialog's, the standard dialogs') follow the program's language.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QFileInfo>
#include <QLibraryInfo>

#include "app/entry/qt_translations.h"

namespace velmora {
namespace {

TEST(QtTranslations, TheCatalogueOfEachLanguage) {
    EXPECT_EQ(qtCatalogue("pt-BR"), "qtbase_pt_BR");
    for (const char* english : {"en", "en-GB", ""})
        EXPECT_EQ(qtCatalogue(english), "") << english;  // Qt speaks English already
}

TEST(QtTranslations, ThePortugueseCatalogueTranslatesTheFileDialog) {
    const QString folder = QLibraryInfo::path(QLibraryInfo::TranslationsPath);
    if (!QFileInfo::exists(folder + "/qtbase_pt_BR.qm"))
        GTEST_SKIP() << "no qt6-translations-l10n (deps/apt/app.txt)";
    EXPECT_EQ(QCoreApplication::translate("QFileDialog", "Open"), "Open");
    ASSERT_TRUE(installQtTranslations("pt-BR"));
    EXPECT_EQ(QCoreApplication::translate("QFileDialog", "Open"), "Abrir");
    EXPECT_FALSE(installQtTranslations("en"));
    EXPECT_FALSE(installQtTranslations("pt-BR", "/nonexistent"));  // told, not thrown
}

}  // namespace
}  // namespace velmora
