#include "app/links/installer/section_choice.h"

namespace velmora {

SectionContent chooseInstallView(const SectionInput& in) {
    switch (in.status.phase) {
        case InstallStatus::Phase::installing:
            return SectionContent::installing;
        case InstallStatus::Phase::success:
            return SectionContent::success;
        case InstallStatus::Phase::failed:
            return SectionContent::failed;
        case InstallStatus::Phase::idle:
            break;
    }
    if (!in.candidates.empty()) return SectionContent::offers;
    if (in.unauthorized > 0) return SectionContent::unauthorized;
    if (in.nothingFound) return SectionContent::howTo;
    return SectionContent::nothing;
}

}  // namespace velmora
