// The model's companion-app installer: its cable phones without the app leave the cable list, its news
// reaches the panel, and quitting does not wait for an install in flight.
#include <gtest/gtest.h>

#include <fstream>
#include <future>

#include "core/crypto/cxp_crypto.h"
#include "core/exec/serial_queue.h"
#include "links/fake_adb.h"
#include "support/model_harness.h"

namespace velmora {
namespace {

const std::string query = "shell pm list packages " + std::string(PhoneInstaller::packageId);

TEST(InstallerStory, CandidatesLeaveTheCableListAndShutdownDoesNotWaitForAnInstall) {
    test::ModelHarness h;
    const std::string apk(4096, 'k');
    std::ofstream(h.dir.path() / "Velmora.apk", std::ios::binary) << apk;
    const PhoneInstaller::Package package{
        h.dir.path() / "Velmora.apk", CXPCrypto::hex(CXPCrypto::sha256(ByteView(
                                          reinterpret_cast<const std::uint8_t*>(apk.data()), apk.size())))};
    const auto adb = std::make_shared<test::FakeAdb>();
    adb->answers["devices -l"] = test::printed(
        "List of devices attached\nNEW device usb:1 model:Nimbo_8\n"
        "HAS device usb:2 model:Nimbo_7\n");
    adb->answers["-s NEW " + query] = test::printed("");
    adb->answers["-s HAS " + query] =
        test::printed("package:" + std::string(PhoneInstaller::packageId) + "\n");
    adb->rename = [](const ProcessRequest&, const std::string& line) {  // the staged copy's name is new
        const auto at = line.find(" install -r ");
        return at == std::string::npos ? line : line.substr(0, at + 11);
    };
    adb->holdAt = "-s NEW install -r";
    std::optional<std::string> located = std::string("unasked");
    h.makeInstaller = [&](std::optional<std::string> path) {
        located = path;
        return std::make_unique<PhoneInstaller>(
            "/usr/bin/adb", package, std::make_shared<SerialQueue>("corvix.installer"), h.exec, adb);
    };
    AppModel& model = h.start();
    EXPECT_EQ(located, std::nullopt) << "the cable port's adb: none in the harness";
    EXPECT_EQ(&model.installer(), &model.installer()) << "made once, kept";
    model.disconnect();  // nothing connects on its own here
    int heard = 0;
    const Subscription hearing = model.observe([&] { ++heard; });
    DiscoveredPhone fresh, known;
    fresh.id = "usb:NEW", known.id = "usb:HAS";
    h.usb->publish({fresh, known});
    h.exec->runPending();
    ASSERT_EQ(model.state().usbPhones.size(), 2u);

    // The model started the polling at start-up; the phone without the app is offered instead of listed.
    ASSERT_TRUE(h.pumpUntil([&] { return model.state().usbPhones == std::vector{known}; }));
    ASSERT_EQ(model.installer().candidates(), (std::vector<InstallCandidate>{{"NEW", "Nimbo-8"}}));

    const int before = heard;
    model.installer().install(model.installer().candidates().front());
    h.exec->runPending();
    EXPECT_GT(heard, before)
        << "the installing status reaches the panel though the model's state is the same";
    adb->held.get_future().wait();  // adb is installing now, for as long as it takes

    auto quitting = std::async(std::launch::async, [&] {
        h.model->shutdown();
        h.model.reset();
    });
    const bool prompt = quitting.wait_for(std::chrono::minutes(1)) == std::future_status::ready;
    adb->go.set_value();
    quitting.wait();
    EXPECT_TRUE(prompt) << "the model's end waited for the install";
}

}  // namespace
}  // namespace velmora
