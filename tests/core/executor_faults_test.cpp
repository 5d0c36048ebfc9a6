// What a faulty task does to the executors: it is logged, and everything else goes on.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <vector>

#include "core/exec/manual_executor.h"
#include "core/exec/serial_queue.h"
#include "core/log/velmora_log.h"
#include "support/log_folder.h"
#include "support/temp_dir.h"

namespace velmora {
namespace {

using testing::HasSubstr;

// The log goes to a private folder for the test.
class ExecutorFaults : public testing::Test {
  protected:
    std::string log() {
        VelmoraLog::flush();
        return test::readFile(dir_.path() / "velmora.log");
    }

  private:
    test::TempDir dir_;
    test::LogFolder logFolder_{dir_.path()};
};

// Posts good tasks between two faulty ones (a std::exception, and an int), one of them delayed.
void postWithFaults(Executor& ex, std::vector<int>& ran) {
    ex.post([&] { ran.push_back(1); });
    ex.post([] { throw std::runtime_error("disco cheio\ne mais"); });
    ex.post([&] { ran.push_back(2); });
    ex.postAfter(0, [] { throw 42; });
    ex.postAfter(0, [&] { ran.push_back(3); });
}

void expectLogged(const std::string& log, const std::string& where) {
    // One line each; the line feed inside the exception's text cannot start a line of its own.
    EXPECT_THAT(log, HasSubstr("exceção em tarefa (" + where + "): disco cheio e mais\n"));
    EXPECT_THAT(log, HasSubstr("exceção em tarefa (" + where + "): exceção de tipo desconhecido\n"));
}

TEST_F(ExecutorFaults, AThrowingTaskIsLoggedAndTheSerialQueueGoesOn) {
    std::vector<int> ran;
    SerialQueue queue("test.faults");
    postWithFaults(queue, ran);
    queue.sync([] {});  // after everything posted before
    EXPECT_EQ(ran, (std::vector<int>{1, 2, 3}));
    expectLogged(log(), "fila test.faults");

    // sync hands the task's own exception to its caller, and the queue still serves.
    EXPECT_THROW(queue.sync([] { throw std::invalid_argument("x"); }), std::invalid_argument);
    queue.sync([&] { ran.push_back(4); });
    EXPECT_EQ(ran.back(), 4);
}

TEST_F(ExecutorFaults, AThrowingTaskIsLoggedAndTheManualExecutorGoesOn) {
    std::vector<int> ran;
    ManualExecutor ex(0);
    postWithFaults(ex, ran);
    EXPECT_EQ(ex.runPending(), 5);
    EXPECT_EQ(ran, (std::vector<int>{1, 2, 3}));
    EXPECT_EQ(ex.pendingCount(), 0u);
    expectLogged(log(), "executor manual");
}

TEST_F(ExecutorFaults, SyncFromTheQueueItselfIsRefusedInsteadOfHanging) {
    SerialQueue queue("test.selfsync");
    std::string refusal;
    queue.sync([&] {
        try {
            queue.sync([] {});
        } catch (const std::logic_error& e) {
            refusal = e.what();
        }
    });
    EXPECT_THAT(refusal, HasSubstr("test.selfsync"));
    EXPECT_THAT(log(), HasSubstr(refusal));
}

}  // namespace
}  // namespace velmora
