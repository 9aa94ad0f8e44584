#include "support/quil/recording_transport.hpp"

#include <stdexcept>
#include <utility>

#include <gtest/gtest.h>

namespace testsupport::quil {

struct RecordingTransport::Script {
    struct Answer {
        port::HttpMethod method;
        std::string path;
        port::HttpResponse response;
        std::optional<std::string> failure;
        bool used = false;
    };

    std::vector<Answer> answers;
    std::vector<port::HttpRequest> requests;

    port::HttpResponse answer(const port::HttpRequest& request) {
        requests.push_back(request);
        for (auto& scripted : answers) {
            if (scripted.used || scripted.method != request.method || scripted.path != request.path) {
                continue;
            }
            scripted.used = true;
            if (scripted.failure) {
                throw std::runtime_error(*scripted.failure);
            }
            return scripted.response;
        }
        const std::string description = std::string(methodName(request.method)) + " " + request.path;
        ADD_FAILURE() << "unexpected request: " << description << " with body [" << request.body << "]";
        throw std::logic_error("unexpected request: " + description);
    }
};

namespace {

// Shares a script owned by a RecordingTransport.
class SharedTransport final : public port::HttpTransport {
public:
    explicit SharedTransport(std::shared_ptr<RecordingTransport::Script> script) : script_(std::move(script)) {}

    port::HttpResponse send(const port::HttpRequest& request) override { return script_->answer(request); }

private:
    std::shared_ptr<RecordingTransport::Script> script_;
};

}  // namespace

std::string_view methodName(port::HttpMethod method) {
    switch (method) {
        case port::HttpMethod::GET:
            return "GET";
        case port::HttpMethod::POST:
            return "POST";
        case port::HttpMethod::PUT:
            return "PUT";
        case port::HttpMethod::PATCH:
            return "PATCH";
        case port::HttpMethod::DELETE:
            return "DELETE";
    }
    return "?";
}

RecordingTransport::RecordingTransport() : script_(std::make_shared<Script>()) {}

RecordingTransport::~RecordingTransport() {
    for (const auto& scripted : script_->answers) {
        if (!scripted.used) {
            ADD_FAILURE() << "scripted answer never requested: " << methodName(scripted.method) << " "
                          << scripted.path;
        }
    }
}

RecordingTransport& RecordingTransport::expect(port::HttpMethod method, std::string path, int status,
                                               std::string body, std::map<std::string, std::string> headers) {
    script_->answers.push_back(
        {method, std::move(path), port::HttpResponse{status, std::move(headers), std::move(body)}, std::nullopt});
    return *this;
}

RecordingTransport& RecordingTransport::expectThrow(port::HttpMethod method, std::string path,
                                                    std::string message) {
    script_->answers.push_back({method, std::move(path), port::HttpResponse{}, std::move(message)});
    return *this;
}

port::HttpResponse RecordingTransport::send(const port::HttpRequest& request) { return script_->answer(request); }

const std::vector<port::HttpRequest>& RecordingTransport::requests() const { return script_->requests; }

const port::HttpRequest& RecordingTransport::onlyRequest() const {
    if (script_->requests.size() != 1) {
        ADD_FAILURE() << "expected exactly one request, got " << script_->requests.size();
        throw std::logic_error("expected exactly one request");
    }
    return script_->requests.front();
}

std::size_t RecordingTransport::unusedAnswers() const {
    std::size_t unused = 0;
    for (const auto& scripted : script_->answers) {
        unused += scripted.used ? 0 : 1;
    }
    return unused;
}

std::unique_ptr<port::HttpTransport> RecordingTransport::share() {
    return std::make_unique<SharedTransport>(script_);
}

}  // namespace testsupport::quil
