// velmora_sim_phone: the simulated phone as a program, for trying the computer's side by hand. It
// listens on 127.0.0.1 only and serves one connection at a time.

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>

#include <cerrno>
#include <cstring>
#include <iostream>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/crypto/p256_private_key.h"
#include "core/protocol/control_json.h"
#include "core/storage/secure_file.h"
#include "core/transport/tcp_transport.h"
#include "core/posix/unique_fd.h"
#include "support/simulated_phone.h"

namespace velmora {
namespace {

constexpr const char* kUsage =
    "uso: velmora_sim_phone [opções]\n"
    "  --port N          porta em 127.0.0.1 (padrão 47625; 0 escolhe uma livre)\n"
    "  --name TEXTO      nome anunciado (padrão \"Celular Simulado\")\n"
    "  --key-file ARQ    chave do telefone (32 bytes); criada se não existir, para ele ser o mesmo entre "
    "execuções\n"
    "  --paired ID       id de um computador que o telefone já conhece (repetível)\n"
    "  --refuse          recusa o código de pareamento\n"
    "  --ask             pergunta no terminal se o código confere\n"
    "  --no-pairing      responde \"not_paired\" a computadores desconhecidos\n"
    "  --once            atende uma conexão e sai\n"
    "  --help            mostra estas opções\n";

struct Options {
    std::uint16_t port = 47625;
    std::string name = "Celular Simulado";
    std::optional<std::string> keyFile;
    std::vector<std::string> paired;
    bool refuse = false;
    bool ask = false;
    bool noPairing = false;
    bool once = false;
    bool help = false;
};

std::optional<Options> parse(int argc, char** argv) {
    Options o;
    const std::map<std::string_view, bool Options::*> switches = {{"--refuse", &Options::refuse},
                                                                  {"--ask", &Options::ask},
                                                                  {"--no-pairing", &Options::noPairing},
                                                                  {"--once", &Options::once},
                                                                  {"--help", &Options::help}};
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        const bool hasValue = i + 1 < argc;
        if (const auto it = switches.find(arg); it != switches.end()) {
            o.*(it->second) = true;
        } else if (arg == "--port" && hasValue) {
            const long port = std::strtol(argv[++i], nullptr, 10);
            if (port < 0 || port > 65535) return std::nullopt;
            o.port = static_cast<std::uint16_t>(port);
        } else if (arg == "--name" && hasValue) {
            o.name = argv[++i];
        } else if (arg == "--key-file" && hasValue) {
            o.keyFile = argv[++i];
        } else if (arg == "--paired" && hasValue) {
            o.paired.emplace_back(argv[++i]);
        } else {
            return std::nullopt;
        }
    }
    return o;
}

// The same key on every run when a file is given, so a computer that paired with it still knows it.
P256PrivateKey phoneKey(const std::optional<std::string>& file) {
    if (!file) return P256PrivateKey::generate();
    if (SecureFile::inspect(*file, true) == SecureFile::Inspection::ok) {
        if (const auto raw = SecureFile::readBounded(*file, 32); raw && raw->size() == 32) {
            return P256PrivateKey::fromRaw(*raw);
        }
    }
    P256PrivateKey key = P256PrivateKey::generate();
    if (!SecureFile::writeAtomically(key.raw(), *file, 0600)) {
        std::cerr << "aviso: não consegui gravar a chave em " << *file << "\n";
    }
    return key;
}

UniqueFd listenOnLoopback(std::uint16_t port, std::uint16_t& bound) {
    UniqueFd fd(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0));
    if (!fd.valid()) return fd;
    const int one = 1;
    ::setsockopt(fd.get(), SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(port);
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof a;
    if (::bind(fd.get(), reinterpret_cast<sockaddr*>(&a), sizeof a) != 0 || ::listen(fd.get(), 4) != 0 ||
        ::getsockname(fd.get(), reinterpret_cast<sockaddr*>(&a), &length) != 0) {
        return UniqueFd();
    }
    bound = ntohs(a.sin_port);
    return fd;
}

std::mutex outputMutex;  // the phone's thread and the prompt write to the terminal

void say(const std::string& line) {
    std::lock_guard lock(outputMutex);
    std::cout << line << std::endl;
}

bool confirmCode(const Options& o, const std::string& code) {
    say("código de pareamento: " + code);
    if (o.refuse) return false;
    if (!o.ask) return true;
    say("o código confere com o do computador? [s/n]");
    std::string answer;
    std::getline(std::cin, answer);
    return !answer.empty() && (answer[0] == 's' || answer[0] == 'S' || answer[0] == 'y');
}

PhoneConfig configFor(const Options& o) {
    PhoneConfig config;
    config.name = o.name;
    config.readyToPair = !o.noPairing;
    config.accept = [o](const std::string& code) { return confirmCode(o, code); };
    // What a phone says first once the session stands: what it can do and how it is.
    const nlohmann::json caps = {{"t", "caps"}, {"mirror", true}, {"files", true}, {"clipboard", true}};
    const nlohmann::json status = {{"t", "status"}, {"battery", 87}, {"charging", false}, {"screen", true}};
    config.afterReady = {{0, encodeJSON(caps)}, {0, encodeJSON(status)}};
    config.onControl = [](const nlohmann::json& m) { say("recebido: " + m.dump()); };
    return config;
}

int run(const Options& o) {
    SimulatedPhone phone(configFor(o), phoneKey(o.keyFile));
    for (const auto& id : o.paired)
        phone.remember(id);
    std::uint16_t port = 0;
    UniqueFd listener = listenOnLoopback(o.port, port);
    if (!listener.valid()) {
        std::cerr << "não consegui escutar em 127.0.0.1:" << o.port << ": " << std::strerror(errno) << "\n";
        return 1;
    }
    say("telefone simulado \"" + o.name + "\" id " + phone.id() +
        " escutando em 127.0.0.1:" + std::to_string(port));
    do {
        UniqueFd connection(::accept4(listener.get(), nullptr, nullptr, SOCK_CLOEXEC));
        if (!connection.valid()) continue;
        say("conexão aceita");
        const PhoneOutcome out = phone.serve(std::make_shared<TcpTransport>(std::move(connection)));
        if (!out.computerId.empty()) say("computador: " + out.computerId + " (" + out.computerName + ")");
        if (out.sessionReady && out.shownCode) {
            say("pareado; numa próxima execução use --paired " + out.computerId + " (e a mesma --key-file)");
        }
        say(out.sessionReady ? "sessão encerrada" : "abertura não concluída");
        if (!out.error.empty()) say("motivo: " + out.error);
    } while (!o.once);
    return 0;
}

}  // namespace
}  // namespace velmora

int main(int argc, char** argv) {
    const auto options = velmora::parse(argc, argv);
    if (!options || options->help) {
        (options ? std::cout : std::cerr) << velmora::kUsage;
        return options ? 0 : 2;
    }
    return velmora::run(*options);
}
