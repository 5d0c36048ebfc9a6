#include "support/sim_phone_options.h"

#include <charconv>

namespace velmora::companion {
namespace {

std::optional<long> number(const std::string& text, long low, long high) {
    long value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size() || value < low || value > high)
        return std::nullopt;
    return value;
}

}  // namespace

const char* const kSimPhoneUsage =
    "uso: velmora_sim_phone [opções]; escuta só em 127.0.0.1 e atende uma conexão por vez\n"
    "  --port N            porta (padrão 47625; 0: uma livre)   --name TEXTO   nome anunciado\n"
    "  --refuse            recusa o código de pareamento        --once         atende uma conexão e sai\n"
    "  --no-pairing        \"not_paired\" a computadores novos    --help         mostra estas opções\n"
    "  --key-file ARQ      chave do telefone (32 bytes), criada se faltar: o mesmo telefone a cada execução\n"
    "  --paired ID         id de um computador que o telefone já conhece (repetível)\n"
    "espelhamento (imagem H.264 de teste com relógio, contador e barras; som: um tom de 440 Hz):\n"
    "  --size LxA          tela do celular (padrão 720x1600)    --fps N        quadros por segundo (padrão "
    "30)\n"
    "  --no-sound          nunca envia som                       --mirror-delay MS   responde MS mais tarde\n"
    "  --mirror-refuse CÓDIGO   recusa com \"mirror.error\" (denied, encoder, ...;\n"
    "                           audio_unavailable: só o som, a imagem segue)\n"
    "  --mirror-approval MS     pede aprovação (\"permission_pending\") e começa MS depois\n"
    "arquivos, estado:\n"
    "  --save-dir PASTA    grava ali os arquivos recebidos        --refuse-files  recusa as ofertas de "
    "arquivo\n"
    "  --battery N         bateria informada (padrão 87)         --screen on|off tela informada (padrão on)\n"
    "roteiro:\n"
    "  --script ARQ        executa as ações de ARQ (\"-\": da entrada padrão, uma por linha, à medida que "
    "chegam)\n";

std::optional<SimPhoneOptions> parseSimPhoneOptions(const std::vector<std::string>& args,
                                                    std::string& error) {
    SimPhoneOptions o;
    CompanionSettings& p = o.phone;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        bool* const flag = arg == "--refuse"         ? &p.refusePairing
                           : arg == "--once"         ? &o.once
                           : arg == "--no-pairing"   ? &p.noPairing
                           : arg == "--refuse-files" ? &p.refuseFiles
                                                     : nullptr;
        if (flag) {
            *flag = true;
            continue;
        }
        if (arg == "--no-sound") {
            p.sound = false;
            continue;
        }
        if (i + 1 == args.size()) {
            error = arg.starts_with("--") ? "falta o valor de " + arg : "argumento inesperado: " + arg;
            return std::nullopt;
        }
        const std::string& value = args[++i];
        const auto bounded = [&](long low, long high) {
            const auto n = number(value, low, high);
            if (!n)
                error =
                    arg + ": \"" + value + "\" fora de " + std::to_string(low) + "..." + std::to_string(high);
            return n;
        };
        std::optional<long> n;
        if (arg == "--port") {
            if (!(n = bounded(0, 65535))) return std::nullopt;
            o.port = *n;
        } else if (arg == "--name") {
            p.name = value;
        } else if (arg == "--key-file") {
            o.keyFile = value;
        } else if (arg == "--paired") {
            o.paired.push_back(value);
        } else if (arg == "--script") {
            o.script = value;
        } else if (arg == "--save-dir") {
            p.saveDir = value;
        } else if (arg == "--fps") {
            if (!(n = bounded(1, 60))) return std::nullopt;
            p.fps = static_cast<int>(*n);
        } else if (arg == "--mirror-delay") {
            if (!(n = bounded(0, 600000))) return std::nullopt;
            p.mirrorDelayMs = static_cast<int>(*n);
        } else if (arg == "--mirror-approval") {
            if (!(n = bounded(0, 600000))) return std::nullopt;
            p.approvalMs = static_cast<int>(*n);
        } else if (arg == "--mirror-refuse") {
            p.mirrorRefuse = value;
        } else if (arg == "--battery") {
            if (!(n = bounded(0, 100))) return std::nullopt;
            p.status.battery = static_cast<int>(*n);
        } else if (arg == "--screen") {
            if (value != "on" && value != "off") {
                error = "--screen: on ou off";
                return std::nullopt;
            }
            p.status.screen = value == "on";
        } else if (arg == "--size") {
            const auto x = value.find('x');
            const auto w = x == std::string::npos ? std::nullopt : number(value.substr(0, x), 16, 4096);
            const auto h = x == std::string::npos ? std::nullopt : number(value.substr(x + 1), 16, 4096);
            if (!w || !h) {
                error = "--size: LARGURAxALTURA, cada uma entre 16 e 4096";
                return std::nullopt;
            }
            p.width = static_cast<int>(*w) & ~1;
            p.height = static_cast<int>(*h) & ~1;
        } else {
            error = "opção desconhecida: " + arg;
            return std::nullopt;
        }
    }
    return o;
}

}  // namespace velmora::companion
