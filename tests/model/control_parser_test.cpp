// The phone's control messages as the dispatcher reads them: which reader each key goes through, wrong
// types and missing keys, and the messages that are ignored whole. The readers' own bounds: tests/core.
#include <gtest/gtest.h>

#include "app/model/features/dispatch/control_event.h"
#include "core/l10n/l10n.h"

namespace velmora {
namespace {

using nlohmann::json;
namespace E = ControlEvent;
using Row = std::pair<json, std::optional<E::Any>>;

constexpr double kNow = 1.7e12;  // ms since 1970

std::string repeat(std::size_t n, const std::string& piece = "A") {
    std::string out;
    for (std::size_t i = 0; i < n; ++i)
        out += piece;
    return out;
}

// The phone's list of `n` apps without names, and what it reads as.
json appList(std::size_t n) {
    json list = json::array();
    for (std::size_t i = 0; i < n; ++i)
        list.push_back({{"pkg", "p" + std::to_string(i)}});
    return list;
}
E::Apps appsRead(std::size_t n) {
    E::Apps out;
    for (std::size_t i = 0; i < n; ++i)
        out.apps.push_back({"p" + std::to_string(i), "p" + std::to_string(i)});
    return out;
}

void check(const std::vector<Row>& rows) {
    for (const auto& [message, expected] : rows) {
        SCOPED_TRACE(message.dump().substr(0, 200));
        EXPECT_EQ(parseControl(message, kNow), expected);
    }
}

TEST(ControlParser, MessagesWithoutAUsableTypeOrWithBadKeysAreIgnored) {
    check({{json::object(), {}},
           {{{"t", 5}}, {}},
           {{{"t", "foo"}}, {}},
           {json::array({"t", "status"}), {}},
           {{{"t", "pong"}}, {}},
           {{{"t", "bench.chunk"}, {"d", 5}}, {}},
           {{{"t", "notif.remove"}, {"key", 5}}, {}},
           {{{"t", "clip.set"}, {"text", repeat(400001)}}, {}},
           {{{"t", "clip.set"}}, {}},
           {{{"t", "file.accept"}, {"tid", 0}}, {}},
           {{{"t", "file.done"}, {"tid", "7"}}, {}},
           {{{"t", "apps"}, {"apps", json::array({{{"pkg", "a"}}, "b"})}}, {}},
           {{{"t", "apps"}, {"apps", {{"pkg", "a"}}}}, {}}});
}

TEST(ControlParser, EachReaderAtItsLimitAndOnePast) {
    const std::string name101 = repeat(101, "é");
    check({
        {{{"t", "pong"}, {"ts", kNow - 59999.5}}, E::Pong{59999}},
        {{{"t", "status"}, {"battery", 100}, {"charging", 1}, {"screen", false}},
         E::Status{{100, false, false, false, std::nullopt}}},
        {{{"t", "status"}, {"battery", 101}, {"charging", true}},
         E::Status{{std::nullopt, true, std::nullopt, false, std::nullopt}}},
        {{{"t", "status"}, {"battery", "50"}, {"fast", true}},
         E::Status{{std::nullopt, false, std::nullopt, true, std::nullopt}}},
        {{{"t", "bench.chunk"}, {"d", repeat(4096)}}, E::BenchChunk{3072}},
        {{{"t", "bench.chunk"}, {"d", repeat(5000, "ü")}}, E::BenchChunk{3072}},
        {{{"t", "bench.chunk"}, {"d", "abcde"}}, E::BenchChunk{3}},
        {{{"t", "bench.end"}, {"x", 1}}, E::BenchEnd{}},
        {{{"t", "net.offer"}, {"port", 1023}, {"addrs", {{{"ip", "192.168.0.9"}}, {{"ip", "127.0.0.1"}}}}},
         E::NetOffer{{{"192.168.0.9"}, 47625}}},
        {{{"t", "diag"}, {"info", "a\nb"}}, E::Diag{"| a\n| b", "| "}},
        {{{"t", "input.paused"}}, E::Control{PhoneControlNotice::paused}},
        {{{"t", "input.resumed"}}, E::Control{PhoneControlNotice::resumed}},
        {{{"t", "caps"}, {"appVersion", repeat(32, "1")}, {"appBuild", 10000000}},
         E::Caps{repeat(32, "1"), 10000000}},
        {{{"t", "caps"}, {"appVersion", repeat(33, "1")}, {"appBuild", 10000001}}, E::Caps{"?", 0}},
        {{{"t", "caps"}, {"appVersion", "2.0 beta"}, {"appBuild", 7.0}}, E::Caps{"?", 7}},
        {{{"t", "caps"}, {"appBuild", true}}, E::Caps{std::nullopt, 0}},
        {{{"t", "apps"}, {"apps", {{{"pkg", ""}}, {{"pkg", "x.y"}}, {{"pkg", "a"}, {"name", name101}}}}},
         E::Apps{{{"x.y", "x.y"}, {"a", repeat(100, "é")}}}},
        {{{"t", "apps"}, {"apps", appList(5001)}}, appsRead(5000)},
        {{{"t", "clip.set"}, {"text", repeat(400000)}}, E::ClipSet{repeat(400000)}},
        {{{"t", "file.accept"}, {"tid", 2147483647}}, E::FileAccept{2147483647}},
        {{{"t", "file.reject"}, {"tid", 1}}, E::FileReject{1}},
        {{{"t", "file.done"}, {"tid", 3}}, E::FileDone{3, false}},
        {{{"t", "file.done"}, {"tid", 3}, {"ok", 1}}, E::FileDone{3, false}},
        {{{"t", "file.done"}, {"tid", 3}, {"ok", true}}, E::FileDone{3, true}},
        {{{"t", "mirror.started"},
          {"width", 16},
          {"height", 8192},
          {"audio", {{"rate", 7999}, {"channels", 2}}}},
         E::MirrorStarted{MirrorStart{16, 8192, std::nullopt}}},
        {{{"t", "mirror.started"},
          {"width", 720},
          {"height", 1600},
          {"audio", {{"rate", 8000}, {"channels", 1}}}},
         E::MirrorStarted{MirrorStart{720, 1600, Inbound::AudioFormat{8000, 1}}}},
        {{{"t", "error"}}, E::PhoneError{L10n::string("err.unknown"), std::nullopt}},
        {{{"t", "error"}, {"message", repeat(301, "ç")}}, E::PhoneError{repeat(300, "ç"), std::nullopt}},
    });
}

}  // namespace
}  // namespace velmora
