// velmora_sim_phone: the simulated phone as a program, playing the companion app for trying the computer's
// side by hand or from a script. It listens on 127.0.0.1 only and serves one connection at a time.

#include <cstdio>
#include <fstream>
#include <iostream>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "core/loopback.h"
#include "core/storage/secure_file.h"
#include "core/transport/tcp_transport.h"
#include "support/companion/companion_phone.h"
#include "support/companion/script.h"
#include "support/sim_phone_options.h"

namespace velmora {
namespace {

using companion::CompanionPhone;
using companion::ScriptAction;
using companion::ScriptError;
using companion::ScriptRunner;

std::mutex sayMutex;

// Whole lines, flushed at once: a test or a person reads them as they come.
void say(const std::string& line) {
    std::lock_guard lock(sayMutex);
    std::cout << line << std::endl;
}

// The same key on every run when a file is given, so a computer that paired with it still knows it.
P256PrivateKey phoneKey(const std::optional<std::string>& file) {
    if (!file) return P256PrivateKey::generate();
    if (SecureFile::inspect(*file, true) == SecureFile::Inspection::ok) {
        if (const auto raw = SecureFile::readBounded(*file, 32); raw && raw->size() == 32)
            return P256PrivateKey::fromRaw(*raw);
    }
    P256PrivateKey key = P256PrivateKey::generate();
    if (!SecureFile::writeAtomically(key.raw(), *file, 0600))
        std::cerr << "aviso: não consegui gravar a chave em " << *file << "\n";
    return key;
}

// The script's thread: a file's actions (checked whole before the phone starts) or standard input's, each
// run as it is read. "quit" ends the program; a failed action ends the script, not the phone.
class ScriptThread {
  public:
    ScriptThread(CompanionPhone& phone, std::optional<std::vector<ScriptAction>> actions, std::uint16_t port)
        : runner_(phone, say), thread_([this, actions = std::move(actions), port] { run(actions, port); }) {}
    ~ScriptThread() { thread_.join(); }
    bool quit() const { return quit_.load(); }
    bool done() const { return done_.load(); }

  private:
    void run(const std::optional<std::vector<ScriptAction>>& actions, std::uint16_t port) {
        try {
            if (actions) {
                for (const ScriptAction& a : *actions)
                    if (!step(a)) break;
            } else {
                std::string text;
                for (int line = 1; !quit_ && std::getline(std::cin, text); ++line) {
                    try {
                        if (const auto a = companion::parseScriptLine(text, line)) step(*a);
                    } catch (const ScriptError& e) {
                        say(std::string("roteiro: ") + e.what());
                    }
                }
            }
            if (!quit_) say("roteiro: fim");
        } catch (const ScriptError& e) {
            say(std::string("roteiro interrompido: ") + e.what());
        }
        done_.store(true);
        if (quit_) {
            // Wakes the phone's accept so the program ends now, not at the next connection.
            try {
                test::connectLoopback(port);
            } catch (const std::exception&) {
            }
        }
    }
    bool step(const ScriptAction& a) {
        say("roteiro: " + a.name);
        if (runner_.run(a)) return true;
        quit_.store(true);
        return false;
    }

    ScriptRunner runner_;
    std::atomic<bool> quit_{false}, done_{false};
    std::thread thread_;
};

int run(companion::SimPhoneOptions o) {
    std::optional<std::vector<ScriptAction>> actions;
    if (o.script && *o.script != "-") {
        std::ifstream in(*o.script);
        if (!in) {
            std::cerr << "não consegui ler o roteiro " << *o.script << "\n";
            return 2;
        }
        try {
            actions = companion::parseScript(in);
        } catch (const ScriptError& e) {
            std::cerr << "roteiro " << *o.script << ": " << e.what() << "\n";
            return 2;
        }
    }
    o.phone.say = say;
    CompanionPhone phone(o.phone, phoneKey(o.keyFile));
    for (const auto& id : o.paired)
        phone.phone().remember(id);
    std::optional<test::LoopbackListener> listener;
    try {
        listener.emplace(4, static_cast<std::uint16_t>(o.port));
    } catch (const std::system_error& e) {
        std::cerr << "não consegui escutar em 127.0.0.1:" << o.port << ": " << e.what() << "\n";
        return 1;
    }
    say("telefone simulado \"" + o.phone.name + "\" id " + phone.id() +
        " escutando em 127.0.0.1:" + std::to_string(listener->port()));
    std::optional<ScriptThread> script;
    if (o.script) script.emplace(phone, std::move(actions), listener->port());
    do {
        UniqueFd connection;
        try {
            connection = listener->accept();
        } catch (const std::system_error&) {  // a client that gave up before its turn
            continue;
        }
        if (script && script->quit()) break;
        say("conexão aceita");
        const PhoneOutcome out = phone.serve(std::make_shared<TcpTransport>(std::move(connection)));
        // A computer refused before its "auth" was verified has no id to show.
        const bool known = out.computerAuth.is_object();
        const std::string id = known ? out.computerAuth.value("id", "") : "";
        if (!id.empty()) say("computador: " + id + " (" + out.computerAuth.value("name", "") + ")");
        if (out.sessionReady && out.shownCode)
            say("pareado: as próximas conexões dele vão direto à sessão; numa próxima execução use "
                "--paired " +
                id + " e a mesma --key-file");
        say(out.sessionReady ? "sessão encerrada" : "abertura não concluída");
        if (!out.error.empty()) say((known ? "motivo: " : "computador recusado: ") + out.error);
    } while (!o.once && !(script && script->quit()));
    std::cout.flush();
    // A script still waiting (on standard input, or for a message that will not come) ends with the program.
    if (script && !script->done()) std::_Exit(0);
    return 0;
}

}  // namespace
}  // namespace velmora

int main(int argc, char** argv) {
    const std::vector<std::string> args(argv + 1, argv + argc);
    if (args.size() == 1 && args[0] == "--help") {
        std::cout << velmora::companion::kSimPhoneUsage << velmora::companion::kScriptHelp;
        return 0;
    }
    std::string error;
    auto options = velmora::companion::parseSimPhoneOptions(args, error);
    if (!options) {
        std::cerr << error << "\n" << velmora::companion::kSimPhoneUsage;
        return 2;
    }
    return velmora::run(std::move(*options));
}
