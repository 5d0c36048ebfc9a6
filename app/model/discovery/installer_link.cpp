#include <algorithm>

#include "app/model/app_model.h"
#include "app/model/discovery/idle_installer.h"
#include "core/process/adb_locator.h"

namespace velmora {

CompanionInstaller& AppModel::installer() {
    if (installer_) return *installer_;
    // The cable port's adb; a model without one (the snapshot tool's) looks where the bridge looks.
    std::optional<std::string> adb =
        ports_.usb ? ports_.usb->adbPath()
                   : AdbLocator::find(AdbLocator::defaultCandidates(AdbLocator::userHome()));
    installer_ = ports_.makeInstaller ? ports_.makeInstaller(std::move(adb))
                                      : std::make_unique<IdleInstaller>(std::move(adb));
    // The installer calls this on the main executor, sometimes from inside a press on the panel: the
    // observers hear of it on the next turn, as of any other change.
    installer_->setOnChange([weak = weak_from_this()] {
        if (const auto model = weak.lock()) model->installerChanged();
    });
    return *installer_;
}

void AppModel::installerChanged() {
    if (shutDown_) return;
    if (live_) {
        std::vector<std::string> serials;
        std::ranges::transform(installer_->candidates(), std::back_inserter(serials),
                               [](const InstallCandidate& c) { return c.serial; });
        if (serials != installerSerials_) setInstallerCandidates(std::move(serials));
    }
    installerNews_ = true;
    edit();
}

}  // namespace velmora
