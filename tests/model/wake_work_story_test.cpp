// Work the user asks for while the link rests on Bluetooth (a file to send, the mirror to start) wakes the
// link and runs over the fast link once it is back; over Bluetooth when no faster link answers; not at all
// when the session ends first. Loopback behind every link, on the model's fake clock.
#include <fstream>

#include "app/model/connection/session_swap.h"
#include "core/l10n/l10n.h"
#include "link_rig.h"

namespace velmora {
namespace {

using Kind = ConnState::Kind;
using nlohmann::json;
using test::Rig;

// The phone of these stories: its screen off on every session; it takes any file whole and starts the
// mirror at once. Each control message it receives is journaled as "<link> <json>", the link being the one
// named when the session began (the phone reads its configuration once per connection).
PhoneConfig takingPhone(Rig& r, const std::string& link) {
    PhoneConfig c = Rig::phoneConfig(false);
    c.onControl = [j = r.h.journal, link](const json& m) { j->add(link + " " + m.dump()); };
    struct Offer {
        json tid;
        std::size_t size = 0, got = 0;
    };
    auto offer = std::make_shared<Offer>();  // the phone's thread only
    c.answer = [offer](const json& m) {
        if (m.value("t", "") == "mirror.start")
            return std::vector<json>{{{"t", "mirror.started"}, {"width", 720}, {"height", 1600}}};
        if (m.value("t", "") != "file.offer") return std::vector<json>{};
        *offer = {m["tid"], m.value("size", std::size_t{0}), 0};
        return std::vector<json>{{{"t", "file.accept"}, {"tid", m["tid"]}}};
    };
    c.onRecord = [offer](const Frame& f) {
        offer->got += f.payload.size() - 4;  // after the record's transfer id
        if (offer->got < offer->size) return std::vector<json>{};
        return std::vector<json>{{{"t", "file.done"}, {"tid", offer->tid}, {"ok", true}}};
    };
    return c;
}

// A network session descended to Bluetooth: the phone's screen has been off for a minute.
void restOnBluetooth(Rig& r) {
    r.connect(false);
    r.h.phone.setConfig(takingPhone(r, "ble"));
    ASSERT_TRUE(r.logged("modo ocioso: mantendo tcp: "));  // the phone's first status: its screen is off
    r.live(57);
    ASSERT_TRUE(r.liveUntil([&] { return r.count("modo ocioso: abrindo sessão Bluetooth") > 0; }));
    ASSERT_TRUE(r.h.pumpUntil([&] { return r.state().idleDescended; }));  // the clock held: no guard cuts
    ASSERT_EQ(r.state().linkKind, "ble");
    r.h.phone.setConfig(takingPhone(r, "fast"));  // any session after the Bluetooth one
}

// The index in the journal of the first entry starting with `prefix`, after `from`; -1 when none.
int indexOf(Rig& r, const std::string& prefix, int from = -1) {
    const auto all = r.h.journal->all();
    for (int i = from + 1; i < static_cast<int>(all.size()); ++i)
        if (all[static_cast<std::size_t>(i)].starts_with(prefix)) return i;
    return -1;
}

// Table: a file, then the mirror, each asked for while resting: the link climbs ("pedido do usuário"), and
// the work goes out only on the network session, opened after the Bluetooth one. With every network
// address refusing, the climb finds nothing and the work goes over Bluetooth at once, the mirror with its
// slow profile.
TEST(WakeWork, AFileOrTheMirrorAskedWhileRestingWaitsForTheFastLinkOrGoesOverBluetooth) {
    for (const std::string row : {"file", "mirror", "file, no fast link", "mirror, no fast link"}) {
        SCOPED_TRACE(row);
        Rig r(false, {"10.0.0.5"});
        restOnBluetooth(r);
        const bool fastLink = !row.ends_with("no fast link");
        if (!fastLink) r.links->refused = {"10.0.0.5"};
        const bool file = row.starts_with("file");
        const std::filesystem::path path = r.h.dir.path() / "nota.txt";
        std::ofstream(path) << "olá, celular";
        if (file)
            r.model().sendFiles({path});
        else
            r.model().startMirror();
        const std::string work = file ? " {\"name\":\"nota.txt\"" : " {\"audio\"";
        EXPECT_EQ(indexOf(r, "ble" + work), -1) << "nothing went yet";
        ASSERT_TRUE(r.logged("modo ocioso: pedido do usuário; subindo para o caminho rápido"));
        if (file) {
            const std::string sent = L10n::format("transfer.sent", {"nota.txt"});
            ASSERT_TRUE(r.h.pumpUntil([&] { return r.state().transferText == sent; }));
        } else {
            ASSERT_TRUE(
                r.h.pumpUntil([&] { return r.state().transferText != L10n::string("transfer.preparing"); }));
            ASSERT_TRUE(r.h.pumpUntil([&] { return indexOf(r, (fastLink ? "fast" : "ble") + work) >= 0; }));
            EXPECT_TRUE(r.state().mirroring);
            EXPECT_FALSE(r.state().transferText);
        }
        EXPECT_EQ(r.state().linkKind, fastLink ? "tcp" : "ble");
        const int over = indexOf(r, (fastLink ? "fast" : "ble") + work);
        ASSERT_GE(over, 0) << "went over the " << (fastLink ? "network session" : "Bluetooth session");
        EXPECT_EQ(indexOf(r, (fastLink ? "ble" : "fast") + work), -1);
        if (fastLink) {
            ASSERT_TRUE(r.logged("subindo para wifi"));
        }
        if (!file) {
            const std::string entry = r.h.journal->all()[static_cast<std::size_t>(over)];
            const json start = json::parse(entry.substr(entry.find(' ') + 1));
            EXPECT_EQ(start["maxSize"], fastLink ? 1600 : 1024);
            EXPECT_EQ(r.count("espelhamento lento (1 quadro/s, 1024 px) pelo Bluetooth"), fastLink ? 0 : 1);
        }
    }
}

// Table: the session ends while the climb is held: the waiting work is dropped, "preparing" goes, and
// nothing is sent on the session that follows.
TEST(WakeWork, WorkWaitingForTheWakeIsDroppedWithItsSession) {
    for (const std::string row : {"file", "mirror"}) {
        SCOPED_TRACE(row);
        Rig r(false, {"10.0.0.5"});
        restOnBluetooth(r);
        r.links->held = {"10.0.0.5"};
        const std::filesystem::path path = r.h.dir.path() / "nota.txt";
        std::ofstream(path) << "olá, celular";
        if (row == "file") r.model().sendFiles({path});
        if (row == "mirror") {
            r.model().startMirror();
            EXPECT_EQ(r.state().transferText, L10n::string("transfer.preparing"));
        }
        ASSERT_TRUE(r.logged("tentando subir de ble para wifi"));
        r.model().liveSession()->close();
        ASSERT_TRUE(r.h.pumpUntil(Kind::idle));
        EXPECT_FALSE(r.state().transferText);
        EXPECT_FALSE(r.state().mirroring);
        r.openGate();
        r.h.advanceSettled(AppModel::reconnectDelay + 0.5);
        ASSERT_TRUE(r.h.pumpUntil(Kind::connected));
        r.live(SessionSwap::wakeWaitSeconds + 3);
        for (const char* link : {"ble", "fast"}) {
            EXPECT_EQ(indexOf(r, link + std::string(" {\"name\":\"nota.txt\"")), -1);
            EXPECT_EQ(indexOf(r, link + std::string(" {\"audio\"")), -1);
        }
        EXPECT_FALSE(r.state().transferText);
    }
}

}  // namespace
}  // namespace velmora
