// /etc/machine-info as the desktop's settings and people with an editor write it.
#include <gtest/gtest.h>

#include "platform/hostname/machine_info.h"

namespace velmora {
namespace {

TEST(MachineInfo, ReadsThePrettyHostName) {
    const struct {
        const char* text;
        const char* name;
    } cases[] = {
        {"", ""},
        {"CHASSIS=laptop\n", ""},
        {"PRETTY_HOSTNAME=Estudio\n", "Estudio"},
        {"PRETTY_HOSTNAME=\"Notebook da Ana\"\nCHASSIS=laptop", "Notebook da Ana"},
        {"PRETTY_HOSTNAME='O \"grande\"'", "O \"grande\""},
        {"PRETTY_HOSTNAME=\"Sala \\\"2\\\" \\\\ fundo\"", "Sala \"2\" \\ fundo"},
        {"  PRETTY_HOSTNAME=\"Recuado\"  \r\n", "Recuado"},
        {"# PRETTY_HOSTNAME=Comentado\n", ""},
        {"XPRETTY_HOSTNAME=Outro\n", ""},
        {"PRETTY_HOSTNAME=Primeiro\nPRETTY_HOSTNAME=Segundo\n", "Segundo"},
        {"PRETTY_HOSTNAME=\"Sem fim", "Sem fim"},
        {"PRETTY_HOSTNAME=\"Barra no fim\\", "Barra no fim\\"},
        {"PRETTY_HOSTNAME=\"Caf\xc3\xa9\"", "Caf\xc3\xa9"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(MachineInfo::prettyHostName(c.text), c.name) << c.text;
}

}  // namespace
}  // namespace velmora
