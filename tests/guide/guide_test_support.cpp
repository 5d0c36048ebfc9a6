#include "guide_test_support.h"

#include <QAbstractButton>
#include <algorithm>

#include "app/design/fold_row.h"
#include "app/design/text_block.h"

namespace velmora::guide::testing {

namespace {

void collect(QWidget* w, QWidget* root, std::vector<std::string>& out);

void collectLayout(QLayout* layout, QWidget* root, std::vector<std::string>& out) {
    for (int i = 0; i < layout->count(); ++i) {
        QLayoutItem* item = layout->itemAt(i);
        if (item->widget()) {
            collect(item->widget(), root, out);
        } else if (item->layout()) {
            collectLayout(item->layout(), root, out);
        }
    }
}

void collect(QWidget* w, QWidget* root, std::vector<std::string>& out) {
    if (w != root && !w->isVisibleTo(root)) return;
    if (auto* text = qobject_cast<TextBlock*>(w)) {
        out.push_back(text->text().toStdString());
        return;
    }
    // A fold header is painted; its accessible name is its title when it has no summary.
    if (qobject_cast<FoldHeader*>(w)) {
        out.push_back(w->accessibleName().toStdString());
        return;
    }
    if (auto* button = qobject_cast<QAbstractButton*>(w)) {
        out.push_back(button->text().toStdString());
        return;
    }
    if (w->layout()) collectLayout(w->layout(), root, out);
}

}  // namespace

std::vector<std::string> shownTexts(QWidget* root) {
    std::vector<std::string> out;
    collect(root, root, out);
    return out;
}

bool shows(QWidget* root, const std::string& text) {
    const auto texts = shownTexts(root);
    return std::find(texts.begin(), texts.end(), text) != texts.end();
}

}  // namespace velmora::guide::testing
