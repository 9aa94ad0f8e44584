// A response that arrives while the process exits still reaches its caller
// through the completion executor, even for a client of the named-instance
// registry, which is destroyed after that executor's own static.
#include "ClientTestSupport.hpp"
#include "support/net/HttpReplies.hpp"
#include "support/net/LoopbackServer.hpp"
#include "zorvik/Zorvik.hpp"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <future>

namespace zorvik::testing {
namespace {

using testsupport::net::LoopbackServer;
using testsupport::net::okResponse;
using testsupport::net::Reply;

// Lives until the child process ends; never destroyed.
struct ExitScene {
    LoopbackServer server;
    std::promise<void> release;
    std::shared_future<void> released = release.get_future().share();
    std::shared_ptr<RecordingLogger> logger = std::make_shared<RecordingLogger>();
    std::future<HttpResponse> late;
};

ExitScene* scene = nullptr;

// Registered before the first completion makes the executor, so it runs
// after the executor's static has been destroyed.
void answerDuringExit() {
    scene->release.set_value();
    bool delivered = false;
    if (scene->late.wait_for(std::chrono::seconds(10)) == std::future_status::ready) {
        try {
            delivered = scene->late.get().getBody() == "late" && scene->logger->lines().size() == 1;
        } catch (const std::exception&) {
            // A broken promise: the completion was lost.
        }
    }
    std::_Exit(delivered ? 0 : 1);
}

void sendAndExit() {
    scene = new ExitScene;
    scene->server.setHandler([released = scene->released](const std::string& request) {
        if (request.find("/late") != std::string::npos) {
            released.wait();
        }
        return Reply{okResponse("late")};
    });
    std::atexit(answerDuringExit);
    Zorvik::config("exit-scene").logger(scene->logger);
    auto& instance = Zorvik::use("exit-scene");
    instance.get(scene->server.url("/first")).flyAsync().get();
    scene->late = instance.get(scene->server.url("/late")).logResponse(true).flyAsync();
    if (scene->server.waitForRequests(2)) {
        std::exit(0);
    }
}

TEST(FlyAsyncAtExit, ResponseArrivingAfterExitBeganIsStillDeliveredAndLogged) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(sendAndExit(), ::testing::ExitedWithCode(0), "");
}

}  // namespace
}  // namespace zorvik::testing
