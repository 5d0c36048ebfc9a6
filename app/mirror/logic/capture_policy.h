#pragma once

namespace velmora::MirrorCapturePolicy {

// Whether the mirror window is kept out of screenshots, recordings and screen sharing: only when this build
// protects it and the user has not allowed capture ("allowMirrorCapture"). On Linux no desktop offers a
// per-window exclusion, so the window code can only record the answer.
constexpr bool isHidden(bool buildProtects, bool userAllows) {
    return buildProtects && !userAllows;
}

}  // namespace velmora::MirrorCapturePolicy
