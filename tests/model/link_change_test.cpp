// Upgrades, the idle descent and climb back, and the wake; the simulated phone behind every link (loopback).
#include <gtest/gtest.h>

#include "link_rig.h"

namespace velmora {
namespace {

using Kind = ConnState::Kind;
using test::Rig;

// Table: past a refused first address the upgrade commits; or the live session is lost, or mirroring
// starts, while the new session opens, and the finish discards the new one.
TEST(LinkUpgrade, ABluetoothSessionMovesToTheNetworkUnlessStaleOrBusy) {
    for (const std::string row : {"commit", "stale", "busy"}) {
        SCOPED_TRACE(row);
        Rig r;
        r.connect(true);
        std::vector<Kind> seen;
        const Subscription watch = r.model().observe([&] { seen.push_back(r.state().state.kind()); });
        const auto old = r.model().liveSession();
        r.links->held = {row == "commit" ? "" : "10.0.0.5"};
        r.upgradeNow();
        if (row == "stale") old->close();
        if (row == "busy") r.model().startMirror();
        ASSERT_TRUE(r.h.pumpUntil(row == "stale" ? Kind::idle : Kind::connected));
        r.openGate();
        ASSERT_TRUE(r.logged("conexão anterior encerrada (trocada por uma melhor)"));  // old or discarded
        const std::string busy = "subida cancelada: espelhamento ou transferência começou durante a troca; ";
        EXPECT_EQ(r.count(busy + "mantendo a sessão l2cap"), int{row == "busy"});
        EXPECT_EQ(r.count("sessão encerrada"), int{row == "stale"});  // a replaced session closes quietly
        const auto kind = row == "commit" ? ConnKind::wifi : ConnKind::ble;
        EXPECT_EQ(r.state().activeKind, row == "stale" ? std::nullopt : std::optional(kind));
        if (row != "commit") continue;
        const std::string tries = r.key("10.0.0.1") + ", " + r.key("10.0.0.5");
        EXPECT_EQ(r.count("tentando subir de ble para wifi: " + tries), 1);
        EXPECT_EQ(r.count("subida falhou em "), 1);
        EXPECT_EQ(r.count("subindo para wifi (" + r.key("10.0.0.5") + "); encerrando a conexão anterior"), 1);
        EXPECT_EQ(std::tie(r.state().linkKind, r.state().bleFast), std::tuple("tcp", false));
        EXPECT_TRUE(old->closed());
        EXPECT_EQ(std::ranges::count(seen, Kind::idle), 0);
        EXPECT_FALSE(r.h.journal->waitFor(R"(phone {"t":"status.get"})").empty());
    }
}

TEST(LinkUpgrade, AStalledHandshakeIsCutAtSevenSecondsAndItsAddressRestsFortyFive) {
    Rig r({}, {"10.0.0.7"});
    r.connect(true);
    r.upgradeNow();
    ASSERT_TRUE(r.logged("conexão de rede: "));  // connecting: its guard is set by then
    r.h.advance(6.9);
    EXPECT_EQ(r.count("subida falhou"), 0);
    r.h.advance(0.2);
    ASSERT_TRUE(r.logged("subida falhou em " + r.key("10.0.0.7")));
    r.live(42);  // the rest counts from the failure's line: 45 s ends between the next two ticks
    r.upgradeNow();
    EXPECT_EQ(r.count("tentando subir"), 1);
    EXPECT_TRUE(r.liveUntil([&] { return r.upgradeNow(), r.count("tentando subir") == 2; }));
}

// A new network (its default gateway changed) forgets the upgrade's rest at once: an address that failed on
// the old one may answer on the new one.
TEST(LinkUpgrade, AGatewayChangeEndsTheRestOfAFailedUpgrade) {
    Rig r({}, {"10.0.0.7"});
    r.connect(true);
    r.upgradeNow();
    ASSERT_TRUE(r.logged("conexão de rede: "));
    r.h.advance(7.1);
    ASSERT_TRUE(r.logged("subida falhou em " + r.key("10.0.0.7")));
    r.live(3);
    r.upgradeNow();
    EXPECT_EQ(r.count("tentando subir"), 1) << "resting";
    r.network->moveTo("192.168.50.1");
    ASSERT_TRUE(r.logged("gateway padrão do computador: 192.168.50.1"));
    r.upgradeNow();
    EXPECT_EQ(r.count("tentando subir"), 2);
}

// Table: a network session whose phone's screen stays off moves to Bluetooth and climbs back for fast work
// or the user's; or the finish aborts for a loss; or the Bluetooth link does not open and the descent rests.
TEST(IdleDescent, ANetworkSessionRestsOnBluetoothOnlyWhileNothingHappens) {
    for (const std::string row : {"fast", "user", "loss", "failure"}) {
        SCOPED_TRACE(row);
        Rig r(false, {"10.0.0.5"});
        r.connect(false);
        if (r.state().blePhones.empty()) GTEST_SKIP() << "the Bluetooth list comes with discovery";
        const auto idle = [&r](const std::string& rest) { return r.logged("modo ocioso: " + rest); };
        ASSERT_TRUE(idle("mantendo tcp: "));                 // the screen went off just now
        PhoneConfig next = Rig::phoneConfig(row == "fast");  // what the Bluetooth session reports
        next.onControl = [j = r.h.journal](const nlohmann::json& m) { j->add("phone " + m.dump()); };
        r.h.phone.setConfig(next);
        r.links->held = {row == "loss" ? "ble" : ""};
        if (row == "failure") r.links->refused = {"ble"};
        r.live(57);
        EXPECT_EQ(r.count("modo ocioso: abrindo"), 0);
        r.live(3);
        ASSERT_TRUE(idle("abrindo sessão Bluetooth antes de fechar a tcp (tela do celular apagada há 60 s)"));
        if (row == "failure") {
            ASSERT_TRUE(idle("a sessão Bluetooth não abriu ("));
            r.live(117);
            EXPECT_EQ(r.count("modo ocioso: abrindo"), 1);
            EXPECT_TRUE(r.liveUntil([&] { return r.count("modo ocioso: abrindo") == 2; }));  // heard on main
        } else if (row == "loss") {
            r.model().liveSession()->close();
            ASSERT_TRUE(r.h.pumpUntil(Kind::idle));
            r.openGate();
            ASSERT_TRUE(
                idle("o celular voltou a ser usado (ou algo começou) durante a troca; ficando em tcp"));
            ASSERT_TRUE(r.logged("conexão anterior encerrada (trocada por uma melhor)"));
            EXPECT_EQ(r.count("sessão encerrada"), 1);  // the discarded session took the quiet road
        } else {
            ASSERT_TRUE(idle("descendo para Bluetooth (l2cap); encerrando a sessão tcp"));
            std::vector<std::string> order;
            if (row == "user") {
                ASSERT_TRUE(r.h.pumpUntil([&] { return r.state().idleDescended; }));
                EXPECT_EQ(std::tie(r.state().linkKind, r.state().bleFast), std::tuple("ble", true));
                r.model().afterWake([&] { order.push_back("first over " + r.state().linkKind); });
                r.model().afterWake([&] { order.push_back("second"); });  // climbing already: at once
            }
            ASSERT_TRUE(idle(row == "fast" ? "o celular começou uma atividade rápida; subindo"
                                           : "pedido do usuário; subindo"));
            ASSERT_TRUE(r.logged("subindo para wifi"));
            EXPECT_EQ(r.count("sessão encerrada"), 0);
            const std::vector<std::string> user{"second", "first over tcp"};
            EXPECT_EQ(order, row == "fast" ? std::vector<std::string>{} : user);
        }
    }
}

TEST(ComputerWake, RestartsTheSearchesForgetsFailuresAndPlansThreeSecondsLater) {
    Rig r;
    r.links->refused = {"127.0.0.1"};
    r.h.plugInCable();
    ASSERT_TRUE(r.h.pumpUntil([&] { return r.state().lastError.has_value(); }));
    r.links->refused.clear();
    r.links->wake();
    ASSERT_TRUE(r.logged("computador acordou: reiniciando buscas e candidatos"));
    r.h.advance(2.9);
    EXPECT_EQ(r.h.journal->all().back(), "central.start");  // paused at once, started 0.5 s later
    EXPECT_EQ(r.state().state.kind(), Kind::idle);
    r.h.advance(0.1);  // the failure's rest (4 s) would still hold: the wake forgot it
    EXPECT_TRUE(r.h.pumpUntil(Kind::connected));
}

}  // namespace
}  // namespace velmora
