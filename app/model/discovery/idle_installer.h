#pragma once

#include "app/model/ports/companion_installer.h"

namespace velmora {

// The installer of a model given none: it never polls nor installs, and keeps only what it is told (the
// status the panel sets, a preview). Main thread.
class IdleInstaller final : public CompanionInstaller {
  public:
    explicit IdleInstaller(std::optional<std::string> adbPath) : adbPath_(std::move(adbPath)) {}

    void start() override {}
    void install(const InstallCandidate&) override {}
    void stop() override {}
    const std::vector<InstallCandidate>& candidates() const override { return candidates_; }
    const std::vector<InstallCandidate>& cableDevices() const override { return candidates_; }
    int unauthorized() const override { return unauthorized_; }
    const InstallStatus& status() const override { return status_; }
    const std::optional<std::string>& adbPath() const override { return adbPath_; }
    void setStatus(InstallStatus status) override {
        status_ = std::move(status);
        changed();
    }
    void setPreview(std::vector<InstallCandidate> candidates, int unauthorized,
                    InstallStatus status) override {
        candidates_ = std::move(candidates);
        unauthorized_ = unauthorized;
        status_ = std::move(status);
        changed();
    }
    void setOnChange(std::function<void()> handler) override { onChange_ = std::move(handler); }

  private:
    void changed() const {
        if (onChange_) onChange_();
    }
    const std::optional<std::string> adbPath_;
    std::vector<InstallCandidate> candidates_;
    int unauthorized_ = 0;
    InstallStatus status_;
    std::function<void()> onChange_;
};

}  // namespace velmora
