#include "app/shell/logic/pairing_code.h"

#include <QString>
#include <algorithm>

namespace velmora::PairingCode {

std::vector<std::string> digits(const std::string& code) {
    std::vector<std::string> out;
    const QString text = QString::fromUtf8(code.data(), static_cast<qsizetype>(code.size()));
    for (qsizetype i = 0; i < text.size();) {
        const char32_t scalar = text.at(i).isHighSurrogate() && i + 1 < text.size()
                                    ? QChar::surrogateToUcs4(text.at(i), text.at(i + 1))
                                    : text.at(i).unicode();
        const qsizetype units = scalar > 0xFFFF ? 2 : 1;
        const auto category = QChar::category(scalar);
        if (category == QChar::Number_DecimalDigit || category == QChar::Number_Letter ||
            category == QChar::Number_Other) {
            out.push_back(text.mid(i, units).toStdString());
        }
        i += units;
    }
    return out;
}

bool showsBoxes(const std::vector<std::string>& digits) {
    return digits.size() == 6;
}

std::string spoken(const std::vector<std::string>& digits) {
    std::string out;
    for (const auto& d : digits)
        out += (out.empty() ? "" : " ") + d;
    return out;
}

int tick(int left) {
    return std::max(0, left - 1);
}

double readinessWait(double elapsed) {
    return std::max(0.0, readyAfter - elapsed);
}

}  // namespace velmora::PairingCode
