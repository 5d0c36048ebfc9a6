// The phone's script: every line is checked before anything runs, and a bad one names its line and fault.
#include <gtest/gtest.h>

#include <sstream>

#include "sim_phone/computer_end.h"
#include "support/companion/script.h"

namespace velmora::test {
namespace {

using companion::parseScript;
using companion::parseScriptLine;
using companion::ScriptError;

TEST(PhoneScript, BadLinesAreRejectedWithTheirLineAndReason) {
    struct Case {
        const char* line;
        const char* says;
    };
    const std::vector<Case> cases = {
        {"dance", "ação desconhecida"},
        {"sleep", "número de argumentos errado (0)"},
        {"sleep soon", "\"soon\" não é um número"},
        {"sleep -5", "não é um número entre 0"},
        {"wait ring 0", "não é um número entre 1"},
        {"status battery=101", "\"101\" não é um número entre 0 e 100"},
        {"status volume=3", "não é um dos pares aceitos"},
        {"status screen=maybe", "\"maybe\" não é on/off"},
        {"notify com.x \"sem fim", "aspas sem fechar"},
        {"notify com.x title", "número de argumentos errado (2)"},
        {"notify com.x t x color=red", "não é um dos pares aceitos"},
        {"net-offer 70000 127.0.0.1", "não é um número entre 1 e 65535"},
        {"refuse-files talvez", "não é on/off"},
        {"raw {\"no\":1}", "JSON com \"t\" esperado"},
        {"raw nada", "JSON com \"t\" esperado"},
        {"caps now", "número de argumentos errado (1)"},
    };
    for (const Case& k : cases) {
        try {
            parseScriptLine(k.line, 7);
            ADD_FAILURE() << k.line << " was accepted";
        } catch (const ScriptError& e) {
            EXPECT_TRUE(std::string(e.what()).starts_with("linha 7")) << e.what();
            EXPECT_NE(std::string(e.what()).find(k.says), std::string::npos) << k.line << " -> " << e.what();
        }
    }
}

TEST(PhoneScript, AWholeScriptParsesOrNamesItsFirstBadLine) {
    std::istringstream good(
        "# a person's script\n\nwait-session\nnotify com.example.chat \"Ana Souza\" \"Chegou?\" key=k1 "
        "app=Conversa\n"
        "wait notif.action 30\nclip  texto com   espaços\nstatus battery=40 screen=off\nsend-file /tmp/a "
        "/tmp/b\n"
        "quit\n");
    const auto actions = parseScript(good);
    ASSERT_EQ(actions.size(), 7u);
    EXPECT_EQ(actions[1].args, (std::vector<std::string>{"com.example.chat", "Ana Souza", "Chegou?", "key=k1",
                                                         "app=Conversa"}));
    EXPECT_EQ(actions[1].line, 4);
    EXPECT_EQ(actions[3].args, (std::vector<std::string>{"texto", "com", "espaços"}));
    std::istringstream bad("wait-session\nclip ok\nsleep 10 20\n");
    EXPECT_THROW(
        {
            try {
                parseScript(bad);
            } catch (const ScriptError& e) {
                EXPECT_TRUE(std::string(e.what()).starts_with("linha 3 (sleep)")) << e.what();
                throw;
            }
        },
        ScriptError);
}

// The script drives the live phone: its messages reach the computer, and "wait" takes each message once.
TEST(PhoneScript, ActionsReachTheComputerAndWaitsTakeEachMessageOnce) {
    companion::CompanionPhone phone;
    Connected c(phone);
    companion::ScriptRunner runner(phone, {});
    const auto run = [&](const std::string& line) { return runner.run(*parseScriptLine(line, 1)); };
    EXPECT_TRUE(run("notify com.example.chat Ana \"Chegou?\" key=k1"));
    EXPECT_TRUE(run("status battery=40 screen=off"));
    EXPECT_TRUE(run("clip copiado no celular"));
    EXPECT_TRUE(run("pause-input"));
    EXPECT_TRUE(run("net-offer 47625 127.0.0.2"));
    EXPECT_TRUE(run("error accessibility_off"));
    const auto post = c.end.waitControl("notif.post");
    ASSERT_TRUE(post);
    const nlohmann::json p = c.end.records()[*post].message;
    EXPECT_EQ(p["key"], "k1");
    EXPECT_EQ(p["title"], "Ana");
    EXPECT_EQ(p["actions"][0], nlohmann::json({{"index", 0}, {"title", "Responder"}, {"reply", true}}));
    const auto status = c.end.waitControl("status", *post);
    ASSERT_TRUE(status);
    EXPECT_EQ(
        c.end.records()[*status].message,
        nlohmann::json(
            {{"t", "status"}, {"battery", 40}, {"charging", false}, {"fast", false}, {"screen", false}}));
    EXPECT_TRUE(c.end.waitControl("clip.set", *status));
    EXPECT_TRUE(c.end.waitControl("input.paused", *status));
    const auto offer = c.end.waitControl("net.offer", *status);
    ASSERT_TRUE(offer);
    EXPECT_EQ(c.end.records()[*offer].message,
              nlohmann::json({{"t", "net.offer"}, {"port", 47625}, {"addrs", {{{"ip", "127.0.0.2"}}}}}));
    EXPECT_TRUE(c.end.waitControl("error", *offer));

    c.session().sendControl({{"t", "ring"}, {"on", true}});
    EXPECT_TRUE(run("wait ring 60"));
    EXPECT_TRUE(phone.ringing());
    c.session().sendControl({{"t", "ring"}, {"on", false}});
    EXPECT_TRUE(run("wait ring 60"));  // the second ring, not the first again
    EXPECT_FALSE(phone.ringing());
    EXPECT_FALSE(run("quit"));
}

}  // namespace
}  // namespace velmora::test
