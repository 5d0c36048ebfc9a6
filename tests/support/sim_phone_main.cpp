// velmora_sim_phone: the simulated phone as a program, playing the companion app for trying the computer's
// side by hand or from a script. It listens on 127.0.0.1 only and serves one connection at a time.

#include <atomic>
#include <condition_variable>
#include <cstdio>
#include <fstream>
#include <iostream>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "core/storage/secure_file.h"
#include "support/companion/companion_phone.h"
#include "support/companion/phone_server.h"
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

// Waits for the program's end: "quit" from the script, or the one connection of --once.
class Ending {
  public:
    void signal() {
        {
            std::lock_guard lock(mutex_);
            ended_ = true;
        }
        changed_.notify_all();
    }
    void wait() {
        std::unique_lock lock(mutex_);
        changed_.wait(lock, [&] { return ended_; });
    }

  private:
    std::mutex mutex_;  // guards ended_
    std::condition_variable changed_;
    bool ended_ = false;
};

// The script's thread: a file's actions (checked whole before the phone starts) or standard input's, each
// run as it is read. "quit" ends the program; a failed action ends the script, not the phone.
class ScriptThread {
  public:
    ScriptThread(CompanionPhone& phone, std::optional<std::vector<ScriptAction>> actions, Ending& ending)
        : runner_(phone, say),
          ending_(ending),
          thread_([this, actions = std::move(actions)] { run(actions); }) {}
    ~ScriptThread() { thread_.join(); }
    bool done() const { return done_.load(); }

  private:
    void run(const std::optional<std::vector<ScriptAction>>& actions) {
        bool quit = false;
        try {
            if (actions) {
                for (const ScriptAction& a : *actions)
                    if ((quit = !step(a))) break;
            } else {
                std::string text;
                for (int line = 1; !quit && std::getline(std::cin, text); ++line) {
                    try {
                        if (const auto a = companion::parseScriptLine(text, line)) quit = !step(*a);
                    } catch (const ScriptError& e) {
                        say(std::string("roteiro: ") + e.what());
                    }
                }
            }
            if (!quit) say("roteiro: fim");
        } catch (const ScriptError& e) {
            say(std::string("roteiro interrompido: ") + e.what());
        }
        done_.store(true);
        if (quit) ending_.signal();
    }
    bool step(const ScriptAction& a) {
        say("roteiro: " + a.name);
        return runner_.run(a);
    }

    ScriptRunner runner_;
    Ending& ending_;
    std::atomic<bool> done_{false};
    std::thread thread_;
};

void report(const PhoneOutcome& out) {
    // A computer refused before its "auth" was verified has no id to show.
    const bool known = out.computerAuth.is_object();
    const std::string id = known ? out.computerAuth.value("id", "") : "";
    if (!id.empty()) say("computador: " + id + " (" + out.computerAuth.value("name", "") + ")");
    say(out.sessionReady ? "sessão encerrada" : "abertura não concluída");
    if (!out.error.empty()) say((known ? "motivo: " : "computador recusado: ") + out.error);
}

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
    Ending ending;
    std::optional<companion::PhoneServer> server;
    try {
        server.emplace(phone, static_cast<std::uint16_t>(o.port), [&](const PhoneOutcome& out) {
            report(out);
            if (o.once) ending.signal();
        });
    } catch (const std::system_error& e) {
        std::cerr << "não consegui escutar em 127.0.0.1:" << o.port << ": " << e.what() << "\n";
        return 1;
    }
    say("telefone simulado \"" + o.phone.name + "\" id " + phone.id() +
        " escutando em 127.0.0.1:" + std::to_string(server->port()));
    std::optional<ScriptThread> script;
    if (o.script) script.emplace(phone, std::move(actions), ending);
    ending.wait();
    server.reset();
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
