#include "app/model/connection/idle_policy.h"

#include <array>

namespace velmora::IdlePolicy {
namespace {

constexpr std::array<Stay, 10> kAllStays{Stay::notTcp,
                                         Stay::cable,
                                         Stay::oldPhone,
                                         Stay::screenOn,
                                         Stay::notIdleLongEnough,
                                         Stay::fastActivity,
                                         Stay::busy,
                                         Stay::bluetoothOff,
                                         Stay::bluetoothUnavailable,
                                         Stay::cooldown};

}  // namespace

std::string_view rawValue(Stay reason) {
    switch (reason) {
        case Stay::notTcp:
            return "sessão não é TCP";
        case Stay::cable:
            return "cabo USB (energia do cabo; mantém o caminho rápido)";
        case Stay::oldPhone:
            return "celular não informa a tela (versão antiga)";
        case Stay::screenOn:
            return "tela do celular acesa";
        case Stay::notIdleLongEnough:
            return "tela apagada há menos de 60 s";
        case Stay::fastActivity:
            return "espelhando ou transferindo arquivo";
        case Stay::busy:
            return "troca de conexão em andamento";
        case Stay::bluetoothOff:
            return "Bluetooth desligado nas preferências";
        case Stay::bluetoothUnavailable:
            return "Bluetooth indisponível neste computador ou não visto no celular: ficando no Wi-Fi "
                   "(o celular solta os locks 30 s depois de a tela apagar e a conexão segue sem eles)";
        case Stay::cooldown:
            return "descida recente falhou; aguardando";
    }
    return "";
}

std::optional<Stay> stayFromRaw(std::string_view raw) {
    for (Stay s : kAllStays) {
        if (rawValue(s) == raw) return s;
    }
    return std::nullopt;
}

Decision descend(const DescendInputs& in) {
    if (!in.tcpSession) return Decision::staying(Stay::notTcp);
    // A cable powers the phone and is the fastest path: nothing to save by leaving it.
    if (in.cable) return Decision::staying(Stay::cable);
    if (!in.phoneReportsScreen) return Decision::staying(Stay::oldPhone);
    if (!in.phoneScreenOffFor) return Decision::staying(Stay::screenOn);
    if (in.phoneFast || in.mirroring || in.transferring) return Decision::staying(Stay::fastActivity);
    if (in.busy) return Decision::staying(Stay::busy);
    if (*in.phoneScreenOffFor < descendAfterScreenOff) return Decision::staying(Stay::notIdleLongEnough);
    if (!in.bluetoothAllowed) return Decision::staying(Stay::bluetoothOff);
    if (!in.bluetoothReady) return Decision::staying(Stay::bluetoothUnavailable);
    if (in.cooldown) return Decision::staying(Stay::cooldown);
    return Decision::descend();
}

double pingInterval(bool bluetooth, bool phoneScreenOff) {
    return bluetooth && phoneScreenOff ? 15 : 3;
}

double silenceLimit(bool bluetooth, bool phoneScreenOff) {
    if (bluetooth) return phoneScreenOff ? 45 : 20;
    return phoneScreenOff ? 20 : 9;
}

bool isWirelessAdb(std::string_view serial) {
    return serial.find("._adb-tls-connect.") != std::string_view::npos ||
           serial.find("._adb._tcp") != std::string_view::npos || serial.find(':') != std::string_view::npos;
}

}  // namespace velmora::IdlePolicy
