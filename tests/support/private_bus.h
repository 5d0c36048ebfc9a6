#pragma once

#include <gtest/gtest.h>

#include <QDBusConnection>
#include <QStandardPaths>
#include <QThread>
#include <optional>

#include "support/session_bus_daemon.h"

namespace velmora::test {

// A dbus-daemon of the test's own, with a fake desktop service (`Portal`, a QObject whose slots and
// properties are its methods and properties) served from a thread of its own, so that the code under test may
// block on the portal's answer on the main thread. The application side connects as "app-side", the portal as
// "portal-side".
template <typename Portal>
class PrivatePortalBus : public ::testing::Test {
  protected:
    static constexpr const char* kService = "org.freedesktop.portal.Desktop";
    static constexpr const char* kPath = "/org/freedesktop/portal/desktop";

    void SetUp() override {
        if (QStandardPaths::findExecutable("dbus-daemon").isEmpty()) GTEST_SKIP() << "no dbus-daemon";
        address_ = daemon_.emplace().address();
        ASSERT_FALSE(address_.isEmpty()) << "dbus-daemon did not start";
        portal_.moveToThread(&thread_);
        thread_.start();
    }

    void TearDown() override {
        if (thread_.isRunning()) {
            onPortalThread([] { QDBusConnection::disconnectFromBus("portal-side"); });
            thread_.quit();
            thread_.wait();
        }
        QDBusConnection::disconnectFromBus("app-side");
        daemon_.reset();
    }

    // Puts the portal on the bus under its well-known name (the desktop portal's unless told another);
    // false when the bus refused.
    bool servePortal(const QString& service = kService, const QString& path = kPath) {
        bool served = false;
        onPortalThread([&] {
            auto bus = QDBusConnection::connectToBus(address_, "portal-side");
            served =
                bus.registerObject(path, &portal_,
                                   QDBusConnection::ExportAllSlots | QDBusConnection::ExportAllProperties) &&
                bus.registerService(service);
        });
        return served;
    }

    // Runs `f` on the portal's thread and returns when it is done: the way to touch the portal's fields.
    template <typename F>
    void onPortalThread(F f) {
        QMetaObject::invokeMethod(&portal_, f, Qt::BlockingQueuedConnection);
    }

    QDBusConnection appBus() { return QDBusConnection::connectToBus(address_, "app-side"); }

    std::optional<SessionBusDaemon> daemon_;
    QString address_;
    QThread thread_;
    Portal portal_;
};

}  // namespace velmora::test
