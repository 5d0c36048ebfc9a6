// Both ways over the real link: the simulated phone offers and streams a file that the dispatcher hands
// to the model, and answers the model's own offer, records and all, each side checking bytes and digest.
#include "core/l10n/l10n.h"
#include "core/protocol/control_json.h"
#include "files/files_story.h"

namespace velmora {
namespace {

using nlohmann::json;
using test::sha;

std::string pattern(std::size_t size, unsigned seed) {
    std::string out(size, '\0');
    for (std::size_t i = 0; i < size; ++i)
        out[i] = static_cast<char>((i * seed + i / 977) % 251);
    return out;
}

TEST(FilesOverTheLink, ThePhoneSendsAFileAndReceivesOneWithTheirBytesAndDigestsChecked) {
    const std::string fromPhone = pattern(600000, 13), toPhone = pattern(300001, 7);
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

    const auto path = h.dir.path() / "computador.bin";
    std::ofstream(path, std::ios::binary) << toPhone;
    model.sendFiles({path});
    ASSERT_TRUE(h.pumpUntil(
        [&] { return model.state().transferText == L10n::format("transfer.sent", {"computador.bin"}); }));
    std::lock_guard lock(mutex);
    EXPECT_EQ(got, toPhone);
    EXPECT_EQ(offered.value("tid", 0), 2);
    EXPECT_FALSE(model.hasTransferWork());
}

}  // namespace
}  // namespace velmora
