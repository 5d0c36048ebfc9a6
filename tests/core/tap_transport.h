#pragma once

#include <memory>
#include <mutex>
#include <stdexcept>
#include <vector>

#include "core/transport/transport.h"

namespace velmora::test {

// A transport in front of another that records what the layer above asks of it: the size of every read and
// the bytes of every write. Writes can be made to fail.
class TapTransport final : public Transport {
  public:
    explicit TapTransport(std::shared_ptr<Transport> inner) : inner_(std::move(inner)) {}

    Bytes readExactly(std::size_t n) override {
        {
            std::lock_guard lock(mutex_);
            reads_.push_back(n);
        }
        return inner_->readExactly(n);
    }
    void write(ByteView data) override {
        {
            std::lock_guard lock(mutex_);
            writes_.emplace_back(data.begin(), data.end());
            if (failWrites_) throw std::runtime_error("escrita recusada pelo teste");
        }
        inner_->write(data);
    }
    void close() noexcept override {
        {
            std::lock_guard lock(mutex_);
            ++closes_;
        }
        inner_->close();
    }

    void setFailWrites(bool fail) {
        std::lock_guard lock(mutex_);
        failWrites_ = fail;
    }
    std::vector<std::size_t> reads() {
        std::lock_guard lock(mutex_);
        return reads_;
    }
    std::vector<Bytes> writes() {
        std::lock_guard lock(mutex_);
        return writes_;
    }
    int closes() {
        std::lock_guard lock(mutex_);
        return closes_;
    }

  private:
    std::shared_ptr<Transport> inner_;
    std::mutex mutex_;  // guards everything below
    std::vector<std::size_t> reads_;
    std::vector<Bytes> writes_;
    bool failWrites_ = false;
    int closes_ = 0;
};

}  // namespace velmora::test
