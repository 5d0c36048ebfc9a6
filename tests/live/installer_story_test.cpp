// The companion app put on a cable phone from the panel. With the temporary folder gone, the install fails
// with the package check's reason and the panel offers to try again; the polls go on, and once the folder is
// back the next try runs. Quitting in the middle of that install ends its adb and leaves no copy behind.
#include <gtest/gtest.h>

#include <signal.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>

#include "app/shell/installer/phone_install_section.h"
#include "app/shell/tray/panel_window.h"
#include "core/crypto/cxp_crypto.h"
#include "core/l10n/l10n.h"
#include "live/live_app.h"
#include "live/live_desktop.h"
#include "support/temp_dir.h"

namespace velmora::live {
namespace {

namespace fs = std::filesystem;

// A cable phone without the app and a package to put on it; everything goes back as it was when dropped.
class PhoneWithoutTheApp {
  public:
    PhoneWithoutTheApp() {
        fs::create_directories(companion_);
        fs::create_directories(tmp);
        const std::string apk(8192, 'v');
        std::ofstream(companion_ / "Velmora.apk", std::ios::binary) << apk;
        std::ofstream(companion_ / "Velmora.apk.sha256")
            << CXPCrypto::hex(CXPCrypto::sha256(Bytes(apk.begin(), apk.end()))) << "  Velmora.apk\n";
        set("VELMORA_COMPANION_DIR", companion_.string());
        std::ofstream(adb_ / "app-missing");
        std::ofstream(adb_ / "install-blocks");
        Desktop::instance().plugCable("SIM0077", "NB_7X", 9);
    }
    ~PhoneWithoutTheApp() {
        Desktop::instance().unplugCable();
        for (const char* file : {"app-missing", "install-blocks", "install.pid"})
            fs::remove(adb_ / file);
        for (auto& [name, value] : saved_)
            value ? ::setenv(name.c_str(), value->c_str(), 1) : ::unsetenv(name.c_str());
    }
    PhoneWithoutTheApp(const PhoneWithoutTheApp&) = delete;
    PhoneWithoutTheApp& operator=(const PhoneWithoutTheApp&) = delete;

    void set(const std::string& name, const std::string& value) {
        if (std::none_of(saved_.begin(), saved_.end(), [&](const auto& s) { return s.first == name; })) {
            const char* was = std::getenv(name.c_str());
            saved_.emplace_back(name, was ? std::optional<std::string>(was) : std::nullopt);
        }
        ::setenv(name.c_str(), value.c_str(), 1);
    }
    // The adb that is installing now, once it has started.
    std::optional<pid_t> installingAdb() const {
        const std::string pid = test::readFile(adb_ / "install.pid");
        if (!pid.ends_with('\n')) return std::nullopt;
        return static_cast<pid_t>(std::stoi(pid));
    }
    long stagedCopies() const {
        return std::count_if(fs::directory_iterator(tmp), {}, [](const fs::directory_entry& e) {
            return e.path().filename().string().starts_with("velmora-apk-");
        });
    }

    const fs::path tmp = Desktop::instance().home() / "tmp";

  private:
    const fs::path companion_ = Desktop::instance().home() / "companion";
    const fs::path adb_ = Desktop::instance().adb().parent_path();
    std::vector<std::pair<std::string, std::optional<std::string>>> saved_;
};

PhoneInstallSection* section(const LiveApp& app) {
    for (auto* s : app.panel().findChildren<PhoneInstallSection*>())
        if (s->isVisible()) return s;
    return nullptr;
}

long polls() {
    const auto calls = Desktop::instance().adbCalls();
    return std::count(calls.begin(), calls.end(), "devices -l");
}

TEST(InstallerStory, NoTemporaryFolderFailsTheInstallAndAQuitDuringTheNextLeavesNoCopyAndNoAdb) {
    PhoneWithoutTheApp phone;
    phone.set("TMPDIR", (Desktop::instance().home() / "no-such-folder").string());
    std::optional<pid_t> adb;
    {
        LiveApp app;
        const QString offer = QString::fromStdString(L10n::format("install.offer.button", {"NB-7X"}));
        ASSERT_TRUE(until([&] { return app.panel().isVisible() && findButton(&app.panel(), offer); }));
        click(findButton(&app.panel(), offer));
        CompanionInstaller& installer = app.model().installer();
        const InstallCandidate candidate{"SIM0077", "NB-7X"};
        const auto refused = InstallStatus::failed(candidate, {InstallFailure::Kind::apkIntegrity, {}});
        ASSERT_TRUE(until([&] { return installer.status() == refused; }));
        ASSERT_TRUE(until([&] { return section(app) && section(app)->content() == SectionContent::failed; }));
        EXPECT_TRUE(until(
            [&] { return app.logHas("instalação do APK recusada: sem hash esperado ou APK ilegível"); }));
        shot(&app.panel(), "installer", "1-failed-without-temporary-folder");

        // Free again: the polls go on, and with the folder back the next try runs.
        const long before = polls();
        ASSERT_TRUE(until([&] { return polls() > before; })) << "the polls stopped after the failure";
        phone.set("TMPDIR", phone.tmp.string());
        click(findButton(&app.panel(), tr("common.try_again")));
        ASSERT_TRUE(until([&] { return phone.installingAdb().has_value(); }));
        adb = phone.installingAdb();
        EXPECT_EQ(installer.status(), InstallStatus::installing(candidate));
        EXPECT_EQ(phone.stagedCopies(), 1);
        ASSERT_TRUE(until([&] { return section(app)->content() == SectionContent::installing; }));
        shot(&app.panel(), "installer", "2-installing");
        app.quit();
    }
    EXPECT_EQ(phone.stagedCopies(), 0) << "the staged copy outlived the quit";
    EXPECT_TRUE(::kill(*adb, 0) == -1 && errno == ESRCH) << "adb " << *adb << " outlived the quit";
    EXPECT_TRUE(Desktop::instance().strayChildren().empty());
}

}  // namespace
}  // namespace velmora::live
