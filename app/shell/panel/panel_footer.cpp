#include "app/shell/panel/panel_footer.h"

#include <QHBoxLayout>
#include <QKeySequence>
#include <QMenu>
#include <QShortcut>

#include "app/shell/panel/panel_controls.h"
#include "core/l10n/l10n.h"

namespace velmora {
namespace {

void run(const std::function<void()>& action) {
    if (action) action();
}

}  // namespace

PanelFooter::PanelFooter(const PanelActions& actions, std::function<void()> quit, QWidget* parent)
    : QWidget(parent) {
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(6, 5, 6, 5);
    row->setSpacing(2);

    guide_ = new FooterButton(QString::fromStdString(L10n::string("menu.guide")), std::nullopt,
                              PanelSymbol::questionmarkCircle);
    connect(guide_, &QAbstractButton::clicked, this, [&actions] { run(actions.showGuide); });
    row->addWidget(guide_);

    diagnostics_ = new FooterButton(QString::fromStdString(L10n::string("menu.diagnostics")), std::nullopt,
                                    PanelSymbol::stethoscope);
    menu_ = new QMenu(this);
    menu_->addAction(QString::fromStdString(L10n::string("common.copy_diagnostics")), this,
                     [&actions] { run(actions.copyDiagnostics); });
    menu_->addAction(QString::fromStdString(L10n::string("menu.diagnostics.reveal_log")), this,
                     [&actions] { run(actions.revealLog); });
    menu_->addSeparator();
    menu_->addAction(QString::fromStdString(L10n::string("menu.diagnostics.privacy")))->setEnabled(false);
    connect(diagnostics_, &QAbstractButton::clicked, this,
            [this] { menu_->popup(diagnostics_->mapToGlobal(QPoint(0, diagnostics_->height()))); });
    row->addWidget(diagnostics_);
    row->addStretch(1);

    // The desktop's quit key in its own spelling; Ctrl+Q where the platform names none (offscreen).
    QKeySequence quitKey(QKeySequence::Quit);
    if (quitKey.isEmpty()) quitKey = QKeySequence(Qt::CTRL | Qt::Key_Q);
    quit_ = new FooterButton(QString::fromStdString(L10n::string("menu.quit")),
                             quitKey.toString(QKeySequence::NativeText), std::nullopt);
    connect(quit_, &QAbstractButton::clicked, this, quit);
    auto* shortcut = new QShortcut(quitKey, this);
    connect(shortcut, &QShortcut::activated, quit_, &QAbstractButton::click);
    row->addWidget(quit_);
}

}  // namespace velmora
