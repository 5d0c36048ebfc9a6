// The diagnostics report: its ten lines from plain facts, and the request to the phone with its 1.5 s wait.
#include <gtest/gtest.h>

#include "app/model/features/diagnostics/diagnostic_report.h"
#include "core/l10n/l10n.h"
#include "support/model_harness.h"

namespace velmora {
namespace {

// "line <from>" to "line <to>", joined by `separator`.
std::string lines(int from, int to, const std::string& separator) {
    std::string text = "line " + std::to_string(from);
    while (from < to)
        text += separator + "line " + std::to_string(++from);
    return text;
}

TEST(DiagnosticReport, TenLinesFromTheFacts) {
    const auto texts = nlohmann::json::parse(R"({"diag.language": "L %@", "diag.bluetooth": "B %d",
        "diag.local_network": "N %@ %@", "diag.connections": "C %@", "diag.off_marker": "off:", "diag.network": "W %@",
        "diag.state": "S %@ %@ %d %d %d", "diag.idle": "I %@", "diag.idle.report": "%@|%@|%@|%@|%@|%@",
        "diag.screen_off": "dark", "diag.screen_off_since": " %ds", "diag.log_header": "LOG"})")
                           .get<std::map<std::string, std::string>>();
    const L10n::Table table(texts.begin(), texts.end());
    L10n::setBundle(std::make_shared<const L10n::Bundle>(L10n::Bundle{{"pt-BR", table}, {"en", table}}));
    DiagnosticReport::Facts f;
    f.languageCode = "en", f.version = "0.1.0", f.build = 42, f.bluetoothState = 5;
    f.system = DiagnosticReport::systemText("ID=debian\nPRETTY_NAME=\"Debian GNU/Linux 12 (bookworm)\"\n",
                                            "Linux 6.1.0 x86_64");
    f.linkPrefs = {
        {ConnKind::usb, true}, {ConnKind::ble, false}, {ConnKind::wifi, true}, {ConnKind::hotspot, true}};
    f.network = "eth0 10.0.0.2/24 | gateway nenhum", f.state = ConnState::connected("Nimbo 7"),
    f.linkKind = "tcp";
    f.usbPhones = 1, f.blePhones = 2, f.phoneScreenOn = false, f.screenOffFor = 61.9;
    f.log = lines(1, 500, "\n\n") + "\n";  // empty lines do not count
    EXPECT_EQ(DiagnosticReport::text(f),
              "L en\nVelmora 0.1.0 (42) | Debian GNU/Linux 12 (bookworm); Linux 6.1.0 x86_64\nB 5\n"
              "N false false\nC usb > off:ble > wifi > hotspot\nW eth0 10.0.0.2/24 | gateway nenhum\n"
              "S connected(\"Nimbo 7\") tcp 1 0 2\nI false|dark| 61s|false|?|-\nLOG\n" +
                  lines(421, 500, "\n") + "\n");
    EXPECT_EQ(DiagnosticReport::logTail("caf\xC3\xA9\n\xEF\xBF\xBD\n"), "caf\xC3\xA9\n\xEF\xBF\xBD");
    EXPECT_EQ(DiagnosticReport::logTail("ok\n\xC3(\n"), "");  // not UTF-8: no tail at all
    L10n::setBundle(nullptr);
}

TEST(Diagnostics, CopiedAtOnceWithoutAPhoneAndWithItsAnswerOrItsSilenceWithOne) {
    std::atomic<bool> answers = true;  // the simulated phone's, over loopback
    PhoneConfig config;
    config.answer = [&](const nlohmann::json& m) {
        return m.value("t", "") != "diag.get" || !answers
                   ? std::vector<nlohmann::json>{}
                   : std::vector{nlohmann::json::parse(
                         R"({"t":"diag","info":"Android 14","log":"linha 1\nlinha 2"})")};
    };
    test::ModelHarness h(config);
    h.pairBothSides();
    AppModel& model = h.start();
    VelmoraLog::write("uma linha do registro");
    model.copyDiagnostics();
    EXPECT_TRUE(h.clipboard->text()->ends_with("uma linha do registro\n")) << *h.clipboard->text();
    EXPECT_EQ(model.state().panelNotice, (PanelNotice{L10n::string("panel.notice.diag_copied.title"),
                                                      L10n::string("panel.notice.diag_copied.text")}));
    h.plugInCable();
    ASSERT_TRUE(h.pumpUntil(ConnState::Kind::connected));
    model.copyDiagnostics();
    EXPECT_EQ(model.state().panelNotice, (PanelNotice{L10n::string("panel.notice.asking_phone_log"), {}}));
    const std::string block = "\n\n" + L10n::string("diag.phone_block.header") + "\n| Android 14\n" +
                              L10n::string("diag.phone_block.log_header") + "\n| linha 1\n| linha 2\n";
    ASSERT_TRUE(h.pumpUntil([&] { return h.clipboard->text()->ends_with(block); })) << *h.clipboard->text();
    answers = false, model.copyDiagnostics(), h.advance(1.5), model.finishDiagnostics("LATE BLOCK");
    EXPECT_TRUE(h.clipboard->text()->ends_with("\n\n" + L10n::string("diag.phone_no_reply") + "\n"));
}

}  // namespace
}  // namespace velmora
