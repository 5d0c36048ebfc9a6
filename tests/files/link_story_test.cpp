// Both ways through the dispatcher: the phone sends a file and receives one, each side checking the bytes.
#include "core/l10n/l10n.h"
#include "core/protocol/control_json.h"
#include "files/files_story.h"

namespace velmora {
namespace {

using nlohmann::json;
using test::sha;

TEST(FilesOverTheLink, ThePhoneSendsAFileAndReceivesOneWithTheirBytesAndDigestsChecked) {
    const std::string fromPhone = test::pattern(600000, 13), toPhone = test::pattern(300001, 7);
    PhoneConfig config;
    config.afterReady.push_back({Ch::control, encodeJSON({{"t", "file.offer"},
                                                          {"tid", 1},
                                                          {"name", "de/../celular.bin"},
                                                          {"size", fromPhone.size()},
                                                          {"sha256", sha(fromPhone)}})});
    for (std::size_t at = 0; at < fromPhone.size(); at += 262140)  // the largest record the phone may send
        config.afterReady.push_back({Ch::files, test::record(1, fromPhone.substr(at, 262140))});
    std::mutex mutex;  // guards the phone's side below, on the phone's thread
    json offered;
    std::string got;
    config.answer = [&](const json& m) {
        std::lock_guard lock(mutex);
        if (m.value("t", "") != "file.offer") return std::vector<json>{};
        offered = m;
        return std::vector<json>{{{"t", "file.accept"}, {"tid", m["tid"]}}};
    };
    config.onRecord = [&](const Frame& f) {
        std::lock_guard lock(mutex);
        got.append(f.payload.begin() + 4, f.payload.end());
        if (got.size() < offered.value("size", std::size_t{0})) return std::vector<json>{};
        return std::vector<json>{
            {{"t", "file.done"}, {"tid", offered["tid"]}, {"ok", sha(got) == offered["sha256"]}}};
    };
    test::ModelHarness h(config);
    h.pairBothSides();
    AppModel& model = h.start();
    h.plugInCable();
    ASSERT_TRUE(h.pumpUntil(ConnState::Kind::connected));

    ASSERT_NE(h.journal->waitFor("phone {\"ok\":true,\"t\":\"file.done\",\"tid\":1}"), "");
    EXPECT_EQ(test::readFile(model.downloadsDir() / "celular.bin"), fromPhone);
    ASSERT_TRUE(h.pumpUntil(
        [&] { return model.state().transferText == L10n::format("transfer.received", {"celular.bin"}); }));

    std::ofstream(h.dir.path() / "computador.bin", std::ios::binary) << toPhone;
    model.sendFiles({h.dir.path() / "computador.bin"});
    ASSERT_TRUE(h.pumpUntil(
        [&] { return model.state().transferText == L10n::format("transfer.sent", {"computador.bin"}); }));
    std::lock_guard lock(mutex);
    EXPECT_EQ(got, toPhone);
    EXPECT_EQ(offered.value("tid", 0), 2);
}

}  // namespace
}  // namespace velmora
