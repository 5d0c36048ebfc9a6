#pragma once

#include <QLayout>
#include <QWidget>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "core/l10n/l10n.h"

namespace velmora::guide::testing {

// Chooses the tables and the language for one test, and puts the process's own back afterwards.
class L10nScope {
  public:
    L10nScope() = default;
    ~L10nScope() {
        L10n::setBundle(nullptr);
        L10n::setEnvironment(nullptr);
    }
    L10nScope(const L10nScope&) = delete;
    L10nScope& operator=(const L10nScope&) = delete;

    void emptyTables() { L10n::setBundle(std::make_shared<const L10n::Bundle>()); }
    void tables(L10n::Bundle bundle) {
        L10n::setBundle(std::make_shared<const L10n::Bundle>(std::move(bundle)));
    }
    void language(const std::string& code) {
        L10n::setEnvironment([code](const std::string& name) -> std::optional<std::string> {
            if (name == "LANGUAGE") return code;
            return std::nullopt;
        });
    }
};

// The texts a reader sees, in layout order (top to bottom, then left to right in a row); hidden widgets,
// such as the content of a folded topic, are left out.
std::vector<std::string> shownTexts(QWidget* root);
bool shows(QWidget* root, const std::string& text);

}  // namespace velmora::guide::testing
