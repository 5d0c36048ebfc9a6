#include "app/links/installer/phone_installer.h"

#include "app/links/adb_output.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "support/scoped_env.h"
#include "support/temp_dir.h"
#include "support/wait_until.h"

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <optional>
#include <thread>

#include "app/links/installer/apk_integrity.h"
#include "app/links/installer/section_choice.h"
#include "core/crypto/cxp_crypto.h"
#include "core/exec/manual_executor.h"
#include "core/exec/serial_queue.h"
#include "core/l10n/l10n.h"
#include "core/log/velmora_log.h"
#include "core/process/posix_process_runner.h"
#include "links/fake_adb.h"

namespace velmora {
namespace {

namespace fs = std::filesystem;
using Kind = InstallFailure::Kind;

InstallFailure fail(Kind kind, std::optional<std::string> detail = {}) {
    return {kind, std::move(detail)};
}

TEST(Interpret, FirstRuleThatHoldsDecides) {
    const struct {
        std::optional<AdbResult> result;
        InstallOutcome outcome;
    } cases[] = {
        {std::nullopt, {fail(Kind::adbMissing)}},
        {AdbResult{0, "Success\n", true, false}, {fail(Kind::timedOut)}},
        {AdbResult{0, "Performing Streamed Install\nSuccess\n"}, {}},
        {AdbResult{1, "Performing Streamed Install\nSuccess\n"}, {fail(Kind::other, "Success")}},
        {AdbResult{0, "success\n"}, {fail(Kind::other, "success")}},
        // Cut at the output cap: whatever came before, not a success.
        {AdbResult{0, "Success\n" + std::string(100, 'x'), false, true},
         {fail(Kind::other, std::string(100, 'x'))}},
        {AdbResult{1, "error: device unauthorized. INSTALL_FAILED_ABORTED"}, {fail(Kind::unauthorized)}},
        {AdbResult{1, "Failure [INSTALL_FAILED_USER_RESTRICTED: Install canceled by user]"},
         {fail(Kind::userRestricted)}},
        {AdbResult{1, "Failure [INSTALL_FAILED_VERIFICATION_FAILURE]"}, {fail(Kind::verification)}},
        {AdbResult{1, "Blocked by play protect"}, {fail(Kind::verification)}},
        {AdbResult{1, "signatures do not match previously installed version"},
         {fail(Kind::signatureMismatch)}},
        {AdbResult{1, "Failure [INSTALL_FAILED_VERSION_DOWNGRADE]"}, {fail(Kind::downgrade)}},
        {AdbResult{1, "failure [install_failed_version_downgrade]"}, {fail(Kind::downgrade)}},
        {AdbResult{1, "error: no devices/emulators found"}, {fail(Kind::deviceGone)}},
        {AdbResult{1, "adb: error: device offline"}, {fail(Kind::deviceGone)}},
        {AdbResult{1, "error: device not found"}, {fail(Kind::deviceGone)}},
        {AdbResult{1, "adb: error: device 'R58N123' not found\n"}, {fail(Kind::deviceGone)}},
        {AdbResult{1, "the device 'x' is fine, file not found"},
         {fail(Kind::other, "the device 'x' is fine, file not found")}},
        {AdbResult{0, ""}, {fail(Kind::other)}},
        {AdbResult{1, "first\n  last line \t\n\n   \r\n"}, {fail(Kind::other, "last line")}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(interpret(c.result), c.outcome) << (c.result ? c.result->output : "no result");
    EXPECT_EQ(fail(Kind::other).message(),
              L10n::format("install.fail.other", {L10n::string("install.fail.no_detail")}));
}

TEST(ApkIntegrity, ExpectedHashIsTheFirstTokenWhenItIsSixtyFourHexDigits) {
    const std::string d(64, 'a');
    const std::pair<std::string, std::optional<std::string>> cases[] = {
        {d, d},
        {d + "\n", d},
        {d + "  Velmora.apk\n", d},
        {"\u3000\t" + std::string(64, 'A') + "\u2028x", d},
        {d.substr(1), {}},
        {d + "a", {}},
        {d.substr(1) + "g", {}},
        {d.substr(1) + "-", {}},
        {"", {}},
        {" \n\u00a0", {}},
    };
    for (const auto& [text, expected] : cases)
        EXPECT_EQ(ApkIntegrity::parseExpectedHash(text), expected) << text;
}

class Staging : public ::testing::Test {
  protected:
    void SetUp() override { fs::create_directory(tmp / "t"); }
    fs::path package(std::size_t size) {
        std::string bytes(size, '\0');
        for (std::size_t i = 0; i < size; ++i)
            bytes[i] = static_cast<char>(i * 7919 % 251);
        std::ofstream(tmp / "p.apk", std::ios::binary) << bytes;
        digest = CXPCrypto::hex(
            CXPCrypto::sha256(ByteView(reinterpret_cast<const std::uint8_t*>(bytes.data()), size)));
        return tmp / "p.apk";
    }
    std::size_t leftovers() const {
        return static_cast<std::size_t>(std::distance(fs::directory_iterator(tmp / "t"), {}));
    }

    test::TempDir dir{"velmora-staging"};
    fs::path tmp = dir.path();
    std::string digest;
};

TEST_F(Staging, CopiesIntoPrivateFilesAndHandsBackOnlyAMatchingCopy) {
    for (const std::size_t size : {std::size_t{0}, ApkIntegrity::chunkSize, ApkIntegrity::chunkSize + 1}) {
        const auto apk = package(size);
        const auto result = ApkIntegrity::stage(apk, digest, tmp / "t");
        ASSERT_TRUE(std::holds_alternative<ApkIntegrity::Staged>(result)) << size;
        const auto& staged = std::get<ApkIntegrity::Staged>(result);
        EXPECT_EQ(fs::status(staged.dir).permissions(), fs::perms::owner_all);
        EXPECT_EQ(fs::status(staged.file).permissions(), fs::perms::owner_read | fs::perms::owner_write);
        EXPECT_EQ(fs::file_size(staged.file), size);
        EXPECT_EQ(ApkIntegrity::stage(apk, digest, tmp / "t").index(), 0u);  // a second folder of its own
        EXPECT_EQ(leftovers(), 2u);
        fs::remove_all(tmp / "t"), fs::create_directory(tmp / "t");
    }
    const auto apk = package(10);
    const std::pair<std::optional<std::string>, ApkIntegrity::Failure> refusals[] = {
        {std::nullopt, ApkIntegrity::Failure::noExpectedHash},
        {digest.substr(1), ApkIntegrity::Failure::noExpectedHash},
        {std::string(64, 'z'), ApkIntegrity::Failure::mismatch},
    };
    for (const auto& [expected, failure] : refusals)
        EXPECT_EQ(ApkIntegrity::stage(apk, expected, tmp / "t"), ApkIntegrity::StageResult(failure));
    EXPECT_EQ(ApkIntegrity::stage(tmp / "none.apk", digest, tmp / "t"),
              ApkIntegrity::StageResult(ApkIntegrity::Failure::unreadable));
    EXPECT_EQ(leftovers(), 0u);
}

TEST_F(Staging, ALinkInPlaceOfTheCopyOrAReadErrorIsUnreadable) {
    fs::create_symlink(tmp / "victim", tmp / "t" / "Velmora.apk");
    const int source = ::open(package(10).c_str(), O_RDONLY);
    EXPECT_EQ(ApkIntegrity::copyHashed(source, tmp / "t" / "Velmora.apk").index(), 1u);
    EXPECT_FALSE(fs::exists(tmp / "victim"));
    ::close(source);
    // A pipe whose writer stays open but sends nothing more: the read after the first bytes fails (EAGAIN),
    // which must not pass for the end of a short package.
    int fds[2];
    ASSERT_EQ(::pipe2(fds, O_NONBLOCK), 0);
    ASSERT_EQ(::write(fds[1], "abc", 3), 3);
    EXPECT_EQ(ApkIntegrity::copyHashed(fds[0], tmp / "t" / "copy"),
              (std::variant<std::string, ApkIntegrity::Failure>(ApkIntegrity::Failure::unreadable)));
    ::close(fds[0]), ::close(fds[1]);
}

using test::FakeAdb;
using test::printed;

// The install's staged copy has a new name each time: recorded as "-s SERIAL install -r", its size kept.
struct StagedCopy {
    std::string path;
    std::uintmax_t bytes = 0;
};

const std::string query = "shell pm list packages " + std::string(PhoneInstaller::packageId);

class Installer : public Staging {
  protected:
    void SetUp() override {
        Staging::SetUp();
        adb->rename = [this](const ProcessRequest& request, const std::string& line) {
            const auto at = line.find(" install -r ");
            if (at == std::string::npos) return line;
            staged = {request.arguments.back(), fs::file_size(request.arguments.back())};
            return line.substr(0, at + 11);
        };
    }
    void make(PhoneInstaller::Package package = {}) {
        installer = std::make_unique<PhoneInstaller>("/usr/bin/adb", std::move(package), queue, queue, adb);
        installer->setOnChange([this] { ++changes; });
    }
    void answer(const std::string& line, const std::string& text, int status = 0) {
        adb->answers[line] = printed(text, status);
    }
    std::vector<std::string> serials(const std::vector<PhoneInstaller::Candidate>& list) const {
        std::vector<std::string> out;
        for (const auto& c : list)
            out.push_back(c.serial + "/" + c.model);
        return out;
    }

    std::shared_ptr<ManualExecutor> queue = std::make_shared<ManualExecutor>(0);
    std::shared_ptr<FakeAdb> adb = std::make_shared<FakeAdb>();
    StagedCopy staged;
    std::unique_ptr<PhoneInstaller> installer;
    int changes = 0;
};

TEST_F(Installer, PollsCablePhonesAndLeavesThoseWithTheAppAloneForThirtySeconds) {
    answer("devices -l",
           "* daemon started successfully\nList of devices attached\n"
           "NEW device usb:1-1 product:p model:Phone_7_Pro\nHAS device usb:1-2\n"
           "LONG device usb:1-3 model:M\nLOCK unauthorized usb:1-4\nOFF offline usb:1-5\n"
           "10.0.0.9:5555 device product:p model:Net\nTAB\tdevice usb:1-6\n");
    answer("-s HAS " + query, "  package:" + std::string(PhoneInstaller::packageId) + "  \r\n");
    answer("-s NEW " + query, "package:" + std::string(PhoneInstaller::packageId) + "x\n");
    answer("-s LONG " + query, "package:" + std::string(PhoneInstaller::packageId) + ".beta\n");
    make();
    installer->start();
    installer->start();
    queue->advance(1.99);
    EXPECT_TRUE(adb->take().empty());
    queue->advance(0.01);
    EXPECT_EQ(adb->take(), (std::vector<std::string>{"devices -l", "-s NEW " + query, "-s HAS " + query,
                                                     "-s LONG " + query}));
    EXPECT_EQ(serials(installer->candidates()), (std::vector<std::string>{"NEW/Phone-7-Pro", "LONG/M"}));
    EXPECT_EQ(serials(installer->cableDevices()),
              (std::vector<std::string>{"NEW/Phone-7-Pro", "HAS/HAS", "LONG/M"}));
    EXPECT_EQ(installer->unauthorized(), 1);
    EXPECT_EQ(changes, 1);
    for (int poll = 1; poll <= 8;
         ++poll) {  // HAS, found at 2 s, is asked again at 34 s, the first poll 30 s on
        queue->advance(4);
        EXPECT_EQ(adb->take().size(), poll < 8 ? 3u : 4u) << poll;
    }
    EXPECT_EQ(changes, 1);                                  // nothing changed, nothing published
    answer("devices -l", "List of devices attached\n", 1);  // a failed list publishes nothing
    queue->advance(4);
    EXPECT_EQ(installer->candidates().size(), 2u);
    answer("devices -l", "List of devices attached\n");
    queue->advance(4);
    EXPECT_TRUE(installer->candidates().empty() && installer->cableDevices().empty());
    EXPECT_EQ(installer->unauthorized(), 0);
}

// Table: lines with control characters (a serial "\r", a bell, an escape, a NUL) are no phone to the
// installer, exactly as to the USB bridge: both read the cable the same way, and adb is never run with such
// a serial.
TEST_F(Installer, ReadsTheDeviceListByTheBridgesRule) {
    const std::string header = "List of devices attached\n";
    const std::string rows[] = {"\r device usb:1-7 model:X\n", "BEL\a device usb:1-7\n",
                                "ESC\x1b[31m device usb:1-7\n",
                                std::string("NU\0L device usb:1-7\n", sizeof "NU\0L device usb:1-7\n" - 1),
                                "OK device usb:1-8 model:Y\r\r\n"};
    for (const std::string& row : rows) {
        SCOPED_TRACE(::testing::PrintToString(row));
        const std::string list = header + row + "GOOD device usb:1-9 model:Z\n";
        std::vector<std::string> bridge;
        for (const auto& device : AdbOutput::cableDevices(list))
            bridge.push_back(device.serial);
        std::vector<std::string> installer;
        for (const auto& device : PhoneInstaller::parseDevices(list))
            installer.push_back(device.serial);
        EXPECT_EQ(installer, bridge);
        EXPECT_EQ(bridge, std::vector<std::string>{"GOOD"});
    }
    answer("devices -l", header + "\r device usb:1-7 model:X\nGOOD device usb:1-9 model:Z\n");
    answer("-s GOOD " + query, "");
    make();
    installer->start();
    queue->advance(2);
    EXPECT_EQ(adb->take(), (std::vector<std::string>{"devices -l", "-s GOOD " + query}));
    EXPECT_EQ(serials(installer->candidates()), std::vector<std::string>{"GOOD/Z"});
}

TEST_F(Installer, InstallsAVerifiedCopyOnOnePhoneAtATime) {
    answer("devices -l", "List of devices attached\nS1 device usb:1 model:A\nS2 device usb:2 model:B\n");
    make();
    installer->install({"S1", "A"});  // no package in this build: refused at once
    EXPECT_EQ(installer->status(), InstallStatus::failed({"S1", "A"}, fail(Kind::noInstaller)));
    answer("-s S1 " + query, ""), answer("-s S2 " + query, "");
    make({package(3000), digest});
    installer->start();
    queue->advance(2);
    ASSERT_EQ(installer->candidates().size(), 2u);
    adb->take();
    answer("-s S1 install -r", "Performing Streamed Install\nSuccess\n");
    installer->install({"S1", "A"});
    installer->install({"S2", "B"});  // ignored: one install at a time
    EXPECT_EQ(installer->status(), InstallStatus::installing({"S1", "A"}));
    queue->advance(4);  // the install goes first; this poll finds nothing to query but S2
    EXPECT_EQ(installer->status(), InstallStatus::success({"S1", "A"}));
    EXPECT_EQ(staged.bytes, 3000u);
    EXPECT_FALSE(fs::exists(fs::path(staged.path).parent_path()));  // the private copy is gone
    const auto& run = adb->requests[3];
    EXPECT_EQ(run.timeoutSeconds, PhoneInstaller::installTimeout);
    EXPECT_EQ(run.standardError, ProcessRequest::StandardError::merge);
    EXPECT_EQ(serials(installer->candidates()), std::vector<std::string>{"S2/B"});
    EXPECT_EQ(adb->take(), (std::vector<std::string>{"-s S1 install -r", "devices -l", "-s S2 " + query}));
    answer("devices -l", "List of devices attached\nS2 device usb:2 model:B\n");
    queue->advance(4);  // S1 left the cable: its result goes
    EXPECT_EQ(installer->status(), InstallStatus::idle());

    answer("-s S2 install -r", "Failure [INSTALL_FAILED_OLDER_SDK: Requires newer sdk version]\n", 1);
    installer->install({"S2", "B"});
    queue->runPending();
    EXPECT_EQ(installer->status(), InstallStatus::failed({"S2", "B"}, fail(Kind::oldAndroid)));
    make({tmp / "p.apk", std::string(64, '0')});  // a package that does not match its digest is never sent
    installer->install({"S2", "B"});
    queue->runPending();
    EXPECT_EQ(installer->status(), InstallStatus::failed({"S2", "B"}, fail(Kind::apkIntegrity)));
    EXPECT_EQ(adb->take().back(), "-s S2 install -r");
}

// The application's road: the package found through VELMORA_COMPANION_DIR, the work on a queue thread of its
// own, the result back on the main executor.
TEST_F(Installer, InstallsFromTheConfiguredFolderOnTheQueueThread) {
    package(5);
    fs::rename(tmp / "p.apk", tmp / "Velmora.apk");
    std::ofstream(tmp / "Velmora.apk.sha256") << digest << "  Velmora.apk\n";
    ::setenv("VELMORA_COMPANION_DIR", tmp.c_str(), 1);
    answer("-s S1 install -r", "Success\n");
    PhoneInstaller threaded("/usr/bin/adb", PhoneInstaller::Package::installed(),
                            std::make_shared<SerialQueue>("corvix.installer"), queue, adb);
    ::unsetenv("VELMORA_COMPANION_DIR");
    threaded.install({"S1", "A"});
    ASSERT_TRUE(test::waitUntil([&] { return queue->pendingCount() > 0; }));
    queue->runPending();
    EXPECT_EQ(threaded.status(), InstallStatus::success({"S1", "A"}));
    EXPECT_EQ(staged.bytes, 5u);
}

using test::ScopedEnv;

// Whatever breaks inside an install (a $TMPDIR naming no folder, the runner failing to make a process) ends
// that install as a failure: the installer is free again, and the next poll and the next install run.
TEST_F(Installer, AnInstallThatBreaksEndsFailedAndTheNextPollAndInstallRun) {
    const fs::path log = VelmoraLog::file().parent_path();
    VelmoraLog::setFolder(tmp / "log");
    answer("devices -l", "List of devices attached\nS1 device usb:1 model:A\n");
    answer("-s S1 " + query, "");
    answer("-s S1 install -r", "Success\n");
    make({package(100), digest});
    installer->start();
    queue->advance(2);
    const InstallCandidate phone{"S1", "A"};
    std::optional<ScopedEnv> tmpdir;
    const struct {
        const char* what;
        std::function<void()> breakIt, mendIt;
        InstallFailure failure;
        std::string logged;
    } rows[] = {
        {"no temporary folder", [&] { tmpdir.emplace("TMPDIR", (tmp / "gone").string()); },
         [&] { tmpdir.reset(); }, fail(Kind::apkIntegrity),
         "instalação do APK recusada: sem hash esperado ou APK ilegível"},
        {"no process", [&] { adb->throwsAt = "-s S1 install -r"; }, [&] { adb->throwsAt.clear(); },
         fail(Kind::adbMissing), "adb não pôde ser executado: fork: "},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        row.breakIt();
        staged = {};
        installer->install(phone);
        queue->runPending();
        EXPECT_EQ(installer->status(), InstallStatus::failed(phone, row.failure));
        VelmoraLog::flush();
        EXPECT_NE(test::readFile(VelmoraLog::file()).find(row.logged), std::string::npos);
        if (!staged.path.empty()) {
            EXPECT_FALSE(fs::exists(fs::path(staged.path).parent_path()));
        }
        adb->take();
        queue->advance(4);
        EXPECT_EQ(adb->take().front(), "devices -l") << "the polls stopped";
        row.mendIt();
        installer->install(phone);
        EXPECT_EQ(installer->status(), InstallStatus::installing(phone));
        queue->runPending();
        EXPECT_EQ(installer->status(), InstallStatus::success(phone));
        EXPECT_FALSE(fs::exists(fs::path(staged.path).parent_path()));
    }
    VelmoraLog::setFolder(log);
}

// Quitting during an install: stop() ends adb (here one whose install never ends) and reaps it, and the
// staged copy is gone, before it returns. Nothing is published or started after.
TEST_F(Installer, StopDuringAnInstallEndsAdbAndRemovesTheStagedCopy) {
    const fs::path pidFile = tmp / "adb.pid", staging = tmp / "staging";
    std::ofstream(tmp / "adb") << "#!/bin/sh\necho $$ > " << pidFile.string() << "\nexec sleep 600\n";
    fs::permissions(tmp / "adb", fs::perms::owner_all);
    fs::create_directory(staging);
    const ScopedEnv tmpdir("TMPDIR", staging.string());
    const auto main = std::make_shared<ManualExecutor>(0);
    PhoneInstaller real((tmp / "adb").string(), {package(100), digest},
                        std::make_shared<SerialQueue>("corvix.installer"), main,
                        std::make_shared<PosixProcessRunner>());
    real.install({"S1", "A"});
    ASSERT_TRUE(test::waitUntil([&] { return test::readFile(pidFile).ends_with('\n'); }));
    const pid_t pid = std::stoi(test::readFile(pidFile));
    EXPECT_EQ(std::distance(fs::directory_iterator(staging), {}), 1);
    real.stop();
    EXPECT_EQ(std::distance(fs::directory_iterator(staging), {}), 0);
    EXPECT_TRUE(::kill(pid, 0) == -1 && errno == ESRCH) << "adb " << pid << " still there";
    fs::remove(pidFile);
    real.install({"S1", "A"});
    main->runPending();
    EXPECT_EQ(real.status(), InstallStatus::installing({"S1", "A"}));
    EXPECT_FALSE(fs::exists(pidFile));
}

// The other rows of the choice show on the real section in tests/installer.
TEST(InstallSection, ShowsTheInstallFirstThenOffersThenHints) {
    using C = SectionContent;
    const InstallCandidate a{"A", "a"};
    const std::vector<InstallCandidate> some{a};
    const struct {
        InstallStatus status;
        std::vector<InstallCandidate> candidates;
        int unauthorized;
        bool nothingFound;
        C shown;
    } cases[] = {
        {InstallStatus::installing(a), some, 1, true, C::installing},
        {InstallStatus::idle(), {}, 1, false, C::unauthorized},
    };
    for (const auto& c : cases)
        EXPECT_EQ(chooseInstallView({c.status, c.candidates, c.unauthorized, c.nothingFound}), c.shown)
            << static_cast<int>(c.shown);
}

}  // namespace
}  // namespace velmora
