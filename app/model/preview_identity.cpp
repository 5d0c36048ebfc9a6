#include "app/model/preview_identity.h"

namespace velmora {

Bytes PreviewIdentity::sign(ByteView /*data*/) const {
    return Bytes(64, 0);
}

}  // namespace velmora
