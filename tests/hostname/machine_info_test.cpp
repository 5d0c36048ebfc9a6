// /etc/machine-info as the desktop's settings and people with an editor write it.
#include <gtest/gtest.h>

#include "platform/hostname/machine_info.h"

TEST(MachineInfo, ReadsThePrettyHostName) {
    const char* cases[][2] = {
        {"CHASSIS=laptop\n# PRETTY_HOSTNAME=Comentado\nXPRETTY_HOSTNAME=Outro", ""},
        {"  PRETTY_HOSTNAME='O \"grande\"'  \r\nCHASSIS=laptop", "O \"grande\""},
        {"PRETTY_HOSTNAME=Primeiro\nPRETTY_HOSTNAME=\"Sala \\\"2\\\" \\\\ fundo\"", "Sala \"2\" \\ fundo"},
        {"PRETTY_HOSTNAME=\"Sem fim\\", "Sem fim\\"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(velmora::MachineInfo::prettyHostName(c[0]), c[1]) << c[0];
}
