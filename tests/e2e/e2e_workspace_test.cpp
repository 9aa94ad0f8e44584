#include "e2e/quil_harness.hpp"

namespace quarlino::quil::e2e {
namespace {

const std::string workspaceList =
    R"([{"id":"ws-1","name":"Platform","slug":"platform","personal":false,"role":"OWNER"},)"
    R"({"id":"ws-22","name":"Dana's space","slug":"dana","personal":true,"role":"MEMBER"}])";

// The single-workspace table has no PERSONAL column.
std::string platformWorkspaceTable() {
    const std::vector<std::size_t> widths{6, 10, 10, 7};
    return columns(widths, {"ID", "NAME", "SLUG", "ROLE"}) + columns(widths, {"ws-1", "Platform", "platform", "OWNER"});
}

class WorkspaceCommand : public QuilEndToEnd {
protected:
    WorkspaceCommand() { signIn("tok-1", "ws-22"); }

    // Every request of the group carries the token and never the workspace.
    void expectNoWorkspaceHeader() const {
        for (const auto& request : platform.requests()) {
            expectIdentity(request, "tok-1", std::nullopt);
        }
    }
};

TEST_F(WorkspaceCommand, ListShowsEveryWorkspace) {
    platform.expect("GET", "/api/workspaces").respond(200, workspaceList);
    const std::vector<std::size_t> widths{7, 14, 10, 8, 10};

    expectOutcome(quil({"workspace", "list"}), {0,
                                                columns(widths, {"ID", "NAME", "SLUG", "ROLE", "PERSONAL"}) +
                                                    columns(widths, {"ws-1", "Platform", "platform", "OWNER", "no"}) +
                                                    columns(widths, {"ws-22", "Dana's space", "dana", "MEMBER", "yes"}),
                                                ""});

    const auto request = onlyRequest();
    EXPECT_EQ(request.body, "");
    EXPECT_EQ(request.header("Accept"), "application/json");
    expectNoWorkspaceHeader();
}

struct Framing {
    const char* name;
    std::size_t chunkSize;
    bool gzip;
};

void PrintTo(const Framing& c, std::ostream* os) {
    *os << c.name;
}

class WorkspaceListFraming : public WorkspaceCommand, public testing::WithParamInterface<Framing> {};

// However the body travels, JSON output prints it exactly as the platform sent it.
TEST_P(WorkspaceListFraming, RawBodyArrivesDecoded) {
    auto stub = platform.expect("GET", "/api/workspaces").respond(200, workspaceList).times(2);
    if (GetParam().chunkSize > 0) {
        stub.chunked(GetParam().chunkSize);
    }
    if (GetParam().gzip) {
        stub.gzip();
    }

    expectOutcome(quil({"workspace", "list", "--output", "json", "--quiet"}), {0, workspaceList + "\n", ""});
    expectOutcome(quil({"workspace", "list", "--quiet"}), {0, "ws-1\nws-22\n", ""});
}

INSTANTIATE_TEST_SUITE_P(Bodies, WorkspaceListFraming,
                         testing::Values(Framing{"ContentLength", 0, false}, Framing{"Chunked", 7, false},
                                         Framing{"OneByteChunks", 1, false}, Framing{"Gzip", 0, true},
                                         Framing{"GzipChunked", 16, true}),
                         [](const testing::TestParamInfo<Framing>& info) { return std::string(info.param.name); });

TEST_F(WorkspaceCommand, EmptyListPrintsTheHeaderOnly) {
    platform.expect("GET", "/api/workspaces").respond(200, "[]").times(2);

    expectOutcome(quil({"workspace", "list"}), {0, "ID  NAME  SLUG  ROLE  PERSONAL  \n", ""});
    expectOutcome(quil({"workspace", "list", "--quiet"}), {0, "", ""});
}

TEST_F(WorkspaceCommand, ListThatIsNotAnArray) {
    platform.expect("GET", "/api/workspaces").respond(200, R"({"items":[]})");

    expectOutcome(quil({"workspace", "list"}),
                  {1, "", "quil: Quarlino API returned an object where an array was expected\n"});
}

TEST_F(WorkspaceCommand, CreateSendsTheSlugOrNull) {
    const std::string created = R"({"id":"ws-1","name":"Platform","slug":"platform","personal":false,"role":"OWNER"})";
    platform.expect("POST", "/api/workspaces").respond(201, created).times(2);

    expectOutcome(quil({"workspace", "create", "Platform", "--slug", "platform"}), {0, platformWorkspaceTable(), ""});
    expectOutcome(quil({"workspace", "create", "Platform", "--output", "json"}), {0, created + "\n", ""});

    const auto requests = platform.requests();
    ASSERT_EQ(requests.size(), 2U);
    EXPECT_EQ(requests[0].body, R"({"name":"Platform","slug":"platform"})");
    EXPECT_EQ(requests[1].body, R"({"name":"Platform","slug":null})");
    EXPECT_EQ(requests[0].header("Content-Type"), "application/json");
    expectNoWorkspaceHeader();
}

TEST_F(WorkspaceCommand, UseStoresTheResolvedWorkspace) {
    platform.expect("GET", "/api/workspaces").respond(200, workspaceList);

    expectOutcome(quil({"workspace", "use", "platform"}), {0, platformWorkspaceTable(), ""});

    EXPECT_EQ(readFile(profilesFile()), profilesDocument("default", {{"default", platform.url(), "ws-1"}}));
    expectNoWorkspaceHeader();
}

TEST_F(WorkspaceCommand, UsePrintsTheLocalObjectAsJson) {
    platform.expect("GET", "/api/workspaces").respond(200, workspaceList);

    expectOutcome(quil({"workspace", "use", "Dana's space", "--output", "json"}),
                  {0, R"({"id":"ws-22","name":"Dana's space","personal":true,"role":"MEMBER","slug":"dana"})"
                      "\n",
                   ""});
}

TEST_F(WorkspaceCommand, UseRefusesAnAmbiguousOrUnknownSelector) {
    const std::string clash = R"([{"id":"ws-1","name":"Main","slug":"main"},{"id":"ws-2","name":"main","slug":"m2"}])";
    platform.expect("GET", "/api/workspaces").respond(200, clash).times(3);

    expectOutcome(quil({"workspace", "use", "main"}),
                  {2, "", "quil: workspace name is ambiguous; use its ID: main\n"});
    expectOutcome(quil({"workspace", "use", "MAIN"}), {2, "", "quil: workspace not found: MAIN\n"});
    EXPECT_EQ(readFile(profilesFile()), profilesDocument("default", {{"default", platform.url(), "ws-22"}}));
    expectOutcome(quil({"workspace", "use", "ws-2", "--quiet"}), {0, "ws-2\n", ""});

    EXPECT_EQ(readFile(profilesFile()), profilesDocument("default", {{"default", platform.url(), "ws-2"}}));
}

TEST_F(WorkspaceCommand, UseNeverStoresAnIdThatCannotBeSent) {
    platform.expect("GET", "/api/workspaces").respond(200, R"([{"id":"ws-9\r\nX-Injected: 1","slug":"odd"}])");

    expectOutcome(quil({"workspace", "use", "odd"}), {1, "", "quil: Quarlino workspace id is malformed\n"});
    EXPECT_EQ(readFile(profilesFile()), profilesDocument("default", {{"default", platform.url(), "ws-22"}}));
}

TEST_F(WorkspaceCommand, CurrentShowsTheStoredWorkspace) {
    platform.expect("GET", "/api/workspaces").respond(200, workspaceList);
    const std::vector<std::size_t> widths{7, 14, 6, 8};

    expectOutcome(quil({"workspace", "current"}), {0,
                                                   columns(widths, {"ID", "NAME", "SLUG", "ROLE"}) +
                                                       columns(widths, {"ws-22", "Dana's space", "dana", "MEMBER"}),
                                                   ""});
    expectNoWorkspaceHeader();
}

TEST_F(WorkspaceCommand, CurrentFromTheWorkspaceOption) {
    // Once to resolve --workspace, once for the command itself.
    platform.expect("GET", "/api/workspaces").respond(200, workspaceList).times(2);

    expectOutcome(quil({"workspace", "current", "--workspace", "platform"}), {0, platformWorkspaceTable(), ""});

    expectNoWorkspaceHeader();
    EXPECT_EQ(readFile(profilesFile()), profilesDocument("default", {{"default", platform.url(), "ws-22"}}));
}

TEST_F(WorkspaceCommand, CurrentWithoutAWorkspace) {
    signIn("tok-1");
    platform.expect("GET", "/api/workspaces").respond(200, workspaceList);

    expectOutcome(quil({"workspace", "current"}),
                  {2, "", "quil: no active workspace; run 'quil workspace use <id|slug>'\n"});
}

TEST_F(WorkspaceCommand, CurrentWorkspaceNoLongerListed) {
    signIn("tok-1", "ws-gone");
    platform.expect("GET", "/api/workspaces").respond(200, workspaceList);

    expectOutcome(quil({"workspace", "current"}), {2, "", "quil: workspace not found: ws-gone\n"});
}

TEST_F(WorkspaceCommand, RenamePatchesTheResolvedWorkspace) {
    platform.expect("GET", "/api/workspaces").respond(200, workspaceList);
    platform.expect("PATCH", "/api/workspaces/ws-1")
        .respond(200, R"({"id":"ws-1","name":"Platform Team","slug":"platform","role":"OWNER"})");
    const std::vector<std::size_t> widths{6, 15, 10, 7};

    expectOutcome(quil({"workspace", "rename", "platform", "Platform Team"}),
                  {0,
                   columns(widths, {"ID", "NAME", "SLUG", "ROLE"}) +
                       columns(widths, {"ws-1", "Platform Team", "platform", "OWNER"}),
                   ""});

    const auto requests = platform.requests();
    ASSERT_EQ(requests.size(), 2U);
    EXPECT_EQ(requests[1].body, R"({"name":"Platform Team"})");
    expectNoWorkspaceHeader();
}

TEST_F(WorkspaceCommand, WithoutATokenNothingIsSent) {
    writeConfig("credentials.json", "{}\n");

    expectOutcome(quil({"workspace", "list"}), {2, "", "quil: not authenticated; run 'quil auth login'\n"});
}

struct ApiFailure {
    const char* name;
    int status;
    std::string body;
    int exitCode;
    std::string code;
    std::string message;
};

void PrintTo(const ApiFailure& c, std::ostream* os) {
    *os << c.name;
}

class WorkspaceListFailures : public WorkspaceCommand, public testing::WithParamInterface<ApiFailure> {};

TEST_P(WorkspaceListFailures, ExitCodeAndMessage) {
    const auto& c = GetParam();
    platform.expect("GET", "/api/workspaces").respond(c.status, c.body).times(2);

    expectOutcome(quil({"workspace", "list"}), {c.exitCode, "", "quil: " + c.message + "\n"});
    expectOutcome(quil({"workspace", "list", "--output", "json"}), {c.exitCode, "", jsonError(c.code, c.status, c.message)});
}

INSTANTIATE_TEST_SUITE_P(
    Statuses, WorkspaceListFailures,
    testing::Values(
        ApiFailure{"Unauthenticated", 401, R"({"message":"token expired"})", 3, "UNAUTHENTICATED", "token expired"},
        ApiFailure{"Forbidden", 403, R"({"error":"not a member"})", 4, "FORBIDDEN", "not a member"},
        ApiFailure{"NotFound", 404, R"({"detail":"no such thing"})", 5, "NOT_FOUND", "no such thing"},
        ApiFailure{"Conflict", 409, R"({"errors":["first problem","second"]})", 6, "CONFLICT", "first problem"},
        ApiFailure{"PreconditionFailed", 412, "{}", 6, "CONFLICT", "Quarlino API returned HTTP 412"},
        ApiFailure{"ServerError", 500, "<html>oops</html>", 1, "API_ERROR", "Quarlino API returned HTTP 500"},
        ApiFailure{"BadGateway", 502, R"({"message":42,"error":"upstream down"})", 1, "API_ERROR", "upstream down"},
        ApiFailure{"MethodNotAllowed", 405, "", 1, "API_ERROR", "Quarlino API returned HTTP 405"}),
    [](const testing::TestParamInfo<ApiFailure>& info) { return std::string(info.param.name); });

TEST_F(WorkspaceCommand, RefusedConnection) {
    signIn("tok-1");
    writeConfig("profiles.json", profilesDocument("default", {{"default", refusedUrl(), std::nullopt}}));

    expectOutcome(quil({"workspace", "list"}), {1, "", "quil: Quarlino API returned HTTP 0\n"});
    expectOutcome(quil({"workspace", "list", "--output", "json"}),
                  {1, "", jsonError("API_ERROR", 0, "Quarlino API returned HTTP 0")});
}

TEST_F(WorkspaceCommand, StallingServerTimesOut) {
    platform.expect("GET", "/api/workspaces").stall();

    expectOutcome(quil({"workspace", "list", "--timeout", "1", "--output", "json"}),
                  {1, "", jsonError("API_ERROR", 408, "Quarlino API returned HTTP 408")});
}

}  // namespace
}  // namespace quarlino::quil::e2e
