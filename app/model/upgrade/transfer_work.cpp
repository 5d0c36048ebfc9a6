// Whether a file is on its way; link changes wait for it.
#include "app/model/app_model.h"

namespace velmora {

bool AppModel::hasTransferWork() const {
    return ports_.features->hasTransferWork();
}

}  // namespace velmora
