// The model's installer: its phones without the app leave the cable list, and quitting does not wait for it.
#include <gtest/gtest.h>

#include <fstream>
#include <future>

#include "app/links/installer/phone_installer.h"
#include "core/crypto/cxp_crypto.h"
#include "core/exec/serial_queue.h"
#include "links/fake_adb.h"
#include "support/model_harness.h"
#include "support/wait_until.h"

namespace velmora {
namespace {

TEST(InstallerStory, CandidatesLeaveTheCableListAndShutdownDoesNotWaitForAnInstall) {
    test::ModelHarness h;
    const std::string apk(4096, 'k'), id(PhoneInstaller::packageId);
    std::ofstream(h.dir.path() / "Velmora.apk") << apk;
    const PhoneInstaller::Package package{h.dir.path() / "Velmora.apk",
                                          CXPCrypto::hex(CXPCrypto::sha256(Bytes(apk.begin(), apk.end())))};
    const auto adb = std::make_shared<test::FakeAdb>();
    adb->answers = {{"devices -l", test::printed("List\nNEW device usb:1 model:N8\nHAS device usb:2\n")},
                    {"-s NEW shell pm list packages " + id, test::printed("")},
                    {"-s HAS shell pm list packages " + id, test::printed("package:" + id + "\n")}};
    adb->rename = [](const ProcessRequest& r, const std::string& line) {  // the staged copy's name is new
        return r.arguments.size() > 2 && r.arguments[2] == "install" ? "install " + r.arguments[1] : line;
    };
    adb->holdAt = "install NEW";
    h.makeInstaller = [&](std::optional<std::string>) {
        return std::make_unique<PhoneInstaller>("/adb", package, std::make_shared<SerialQueue>("q"), h.exec,
                                                adb);
    };
    AppModel& model = h.start();
    model.disconnect();  // nothing connects on its own here
    int heard = 0;
    const Subscription hearing = model.observe([&] { ++heard; });
    DiscoveredPhone fresh, known;
    fresh.id = "usb:NEW", known.id = "usb:HAS";
    h.usb->publish({fresh, known});
    ASSERT_TRUE(h.pumpUntil([&] { return model.state().usbPhones == std::vector{known}; }));

    model.installer().install(model.installer().candidates().at(0));
    const int before = heard;
    h.exec->runPending();
    EXPECT_GT(heard, before)
        << "the installing status reaches the panel though the model's state is the same";
    adb->held.get_future().wait();  // adb is installing now, for as long as it takes
    auto quitting = std::async(std::launch::async, [&] { h.model->shutdown(), h.model.reset(); });
    const bool prompt = quitting.wait_for(std::chrono::minutes(1)) == std::future_status::ready;
    adb->go.set_value();
    quitting.wait();
    EXPECT_TRUE(prompt) << "the model's end waited for the install";
    // The install goes on after the model's end and lets go of adb when it is over. The story waits for that,
    // so the process does not end under it (the leak check at exit would count what the install still held).
    EXPECT_TRUE(test::waitUntil([&] { return adb.use_count() == 1; })) << "the install never ended";
}

}  // namespace
}  // namespace velmora
