// Finishing a response: complete the request, or follow its redirect through
// the resolver with the first hop's completion and deadline.
#include "zorvik/detail/ReactorCore.hpp"
#include "zorvik/detail/RedirectRequest.hpp"

#include <optional>
#include <stdexcept>

namespace zorvik::detail {
namespace {

bool shouldFollow(const RequestContext& context, const HttpResponse& response) {
    return context.request.followRedirects && response.statusCode >= 300 && response.statusCode <= 399 &&
           context.redirectCount < context.request.maxRedirects && !response.getHeader("location").empty();
}

}  // namespace

void ReactorCore::handleCompletedRequest(const std::shared_ptr<RequestContext>& context, HttpResponse response) {
    if (!shouldFollow(*context, response)) {
        deliver(context->completion, std::move(response));
        return;
    }
    std::optional<HttpRequest> next;
    try {
        next = buildRedirectRequest(context->request, response);
    } catch (const std::exception& error) {
        fail(context->completion, std::string("Failed to follow redirect: ") + error.what());
        return;
    }
    const bool accepted = submitResolverTask([this, context, hop = std::move(*next)] { followRedirect(context, hop); });
    if (!accepted) {
        fail(context->completion, "DNS resolver queue is full during redirect");
    }
}

void ReactorCore::followRedirect(const std::shared_ptr<RequestContext>& context, const HttpRequest& next) {
    try {
        if (const auto reason = closedReason()) {
            fail(context->completion, *reason);
            return;
        }
        // Built before a connection is taken, so that a request that cannot
        // be written never holds a reserved connection.
        const auto hop = createRequestContext(next, context->completion, context->redirectCount + 1, context->deadline);
        const auto connection = acquireConnection(next);
        if (!connection) {
            throw std::runtime_error("Failed to acquire connection for redirect");
        }
        enqueueRequest(connection, hop);
    } catch (const std::exception& error) {
        fail(context->completion, std::string("Failed to follow redirect: ") + error.what());
    }
}

}  // namespace zorvik::detail
