// velmora_sim_phone: the simulated phone as a program, for trying the computer's side by hand. It
// listens on 127.0.0.1 only and serves one connection at a time.

#include <iostream>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/loopback.h"
#include "core/protocol/control_json.h"
#include "core/storage/secure_file.h"
#include "core/transport/tcp_transport.h"
#include "support/simulated_phone.h"

namespace velmora {
namespace {

constexpr const char* kUsage =
    "uso: velmora_sim_phone [opções]; escuta só em 127.0.0.1\n"
    "  --port N      porta (padrão 47625; 0: uma livre)    --name TEXTO  nome anunciado\n"
    "  --refuse      recusa o código de pareamento         --once        atende uma conexão e sai\n"
    "  --no-pairing  \"not_paired\" a computadores novos     --help        mostra estas opções\n"
    "  --key-file ARQ  chave do telefone (32 bytes), criada se faltar: o mesmo telefone a cada execução\n"
    "  --paired ID     id de um computador que o telefone já conhece (repetível)\n";

struct Options {
    long port = 47625;
    std::string name = "Celular Simulado";
    bool refuse = false, noPairing = false, once = false;
    std::optional<std::string> keyFile;
    std::vector<std::string> paired;
};

std::optional<Options> parse(int argc, char** argv) {
    Options o;
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        bool* const flag = arg == "--refuse"       ? &o.refuse
                           : arg == "--once"       ? &o.once
                           : arg == "--no-pairing" ? &o.noPairing
                                                   : nullptr;
        if (flag) {
            *flag = true;
        } else if (i + 1 == argc) {
            return std::nullopt;
        } else if (arg == "--port") {
            o.port = std::strtol(argv[++i], nullptr, 10);
        } else if (arg == "--name") {
            o.name = argv[++i];
        } else if (arg == "--key-file") {
            o.keyFile = argv[++i];
        } else if (arg == "--paired") {
            o.paired.emplace_back(argv[++i]);
        } else {
            return std::nullopt;
        }
    }
    if (o.port < 0 || o.port > 65535) return std::nullopt;
    return o;
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

void say(const std::string& line) {
    std::cout << line << std::endl;
}

int run(const Options& o) {
    const auto accept = [o](const std::string& code) {
        say("código de pareamento: " + code);
        return !o.refuse;
    };
    // What a phone says first once the session stands: what it can do and how it is.
    const std::vector<Frame> greeting = {
        {Ch::control, encodeJSON({{"t", "caps"}, {"mirror", true}, {"files", true}})},
        {Ch::control, encodeJSON({{"t", "status"}, {"battery", 87}, {"charging", false}})}};
    SimulatedPhone phone({.name = o.name,
                          .readyToPair = !o.noPairing,
                          .accept = accept,
                          .afterReady = greeting,
                          .onControl = [](const nlohmann::json& m) { say("recebido: " + m.dump()); }},
                         phoneKey(o.keyFile));
    for (const auto& id : o.paired)
        phone.remember(id);
    std::optional<test::LoopbackListener> listener;
    try {
        listener.emplace(4, static_cast<std::uint16_t>(o.port));
    } catch (const std::system_error& e) {
        std::cerr << "não consegui escutar em 127.0.0.1:" << o.port << ": " << e.what() << "\n";
        return 1;
    }
    say("telefone simulado \"" + o.name + "\" id " + phone.id() +
        " escutando em 127.0.0.1:" + std::to_string(listener->port()));
    do {
        UniqueFd connection;
        try {
            connection = listener->accept();
        } catch (const std::system_error&) {  // a client that gave up before its turn
            continue;
        }
        say("conexão aceita");
        const PhoneOutcome out = phone.serve(std::make_shared<TcpTransport>(std::move(connection)));
        const std::string id = out.computerAuth.value("id", "");
        if (!id.empty()) say("computador: " + id + " (" + out.computerAuth.value("name", "") + ")");
        if (out.sessionReady && out.shownCode)
            say("pareado: as próximas conexões dele vão direto à sessão; numa próxima execução use "
                "--paired " +
                id + " e a mesma --key-file");
        say(out.sessionReady ? "sessão encerrada" : "abertura não concluída");
        if (!out.error.empty()) say("motivo: " + out.error);
    } while (!o.once);
    return 0;
}

}  // namespace
}  // namespace velmora

int main(int argc, char** argv) {
    const auto options = velmora::parse(argc, argv);
    const bool help = argc == 2 && std::string_view(argv[1]) == "--help";
    if (!options || help) (help ? std::cout : std::cerr) << velmora::kUsage;
    return help ? 0 : options ? velmora::run(*options) : 2;
}
