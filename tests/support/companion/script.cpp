#include "support/companion/script.h"

#include <algorithm>
#include <charconv>
#include <map>
#include <thread>

#include "support/companion/companion_phone.h"

namespace velmora::companion {
namespace {

constexpr double kSessionWait = 60;
constexpr double kDefaultWait = 60;

struct Shape {
    int minArgs, maxArgs;  // maxArgs -1: any number
    bool needsLink;
};

const std::map<std::string, Shape, std::less<>> kActions = {
    {"wait-session", {0, 1, false}},  {"wait", {1, 2, false}},        {"sleep", {1, 1, false}},
    {"notify", {3, 6, true}},         {"remove", {0, 1, true}},       {"clip", {1, -1, true}},
    {"send-file", {1, -1, true}},     {"status", {1, 5, true}},       {"caps", {0, 0, true}},
    {"apps", {0, 0, true}},           {"net-offer", {2, -1, true}},   {"error", {1, -1, true}},
    {"pause-input", {0, 0, true}},    {"resume-input", {0, 0, true}}, {"mirror-stall", {0, 0, false}},
    {"mirror-resume", {0, 0, false}}, {"mirror-stop", {0, 0, true}},  {"mirror-start", {0, 0, true}},
    {"refuse-files", {1, 1, false}},  {"silent", {1, 1, false}},      {"raw", {1, -1, true}},
    {"hang-up", {0, 0, true}},        {"quit", {0, 0, false}}};

std::vector<std::string> words(const std::string& text, int line) {
    std::vector<std::string> out;
    std::string word;
    bool quoted = false, inWord = false;
    for (const char c : text) {
        if (c == '"') {
            quoted = !quoted;
            inWord = true;
        } else if (!quoted && (c == ' ' || c == '\t' || c == '\r')) {
            if (inWord) out.push_back(word);
            word.clear();
            inWord = false;
        } else {
            word += c;
            inWord = true;
        }
    }
    if (quoted) throw ScriptError("linha " + std::to_string(line) + ": aspas sem fechar");
    if (inWord) out.push_back(word);
    return out;
}

[[noreturn]] void bad(const ScriptAction& a, const std::string& why) {
    throw ScriptError("linha " + std::to_string(a.line) + " (" + a.name + "): " + why);
}

long number(const ScriptAction& a, const std::string& text, long low, long high) {
    long value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size() || value < low || value > high)
        bad(a,
            "\"" + text + "\" não é um número entre " + std::to_string(low) + " e " + std::to_string(high));
    return value;
}

bool yesNo(const ScriptAction& a, const std::string& text) {
    if (text == "on" || text == "yes" || text == "sim") return true;
    if (text == "off" || text == "no" || text == "não" || text == "nao") return false;
    bad(a, "\"" + text + "\" não é on/off");
}

// key=value words of "status" and the options of "notify", checked while parsing.
std::map<std::string, std::string> pairs(const ScriptAction& a, std::size_t from,
                                         const std::vector<std::string>& allowed) {
    std::map<std::string, std::string> out;
    for (std::size_t i = from; i < a.args.size(); ++i) {
        const auto eq = a.args[i].find('=');
        const std::string key = a.args[i].substr(0, eq);
        if (eq == std::string::npos || std::find(allowed.begin(), allowed.end(), key) == allowed.end())
            bad(a, "\"" + a.args[i] + "\" não é um dos pares aceitos");
        out[key] = a.args[i].substr(eq + 1);
    }
    return out;
}

PhoneStatus statusOf(const ScriptAction& a, PhoneStatus s) {
    for (const auto& [key, value] : pairs(a, 0, {"battery", "charging", "screen", "fast", "locks"})) {
        if (key == "battery") s.battery = static_cast<int>(number(a, value, 0, 100));
        if (key == "charging") s.charging = yesNo(a, value);
        if (key == "screen") s.screen = yesNo(a, value);
        if (key == "fast") s.fast = yesNo(a, value);
        if (key == "locks") s.locks = yesNo(a, value);
    }
    return s;
}

Notification notificationOf(const ScriptAction& a) {
    Notification n;
    n.pkg = a.args[0];
    n.title = a.args[1];
    n.text = a.args[2];
    for (const auto& [key, value] : pairs(a, 3, {"key", "app", "reply"})) {
        if (key == "key") n.key = value;
        if (key == "app") n.app = value;
        if (key == "reply") n.reply = yesNo(a, value);
    }
    return n;
}

std::string joined(const std::vector<std::string>& args, std::size_t from) {
    std::string out;
    for (std::size_t i = from; i < args.size(); ++i)
        out += (i > from ? " " : "") + args[i];
    return out;
}

// The checks that need no phone: every value an action will read.
void check(const ScriptAction& a) {
    if (a.name == "sleep") number(a, a.args[0], 0, 3600000);
    if (a.name == "wait-session" && !a.args.empty()) number(a, a.args[0], 1, 3600);
    if (a.name == "wait" && a.args.size() == 2) number(a, a.args[1], 1, 3600);
    if (a.name == "status") statusOf(a, {});
    if (a.name == "notify") notificationOf(a);
    if (a.name == "net-offer") number(a, a.args[0], 1, 65535);
    if (a.name == "refuse-files" || a.name == "silent") yesNo(a, a.args[0]);
    if (a.name == "raw") {
        const auto parsed = nlohmann::json::parse(joined(a.args, 0), nullptr, false);
        if (parsed.is_discarded() || !parsed.is_object() || !parsed.contains("t"))
            bad(a, "JSON com \"t\" esperado");
    }
}

}  // namespace

const char* const kScriptHelp =
    "ações do roteiro (uma por linha; \"aspas\" juntam palavras; # comenta):\n"
    "  wait-session [S]            espera uma sessão (S segundos, padrão 60)\n"
    "  wait TIPO [S]               espera uma mensagem TIPO do computador (ring, clip.set, notif.action, "
    "...)\n"
    "  sleep MS                    pausa MS milissegundos\n"
    "  notify PKG TÍTULO TEXTO [key=K] [app=NOME] [reply=on|off]   posta uma notificação\n"
    "  remove [KEY]                remove a notificação KEY (padrão: a última postada)\n"
    "  clip TEXTO...               copia TEXTO no celular (vai ao computador)\n"
    "  send-file ARQ [ARQ...]      envia arquivos ao computador, todos ao mesmo tempo\n"
    "  status battery=N charging=on|off screen=on|off fast=on|off locks=on|off   informa o estado\n"
    "  caps | apps                 reenviam as capacidades / a lista de apps\n"
    "  net-offer PORTA IP [IP...]  oferece outro endereço\n"
    "  error CÓDIGO [MENSAGEM...]  envia um erro do celular\n"
    "  pause-input | resume-input  pausa / libera o controle pelo computador\n"
    "  mirror-start                o celular começa o espelhamento por conta própria\n"
    "  mirror-stall | mirror-resume | mirror-stop   trava / retoma / encerra a imagem no celular\n"
    "  refuse-files on|off         recusa ou aceita os próximos arquivos\n"
    "  silent on|off               o celular some sem fechar a conexão (sem pong, imagem parada) / volta\n"
    "  raw JSON                    envia uma mensagem de controle qualquer\n"
    "  hang-up                     derruba a sessão      quit   encerra o programa\n";

std::optional<ScriptAction> parseScriptLine(const std::string& text, int line) {
    const auto first = text.find_first_not_of(" \t\r");
    if (first == std::string::npos || text[first] == '#') return std::nullopt;
    std::vector<std::string> w = words(text, line);
    ScriptAction a{line, w.front(), {w.begin() + 1, w.end()}};
    const auto shape = kActions.find(a.name);
    if (shape == kActions.end()) bad(a, "ação desconhecida");
    const int n = static_cast<int>(a.args.size());
    if (n < shape->second.minArgs || (shape->second.maxArgs >= 0 && n > shape->second.maxArgs))
        bad(a, "número de argumentos errado (" + std::to_string(n) + ")");
    check(a);
    return a;
}

std::vector<ScriptAction> parseScript(std::istream& in) {
    std::vector<ScriptAction> out;
    std::string text;
    for (int line = 1; std::getline(in, text); ++line)
        if (auto a = parseScriptLine(text, line)) out.push_back(std::move(*a));
    return out;
}

ScriptRunner::ScriptRunner(CompanionPhone& phone, std::function<void(const std::string&)> say)
    : phone_(phone), say_(std::move(say)) {}

bool ScriptRunner::run(const ScriptAction& a) {
    const Shape shape = kActions.at(a.name);
    if (shape.needsLink && !phone_.waitForSession(kSessionWait)) bad(a, "nenhuma sessão");
    const auto sent = [&](bool ok) {
        if (!ok) bad(a, "a sessão caiu antes do envio");
    };
    if (a.name == "quit") return false;
    if (a.name == "wait-session") {
        if (!phone_.waitForSession(a.args.empty() ? kSessionWait : std::stod(a.args[0])))
            bad(a, "nenhuma sessão");
    } else if (a.name == "wait") {
        const double seconds = a.args.size() == 2 ? std::stod(a.args[1]) : kDefaultWait;
        const auto m = phone_.inbox().waitControl(a.args[0], cursor_, seconds, &cursor_);
        if (!m) bad(a, "nenhuma mensagem " + a.args[0]);
        if (say_) say_("roteiro: chegou " + m->dump());
    } else if (a.name == "sleep") {
        std::this_thread::sleep_for(std::chrono::milliseconds(std::stol(a.args[0])));
    } else if (a.name == "notify") {
        sent(phone_.notify(notificationOf(a)));
    } else if (a.name == "remove") {
        sent(phone_.removeNotification(a.args.empty() ? phone_.lastNotificationKey() : a.args[0]));
    } else if (a.name == "clip") {
        sent(phone_.sendClipboard(joined(a.args, 0)));
    } else if (a.name == "send-file") {
        std::vector<std::filesystem::path> files(a.args.begin(), a.args.end());
        for (const SentFile& f : phone_.sendFiles(files))
            if (f.outcome != "sent" && say_) say_("roteiro: " + f.path.string() + " não foi: " + f.outcome);
    } else if (a.name == "status") {
        sent(phone_.sendStatus(statusOf(a, phone_.status())));  // the pairs left out keep their values
    } else if (a.name == "caps") {
        sent(phone_.sendCaps());
    } else if (a.name == "apps") {
        sent(phone_.sendApps());
    } else if (a.name == "net-offer") {
        sent(phone_.sendNetOffer(std::stoi(a.args[0]), {a.args.begin() + 1, a.args.end()}));
    } else if (a.name == "error") {
        sent(phone_.sendError(a.args[0], joined(a.args, 1)));
    } else if (a.name == "pause-input" || a.name == "resume-input") {
        sent(phone_.pauseInput(a.name == "pause-input"));
    } else if (a.name == "mirror-stall" || a.name == "mirror-resume") {
        phone_.stallMirror(a.name == "mirror-stall");
    } else if (a.name == "mirror-start") {
        sent(phone_.startMirrorFromPhone());
    } else if (a.name == "mirror-stop") {
        phone_.stopMirrorFromPhone();
    } else if (a.name == "silent") {
        phone_.setSilent(yesNo(a, a.args[0]));
    } else if (a.name == "refuse-files") {
        phone_.setRefuseFiles(yesNo(a, a.args[0]));
    } else if (a.name == "raw") {
        sent(phone_.sendControl(nlohmann::json::parse(joined(a.args, 0))));
    } else if (a.name == "hang-up") {
        phone_.hangUp();
    }
    return true;
}

}  // namespace velmora::companion
