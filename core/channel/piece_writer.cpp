#include "core/channel/piece_writer.h"

#include <utility>

namespace velmora {

PieceWriter::PieceWriter(Transport& transport, std::size_t pieceSize,
                         std::function<void(std::exception_ptr)> onFailure)
    : transport_(transport), onFailure_(std::move(onFailure)) {
    for (Bytes& slot : slots_)
        slot.resize(pieceSize);
    writer_ = std::thread([this] { run(); });
}

PieceWriter::~PieceWriter() {
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    toWrite_.notify_one();
    writer_.join();
}

std::uint8_t* PieceWriter::acquire() {
    std::unique_lock lock(mutex_);
    senderWaiting_ = true;
    toSeal_.wait(lock, [&] { return failure_ || submitted_ - written_ < kSlots; });
    senderWaiting_ = false;
    if (failure_) std::rethrow_exception(failure_);
    return slots_[submitted_ % kSlots].data();
}

void PieceWriter::submit(std::size_t size) {
    bool wake = false;
    {
        std::lock_guard lock(mutex_);
        sizes_[submitted_ % kSlots] = size;
        ++submitted_;
        wake = writerWaiting_;
    }
    if (wake) toWrite_.notify_one();
}

void PieceWriter::drain() {
    std::unique_lock lock(mutex_);
    senderWaiting_ = true;
    toSeal_.wait(lock, [&] { return written_ == submitted_; });
    senderWaiting_ = false;
    if (failure_) std::rethrow_exception(failure_);
}

void PieceWriter::run() {
    std::unique_lock lock(mutex_);
    for (;;) {
        writerWaiting_ = true;
        toWrite_.wait(lock, [&] { return stopping_ || written_ < submitted_; });
        writerWaiting_ = false;
        if (written_ == submitted_) return;  // stopping, nothing left
        if (failure_) {
            written_ = submitted_;  // after a failure nothing more goes out
        } else {
            const std::size_t slot = written_ % kSlots;
            lock.unlock();
            std::exception_ptr failed;
            try {
                transport_.write(ByteView(slots_[slot]).first(sizes_[slot]));
            } catch (...) {
                failed = std::current_exception();
                onFailure_(failed);
            }
            lock.lock();
            if (failed) {
                failure_ = failed;
                written_ = submitted_;
            } else {
                ++written_;
            }
        }
        // The sender is woken once half the ring is free (or all of it): it then seals several pieces
        // before it has to wait again, instead of one wake-up per piece.
        if (senderWaiting_ && submitted_ - written_ <= kSlots / 2) toSeal_.notify_one();
    }
}

}  // namespace velmora
