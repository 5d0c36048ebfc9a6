#include "app/links/ble/ble_link.h"

#include <algorithm>
#include <chrono>

#include "core/errors/cxp_error.h"
#include "core/errors/developer_text.h"
#include "core/log/velmora_log.h"

namespace velmora {
namespace {

std::exception_ptr protocolError(const char* text) {
    return std::make_exception_ptr(CXPError::protocolError(text));
}

// Timed waits on the link's condition: short real slices, so a fake clock that jumps is seen soon.
constexpr auto readSlice = std::chrono::seconds(1);
constexpr auto writeSlice = std::chrono::milliseconds(200);

}  // namespace

BleLink::BleLink(Clock& clock, L2capPump::Limits pumpLimits) : clock_(clock), pumpLimits_(pumpLimits) {}

BleLink::~BleLink() {
    fallback_.cancel();
}

void BleLink::attach(std::shared_ptr<BlePeripheral> peripheral, Executor& queue, SyncRunner sync) {
    queue_ = &queue;
    peripheral->setDelegate(weak_from_this());
    std::lock_guard lock(mutex_);
    peripheral_ = std::move(peripheral);
    sync_ = std::move(sync);
}

std::shared_ptr<BlePeripheral> BleLink::peripheral() const {
    std::lock_guard lock(mutex_);
    return peripheral_;
}

std::optional<std::uint16_t> BleLink::parsePsm(ByteView value) {
    if (value.size() < 2) return std::nullopt;
    return static_cast<std::uint16_t>(value[0] | (value[1] << 8));
}

void BleLink::didDiscoverServices(std::exception_ptr error, bool hasService) {
    if (error) return fail(error);
    if (!hasService) return fail(protocolError("o celular não tem o serviço do Velmora por Bluetooth"));
    if (auto p = peripheral()) p->discoverCharacteristics();
}

void BleLink::didDiscoverCharacteristics(std::exception_ptr error, bool rx, bool tx, bool psm) {
    {
        std::lock_guard lock(mutex_);
        hasRx_ = rx;
    }
    hasTx_ = tx;
    hasPsm_ = psm;
    if (error) return fail(error);
    if (!rx || !tx) return fail(protocolError("características Bluetooth ausentes"));
    if (!psm) return startGatt("celular sem L2CAP");
    VelmoraLog::write("Bluetooth: características encontradas; pedindo o canal L2CAP");
    if (queue_) {
        fallback_ = queue_->postAfter(l2capFallbackSeconds, [weak = weak_from_this()] {
            if (auto self = weak.lock()) self->startGatt("L2CAP não abriu em 5 s");
        });
    }
    if (auto p = peripheral()) p->readPsm();
}

void BleLink::didReadPsm(std::exception_ptr error, std::optional<Bytes> value) {
    const auto psm = (error || !value) ? std::nullopt : parsePsm(*value);
    if (!psm) return startGatt("leitura do PSM falhou");
    if (*psm == 0) return startGatt("celular sem L2CAP (PSM 0)");
    if (auto p = peripheral()) p->openL2capChannel(*psm);
}

void BleLink::didNotify(ByteView value) {
    {
        std::lock_guard lock(mutex_);
        buffer_.insert(buffer_.end(), value.begin(), value.end());
    }
    changed_.notify_all();
}

void BleLink::didOpenChannel(std::exception_ptr error, UniqueFd socket, std::uint16_t psm) {
    {
        std::lock_guard lock(mutex_);
        if (gattStarted_ || closed_) return;  // a late channel: `socket` closes as it goes out of scope
    }
    if (error || !socket.valid()) return startGatt("L2CAP recusado: " + developerText(error));
    fallback_.cancel();
    const auto p = peripheral();
    auto pump = std::make_shared<L2capPump>(std::move(socket), pumpLimits_, p ? p->channelMtus() : nullptr);
    pump->onOpen = [weak = weak_from_this(), psm] {
        auto self = weak.lock();
        if (!self) return;
        {
            std::lock_guard lock(self->mutex_);
            self->mode_ = "l2cap";
            self->ready_ = true;
        }
        self->changed_.notify_all();
        VelmoraLog::write("Bluetooth: canal L2CAP pronto (PSM " + std::to_string(psm) + ")");
    };
    pump->onClosed = [weak = weak_from_this()](std::exception_ptr reason) {
        if (auto self = weak.lock()) self->disconnected(reason);
    };
    {
        std::lock_guard lock(mutex_);
        pump_ = pump;
    }
    pump->start();
}

void BleLink::startGatt(const std::string& reason) {
    std::shared_ptr<BlePeripheral> p;
    {
        std::lock_guard lock(mutex_);
        if (gattStarted_ || pump_ || closed_ || !peripheral_ || !hasTx_) return;
        gattStarted_ = true;
        p = peripheral_;
    }
    fallback_.cancel();
    VelmoraLog::write("Bluetooth: usando o cano GATT (" + reason + "); ativando notificações");
    p->enableTxNotifications();
}

void BleLink::didUpdateNotificationState(std::exception_ptr error, bool notifying) {
    if (error) return fail(error);
    if (!notifying) return;
    auto p = peripheral();
    VelmoraLog::write("Bluetooth: canal pronto (MTU de escrita " +
                      std::to_string(p ? p->maximumWriteLength() : 0) + " bytes)");
    {
        std::lock_guard lock(mutex_);
        ready_ = true;
    }
    changed_.notify_all();
}

void BleLink::isReadyToSendWriteWithoutResponse() {
    changed_.notify_all();
}

void BleLink::fail(std::exception_ptr error) {
    {
        std::lock_guard lock(mutex_);
        failure_ = error;
        closed_ = true;
    }
    changed_.notify_all();
    endPump(error);
}

void BleLink::disconnected(std::exception_ptr error) {
    {
        std::lock_guard lock(mutex_);
        closed_ = true;
        if (!failure_) failure_ = error ? error : std::make_exception_ptr(CXPError::closed());
    }
    changed_.notify_all();
    endPump(error);
}

void BleLink::endPump(std::exception_ptr error) {
    std::shared_ptr<L2capPump> pump;
    {
        std::lock_guard lock(mutex_);
        pump = pump_;
    }
    if (pump) pump->close(error);
}

std::string BleLink::mode() const {
    std::lock_guard lock(mutex_);
    return mode_;
}

std::exception_ptr BleLink::waitUntilReady(double deadline) {
    std::unique_lock lock(mutex_);
    for (;;) {
        if (ready_) return nullptr;
        if (closed_) return failure_ ? failure_ : std::make_exception_ptr(CXPError::closed());
        if (clock_.now() >= deadline) return std::make_exception_ptr(CXPError::timedOut());
        changed_.wait_for(lock, writeSlice);
    }
}

Bytes BleLink::readExactly(std::size_t n) {
    std::unique_lock lock(mutex_);
    if (mode_ == "l2cap" && pump_) {
        auto pump = pump_;
        lock.unlock();
        return pump->readExactly(n);
    }
    while (buffer_.size() < n) {
        if (closed_)
            std::rethrow_exception(failure_ ? failure_ : std::make_exception_ptr(CXPError::closed()));
        changed_.wait_for(lock, readSlice);
    }
    Bytes result(buffer_.begin(), buffer_.begin() + static_cast<std::ptrdiff_t>(n));
    buffer_.erase(buffer_.begin(), buffer_.begin() + static_cast<std::ptrdiff_t>(n));
    return result;
}

void BleLink::write(ByteView data) {
    std::unique_lock lock(mutex_);
    if (mode_ == "l2cap" && pump_) {
        auto pump = pump_;
        lock.unlock();
        return pump->write(data);
    }
    if (!peripheral_ || !hasRx_ || !sync_) throw CXPError::closed();
    const auto peripheral = peripheral_;
    const auto sync = sync_;
    lock.unlock();

    const double deadline = clock_.now() + gattWriteDeadline;
    std::size_t offset = 0;
    while (offset < data.size()) {
        {
            std::lock_guard guard(mutex_);
            if (closed_) throw CXPError::closed();
        }
        bool sent = false;
        sync([&] {
            if (!peripheral->canSendWriteWithoutResponse()) return;
            const std::size_t chunk = std::clamp(peripheral->maximumWriteLength(), minChunk, maxChunk);
            const std::size_t end = std::min(offset + chunk, data.size());
            peripheral->writeRx(data.subspan(offset, end - offset));
            offset = end;
            sent = true;
        });
        if (sent) continue;
        if (clock_.now() > deadline) throw CXPError::timedOut();
        std::unique_lock wait(mutex_);
        changed_.wait_for(wait, writeSlice);
    }
}

}  // namespace velmora
