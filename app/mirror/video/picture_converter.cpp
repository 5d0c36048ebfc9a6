#include "app/mirror/video/picture_converter.h"

#include <libyuv/convert_argb.h>

#include <algorithm>

extern "C" {
#include <libavutil/frame.h>
#include <libavutil/pixfmt.h>
#include <libswscale/swscale.h>
}

namespace velmora {
namespace {

int aligned(int bytes, int align) {
    return (bytes + align - 1) / align * align;
}

bool fullRange(const AVFrame& in) {
    return in.format == AV_PIX_FMT_YUVJ420P || in.color_range == AVCOL_RANGE_JPEG;
}

// Streams that name no matrix (or an older one) are BT.601, as phones' encoders mostly send.
const libyuv::YuvConstants& matrix(const AVFrame& in) {
    const bool full = fullRange(in);
    switch (in.colorspace) {
        case AVCOL_SPC_BT709:
            return full ? libyuv::kYuvF709Constants : libyuv::kYuvH709Constants;
        case AVCOL_SPC_BT2020_NCL:
        case AVCOL_SPC_BT2020_CL:
            return full ? libyuv::kYuvV2020Constants : libyuv::kYuv2020Constants;
        default:
            return full ? libyuv::kYuvJPEGConstants : libyuv::kYuvI601Constants;
    }
}

int swsMatrix(const AVFrame& in) {
    switch (in.colorspace) {
        case AVCOL_SPC_BT709:
            return SWS_CS_ITU709;
        case AVCOL_SPC_BT2020_NCL:
        case AVCOL_SPC_BT2020_CL:
            return SWS_CS_BT2020;
        default:
            return SWS_CS_ITU601;
    }
}

void shape(VideoFrame& out, int width, int height) {
    out.width = width;
    out.height = height;
    out.stride = aligned(width * 4, PictureConverter::kRowAlign);
    out.pixels.resize(static_cast<std::size_t>(out.stride) * static_cast<std::size_t>(height) +
                      PictureConverter::kRowAlign);
}

}  // namespace

PictureConverter::~PictureConverter() {
    sws_freeContext(scaler_);
}

bool PictureConverter::planarRoad(const AVFrame& in, int width, int height) const {
    const bool planar = in.format == AV_PIX_FMT_YUV420P || in.format == AV_PIX_FMT_YUVJ420P;
    const bool same = width == in.width && height == in.height;
    return planar && (same || (PlaneShrinker::supports(in.width, in.height, width, height) &&
                               PlaneShrinker::supports((in.width + 1) / 2, (in.height + 1) / 2,
                                                       (width + 1) / 2, (height + 1) / 2)));
}

bool PictureConverter::convert(const AVFrame& in, int width, int height, VideoFrame& out) {
    if (in.width <= 0 || in.height <= 0 || width <= 0 || height <= 0) return false;
    if (planarRoad(in, width, height)) return convertPlanar(in, width, height, out);
    return convertOther(in, width, height, out);
}

bool PictureConverter::begin(const AVFrame& in, int width, int height, VideoFrame& out) {
    band_.reset();
    if (in.width <= 0 || in.height <= 0 || width <= 0 || height <= 0) return false;
    if (!planarRoad(in, width, height)) return false;
    shape(out, width, height);
    prepare(in, width, height);
    band_ = Band{in.width, in.height, in.format, in.colorspace, in.color_range, width, height};
    return true;
}

void PictureConverter::rows(const AVFrame& in, int ready, VideoFrame& out) {
    if (!band_ || in.width != band_->srcWidth || in.height != band_->srcHeight) return;
    ready = std::clamp(ready, 0, in.height);
    // A chroma row is final with both luma rows it goes with, the last one alone at an odd height.
    const int chromaReady = ready == in.height ? (in.height + 1) / 2 : ready / 2;
    const bool same = band_->width == in.width && band_->height == in.height;
    const int lumaRows = same ? ready : luma_->rowsReadyFrom(ready);
    const int chromaRows = same ? chromaReady : chroma_->rowsReadyFrom(chromaReady);
    while (band_->done < band_->height) {
        const int top = band_->done;
        const int rows = std::min(kBand, band_->height - top);
        if (top + rows > lumaRows || (top + rows + 1) / 2 > chromaRows) return;
        if (!convertRows(in, top, rows, out)) {
            band_.reset();
            return;
        }
        band_->done += rows;
    }
}

bool PictureConverter::finish(const AVFrame& in, VideoFrame& out) {
    const bool same = band_ && in.width == band_->srcWidth && in.height == band_->srcHeight &&
                      in.format == band_->format && in.colorspace == band_->colorspace &&
                      in.color_range == band_->range;
    if (!same) {
        band_.reset();
        return false;
    }
    rows(in, in.height, out);
    const bool whole = band_ && band_->done == band_->height;
    band_.reset();
    return whole;
}

void PictureConverter::prepare(const AVFrame& in, int width, int height) {
    if (width == in.width && height == in.height) return;
    const int chromaWidth = (width + 1) / 2;
    if (luma_ && luma_->srcWidth() == in.width && luma_->srcHeight() == in.height &&
        luma_->dstWidth() == width && luma_->dstHeight() == height)
        return;
    luma_.emplace(in.width, in.height, width, height);
    chroma_.emplace((in.width + 1) / 2, (in.height + 1) / 2, chromaWidth, (height + 1) / 2);
    const auto size = [](Plane& p, int w, int h) {
        p.stride = aligned(w, kRowAlign);
        p.bytes.assign(
            static_cast<std::size_t>(p.stride) * static_cast<std::size_t>(h) + PlaneShrinker::kDstSlack, 0);
    };
    size(y_, width, kBand);
    size(u_, chromaWidth, kBand / 2);
    size(v_, chromaWidth, kBand / 2);
}

// Output rows top .. top + rows; `top` is even, so that the band starts on a chroma row of its own.
bool PictureConverter::convertRows(const AVFrame& in, int top, int rows, VideoFrame& out) {
    const libyuv::YuvConstants& yuv = matrix(in);
    std::uint8_t* dst = out.pixels.data() + static_cast<std::ptrdiff_t>(top) * out.stride;
    if (out.width == in.width && out.height == in.height) {
        const auto at = [&](int plane, int row) {
            return in.data[plane] + static_cast<std::ptrdiff_t>(row) * in.linesize[plane];
        };
        return libyuv::I420ToARGBMatrix(at(0, top), in.linesize[0], at(1, top / 2), in.linesize[1],
                                        at(2, top / 2), in.linesize[2], dst, out.stride, &yuv, out.width,
                                        rows) == 0;
    }
    luma_->runRows(top, rows, in.data[0], in.linesize[0], y_.bytes.data(), y_.stride);
    chroma_->runRows(top / 2, (rows + 1) / 2, in.data[1], in.linesize[1], u_.bytes.data(), u_.stride);
    chroma_->runRows(top / 2, (rows + 1) / 2, in.data[2], in.linesize[2], v_.bytes.data(), v_.stride);
    return libyuv::I420ToARGBMatrix(y_.bytes.data(), y_.stride, u_.bytes.data(), u_.stride, v_.bytes.data(),
                                    v_.stride, dst, out.stride, &yuv, out.width, rows) == 0;
}

bool PictureConverter::convertPlanar(const AVFrame& in, int width, int height, VideoFrame& out) {
    shape(out, width, height);
    // libyuv's ARGB is B, G, R, A in memory: on this little-endian machine the word 0xAARRGGBB that
    // QImage::Format_RGB32 reads, with A = 0xFF.
    if (width == in.width && height == in.height) return convertRows(in, 0, height, out);
    prepare(in, width, height);
    // Band by band, so that the shrunk planes are converted while they are still in the cache.
    for (int top = 0; top < height; top += kBand)
        if (!convertRows(in, top, std::min(kBand, height - top), out)) return false;
    return true;
}

bool PictureConverter::convertOther(const AVFrame& in, int width, int height, VideoFrame& out) {
    // Area averaging when shrinking, so fine lines and text do not alias; a plain conversion otherwise.
    const int flags = width < in.width || height < in.height ? SWS_AREA : SWS_FAST_BILINEAR;
    scaler_ = sws_getCachedContext(scaler_, in.width, in.height, static_cast<AVPixelFormat>(in.format), width,
                                   height, AV_PIX_FMT_RGB32, flags, nullptr, nullptr, nullptr);
    if (!scaler_) return false;
    const int* coefficients = sws_getCoefficients(swsMatrix(in));
    sws_setColorspaceDetails(scaler_, coefficients, fullRange(in) ? 1 : 0,
                             sws_getCoefficients(SWS_CS_DEFAULT), 1, 0, 1 << 16, 1 << 16);
    shape(out, width, height);
    std::uint8_t* planes[1] = {out.pixels.data()};
    const int strides[1] = {out.stride};
    return sws_scale(scaler_, in.data, in.linesize, 0, in.height, planes, strides) == height;
}

}  // namespace velmora
