// QtDBus delivers signals through an event loop: one QCoreApplication for the whole run.
#include <gtest/gtest.h>

#include <QCoreApplication>

#include "core/exec/executor.h"

int main(int argc, char** argv) {
    // The log's queue reads the shared clock until it ends at exit. Statics die in the reverse order of their
    // making, so the clock is made here, before the log's first line, to outlive that queue.
    velmora::SteadyClock::shared();
    QCoreApplication app(argc, argv);
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
