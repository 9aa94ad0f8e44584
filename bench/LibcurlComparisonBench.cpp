// zorvik against libcurl on the same loopback server in the same run: each
// load alternates the two clients round by round (A B B A ...) and prints
// both medians and the ratio zorvik / libcurl. Without libcurl only zorvik's
// figures are printed. BENCH_ROUNDS, BENCH_SCALE (a factor on the request
// counts), BENCH_ONLY (loads whose name holds this text) and BENCH_CLIENT
// (zorvik or libcurl alone, for profiling one side) tune the run.
#include "SilentLogger.hpp"
#include "BenchServer.hpp"
#include "zorvik/OpenSSLContext.hpp"
#include "zorvik/ZorvikInstance.hpp"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <deque>
#include <functional>
#include <future>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <variant>
#include <vector>

#ifdef ZORVIK_BENCH_WITH_CURL
#include <curl/curl.h>
#endif

namespace {

using Clock = std::chrono::steady_clock;

struct Figures {
    double rate = 0;   // requests per second
    double bytes = 0;  // body bytes per second
    double p99Us = 0;  // sequential loads only
};

int scaled(int count) {
    const char* scale = std::getenv("BENCH_SCALE");
    return std::max(1, static_cast<int>(count * (scale ? std::atof(scale) : 1.0)));
}

double p99(std::vector<double> samples) {
    std::sort(samples.begin(), samples.end());
    return samples.empty() ? 0 : samples[(samples.size() - 1) * 99 / 100];
}

double seconds(Clock::duration elapsed) { return std::chrono::duration<double>(elapsed).count(); }

[[noreturn]] void die(const std::string& what) {
    std::fprintf(stderr, "benchmark request failed: %s\n", what.c_str());
    std::exit(1);
}

// Sequential requests: a warm-up, then `count` timed ones.
Figures sequential(const std::function<std::size_t()>& fetch, int count) {
    for (int i = 0; i < std::max(10, count / 20); ++i) {
        fetch();
    }
    std::vector<double> latencies;
    latencies.reserve(static_cast<std::size_t>(count));
    double bytes = 0;
    const auto start = Clock::now();
    for (int i = 0; i < count; ++i) {
        const auto before = Clock::now();
        bytes += static_cast<double>(fetch());
        latencies.push_back(std::chrono::duration<double, std::micro>(Clock::now() - before).count());
    }
    const double elapsed = seconds(Clock::now() - start);
    return {count / elapsed, bytes / elapsed, p99(latencies)};
}

class ZorvikClient {
public:
    explicit ZorvikClient(const bench::BenchServer& server) {
        auto config = std::make_shared<zorvik::ZorvikConfig>();
        config->logger(std::make_shared<bench::SilentLogger>());
        auto tls = std::make_shared<zorvik::OpenSSLContext>();
        tls->setCABundleFile(server.caFile());
        config->ssl(tls);
        instance_ = std::make_unique<zorvik::ZorvikInstance>(config);
    }

    std::size_t get(const std::string& url) {
        const auto response = instance_->get(url).fly();
        if (response.statusCode != 200) {
            die(response.statusMessage);
        }
        return response.body.size();
    }

    void batch(const std::string& url, int inFlight) {
        std::vector<std::future<zorvik::HttpResponse>> futures;
        futures.reserve(static_cast<std::size_t>(inFlight));
        for (int i = 0; i < inFlight; ++i) {
            futures.push_back(instance_->get(url).flyAsync());
        }
        for (auto& future : futures) {
            const auto response = future.get();
            if (response.statusCode != 200) {
                die(response.statusMessage);
            }
        }
    }

    // The same through an asynchronous session, opened on first use.
    void sessionBatch(const std::string& url, int inFlight) {
        const auto count = static_cast<std::uint64_t>(inFlight);
        if (!session_) {
            session_ = instance_->openAsyncSession(
                {zorvik::IoBackend::Auto, count, count, count, count, count, 1 << 20, 64 << 20, std::chrono::minutes(1), {}});
            completions_.resize(static_cast<std::size_t>(inFlight));
        }
        const zorvik::HttpRequest request(zorvik::HttpMethod::GET, url);
        for (int i = 0; i < inFlight; ++i) {
            const auto submitted = session_->submit(request);
            if (submitted.status != zorvik::SubmitStatus::Accepted) {
                die(submitted.message);
            }
        }
        for (int done = 0; done < inFlight;) {
            const auto waited = session_->wait(completions_, std::chrono::seconds(30));
            if (waited.status != zorvik::WaitStatus::Ready) {
                die("a completion did not come");
            }
            for (std::size_t i = 0; i < waited.count; ++i) {
                const auto* response = std::get_if<zorvik::HttpResponse>(&completions_[i].result);
                if (response == nullptr || response->statusCode != 200) {
                    die(response ? response->statusMessage : std::get<zorvik::HttpError>(completions_[i].result).message);
                }
            }
            done += static_cast<int>(waited.count);
        }
    }

private:
    std::unique_ptr<zorvik::ZorvikInstance> instance_;
    std::unique_ptr<zorvik::AsyncSession> session_;
    std::vector<zorvik::HttpCompletion> completions_;
};

#ifdef ZORVIK_BENCH_WITH_CURL
std::size_t appendBody(char* data, std::size_t size, std::size_t count, void* target) {
    static_cast<std::string*>(target)->append(data, size * count);
    return size * count;
}

class CurlClient {
public:
    explicit CurlClient(const bench::BenchServer& server) : caFile_(server.caFile()) {}
    ~CurlClient() {
        for (auto& handle : handles_) {
            curl_easy_cleanup(handle.easy);
        }
        if (multi_) {
            curl_multi_cleanup(multi_);
        }
    }
    CurlClient(const CurlClient&) = delete;
    CurlClient& operator=(const CurlClient&) = delete;

    std::size_t get(const std::string& url) {
        Handle& handle = this->handle(0);
        setUp(handle, url);
        const CURLcode code = curl_easy_perform(handle.easy);
        check(code, handle);
        return handle.body.size();
    }

    void batch(const std::string& url, int inFlight) {
        if (!multi_) {
            multi_ = curl_multi_init();
        }
        for (int i = 0; i < inFlight; ++i) {
            setUp(handle(static_cast<std::size_t>(i)), url);
            curl_multi_add_handle(multi_, handles_[static_cast<std::size_t>(i)].easy);
        }
        int running = inFlight;
        while (running > 0) {
            curl_multi_perform(multi_, &running);
            if (running > 0) {
                curl_multi_poll(multi_, nullptr, 0, 1000, nullptr);
            }
        }
        int left = 0;
        while (CURLMsg* message = curl_multi_info_read(multi_, &left)) {
            if (message->msg == CURLMSG_DONE && message->data.result != CURLE_OK) {
                die(curl_easy_strerror(message->data.result));
            }
        }
        for (int i = 0; i < inFlight; ++i) {
            auto& handle = handles_[static_cast<std::size_t>(i)];
            curl_multi_remove_handle(multi_, handle.easy);
            check(CURLE_OK, handle);
        }
    }

private:
    struct Handle {
        CURL* easy = nullptr;
        std::string body;
    };

    Handle& handle(std::size_t index) {
        while (handles_.size() <= index) {
            handles_.emplace_back();
            handles_.back().easy = curl_easy_init();
        }
        return handles_[index];
    }

    void setUp(Handle& handle, const std::string& url) {
        handle.body.clear();
        curl_easy_setopt(handle.easy, CURLOPT_URL, url.c_str());
        curl_easy_setopt(handle.easy, CURLOPT_HTTP_VERSION, CURL_HTTP_VERSION_1_1);
        curl_easy_setopt(handle.easy, CURLOPT_NOSIGNAL, 1L);
        curl_easy_setopt(handle.easy, CURLOPT_CAINFO, caFile_.c_str());
        curl_easy_setopt(handle.easy, CURLOPT_WRITEFUNCTION, appendBody);
        curl_easy_setopt(handle.easy, CURLOPT_WRITEDATA, &handle.body);
    }

    static void check(CURLcode code, Handle& handle) {
        long status = 0;
        curl_easy_getinfo(handle.easy, CURLINFO_RESPONSE_CODE, &status);
        if (code != CURLE_OK || status != 200) {
            die(code != CURLE_OK ? curl_easy_strerror(code) : "status " + std::to_string(status));
        }
    }

    std::string caFile_;
    std::deque<Handle> handles_;  // stable addresses: each handle writes into its own body
    CURLM* multi_ = nullptr;
};
#endif

// Peak resident memory growth of one large response, measured in a child
// process so that neither client's earlier allocations count.
template <typename Client>
double peakMemoryPerBodyByte(const bench::BenchServer& server) {
    const pid_t child = ::fork();
    if (child == 0) {
        Client client(server);
        client.get(server.url("small.json", false));
        rusage before{};
        ::getrusage(RUSAGE_SELF, &before);
        const std::size_t bytes = client.get(server.url("huge.bin", false));
        rusage after{};
        ::getrusage(RUSAGE_SELF, &after);
        const double ratio = static_cast<double>(after.ru_maxrss - before.ru_maxrss) * 1024.0 /
                             static_cast<double>(bytes);
        std::_Exit(static_cast<int>(std::min(ratio * 10.0 + 0.5, 250.0)));
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) / 10.0 : -1;
}

struct Load {
    const char* name;
    const char* unit;
    bool latency;
    std::function<Figures(ZorvikClient&)> zorvik;
#ifdef ZORVIK_BENCH_WITH_CURL
    std::function<Figures(CurlClient&)> curl;
#endif
};

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values.empty() ? 0 : values[values.size() / 2];
}

void report(const Load& load, const std::vector<Figures>& ours, const std::vector<Figures>& theirs) {
    std::vector<double> rates;
    std::vector<double> tails;
    const bool throughput = std::string(load.unit) == "GB/s";
    for (const auto& figures : ours) {
        rates.push_back(throughput ? figures.bytes : figures.rate);
        tails.push_back(figures.p99Us);
    }
    std::vector<double> theirRates;
    std::vector<double> theirTails;
    for (const auto& figures : theirs) {
        theirRates.push_back(throughput ? figures.bytes : figures.rate);
        theirTails.push_back(figures.p99Us);
    }
    const double scale = throughput ? 1e-9 : 1;
    std::printf("%-34s zorvik %10.3f %-5s", load.name, median(rates) * scale, load.unit);
    if (!theirs.empty()) {
        std::printf("  libcurl %10.3f  ratio %5.2f", median(theirRates) * scale, median(rates) / median(theirRates));
    }
    if (load.latency) {
        std::printf("  | p99 zorvik %7.1f us", median(tails));
        if (!theirs.empty()) {
            std::printf("  libcurl %7.1f us  ratio %5.2f", median(theirTails), median(tails) / median(theirTails));
        }
    }
    std::printf("\n");
    std::fflush(stdout);
}

}  // namespace

int main() {
    const char* roundsText = std::getenv("BENCH_ROUNDS");
    const int rounds = roundsText ? std::max(1, std::atoi(roundsText)) : 3;
    bench::BenchServer server;
    const auto small = server.url("small.json", false);
    const auto smallTls = server.url("small.json", true);
    const auto large = server.url("large.bin", false);
    const int sequentialCount = scaled(4000);
    const int largeCount = scaled(300);
    const int batches = scaled(150);
    constexpr int kInFlight = 64;

    const auto seq = [](const std::string& url, int count) {
        return [url, count](auto& client) { return sequential([&] { return client.get(url); }, count); };
    };
    const auto inFlight = [&](auto batch) {
        return [&, batch](auto& client) {
            batch(client, small, kInFlight);
            const auto start = Clock::now();
            for (int i = 0; i < batches; ++i) {
                batch(client, small, kInFlight);
            }
            return Figures{batches * kInFlight / seconds(Clock::now() - start), 0, 0};
        };
    };
    const auto parallel = inFlight([](auto& client, const std::string& url, int count) { client.batch(url, count); });
    const auto throughSession =
        inFlight([](ZorvikClient& client, const std::string& url, int count) { client.sessionBatch(url, count); });
    std::vector<Load> loads = {
        {"sequential keep-alive, HTTP", "req/s", true, seq(small, sequentialCount)
#ifdef ZORVIK_BENCH_WITH_CURL
         , seq(small, sequentialCount)
#endif
        },
        {"sequential keep-alive, HTTPS", "req/s", true, seq(smallTls, sequentialCount)
#ifdef ZORVIK_BENCH_WITH_CURL
         , seq(smallTls, sequentialCount)
#endif
        },
        {"1 MiB bodies, HTTP", "GB/s", false, seq(large, largeCount)
#ifdef ZORVIK_BENCH_WITH_CURL
         , seq(large, largeCount)
#endif
        },
        {"64 in flight (flyAsync / multi)", "req/s", false, parallel
#ifdef ZORVIK_BENCH_WITH_CURL
         , parallel
#endif
        },
        {"64 in flight (session / multi)", "req/s", false, throughSession
#ifdef ZORVIK_BENCH_WITH_CURL
         , parallel
#endif
        },
    };

    std::printf("server: loopback %s, %d rounds, A/B alternating\n", server.kind(), rounds);
#ifdef ZORVIK_BENCH_WITH_CURL
    curl_global_init(CURL_GLOBAL_DEFAULT);
#endif
    const char* only = std::getenv("BENCH_ONLY");
    const std::string client = std::getenv("BENCH_CLIENT") ? std::getenv("BENCH_CLIENT") : "";
    for (const auto& load : loads) {
        if (only != nullptr && std::string(load.name).find(only) == std::string::npos) {
            continue;
        }
        std::vector<Figures> ours;
        std::vector<Figures> theirs;
        for (int round = 0; round < rounds; ++round) {
            const auto runOurs = [&] {
                ZorvikClient client(server);
                ours.push_back(load.zorvik(client));
            };
#ifdef ZORVIK_BENCH_WITH_CURL
            const auto runTheirs = [&] {
                CurlClient client(server);
                theirs.push_back(load.curl(client));
            };
            if (client == "zorvik") {
                runOurs();
            } else if (client == "libcurl") {
                runTheirs();
            } else if (round % 2 == 0) {
                runOurs();
                runTheirs();
            } else {
                runTheirs();
                runOurs();
            }
#else
            runOurs();
#endif
        }
        report(load, ours, theirs);
    }
    const char* const peakName = "peak memory, one 64 MiB body";
    if (only == nullptr || std::string(peakName).find(only) != std::string::npos) {
        std::printf("%-34s zorvik %10.2f x body", peakName, peakMemoryPerBodyByte<ZorvikClient>(server));
#ifdef ZORVIK_BENCH_WITH_CURL
        std::printf("  libcurl %10.2f x body", peakMemoryPerBodyByte<CurlClient>(server));
#endif
        std::printf("\n");
    }
#ifdef ZORVIK_BENCH_WITH_CURL
    curl_global_cleanup();
#endif
    return 0;
}
